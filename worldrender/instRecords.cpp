#include "worldrender/instRecords.h"

#include <cmath>
#include <cstring>

#include "worldrender/hmRender.h"
#include "worldrender/renderInstances.h"
#include "worldrender/scenePasses.h"

namespace
{
struct SimpleRecord
{
  uint32_t row[3];
  float pos[3];
  uint32_t tint;
};
static_assert(sizeof(SimpleRecord) == 28, "simple instance record");

struct BuildingRecord
{
  int16_t x, z;
  float h[4];
  uint32_t tint;
};
static_assert(sizeof(BuildingRecord) == 24, "building instance record");

// Row r of the matrix as a colour: direction * 0.5 + 0.5 in rgb, length / 8
// in alpha.
uint32_t pack_row(vec4f r)
{
  const float len = v_extract_x(v_length3(r));
  const vec4f d = len > 1e-6f ? r * v_splat(1.f / len) : make4f(0, 0, 0, 0);
  vec4f c = d * v_splat(0.5f) + v_splat(0.5f);
  c[3] = len / 8.f;
  return vec4f_to_color(c).u;
}

}  // namespace

Matrix44 object_matrix(vec4f pos, float yaw, float scale)
{
  const float c = std::cos(yaw) * scale, s = std::sin(yaw) * scale;
  Matrix44 m;
  m.row[0] = make4f(c, 0.f, -s, 0.f);
  m.row[1] = make4f(0.f, scale, 0.f, 0.f);
  m.row[2] = make4f(s, 0.f, c, 0.f);
  m.row[3] = nearest_world_image(pos, cur_view_itm.row[3]);
  m.row[3][3] = 1.f;
  return m;
}

void queue_simple(SimpleInstRender& inst, const Matrix44& tm, D3dColor tint)
{
  if (!inst.mesh) return;
  SimpleRecord r;
  for (int i = 0; i < 3; ++i) r.row[i] = pack_row(tm.row[i]);
  r.pos[0] = tm.row[3][0];
  r.pos[1] = tm.row[3][1];
  r.pos[2] = tm.row[3][2];
  r.tint = tint.u;
  memcpy(inst.addRecord(), &r, sizeof(r));
}

void queue_house_tile(const HeightmapData::Surface* surface, int x, int z)
{
  using namespace HeightmapData;
  const uint32_t material = (surface->bits & SURF_MATERIAL_MASK) >> SURF_MATERIAL_SHIFT;
  if (material >= uint32_t(HeightmapRenderer::num_house_tiles)) return;
  BuildingInstRender* inst = HeightmapRenderer::house_tile_info[material].inst;
  if (!inst->mesh) return;
  const uint32_t code = (surface->bits & SURF_TILE_MASK) >> SURF_TILE_SHIFT;
  BuildingRecord r;
  r.x = int16_t(x);
  r.z = int16_t(z);
  const float* h = HeightmapRenderer::curh;
  r.h[0] = h[cell_index(x, z)];
  r.h[1] = h[cell_index(x + 1, z)];
  r.h[2] = h[cell_index(x, z + 1)];
  r.h[3] = h[cell_index(x + 1, z + 1)];
  r.tint = 0x00FFFFFFu | (code << 24);
  memcpy(inst->addRecord(), &r, sizeof(r));
}
