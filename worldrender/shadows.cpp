#include "worldrender/shadows.h"

#include <cmath>
#include <cstring>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/debugDraw.h"
#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

ShadowTile shadow_tiles[SHADOW_TILES_X * SHADOW_TILES_Y];
DynArray<ShadowBallChunk> shadow_chunks;
DynArray<int> shadow_chunk_links;
DynArray<ShadowSphere> shadow_submitted;
int shadow_pass_records[4];

namespace
{
const int NUMVEC[4] = {8, 4, 2, 1};
const char* const NUMVEC_DEFINES[4] = {"NUMVEC\0 8\0", "NUMVEC\0 4\0", "NUMVEC\0 2\0", "NUMVEC\0 1\0"};

VertexBuffer quad_vb;
IndexBuffer quad_ib;
VertexDecl pass_decl[4];
Shader* pass_shader[4];

int pass_stride(int pass) { return 4 + 16 * NUMVEC[pass]; }

void add_to_tile(ShadowTile& t, const ShadowSphere& s)
{
  if (t.inCurrent < SHADOW_BALLS_PER_CHUNK && t.current != -1) {
    shadow_chunks[t.current].spheres[t.inCurrent] = s;
    t.inCurrent += 1;
    return;
  }
  const int n = shadow_chunks.num;
  if (t.current != -1) {
    shadow_chunk_links[t.current] = n;
    t.fullCount += 1;
  } else {
    t.first = n;
  }
  t.current = n;
  t.inCurrent = 1;
  shadow_chunk_links.push_back(-1);
  ShadowBallChunk c;
  memset(&c, 0, sizeof(c));
  c.spheres[0] = s;
  shadow_chunks.push_back(c);
}

// One record: the tile's column and row, then `count` spheres.
void write_record(int pass, int col, int row, const ShadowSphere* spheres, int count)
{
  DynVBWriter& w = common_vb_writer;
  const int stride = pass_stride(pass);
  if (!w.startPtr) {
    set_shader(pass_shader[pass]);
    set_vertex_decl(pass_decl[pass]);
    set_vb(1, w.vb, 0, stride);
    w.begin(dyn_vb_draw_instances, (4 << 16) + 2);
  }
  if (w.count >= w.size / stride) w.flush(false);
  int16_t cr[2] = {int16_t(col), int16_t(row)};
  memcpy(w.ptr, cr, 4);
  memcpy(w.ptr + 4, spheres, size_t(count) * 16);
  w.ptr += stride;
  w.count += 1;
  shadow_pass_records[pass]++;
}
}  // namespace

void init_shadows()
{
  close_shadows();
  quad_vb = create_vb(16, VB_STATIC);
  quad_ib = create_ib(6, VB_STATIC);
  if (!quad_vb || !quad_ib) fatal("Can't create shadows VB");
  int16_t* vp = (int16_t*)lock_vb(quad_vb, 0, 0);
  ASSERT_AT("shadows", 231, vp);
  const int16_t corners[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  memcpy(vp, corners, sizeof(corners));
  unlock_vb(quad_vb);
  uint16_t* ip = (uint16_t*)lock_ib(quad_ib, 0, 0);
  ASSERT_AT("shadows", 236, ip);
  const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
  memcpy(ip, idx, sizeof(idx));
  unlock_ib(quad_ib);

  for (int p = 0; p < 4; ++p) {
    VertexElementDesc list[12];
    int n = 0;
    list[n++] = {0, 0, VDECL_SHORT2, VDECL_POSITION, 0};
    list[n++] = {0, 1, VDECL_SHORT2, VDECL_POSITION, 1};
    for (int i = 0; i < NUMVEC[p]; ++i) list[n++] = {uint16_t(4 + 16 * i), 1, VDECL_FLOAT4, VDECL_TEXCOORD, uint8_t(i)};
    list[n++] = {0, 255, 0, 0, 0};
    pass_decl[p] = get_vertex_decl(list);
  }
}

void init_shadow_shaders()
{
  if (gfx_quality != 1) return;
  init_shadows();
  for (int p = 0; p < 4; ++p) pass_shader[p] = create_shader("dr_shadow.sh", NUMVEC_DEFINES[p]);
}

void close_shadows()
{
  for (Shader*& s : pass_shader) {
    destroy_shader(s);
    s = nullptr;
  }
  release_vb(quad_vb);
  release_ib(quad_ib);
  quad_vb = nullptr;
  quad_ib = nullptr;
}

void start_render_shadows()
{
  shadow_submitted.clear();
  for (ShadowTile& t : shadow_tiles) t = ShadowTile{-1, -1, 0, 0};
  shadow_chunks.clear();
  shadow_chunk_links.clear();
}

void render_shadow_ball(vec4f centre, float r)
{
  const ShadowSphere s = {centre[0], centre[1], centre[2], r};
  shadow_submitted.push_back(s);

  const vec4f p = centre - v_splat(3.f * r) * sky_sun_dir;
  const float R = 5.f * r;
  const vec4f clip = v_transform(p, cur_glob_tm);
  const vec4f ext = cur_glob_rk * v_splat(R);
  const vec4f hi = clip + ext, lo = clip - ext;
  if (hi[0] < -hi[3] || hi[1] < -hi[3] || hi[2] < 0.f || lo[0] > hi[3] || lo[1] > hi[3] || lo[2] > hi[3]) return;

  const vec4f d = p - cur_view_itm.row[3];
  if (d[0] * d[0] + d[2] * d[2] >= 12544.f) return;

  const float cw = std::max(clip[3], 0.1f), ew = std::max(lo[3], 0.1f);
  const float cx = clip[0] / cw, cy = clip[1] / cw;
  const float ex = ext[0] / ew, ey = ext[1] / ew;
  // Truncation toward zero; values far off screen are clamped first so the
  // conversion stays defined.
  auto trunc_i = [](float v) { return int(std::fmax(std::fmin(v, 1e6f), -1e6f)); };
  int x0 = trunc_i((cx - ex + 1.f) * 8.f), y0 = trunc_i((cy - ey + 1.f) * 4.5f);
  int x1 = trunc_i((cx + ex + 1.f) * 8.f), y1 = trunc_i((cy + ey + 1.f) * 4.5f);
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, SHADOW_TILES_X - 1);
  y1 = std::min(y1, SHADOW_TILES_Y - 1);
  if (x0 > x1 || y0 > y1) return;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) add_to_tile(shadow_tiles[y * SHADOW_TILES_X + x], s);
}

void end_render_shadows()
{
  clear_view_color(0xFFFFFFFFu);
  memset(shadow_pass_records, 0, sizeof(shadow_pass_records));
  if (!quad_vb) return;
  const vec4f cam = cur_view_itm.row[3];
  set_ps_constants(16, (const float*)&cam, 1);
  set_blend_multiply();
  const float c15[4] = {0.125f, 0.2222222f, -1.f, -1.f};
  set_vs_constants(15, c15, 1);
  // The sun and the view-projection let each record skip the pixels its
  // spheres cannot shade.
  vec4f sun = sky_sun_dir;
  sun[3] = frame_shortcuts ? 1.f : 0.f;
  set_vs_constants(21, (const float*)&sun, 1);
  set_vs_constants(22, &cur_glob_tm.m[0][0], 4);
  set_vb(0, quad_vb, 0, 4);
  set_ib(quad_ib);

  DynVBWriter& w = common_vb_writer;
  for (int pass = 0; pass < 4; ++pass) {
    for (int row = 0; row < SHADOW_TILES_Y; ++row)
      for (int col = 0; col < SHADOW_TILES_X; ++col) {
        const ShadowTile& t = shadow_tiles[row * SHADOW_TILES_X + col];
        if (t.current == -1) continue;
        const ShadowSphere* cur = shadow_chunks[t.current].spheres;
        switch (pass) {
          case 0: {
            const int full = t.fullCount + (t.inCurrent == 8 ? 1 : 0);
            int c = t.first;
            for (int i = 0; i < full; ++i, c = shadow_chunk_links[c])
              write_record(0, col, row, shadow_chunks[c].spheres, 8);
            break;
          }
          case 1:
            if (t.inCurrent & 4) write_record(1, col, row, cur, 4);
            break;
          case 2:
            if (t.inCurrent & 2) write_record(2, col, row, cur + (t.inCurrent & 4), 2);
            break;
          case 3:
            if (t.inCurrent & 1) write_record(3, col, row, cur + (t.inCurrent & 6), 1);
            break;
        }
      }
    if (w.startPtr) w.flush(true);
  }
  set_instancing(0);
  set_blend_none();
}

void render_shadows_debug()
{
  for (const ShadowSphere& s : shadow_submitted) {
    const vec4f c = make4f(s.x, s.y, s.z, 1.f);
    draw_debug_vis_cross_point(c, s.r, D3dColor(0, 0, 0, 255));
    draw_debug_vis_cross_point(c - v_splat(3.f * s.r) * sky_sun_dir, 5.f * s.r, D3dColor(0, 255, 0, 255));
  }
}
