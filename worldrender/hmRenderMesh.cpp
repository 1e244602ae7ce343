// The land renderer's meshes and draws: the patch mesh and the horizon
// indices made once, the land, patch, horizon, water and lava geometry laid
// out around the camera every frame, and the draw calls of the scene passes.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/postFx.h"
#include "worldrender/fluidSurface.h"
#include "worldrender/hmRenderInternal.h"
#include "worldrender/hmRenderServices.h"

using namespace HeightmapData;
using namespace HeightmapRenderer;

namespace
{

// Columns [disk_first[r], disk_last[r]] of quad row r lie in the disk of
// radius 130 quads round the camera (empty when first > last).
int disk_first[LAND_WINDOW - 1], disk_last[LAND_WINDOW - 1];

// Every quad of the window, from the camera outward: square rings round the
// camera's vertex (128, 128), ring k holding the quads k rows or columns
// away from it. Drawn in this order, near ground comes first and hides what
// lies behind it before that is shaded. patch_quads: how many leading
// entries reach the patch square's outer ring.
struct QuadPos
{
  uint8_t c, r;
};
enum { WINDOW_QUADS = (LAND_WINDOW - 1) * (LAND_WINDOW - 1) };
QuadPos near_first[WINDOW_QUADS];
int patch_quads;

inline int ring_of(int i) { return i >= LAND_HALF ? i - LAND_HALF : LAND_HALF - 1 - i; }

void build_near_first_order()
{
  int n = 0;
  const int patch_ring = std::max(ring_of(PATCH_FIRST), ring_of(PATCH_LAST));
  for (int k = 0; k < LAND_HALF; ++k) {
    for (int r = LAND_HALF - 1 - k; r <= LAND_HALF + k; ++r) {
      if (r < 0 || r > LAND_WINDOW - 2) continue;
      const bool edge_row = ring_of(r) == k;
      for (int c = LAND_HALF - 1 - k; c <= LAND_HALF + k; c += edge_row ? 1 : 2 * k + 1) {
        if (c < 0 || c > LAND_WINDOW - 2) continue;
        near_first[n++] = {uint8_t(c), uint8_t(r)};
      }
    }
    if (k == patch_ring) patch_quads = n;
  }
  LAND_ASSERT(n == WINDOW_QUADS);
}

inline bool in_disk(int c, int r) { return c >= disk_first[r] && c <= disk_last[r]; }

// The per-frame buffers are locked in place with the frame shortcuts: the
// last frame is drawn by the time they are rewritten, and fresh storage for
// each (cleared memory the system must hand over page by page) costs the
// main thread more than the writes themselves.
inline void* lock_frame_vb(VertexBuffer vb) { return frame_shortcuts ? lock_vb_in_place(vb) : lock_vb(vb, 0, 0); }
inline void* lock_frame_ib(IndexBuffer ib) { return frame_shortcuts ? lock_ib_in_place(ib) : lock_ib(ib, 0, 0); }

// Which window vertices have a water / lava surface this frame.
bool water_wet[LAND_WINDOW * LAND_WINDOW], lava_wet[LAND_WINDOW * LAND_WINDOW];

void build_disk_rows()
{
  for (int r = 0; r < LAND_WINDOW - 1; ++r) {
    const int qz = 2 * r - 255;
    disk_first[r] = LAND_WINDOW;
    disk_last[r] = -1;
    for (int c = 0; c < LAND_WINDOW - 1; ++c) {
      const int qx = 2 * c - 255;
      if (qx * qx + qz * qz <= LAND_DISK_R2) {
        if (c < disk_first[r]) disk_first[r] = c;
        disk_last[r] = c;
      }
    }
  }
}

inline bool in_patch_square(int c, int r) { return c >= PATCH_FIRST && c <= PATCH_LAST && r >= PATCH_FIRST && r <= PATCH_LAST; }

inline int wrapped_cell(int x, int z) { return ((z & HMAP_MASK) << HMAP_SIZE_SHIFT) | (x & HMAP_MASK); }

inline bool is_house_tile(int cell) { return ground_type(surface[cell].bits) == GT_HOUSE; }

inline void hand_to_building(int cell, int x, int z)
{
  ++land_render_stats.buildings;
  if (render_building) render_building(&surface[cell], x, z);
}

// Rounded to nearest and held inside the 16-bit field (NaN gives 0).
inline int16_t to_short(float v)
{
  if (!(v > -32768.f)) return v < 0.f ? int16_t(-32768) : int16_t(0);
  if (!(v < 32767.f)) return int16_t(32767);
  return int16_t(lrintf(v));
}

// Where window vertex (c, r) lies in the land and fluid vertex buffers: row
// by row, every odd row turned half a row round. The rasteriser remembers
// shaded vertices by index modulo 256; with plain rows a vertex and the one
// below it would share that slot and push each other out, and every quad
// would be shaded four times over.
inline int window_vertex(int c, int r) { return (r << 8) | ((c + ((r & 1) << 7)) & (LAND_WINDOW - 1)); }

// The two triangles of window quad (c, r), split as every quad is.
inline void put_window_quad(uint16_t*& p, int c, int r)
{
  const int a = window_vertex(c, r), b = window_vertex(c + 1, r);
  const int d = window_vertex(c, r + 1), e = window_vertex(c + 1, r + 1);
  p[0] = uint16_t(a);
  p[1] = uint16_t(d);
  p[2] = uint16_t(b);
  p[3] = uint16_t(b);
  p[4] = uint16_t(d);
  p[5] = uint16_t(e);
  p += 6;
}

inline void put_quad(uint16_t*& p, int a, int w)
{
  p[0] = uint16_t(a);
  p[1] = uint16_t(a + w);
  p[2] = uint16_t(a + 1);
  p[3] = uint16_t(a + 1);
  p[4] = uint16_t(a + w);
  p[5] = uint16_t(a + w + 1);
  p += 6;
}

// View culling. A software rasteriser pays for every triangle sent, seen or
// not, and most of the disk round the camera lies outside the view: blocks
// of 8 x 8 quads wholly outside the widest view the camera can have (zoom 1)
// are left out of the land, patch and fluid draws. House tiles still reach
// render_building whatever the view.
enum { CULL_BLOCK = 8, CULL_BLOCKS = LAND_WINDOW / CULL_BLOCK };
// How many parts the patches and the land grid are handed to the
// rasteriser in with the frame shortcuts.
enum { PATCH_DRAW_PARTS = 2, LAND_DRAW_PARTS = 4 };
bool block_visible[CULL_BLOCKS * CULL_BLOCKS];

inline bool quad_visible(int c, int r) { return block_visible[(r / CULL_BLOCK) * CULL_BLOCKS + c / CULL_BLOCK]; }

// Marks the blocks whose bounding sphere (over the land and both fluid
// surfaces) touches the view pyramid of the camera matrix cur_view_itm.
// The four side planes of the widest view the camera can have (zoom 1),
// through the eye, facing inward, each with the inverse of its normal's
// length. False when the camera matrix gives no usable planes.
struct ViewPlanes
{
  vec4f eye;
  vec4f planes[4];
  float inv_len[4];

  bool set()
  {
    const Matrix44 cam = current_camera_matrix();
    eye = cam.row[3];
    // Half-angle tangents of the view at zoom 1, the widest it gets.
    const float tan_v = std::tan(0.5f * 1.2915436f);
    const float tan_h = tan_v * float(d3d_wd) / float(d3d_ht > 0 ? d3d_ht : 1);
    planes[0] = cam.row[2] * v_splat(tan_h) - cam.row[0];
    planes[1] = cam.row[2] * v_splat(tan_h) + cam.row[0];
    planes[2] = cam.row[2] * v_splat(tan_v) - cam.row[1];
    planes[3] = cam.row[2] * v_splat(tan_v) + cam.row[1];
    for (int i = 0; i < 4; ++i) {
      const float len = std::sqrt(v_extract_x(v_length3_sq(planes[i])));
      if (!(len > 1e-6f) || !std::isfinite(len)) return false;
      inv_len[i] = 1.f / len;
    }
    return true;
  }

  // Whether a sphere may reach into the view (a sphere that is not finite
  // always may).
  bool touches(vec4f centre, float radius) const
  {
    if (!std::isfinite(radius)) return true;
    const vec4f d = centre - eye;
    for (int i = 0; i < 4; ++i)
      if (!(v_extract_x(v_dot3(d, planes[i])) * inv_len[i] >= -radius)) return false;
    return true;
  }
};

void cull_blocks(int ox, int oz)
{
  ViewPlanes view;
  if (!land_cull_to_view || !view.set()) {
    // Not culling, or no usable camera axes: draw everything.
    for (bool& b : block_visible) b = true;
    return;
  }
  for (int bz = 0; bz < CULL_BLOCKS; ++bz) {
    for (int bx = 0; bx < CULL_BLOCKS; ++bx) {
      float lo = FLT_MAX, hi = -FLT_MAX;
      for (int r = bz * CULL_BLOCK; r <= bz * CULL_BLOCK + CULL_BLOCK && r < LAND_WINDOW; ++r) {
        for (int c = bx * CULL_BLOCK; c <= bx * CULL_BLOCK + CULL_BLOCK && c < LAND_WINDOW; ++c) {
          const int cell = wrapped_cell(ox + c, oz + r);
          // Comparisons rather than fmin/fmax, which are library calls
          // here; a NaN height is passed over either way.
          const FluidSurfaceCell& fs = display_fluid_surface[cell];
          const float h = curh[cell];
          if (h < lo) lo = h;
          if (h > hi) hi = h;
          if (fs.water > hi) hi = fs.water;
          if (fs.lava > hi) hi = fs.lava;
        }
      }
      const float half = 0.5f * float(CULL_BLOCK);
      const float mid_y = 0.5f * (lo + hi), half_y = 0.5f * (hi - lo);
      // Sphere round the block's box, one cell wider for the patch bumps.
      const float radius = std::sqrt(2.f * half * half + half_y * half_y) + 1.f;
      const vec4f centre = make4f(float(ox + bx * CULL_BLOCK) + half, mid_y, float(oz + bz * CULL_BLOCK) + half, 0.f);
      block_visible[bz * CULL_BLOCKS + bx] = view.touches(centre, radius);
    }
  }
}

void build_patches(int ox, int oz)
{
  LandRenderState& s = land_rs;
  PatchInstance* inst = (PatchInstance*)lock_frame_vb(s.instVB);
  LAND_ASSERT(inst);
  int n = 0;
  for (int i = 0; i < patch_quads; ++i) {
    const int c = near_first[i].c, r = near_first[i].r;
    if (!in_patch_square(c, r)) continue;
    const int x = ox + c, z = oz + r;
    const int cell = wrapped_cell(x, z);
    if (is_house_tile(cell)) {
      hand_to_building(cell, x, z);
      continue;
    }
    if (!quad_visible(c, r)) continue;
    PatchInstance& p = inst[n++];
    p.x = int16_t(x);
    p.z = int16_t(z);
    p.h[0] = curh[cell];
    p.h[1] = curh[wrapped_cell(x + 1, z)];
    p.h[2] = curh[wrapped_cell(x, z + 1)];
    p.h[3] = curh[wrapped_cell(x + 1, z + 1)];
  }
  unlock_vb(s.instVB);
  s.instances = n;
}

// Calls put(c0, c1) for the runs [c0, c1] of window vertex row r that the
// quads of this frame's visible blocks use: the rest are never drawn, so
// with the frame shortcuts they are left unwritten. Without them every
// vertex of the row is one run.
template <class Put>
void for_used_vertices(int r, Put put)
{
  if (!frame_shortcuts) {
    put(0, LAND_WINDOW - 1);
    return;
  }
  // Quad rows r - 1 and r meet at vertex row r.
  const int above = (r > 0 ? r - 1 : 0) / CULL_BLOCK;
  const int below = std::min(r, LAND_WINDOW - 2) / CULL_BLOCK;
  int run = -1;
  for (int bx = 0; bx < CULL_BLOCKS; ++bx) {
    const bool used = block_visible[above * CULL_BLOCKS + bx] || block_visible[below * CULL_BLOCKS + bx];
    if (used && run < 0) run = bx * CULL_BLOCK;
    if (!used && run >= 0) {
      // The run ends on the far corner of its last block's quads.
      put(run, bx * CULL_BLOCK);
      run = -1;
    }
  }
  if (run >= 0) put(run, LAND_WINDOW - 1);
}

void build_land_grid(int ox, int oz)
{
  LandRenderState& s = land_rs;
  LandVertex* v = (LandVertex*)lock_frame_vb(s.landVB);
  LAND_ASSERT(v);
  for (int r = 0; r < LAND_WINDOW; ++r) {
    const int z = oz + r;
    const float* row = curh + ((z & HMAP_MASK) << HMAP_SIZE_SHIFT);
    for_used_vertices(r, [&](int c0, int c1) {
      for (int c = c0; c <= c1; ++c) {
        const int x = ox + c;
        LandVertex& lv = v[window_vertex(c, r)];
        lv.x = int16_t(x);
        lv.z = int16_t(z);
        lv.h = row[x & HMAP_MASK];
      }
    });
  }
  unlock_vb(s.landVB);
}

void build_land_indices(int ox, int oz)
{
  LandRenderState& s = land_rs;
  uint16_t* ip = (uint16_t*)lock_frame_ib(s.landIB);
  LAND_ASSERT(ip);
  uint16_t* p = ip;
  for (const QuadPos& q : near_first) {
    const int c = q.c, r = q.r;
    if (in_patch_square(c, r) || !in_disk(c, r)) continue;
    const int cell = wrapped_cell(ox + c, oz + r);
    if (is_house_tile(cell)) {
      hand_to_building(cell, ox + c, oz + r);
      continue;
    }
    if (quad_visible(c, r)) put_window_quad(p, c, r);
  }
  unlock_ib(s.landIB);
  s.landQuads = int(p - ip) / 6;
}

// Heights of the horizon vertices as last built, for culling.
float horizon_h[HORIZON_VERTS];
int horizon_x0, horizon_z0;

// Far land on a coarse grid, 4 cells per step, sinking with distance so it
// meets the sky below the horizon line.
void build_horizon()
{
  LandRenderState& s = land_rs;
  LandVertex* v = (LandVertex*)lock_frame_vb(s.horizonVB);
  LAND_ASSERT(v);
  const vec4f cam = land_camera_pos();
  const float camx = v_extract_x(cam), camz = v_extract_z(cam);
  const int x0 = (s.camX - 383) & ~3, z0 = (s.camZ - 383) & ~3;
  horizon_x0 = x0;
  horizon_z0 = z0;
  float* hp = horizon_h;
  for (int j = 0; j < HORIZON_SIDE; ++j) {
    const int z = z0 + 4 * j;
    for (int i = 0; i < HORIZON_SIDE; ++i, ++v) {
      const int x = x0 + 4 * i;
      const int cell = wrapped_cell(x, z);
      float h = curh[cell];
      const FluidSurfaceCell& fs = display_fluid_surface[cell];
      // What is on top goes into x's two low bits (x is a multiple of 4).
      int kind = 0;
      if (fs.water > h) h = fs.water, kind = 1;
      if (fs.lava > h) h = fs.lava, kind = 2;
      const float dx = float(x) - camx, dz = float(z) - camz;
      const float d = std::sqrt(dx * dx + dz * dz);
      if (d > 128.f) {
        const float k = (d - 128.f) / 256.f;
        h -= (k * k) * 128.f;
      }
      v->x = int16_t(to_short(float(x)) | kind);
      v->z = to_short(float(z));
      v->h = h;
      *hp++ = h;
    }
  }
  unlock_vb(s.horizonVB);
}

enum { HORIZON_QUADS = HORIZON_SIDE - 1, HBLOCK = 8, HBLOCKS = (HORIZON_QUADS + HBLOCK - 1) / HBLOCK };

// Writes the horizon ring's quads, row by row, into ib: those outside the
// hole, and with `visible` only those of the blocks it marks. Returns the
// number of quads.
int put_horizon_quads(IndexBuffer ib, const bool* visible)
{
  uint16_t* ip = (uint16_t*)lock_frame_ib(ib);
  LAND_ASSERT(ip);
  uint16_t* p = ip;
  for (int row = 0; row < HORIZON_QUADS; ++row) {
    const int cz = 2 * row - 191;
    for (int col = 0; col < HORIZON_QUADS; ++col) {
      const int cx = 2 * col - 191;
      if (cx * cx + cz * cz >= HORIZON_HOLE_R2 && (!visible || visible[(row / HBLOCK) * HBLOCKS + col / HBLOCK]))
        put_quad(p, row * HORIZON_SIDE + col, HORIZON_SIDE);
    }
  }
  unlock_ib(ib);
  return int(p - ip) / 6;
}

// The horizon quads that can reach the view, in the order of the whole
// ring's indices: blocks of 8 x 8 quads wholly outside the widest view are
// left out, as the land's are. A triangle outside the view draws no pixel,
// so the picture is the one the whole ring gives.
int horizon_view_quads;

void build_horizon_view_indices()
{
  LandRenderState& s = land_rs;
  bool visible[HBLOCKS * HBLOCKS];
  ViewPlanes view;
  const bool all = !land_cull_to_view || !view.set();
  for (int bz = 0; bz < HBLOCKS; ++bz) {
    for (int bx = 0; bx < HBLOCKS; ++bx) {
      bool& vis = visible[bz * HBLOCKS + bx];
      if (all) {
        vis = true;
        continue;
      }
      const int i0 = bx * HBLOCK, i1 = std::min(i0 + HBLOCK, int(HORIZON_QUADS));
      const int j0 = bz * HBLOCK, j1 = std::min(j0 + HBLOCK, int(HORIZON_QUADS));
      float lo = FLT_MAX, hi = -FLT_MAX;
      for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
          const float h = horizon_h[j * HORIZON_SIDE + i];
          if (h < lo) lo = h;
          if (h > hi) hi = h;
        }
      const float half_x = 2.f * float(i1 - i0), half_z = 2.f * float(j1 - j0);
      const float mid_y = 0.5f * (lo + hi), half_y = 0.5f * (hi - lo);
      const float radius = std::sqrt(half_x * half_x + half_z * half_z + half_y * half_y) + 1.f;
      const vec4f centre =
          make4f(float(horizon_x0 + 4 * i0) + half_x, mid_y, float(horizon_z0 + 4 * j0) + half_z, 0.f);
      vis = view.touches(centre, radius);
    }
  }
  horizon_view_quads = put_horizon_quads(s.horizonViewIB, visible);
}

// Sets water_wet and lava_wet for the vertices this frame's quads use.
void mark_wet_vertices(int ox, int oz)
{
  for (int r = 0; r < LAND_WINDOW; ++r) {
    const int wz = (oz + r) & HMAP_MASK;
    for_used_vertices(r, [&](int c0, int c1) {
      for (int c = c0; c <= c1; ++c) {
        const FluidSurfaceCell& fs = display_fluid_surface[(wz << HMAP_SIZE_SHIFT) | ((ox + c) & HMAP_MASK)];
        const int k = r * LAND_WINDOW + c;
        water_wet[k] = fs.water != FLUID_NO_SURFACE;
        lava_wet[k] = fs.lava != FLUID_NO_SURFACE;
      }
    });
  }
}

void build_fluid_vertices(int ox, int oz, float f)
{
  LandRenderState& s = land_rs;
  const bool hq = gfx_quality == 1;
  uint8_t* v = (uint8_t*)lock_frame_vb(s.waterVB);
  LAND_ASSERT(v);
  uint8_t* lv = (uint8_t*)lock_frame_vb(s.lavaVB);
  LAND_ASSERT(lv);
  const WaterRow* cw = water;
  const WaterRow* pw = tmpw;
  const FoamCell* fprev = foam_field[foam_field_cur ^ 1];
  const FoamCell* fcur = foam_field[foam_field_cur];
  for (int r = 0; r < LAND_WINDOW; ++r) {
    const int z = oz + r;
    const int wz = z & HMAP_MASK;
    for_used_vertices(r, [&](int c0, int c1) {
      for (int c = c0; c <= c1; ++c) {
        const int x = ox + c;
        const int wx = x & HMAP_MASK;
        const int cell = (wz << HMAP_SIZE_SHIFT) | wx;
        const int at = window_vertex(c, r);
        const FluidSurfaceCell& fs = display_fluid_surface[cell];
        const Water& a = pw[wz][wx];
        const Water& b = cw[wz][wx];
        const float foam = a.foam + (b.foam - a.foam) * f;
        const float lava_depth = std::fmax(0.f, fs.lava - curh[cell]);
        if (hq) {
          const float sp_prev = a.u * a.u + a.w * a.w;
          const float sp_cur = b.u * b.u + b.w * b.w;
          const float sp = sp_prev + (sp_cur - sp_prev) * f;
          const FoamCell& p = fprev[cell];
          const FoamCell& q = fcur[cell];
          FluidVertexHQ wv;
          wv.x = int16_t(x);
          wv.z = int16_t(z);
          wv.surface = fs.water;
          wv.foam[0] = p.ua + (q.ua - p.ua) * f;
          wv.foam[1] = p.va + (q.va - p.va) * f;
          wv.foam[2] = p.ub + (q.ub - p.ub) * f;
          wv.foam[3] = p.vb + (q.vb - p.vb) * f;
          wv.t1[0] = to_short(256.f * foam);
          wv.t1[1] = to_short(256.f * sp);
          FluidVertexHQ lavav = wv;
          lavav.surface = fs.lava;
          lavav.t1[0] = to_short(1024.f * lava_depth);
          memcpy(v + at * sizeof(wv), &wv, sizeof(wv));
          memcpy(lv + at * sizeof(lavav), &lavav, sizeof(lavav));
        } else {
          const FluidVertexLQ wv = {int16_t(x), int16_t(z), fs.water, foam};
          const FluidVertexLQ lavav = {int16_t(x), int16_t(z), fs.lava, lava_depth};
          memcpy(v + at * sizeof(wv), &wv, sizeof(wv));
          memcpy(lv + at * sizeof(lavav), &lavav, sizeof(lavav));
        }
      }
    });
  }
  unlock_vb(s.waterVB);
  unlock_vb(s.lavaVB);
}

// With the frame shortcuts, the fluid and horizon vertices are written by
// the first draw that needs them, after the land is on its way to the
// rasteriser, rather than while it waits for the frame's first triangles.
// What they are built from does not change in between.
struct PendingMeshes
{
  bool fluid = false, horizon = false;
  int ox = 0, oz = 0;
  float f = 0.f;
} pending;

void build_pending_fluid()
{
  if (!pending.fluid) return;
  pending.fluid = false;
  build_fluid_vertices(pending.ox, pending.oz, pending.f);
}

// A fluid quad is drawn only when all four corners have that fluid's surface.
void build_fluid_indices()
{
  LandRenderState& s = land_rs;
  uint16_t* ip = (uint16_t*)lock_frame_ib(s.waterIB);
  LAND_ASSERT(ip);
  uint16_t* lp = (uint16_t*)lock_frame_ib(s.lavaIB);
  LAND_ASSERT(lp);
  uint16_t* wp = ip;
  uint16_t* lq = lp;
  for (const QuadPos& q : near_first) {
    const int c = q.c, r = q.r;
    if (!in_disk(c, r) || !quad_visible(c, r)) continue;
    const int a = r * LAND_WINDOW + c;
    if (water_wet[a] && water_wet[a + 1] && water_wet[a + LAND_WINDOW] && water_wet[a + LAND_WINDOW + 1])
      put_window_quad(wp, c, r);
    if (lava_wet[a] && lava_wet[a + 1] && lava_wet[a + LAND_WINDOW] && lava_wet[a + LAND_WINDOW + 1])
      put_window_quad(lq, c, r);
  }
  unlock_ib(s.waterIB);
  unlock_ib(s.lavaIB);
  s.waterQuads = int(wp - ip) / 6;
  s.lavaQuads = int(lq - lp) / 6;
}

void set_vs4(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_vs_constants(reg, c, 1);
}

void set_ps4(int reg, float x, float y, float z, float w)
{
  const float c[4] = {x, y, z, w};
  set_ps_constants(reg, c, 1);
}

void bind_wrapped(int stage, Texture tex)
{
  set_texture(stage, tex);
  set_texture_address(stage, 0);
  set_texture_filter(stage, true);
}

void draw_fluid(Shader* shader, VertexBuffer vb, IndexBuffer ib, int quads)
{
  const LandRenderState& s = land_rs;
  set_vertex_decl(s.fluidDecl);
  set_shader(shader);
  set_ib(ib);
  set_vb(0, vb, 0, s.fluidStride);
  draw_indexed(4, 0, 0, LAND_WINDOW * LAND_WINDOW, 0, 2 * quads);
}

// The fluid draws at high quality: foam cross-fade and screen mapping.
void set_fluid_hq_constants(float f)
{
  set_ps4(12, foam_fade_weight(f), 0.f, 0.f, 0.f);
  set_ps4(13, 0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht));
}

}  // namespace

int clamped_land_shadow_quality()
{
  if (land_shadow_quality < 0) return 0;
  if (land_shadow_quality > 2) return 2;
  return land_shadow_quality;
}

void build_static_land_meshes()
{
  LandRenderState& s = land_rs;
  build_disk_rows();
  build_near_first_order();

  PatchVertex* pv = (PatchVertex*)lock_vb(s.patchVB, 0, 0);
  LAND_ASSERT(pv);
  for (int row = 0; row < 5; ++row)
    for (int col = 0; col < 5; ++col) pv[5 * row + col] = {float(col) / 4.f, float(row) / 4.f};
  unlock_vb(s.patchVB);

  uint16_t* ip = (uint16_t*)lock_ib(s.patchIB, 0, 0);
  LAND_ASSERT(ip);
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) put_quad(ip, 5 * row + col, 5);
  unlock_ib(s.patchIB);

  s.horizonQuads = s.horizonIB ? put_horizon_quads(s.horizonIB, nullptr) : 0;
}

void build_frame_land_meshes(float f)
{
  LandRenderState& s = land_rs;
  const int ox = s.camX - LAND_HALF, oz = s.camZ - LAND_HALF;
  land_render_stats.buildings = 0;
  cull_blocks(ox, oz);
  build_patches(ox, oz);
  build_land_grid(ox, oz);
  build_land_indices(ox, oz);
  const bool horizon = gfx_quality == 1 && s.horizonVB;
  mark_wet_vertices(ox, oz);
  build_fluid_indices();
  pending = PendingMeshes{true, horizon, ox, oz, f};
  if (!frame_shortcuts) {
    if (horizon) build_horizon();
    build_pending_fluid();
    pending.horizon = false;
  }
  int seen = 0;
  for (bool b : block_visible) seen += b;
  land_render_stats.visible_blocks = seen;

  land_render_stats.camera_cell_x = s.camX;
  land_render_stats.camera_cell_z = s.camZ;
  land_render_stats.patches = s.instances;
  land_render_stats.land_quads = s.landQuads;
  land_render_stats.water_quads = s.waterQuads;
  land_render_stats.lava_quads = s.lavaQuads;
  land_render_stats.horizon_quads = s.horizonQuads;
}

// ------------------------------------------------------------------ draws ----

void render_land(float)
{
  const LandRenderState& s = land_rs;
  if (!s.ready) return;
  if (gfx_quality == 1) bind_wrapped(0, aperTex);
  bind_wrapped(1, normTex);
  bind_wrapped(2, colrTex);
  bind_wrapped(3, topcTex);
  bind_wrapped(4, s.detailTex);
  set_vs4(16, 1.f / 256.f, 1.f / 256.f, 1.f / 512.f, 1.f / 2048.f);
  alignas(16) vec4f sky[13];
  get_land_sky_constants(sky);
  set_ps_constants(0, (const float*)sky, 13);

  // With the frame shortcuts, the same triangles in the same order go in
  // parts, each handed to the rasteriser as soon as it is prepared: the
  // nearer ground is drawn while the farther is prepared, and the last part
  // while the passes after the land are.
  const int parts = frame_shortcuts ? int(LAND_DRAW_PARTS) : 1;
  if (s.instances > 0) {
    set_vertex_decl(s.patchDecl);
    set_vb(0, s.patchVB, 0, sizeof(PatchVertex));
    set_ib(s.patchIB);
    set_shader(s.patchShader);
    // Instances are drawn one after the other, so a run of them drawn alone
    // gives the triangles of the whole draw in the same order.
    const int patch_parts = std::min(parts, int(PATCH_DRAW_PARTS));
    for (int k = 0; k < patch_parts; ++k) {
      const int first = s.instances * k / patch_parts, end = s.instances * (k + 1) / patch_parts;
      if (end == first) continue;
      set_vb(1, s.instVB, first * int(sizeof(PatchInstance)), sizeof(PatchInstance));
      set_instancing(end - first);
      draw_indexed(4, 0, 0, PATCH_VERTS, 0, PATCH_TRIS);
      submit_queued_draws();
    }
    set_instancing(0);
    set_vb(1, nullptr, 0, 0);
  }

  set_vertex_decl(s.landDecl);
  set_shader(s.landShader);
  set_ib(s.landIB);
  set_vb(0, s.landVB, 0, sizeof(LandVertex));
  for (int k = 0; k < parts; ++k) {
    const int first = s.landQuads * k / parts, end = s.landQuads * (k + 1) / parts;
    if (end == first) continue;
    draw_indexed(4, 0, 0, LAND_WINDOW * LAND_WINDOW, 6 * first, 2 * (end - first));
    if (frame_shortcuts) submit_queued_draws();
  }
}

void render_lava(float f)
{
  const LandRenderState& s = land_rs;
  if (!s.ready) return;
  build_pending_fluid();
  if (gfx_quality == 1) {
    bind_wrapped(0, aperTex);
    bind_wrapped(3, s.detailTex);
    bind_wrapped(4, s.lavaTex);
    set_fluid_hq_constants(f);
  } else {
    bind_wrapped(4, s.detailTex);
  }
  draw_fluid(s.lavaShader, s.lavaVB, s.lavaIB, s.lavaQuads);
}

void render_water(float f)
{
  const LandRenderState& s = land_rs;
  if (!s.ready) return;
  build_pending_fluid();
  if (gfx_quality == 1) {
    bind_wrapped(0, aperTex);
    bind_wrapped(4, s.foamTex);
    set_fluid_hq_constants(f);
    draw_fluid(s.waterShader, s.waterVB, s.waterIB, s.waterQuads);
    // The light and final passes read the heights with fluid.
    bind_wrapped(1, hmapTex);
  } else {
    // Low quality blends the water over the land it covers.
    set_blend_alpha();
    draw_fluid(s.waterShader, s.waterVB, s.waterIB, s.waterQuads);
    set_blend_none();
  }
}

void render_horizon()
{
  const LandRenderState& s = land_rs;
  if (!s.ready || !s.horizonVB) return;
  // Stage 1 keeps the height texture and the constant registers stay as the
  // scene passes set them: the horizon only adds the land's textures.
  bind_wrapped(0, aperTex);
  bind_wrapped(2, colrTex);
  bind_wrapped(3, topcTex);
  bind_wrapped(4, s.detailTex);
  bind_wrapped(5, normTex);
  set_vertex_decl(s.landDecl);
  set_shader(s.horizonShader);
  if (pending.horizon) {
    pending.horizon = false;
    build_horizon();
    build_horizon_view_indices();
    set_ib(s.horizonViewIB);
    set_vb(0, s.horizonVB, 0, sizeof(LandVertex));
    draw_indexed(4, 0, 0, HORIZON_VERTS, 0, 2 * horizon_view_quads);
    land_render_stats.horizon_drawn_quads = horizon_view_quads;
    return;
  }
  land_render_stats.horizon_drawn_quads = s.horizonQuads;
  set_ib(s.horizonIB);
  set_vb(0, s.horizonVB, 0, sizeof(LandVertex));
  draw_indexed(4, 0, 0, HORIZON_VERTS, 0, 2 * s.horizonQuads);
}
