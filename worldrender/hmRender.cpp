// The land renderer's resources, its texture passes and the frame update.
// The per-frame meshes and the draws are in hmRenderMesh.cpp.
#include "worldrender/hmRender.h"

#include <cmath>
#include <cstring>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/passRecorder.h"
#include "engine/textureCache.h"
#include "worldrender/fluidSurface.h"
#include "worldrender/hmMapRender.h"
#include "worldrender/hmRenderInternal.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

using namespace HeightmapData;

namespace HeightmapRenderer
{
Texture hmapTex = nullptr;
Texture normTex = nullptr;
Texture aperTex = nullptr;
Texture colrTex = nullptr;
Texture topcTex = nullptr;
alignas(16) float curh[HMAP_CELLS];
}  // namespace HeightmapRenderer

using namespace HeightmapRenderer;

LandRenderState land_rs;
LandRenderStats land_render_stats;

namespace
{

// Refresh bookkeeping. A refresh rebuilds only what its inputs changed: with
// the world unchanged since the last refresh the textures would come out the
// same, and each 1024 x 1024 pass costs a software rasteriser several
// milliseconds. Everything is rebuilt when the textures may have lost their
// contents (start, device reset) or a pass's shader was rebuilt.
struct PairState
{
  bool same;   // both members hold the latest result
  bool shown;  // ... and the displayed texture holds it too
};
PairState norm_state, aper_state;
bool contents_valid = false;
// A 1 x 1 render texture holding CANARY_COLOR since the last full refresh: a
// device reset makes render textures anew, and then it no longer does.
Texture canary = nullptr;
const uint32_t CANARY_COLOR = 0xA5C3E10Fu;
// Program serials of the texture passes when they last ran.
uint32_t pass_serials = 0;

const VertexElementDesc LAND_LAYOUT[] = {
    {0, 0, VDECL_SHORT2, VDECL_POSITION, 0},
    {4, 0, VDECL_FLOAT1, VDECL_POSITION, 1},
    {0, 255, 0, 0, 0},
};
const VertexElementDesc PATCH_LAYOUT[] = {
    {0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
    {0, 1, VDECL_SHORT2, VDECL_POSITION, 1},
    {4, 1, VDECL_FLOAT4, VDECL_POSITION, 2},
    {0, 255, 0, 0, 0},
};
const VertexElementDesc FLUID_LAYOUT_HQ[] = {
    {0, 0, VDECL_SHORT2, VDECL_POSITION, 0},
    {4, 0, VDECL_FLOAT1, VDECL_POSITION, 1},
    {8, 0, VDECL_FLOAT4, VDECL_TEXCOORD, 0},
    {24, 0, VDECL_SHORT2, VDECL_TEXCOORD, 1},
    {0, 255, 0, 0, 0},
};
const VertexElementDesc FLUID_LAYOUT_LQ[] = {
    {0, 0, VDECL_SHORT2, VDECL_POSITION, 0},
    {4, 0, VDECL_FLOAT1, VDECL_POSITION, 1},
    {8, 0, VDECL_FLOAT1, VDECL_TEXCOORD, 1},
    {0, 255, 0, 0, 0},
};

Texture make_land_texture(int size, int format)
{
  Texture t = create_render_texture(size, size, format);
  if (!t) fatal("can't create land textures");
  return t;
}

VertexBuffer make_vb(int bytes, int flags, const char* message)
{
  VertexBuffer vb = create_vb(bytes, flags);
  if (!vb) fatal("%s", message);
  return vb;
}

IndexBuffer make_ib(int count, int flags, const char* message)
{
  IndexBuffer ib = create_ib(count, flags);
  if (!ib) fatal("%s", message);
  return ib;
}

void set_consts_vs(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_vs_constants(reg, c, 1);
}

void set_consts_ps(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_ps_constants(reg, c, 1);
}

// States every texture pass needs whatever the scene left behind.
void begin_texture_pass(Texture target)
{
  set_render_target(target, 0, false);
  set_blend_none();
  set_atest(0);
  set_zenable(false);
  set_stencil_test(0, 0, 8);
  set_wireframe(false);
  set_cull_mode(0);
  set_color_write_mask(15);
}

void assert_region(int x0, int z0, int nx, int nz)
{
  LAND_ASSERT(nx>0 && nz>0);
  LAND_ASSERT(x0>=0 && z0>=0 && x0+nx<=HMAP_SIZE && z0+nz<=HMAP_SIZE);
}

// What the grid textures hold, kept on the CPU: a region pass changes its
// region here and sends the whole texture, so the rest keeps its content.
float height_mirror[HMAP_CELLS];
uint32_t color_mirror[HMAP_CELLS], top_color_mirror[HMAP_CELLS];

// Sends a 256 x 256 mirror to its texture through the device's update path
// (one copy of 256 KB). Points drawn one per cell into the target give the
// same texels, but a software rasteriser spends some 40 ms on the 196,608
// points of a refresh, which comes every tick.
void send_mirror(Texture tex, const void* mirror)
{
  // Queued draws may still read the texture (last refresh's normal pass):
  // on the software rasteriser the update does not wait for them (seen: a
  // pass that blended old and new heights), so wait here. Between frames
  // nothing is queued and the wait is free.
  flush_gpu();
  int pitch = 0;
  uint8_t* dst = (uint8_t*)lock_texture_for_update(tex, &pitch);
  LAND_ASSERT(dst);
  const uint8_t* src = (const uint8_t*)mirror;
  const size_t row = size_t(HMAP_SIZE) * 4;
  for (int z = 0; z < HMAP_SIZE; ++z) memcpy(dst + size_t(z) * pitch, src + size_t(z) * row, row);
  unlock_texture_update(tex);
}

template <typename T, typename Value>
void fill_region(T* mirror, int x0, int z0, int nx, int nz, Value value)
{
  for (int z = z0; z < z0 + nz; ++z)
    for (int x = x0; x < x0 + nx; ++x) {
      const int i = (z << HMAP_SIZE_SHIFT) | x;
      mirror[i] = value(i);
    }
}

// One full-screen pass computing a region of a ping-pong texture from the
// height texture: the quad is squeezed onto the region, and the texture
// coordinates follow the squeezed position.
void height_texture_pass(Texture target, Shader* shader, int x0, int z0, int nx, int nz)
{
  begin_texture_pass(target);
  set_shader(shader);
  set_texture(0, hmapTex);
  set_texture_address(0, 0);
  set_texture_filter(0, true);
  set_consts_vs(17, 0.5f, -0.5f, 0.501953125f, 0.501953125f);
  set_consts_ps(0, 1.f / 256.f, 1.f / 256.f, 0.f, 0.f);
  set_consts_vs(16, float(nx) / 256.f, float(nz) / 256.f, float(2 * x0 + nx) / 256.f - 1.f,
                1.f - float(2 * z0 + nz) / 256.f);
  draw_postfx();
}

// Both members of a pair get the latest result.
void settle_pair(Texture pair[2], int cur, PairState& state)
{
  if (!pair[0] || !pair[1]) return;
  copy_texture(pair[cur], pair[cur ^ 1]);
  state.same = true;
  state.shown = false;
}

uint32_t texture_pass_serials()
{
  const LandRenderState& s = land_rs;
  uint32_t sum = world_map_shader_serials();
  Shader* shaders[] = {s.normShader, s.interpShader, s.aperShader[clamped_land_shadow_quality()]};
  for (Shader* sh : shaders) sum = sum * 31u + (sh ? sh->serial : 0u);
  return sum;
}

bool textures_intact()
{
  if (!contents_valid || !canary || pass_serials != texture_pass_serials()) return false;
  int pitch = 0;
  const void* p = read_render_texture(canary, &pitch);
  if (!p) return false;
  uint32_t v;
  memcpy(&v, p, 4);
  end_read_render_texture(canary);
  return v == CANARY_COLOR;
}

// Copies the world into a mirror; true when any value changed (compared bit
// for bit, so a NaN or a -0 is a change like any other).
template <typename T, typename Value>
bool refill_mirror(T* mirror, Value value)
{
  static_assert(sizeof(T) == 4, "32-bit texels");
  uint32_t diff = 0;
  for (int i = 0; i < HMAP_CELLS; ++i) {
    const T v = value(i);
    uint32_t a, b;
    memcpy(&a, &v, 4);
    memcpy(&b, &mirror[i], 4);
    diff |= a ^ b;
    mirror[i] = v;
  }
  return diff != 0;
}

// Fluid as the world map draws it (amount and foam).
float fluid_amount_mirror[HMAP_CELLS], fluid_foam_mirror[HMAP_CELLS];

// One refresh of a ping-pong pair: a new result when its input changed (or
// everything is rebuilt), else at most a copy that makes the two members
// equal, which is what recomputing the unchanged input would give.
void refresh_pair(Texture pair[2], int& cur, PairState& state, bool changed, bool full, void (*compute)())
{
  if (!pair[0]) return;
  if (changed || full) {
    compute();
    state.same = state.shown = false;
    if (full) settle_pair(pair, cur, state);
  } else if (!state.same) {
    settle_pair(pair, cur, state);
  }
}

void refresh_land_textures()
{
  LandRenderState& s = land_rs;
  const bool full = !textures_intact();
  const WaterRow* w = water;
  const bool heights =
      refill_mirror(height_mirror, [w](int i) { return hmap[i] + std::fabs(w[cell_z(i)][cell_x(i)].amount); });
  if (heights || full) send_mirror(hmapTex, height_mirror);
  bool colours = refill_mirror(color_mirror, [](int i) { return surface[i].color; });
  colours = refill_mirror(top_color_mirror, [](int i) { return surface[i].topColor; }) || colours;
  if (colours || full) {
    send_mirror(colrTex, color_mirror);
    send_mirror(topcTex, top_color_mirror);
  }
  bool fluid = refill_mirror(fluid_amount_mirror, [w](int i) { return w[cell_z(i)][cell_x(i)].amount; });
  fluid = refill_mirror(fluid_foam_mirror, [w](int i) { return w[cell_z(i)][cell_x(i)].foam; }) || fluid;

  refresh_pair(s.normPair, s.normCur, norm_state, heights, full, [] { calc_land_normals(0, 0, HMAP_SIZE, HMAP_SIZE); });
  if (gfx_quality == 1)
    refresh_pair(s.aperPair, s.aperCur, aper_state, heights, full,
                 [] { calc_land_aperture(0, 0, HMAP_SIZE, HMAP_SIZE); });
  if (heights || colours || fluid || full) update_world_map();
  if (full) {
    begin_texture_pass(canary);
    clear_view_color(CANARY_COLOR);
    pass_serials = texture_pass_serials();
    contents_valid = true;
  }
}

// The displayed member of a pair: the blend, unless it already shows the
// latest result and both members hold it.
void blend_pair(Texture dst, Texture pair[2], int cur, PairState& state, float f, int size)
{
  if (state.same && state.shown) return;
  interpolate_land_textures(dst, pair[cur ^ 1], pair[cur], f, size);
  state.shown = state.same;
}

int camera_cell(float v)
{
  const float f = std::floor(v + 0.5f);
  // Vertex coordinates are 16-bit: a camera beyond that range is pulled back.
  if (!(f > -32000.f)) return -32000;
  if (!(f < 32000.f)) return 32000;
  return int(f);
}

}  // namespace

// ------------------------------------------------------------- start-up ----

void init_land_render()
{
  close_land_render();
  show_splash("Compiling land shaders", -1.0f);
  LandRenderState& s = land_rs;
  const bool hq = gfx_quality == 1;

  s.landDecl = get_vertex_decl(LAND_LAYOUT);
  s.patchDecl = get_vertex_decl(PATCH_LAYOUT);
  s.fluidDecl = get_vertex_decl(hq ? FLUID_LAYOUT_HQ : FLUID_LAYOUT_LQ);
  s.fluidStride = hq ? int(sizeof(FluidVertexHQ)) : int(sizeof(FluidVertexLQ));

  s.landShader = create_shader(hq ? "dr_land.sh" : "land.sh", nullptr);
  s.patchShader = create_shader(hq ? "dr_land.sh" : "land.sh", "INST\0 1\0");
  s.waterShader = create_shader(hq ? "dr_water.sh" : "water.sh", nullptr);
  s.lavaShader = create_shader(hq ? "dr_lava.sh" : "lava.sh", nullptr);
  s.normShader = create_shader(hq ? "calc_norm.sh" : "calc_norm_low.sh", nullptr);
  if (hq) {
    s.aperShader[0] = create_shader("calc_aper.sh", "QUALITY\0 0\0");
    s.aperShader[1] = create_shader("calc_aper.sh", "QUALITY\0 1\0");
    s.aperShader[2] = create_shader("calc_aper.sh", "QUALITY\0 2\0");
  }
  s.interpShader = create_shader("interp_tex.sh", nullptr);
  s.horizonShader = create_shader("horizon.sh", nullptr);

  if (hq) {
    aperTex = make_land_texture(HMAP_SIZE, RT_A8R8G8B8);
    s.aperPair[0] = make_land_texture(HMAP_SIZE, RT_A8R8G8B8);
    s.aperPair[1] = make_land_texture(HMAP_SIZE, RT_A8R8G8B8);
  }
  normTex = make_land_texture(NORMAL_SIZE, RT_A8R8G8B8);
  s.normPair[0] = make_land_texture(NORMAL_SIZE, RT_A8R8G8B8);
  s.normPair[1] = make_land_texture(NORMAL_SIZE, RT_A8R8G8B8);
  colrTex = make_land_texture(HMAP_SIZE, RT_A8R8G8B8);
  topcTex = make_land_texture(HMAP_SIZE, RT_A8R8G8B8);
  hmapTex = make_land_texture(HMAP_SIZE, RT_R32F);
  s.detailTex = get_texture("detail.dds", false);
  if (!s.detailTex) fatal("can't create land textures");
  if (hq) {
    s.foamTex = get_texture("foam.dds", true);
    s.lavaTex = get_texture("lava.dds", true);
  }
  s.normCur = s.aperCur = 0;
  canary = make_land_texture(1, RT_A8R8G8B8);
  contents_valid = false;
  norm_state = aper_state = PairState{false, false};
  memset(height_mirror, 0, sizeof(height_mirror));
  memset(color_mirror, 0, sizeof(color_mirror));
  memset(top_color_mirror, 0, sizeof(top_color_mirror));

  s.landVB = make_vb(LAND_WINDOW * LAND_WINDOW * int(sizeof(LandVertex)), 0, "Can't create land VB");
  if (hq) s.horizonVB = make_vb(HORIZON_VERTS * int(sizeof(LandVertex)), 0, "Can't create land VB");
  s.instVB = make_vb(4096 * int(sizeof(PatchInstance)), 0, "Can't create land VB");
  s.patchVB = make_vb(PATCH_VERTS * int(sizeof(PatchVertex)), VB_STATIC, "Can't create land VB");
  s.waterVB = make_vb(LAND_WINDOW * LAND_WINDOW * s.fluidStride, 0, "Can't create water VB");
  s.lavaVB = make_vb(LAND_WINDOW * LAND_WINDOW * s.fluidStride, 0, "Can't create lava VB");
  s.landIB = make_ib(LAND_INDICES, VB_STATIC, "Can't create land IB");
  if (hq) s.horizonIB = make_ib(HORIZON_INDICES, VB_STATIC, "Can't create land IB");
  if (hq) s.horizonViewIB = make_ib(HORIZON_INDICES, 0, "Can't create land IB");
  s.patchIB = make_ib(PATCH_TRIS * 3, VB_STATIC, "Can't create land IB");
  s.waterIB = make_ib(FLUID_INDICES, 0, "Can't create water IB");
  s.lavaIB = make_ib(FLUID_INDICES, 0, "Can't create lava IB");
  build_static_land_meshes();

  init_world_map_render();
  init_fluid_surfaces();
  memset(curh, 0, sizeof(curh));
  s.ready = true;
  s.refresh = true;
}

void close_land_render()
{
  LandRenderState& s = land_rs;
  close_world_map_render();
  Shader* shaders[] = {s.landShader,    s.patchShader,   s.waterShader,   s.lavaShader,   s.normShader,
                       s.aperShader[0], s.aperShader[1], s.aperShader[2], s.interpShader, s.horizonShader};
  for (Shader* sh : shaders) destroy_shader(sh);
  Texture textures[] = {aperTex, s.aperPair[0], s.aperPair[1], normTex, s.normPair[0], s.normPair[1],
                        colrTex, topcTex,       hmapTex,      canary};
  for (Texture t : textures) release_texture(t);
  free_texture(s.detailTex);
  free_texture(s.foamTex);
  free_texture(s.lavaTex);
  VertexBuffer vbs[] = {s.landVB, s.horizonVB, s.instVB, s.patchVB, s.waterVB, s.lavaVB};
  for (VertexBuffer vb : vbs) release_vb(vb);
  IndexBuffer ibs[] = {s.patchIB, s.landIB, s.horizonIB, s.horizonViewIB, s.waterIB, s.lavaIB};
  for (IndexBuffer ib : ibs) release_ib(ib);
  s = LandRenderState();
  hmapTex = normTex = aperTex = colrTex = topcTex = nullptr;
  canary = nullptr;
  contents_valid = false;
}

vec4f land_camera_pos() { return cur_view_itm.row[3]; }
Matrix44 current_camera_matrix() { return cur_view_itm; }
bool land_cull_to_view = true;

void get_land_sky_constants(vec4f out[13])
{
  out[0] = sky_sun_register();
  for (int i = 0; i < SKY_REGISTERS; ++i) out[1 + i] = sky_registers[i];
}

void invalidate_land_textures() { land_rs.refresh = true; }
bool land_textures_invalid() { return land_rs.refresh; }

Texture current_land_normals() { return land_rs.normPair[land_rs.normCur]; }
Texture current_land_aperture() { return land_rs.aperPair[land_rs.aperCur]; }

// --------------------------------------------------------- region passes ----

void upload_land_heights(int x0, int z0, int nx, int nz)
{
  assert_region(x0, z0, nx, nz);
  const WaterRow* w = water;
  fill_region(height_mirror, x0, z0, nx, nz,
              [w](int i) { return hmap[i] + std::fabs(w[cell_z(i)][cell_x(i)].amount); });
  send_mirror(hmapTex, height_mirror);
}

void upload_land_colors(int x0, int z0, int nx, int nz)
{
  assert_region(x0, z0, nx, nz);
  // A8R8G8B8 texels are the packed 0xAARRGGBB words themselves.
  fill_region(color_mirror, x0, z0, nx, nz, [](int i) { return surface[i].color; });
  fill_region(top_color_mirror, x0, z0, nx, nz, [](int i) { return surface[i].topColor; });
  send_mirror(colrTex, color_mirror);
  send_mirror(topcTex, top_color_mirror);
}

void calc_land_normals(int x0, int z0, int nx, int nz)
{
  assert_region(x0, z0, nx, nz);
  land_rs.normCur ^= 1;
  norm_state = PairState{false, false};
  height_texture_pass(land_rs.normPair[land_rs.normCur], land_rs.normShader, x0, z0, nx, nz);
}

void calc_land_aperture(int x0, int z0, int nx, int nz)
{
  assert_region(x0, z0, nx, nz);
  if (!land_rs.aperPair[0]) return;  // low quality has no aperture
  land_rs.aperCur ^= 1;
  aper_state = PairState{false, false};
  height_texture_pass(land_rs.aperPair[land_rs.aperCur], land_rs.aperShader[clamped_land_shadow_quality()], x0, z0,
                      nx, nz);
}

void interpolate_land_textures(Texture dst, Texture previous, Texture current, float f, int size)
{
  begin_texture_pass(dst);
  set_shader(land_rs.interpShader);
  set_texture(0, previous);
  set_texture(1, current);
  set_texture_address(0, 0);
  set_texture_address(1, 0);
  // Texel centres meet texel centres: point sampling keeps the blend exact.
  set_texture_filter(0, false);
  set_texture_filter(1, false);
  const float h = 0.5f + 0.5f / float(size);
  set_consts_vs(16, 0.5f, -0.5f, h, h);
  set_consts_ps(0, f, f, f, f);
  draw_postfx();
}

// ----------------------------------------------------------- frame update ----

void update_land_render(float t)
{
  LandRenderState& s = land_rs;
  if (!s.ready) return;
  const float f = 20.f * t;
  const vec4f cam = land_camera_pos();
  s.camX = camera_cell(v_extract_x(cam));
  s.camZ = camera_cell(v_extract_z(cam));

  if (s.refresh) {
    mark_pass("land refresh");
    refresh_land_textures();
    s.refresh = false;
  }
  mark_pass("land blend");
  if (gfx_quality == 1 && aperTex) blend_pair(aperTex, s.aperPair, s.aperCur, aper_state, f, HMAP_SIZE);
  blend_pair(normTex, s.normPair, s.normCur, norm_state, f, NORMAL_SIZE);
  // The texture passes draw without culling; the scene that follows draws
  // with the frame's default (counter-clockwise faces culled), whether or
  // not a pass ran.
  set_cull_mode(1);

  morphHmap(t, curh);
  calc_display_fluid_surfaces(f);
  build_frame_land_meshes(f);
}
