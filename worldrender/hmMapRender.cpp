#include "worldrender/hmMapRender.h"

#include <cmath>
#include <cstdint>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/passRecorder.h"
#include "worldrender/hmRenderInternal.h"

using namespace HeightmapData;

namespace HeightmapRenderer
{
Texture mapTex = nullptr;
}
using namespace HeightmapRenderer;

WorldMapStats world_map_stats;

namespace
{

enum
{
  MAP_SIZE = 512,
  MAP_GRID = 257,  // vertices per side; row and column 256 repeat 0
  MAP_VERTS = MAP_GRID * MAP_GRID,
  MAP_INDICES = 256 * 256 * 6,
  // Quads of rows 254 and 255 would need vertex indices past 65535: they are
  // drawn from a base vertex at row 254.
  MAP_SPLIT_ROW = 254,
};

#pragma pack(push, 1)
struct MapVertex
{
  int16_t x, z;
  float amount, foam;
};
#pragma pack(pop)
static_assert(sizeof(MapVertex) == 12, "map vertex is 12 bytes");

const VertexElementDesc MAP_LAYOUT[] = {
    {0, 0, VDECL_SHORT2, VDECL_POSITION, 0},
    {4, 0, VDECL_FLOAT2, VDECL_TEXCOORD, 0},
    {0, 255, 0, 0, 0},
};

struct MapRenderState
{
  VertexBuffer vb;
  IndexBuffer ib;
  VertexDecl decl;
  Shader* surfShader;
  Shader* waterShader;
  Shader* lightShader;
} map_rs;

#define MAP_ASSERT(expr) ASSERT_AT("hmMapRender", __LINE__, expr)

inline bool has_fluid(const WaterRow* w, int x, int z) { return std::fabs(w[z & HMAP_MASK][x & HMAP_MASK].amount) > 0.01f; }

void put_map_quad(uint16_t*& p, int a)
{
  p[0] = uint16_t(a);
  p[1] = uint16_t(a + 1);
  p[2] = uint16_t(a + MAP_GRID);
  p[3] = uint16_t(a + 1);
  p[4] = uint16_t(a + MAP_GRID + 1);
  p[5] = uint16_t(a + MAP_GRID);
  p += 6;
}

void fill_map_vertices(const WaterRow* w)
{
  MapVertex* v = (MapVertex*)lock_vb(map_rs.vb, 0, 0);
  MAP_ASSERT(v);
  for (int z = 0; z < MAP_GRID; ++z) {
    for (int x = 0; x < MAP_GRID; ++x, ++v) {
      const Water& c = w[z & HMAP_MASK][x & HMAP_MASK];
      v->x = int16_t(x);
      v->z = int16_t(z);
      v->amount = c.amount;
      v->foam = c.foam;
    }
  }
  unlock_vb(map_rs.vb);
}

}  // namespace

uint32_t world_map_shader_serials()
{
  uint32_t sum = 0;
  Shader* shaders[] = {map_rs.surfShader, map_rs.waterShader, map_rs.lightShader};
  for (Shader* sh : shaders) sum = sum * 31u + (sh ? sh->serial : 0u);
  return sum;
}

void init_world_map_render()
{
  close_world_map_render();
  mapTex = create_render_texture(MAP_SIZE, MAP_SIZE, RT_A8R8G8B8);
  if (!mapTex) fatal("can't create world map texture");
  map_rs.vb = create_vb(MAP_VERTS * int(sizeof(MapVertex)), 0);
  if (!map_rs.vb) fatal("Can't create map water VB");
  map_rs.ib = create_ib(MAP_INDICES, 0);
  if (!map_rs.ib) fatal("Can't create map water IB");
  map_rs.decl = get_vertex_decl(MAP_LAYOUT);
  map_rs.surfShader = create_shader("map_surf.sh", nullptr);
  map_rs.waterShader = create_shader("map_water.sh", nullptr);
  map_rs.lightShader = create_shader(gfx_quality == 1 ? "map_light.sh" : "map_light_low.sh", nullptr);
}

void close_world_map_render()
{
  destroy_shader(map_rs.surfShader);
  destroy_shader(map_rs.waterShader);
  destroy_shader(map_rs.lightShader);
  release_vb(map_rs.vb);
  release_ib(map_rs.ib);
  release_texture(mapTex);
  map_rs = MapRenderState();
  mapTex = nullptr;
}

void update_world_map()
{
  if (!mapTex || !map_rs.surfShader) return;
  const float c16[4] = {1.f, 1.f, 0.f, 0.f};
  const float c17[4] = {0.5f, -0.5f, 0.501953125f, 0.501953125f};

  // Ground colours.
  mark_pass("world map");
  set_render_target(mapTex, 0, false);
  set_blend_none();
  set_atest(0);
  set_zenable(false);
  set_stencil_test(0, 0, 8);
  set_wireframe(false);
  set_cull_mode(0);
  set_color_write_mask(15);
  set_shader(map_rs.surfShader);
  const Texture stages[3] = {colrTex, topcTex, land_rs.detailTex};
  for (int i = 0; i < 3; ++i) {
    set_texture(i, stages[i]);
    set_texture_address(i, 0);
    set_texture_filter(i, true);
  }
  set_vs_constants(17, c17, 1);
  set_vs_constants(16, c16, 1);
  draw_postfx();

  // Water and lava over every quad that touches a wet cell.
  const WaterRow* w = water;
  uint16_t* ip = (uint16_t*)lock_ib(map_rs.ib, 0, 0);
  MAP_ASSERT(ip);
  uint16_t* p = ip;
  int main_quads = 0, last_quads = 0;
  for (int r = 0; r < 256; ++r) {
    for (int c = 0; c < 256; ++c) {
      if (!(has_fluid(w, c, r) || has_fluid(w, c + 1, r) || has_fluid(w, c, r + 1) || has_fluid(w, c + 1, r + 1)))
        continue;
      if (r < MAP_SPLIT_ROW) {
        put_map_quad(p, r * MAP_GRID + c);
        ++main_quads;
      }
    }
  }
  for (int r = MAP_SPLIT_ROW; r < 256; ++r) {
    for (int c = 0; c < 256; ++c) {
      if (has_fluid(w, c, r) || has_fluid(w, c + 1, r) || has_fluid(w, c, r + 1) || has_fluid(w, c + 1, r + 1)) {
        put_map_quad(p, (r - MAP_SPLIT_ROW) * MAP_GRID + c);
        ++last_quads;
      }
    }
  }
  unlock_ib(map_rs.ib);
  world_map_stats.main_quads = main_quads;
  world_map_stats.last_rows_quads = last_quads;
  world_map_stats.fluid_draws = 0;

  if (main_quads + last_quads > 0) {
    fill_map_vertices(w);
    set_vertex_decl(map_rs.decl);
    set_shader(map_rs.waterShader);
    set_blend_alpha();
    // The map stays opaque: blending would write the fluid's cover into alpha.
    set_color_write_mask(7);
    set_ib(map_rs.ib);
    set_vb(0, map_rs.vb, 0, sizeof(MapVertex));
    if (main_quads > 0) {
      draw_indexed(4, 0, 0, MAP_VERTS, 0, 2 * main_quads);
      ++world_map_stats.fluid_draws;
    }
    if (last_quads > 0) {
      draw_indexed(4, MAP_SPLIT_ROW * MAP_GRID, 0, 3 * MAP_GRID, 6 * main_quads, 2 * last_quads);
      ++world_map_stats.fluid_draws;
    }
    set_color_write_mask(15);
  }

  // Shading from the refresh that has just run.
  set_shader(map_rs.lightShader);
  set_texture(0, gfx_quality == 1 ? current_land_aperture() : current_land_normals());
  set_texture_address(0, 0);
  set_texture_filter(0, true);
  set_blend_multiply();
  draw_postfx();
  set_blend_none();
}
