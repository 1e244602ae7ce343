#include "gameobj/drawing.h"

#include <cmath>
#include <cstring>

#include "gameobj/scenery.h"
#include "worldrender/hmRender.h"
#include "worldrender/renderInstances.h"
#include "worldrender/scenePasses.h"
#include "worldrender/shadows.h"

SimpleInstRender player_inst, castle_inst, guard_tower_inst, portal_inst, missile_inst;

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

struct Named
{
  InstRender* inst;
  const char* mesh;
};

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

vec4f camera_pos() { return cur_view_itm.row[3]; }

SimpleInstRender& tree_inst_of(const PluginObject* o) { return scenery_variant(o) & 1 ? tree1f_inst : tree1_inst; }
}  // namespace

Matrix44 object_matrix(vec4f pos, float yaw, float scale)
{
  const float c = std::cos(yaw) * scale, s = std::sin(yaw) * scale;
  Matrix44 m;
  m.row[0] = make4f(c, 0.f, -s, 0.f);
  m.row[1] = make4f(0.f, scale, 0.f, 0.f);
  m.row[2] = make4f(s, 0.f, c, 0.f);
  m.row[3] = nearest_world_image(pos, camera_pos());
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

void init_object_meshes()
{
  const Named named[] = {
      {&player_inst, "meshes/player.mesh"},     {&castle_inst, "meshes/castle.mesh"},
      {&guard_tower_inst, "meshes/guard_tower.mesh"}, {&portal_inst, "meshes/portal.mesh"},
      {&missile_inst, "meshes/missile.mesh"},   {&tree1_inst, "meshes/tree1.mesh"},
      {&tree1f_inst, "meshes/tree1f.mesh"},     {&stone1_inst, "meshes/stone1.mesh"},
      {&menhir1_inst, "meshes/menhir1.mesh"},   {&menhir2_inst, "meshes/menhir2.mesh"},
      {&stone_cup1_inst, "meshes/stone_cup1.mesh"},
  };
  for (const Named& n : named) n.inst->init(n.mesh);
#define INIT_TILE(name) name##_inst.init("meshes/" #name ".mesh");
  BUILDING_INST_RENDERS(INIT_TILE)
#undef INIT_TILE
}

// The matrix and mesh of every drawn object, handed to fn(inst, tm, tint,
// shadow scale).
template <class Fn>
void for_each_drawn(Fn fn)
{
  for (Player* p : Player_list) {
    if (p == local_player) continue;  // the camera sits in it
    fn(player_inst, object_matrix(p->pos - make4f(0, 1.2f, 0, 0), 0.f, 1.f), D3dColor(0x00FFFFFFu));
  }
  for (CastleObject* c : CastleObject_list) fn(castle_inst, object_matrix(c->pos, 0.f, 1.f), D3dColor(0x00FFFFFFu));
  for (GuardTower* g : GuardTower_list) fn(guard_tower_inst, object_matrix(g->pos, 0.f, 1.f), D3dColor(0x00FFFFFFu));
  for (WorldPortal* p : WorldPortal_list) {
    // The portal faces the castle side of the world: a fixed turn per target.
    fn(portal_inst, object_matrix(p->pos, 0.6f * float(p->target), 1.f), D3dColor(0x30FFFFFFu));
  }
  for (TreeObject* t : TreeObject_list)
    fn(tree_inst_of(t), object_matrix(t->pos, scenery_yaw(t), scenery_scale(t)), D3dColor(0x00FFFFFFu));
  for (Stone1StaticObject* s : Stone1StaticObject_list)
    fn(stone1_inst, object_matrix(s->pos, scenery_yaw(s), scenery_scale(s)), D3dColor(0x00FFFFFFu));
  for (Menhir1StaticObject* s : Menhir1StaticObject_list)
    fn(menhir1_inst, object_matrix(s->pos, scenery_yaw(s), scenery_scale(s)), D3dColor(0x00FFFFFFu));
  for (Menhir2StaticObject* s : Menhir2StaticObject_list)
    fn(menhir2_inst, object_matrix(s->pos, scenery_yaw(s), scenery_scale(s)), D3dColor(0x00FFFFFFu));
  for (StoneCup1Object* s : StoneCup1Object_list)
    fn(stone_cup1_inst, object_matrix(s->pos, scenery_yaw(s), scenery_scale(s)), D3dColor(0x00FFFFFFu));
}

void draw_objects(float)
{
  // Far objects are left out: past the fog they cost without showing.
  const vec4f cam = camera_pos();
  for_each_drawn([&](SimpleInstRender& inst, const Matrix44& tm, D3dColor tint) {
    const vec4f d = tm.row[3] - cam;
    if (d[0] * d[0] + d[2] * d[2] < 150.f * 150.f) queue_simple(inst, tm, tint);
  });
  InstRender* all[] = {&player_inst, &castle_inst, &guard_tower_inst, &portal_inst, &missile_inst, &tree1_inst,
                       &tree1f_inst, &stone1_inst, &menhir1_inst, &menhir2_inst, &stone_cup1_inst};
  for (InstRender* r : all)
    if (r->mesh) r->render();
  for (int i = 0; i < HeightmapRenderer::num_house_tiles; ++i) {
    BuildingInstRender* r = HeightmapRenderer::house_tile_info[i].inst;
    if (r->mesh) r->render();
  }
}

void draw_object_shadows(float)
{
  for_each_drawn([](SimpleInstRender& inst, const Matrix44& tm, D3dColor) {
    if (!inst.mesh) return;
    // The rows carry the scale: the spheres' places scale with them.
    const float scale = v_extract_x(v_length3(tm.row[1]));
    inst.renderShadowBalls(tm, scale);
  });
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
