#include "worldrender/scenePasses.h"

#include <cmath>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debug.h"
#include "engine/debugDraw.h"
#include "engine/passRecorder.h"
#include "engine/postFx.h"
#include "world/worldServices.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/sky.h"

Matrix44 cur_view_tm = Matrix44::identity();
Matrix44 cur_glob_tm = Matrix44::identity();
vec4f cur_glob_rk = {0.f, 0.f, 0.f, 0.f};
// The camera of the frame being drawn: its inverse view matrix, and its
// position for the world's sounds.
Matrix44 cur_view_itm = Matrix44::identity();
vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};

// Comparison codes of set_stencil_test.
enum { CMP_EQUAL = 3, CMP_NOTEQUAL = 6, CMP_ALWAYS = 8 };
enum { ADDR_WRAP = 0, ADDR_CLAMP = 1 };

// Sampler stages of the deferred passes.
enum {
  STAGE_GBUF0 = 8,    // gbuf0; first the copy the water sees, then gbuf0_quarter
  STAGE_GBUF1 = 9,    // gbuf1, or gbuf1_quarter during the shadow pass
  STAGE_GBUF2 = 10,
  STAGE_IMAGE = 11,   // shadow image, its blur, then the light image
  STAGE_GBUF0_QUARTER = 12,
  STAGE_GBUF1_QUARTER = 13,
};

// ------------------------------------------------------------- matrices --

Matrix44 invert_matrix(const Matrix44& mat)
{
  const float* m = &mat.m[0][0];
  float inv[16];
  inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
           m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
  inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
           m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
  inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
           m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
  inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
            m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
  inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
           m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
  inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
           m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
  inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
           m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
  inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
            m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
  inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
           m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
  inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
           m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
  inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
            m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
  inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
            m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
  inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
           m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
  inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
           m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
  inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
            m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
  inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
            m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
  float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
  Matrix44 r;
  if (det == 0.f || !std::isfinite(det)) return Matrix44::identity();
  for (int i = 0; i < 16; ++i) (&r.m[0][0])[i] = inv[i] / det;
  return r;
}

Matrix44 scene_projection(float zoom, float aspect)
{
  // Zoom runs from 1 up; anything else would turn the field of view inside out.
  if (!(zoom > 0.f)) zoom = 1.f;
  float ys = 1.f / tanf(0.5f * 1.2915436464758039f / zoom);
  float xs = ys / aspect;
  Matrix44 p;
  p.row[0] = make4f(xs, 0.f, 0.f, 0.f);
  p.row[1] = make4f(0.f, ys, 0.f, 0.f);
  p.row[2] = make4f(0.f, 0.f, 1.00019538f, 1.f);
  p.row[3] = make4f(0.f, 0.f, -0.100019537f, 0.f);
  return p;
}

vec4f listener_velocity(vec4f pos, vec4f prev_pos)
{
  vec4f d = pos - prev_pos;
  d[0] = wrap_world_coord(d[0]);
  d[2] = wrap_world_coord(d[2]);
  return d * 20.f;
}

// ------------------------------------------------------------- constants --

static void set_vs4(int reg, float x, float y, float z, float w)
{
  const float v[4] = {x, y, z, w};
  set_vs_constants(reg, v, 1);
}

static void set_ps4(int reg, float x, float y, float z, float w)
{
  const float v[4] = {x, y, z, w};
  set_ps_constants(reg, v, 1);
}

static void set_vs_vec(int reg, vec4f v) { set_vs4(reg, v[0], v[1], v[2], v[3]); }
static void set_ps_vec(int reg, vec4f v) { set_ps4(reg, v[0], v[1], v[2], v[3]); }

// VS c8 fog switch, c30 sun, c31-c42 the sky registers: what the forward
// shaders, the horizon, the debug visuals and the effects read.
static void set_scene_vs_constants()
{
  set_vs4(8, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_vs_vec(30, sky_sun_register());
  set_vs_constants(31, (const float*)sky_registers, SKY_REGISTERS);
}

// VS c17-c19: the view rays of a full-screen pass. Clip point (x, y) looks
// along c19 + x c17 + y c18, which reaches the far plane.
static void set_view_ray_constants(const Matrix44& proj, float far)
{
  float xs = proj.m[0][0], ys = proj.m[1][1];
  set_vs_vec(17, cur_view_itm.row[0] * (far / xs));
  set_vs_vec(18, cur_view_itm.row[1] * (far / ys));
  set_vs_vec(19, cur_view_itm.row[2] * far);
}

static void set_screen_tc_constants()
{
  float w = (float)d3d_wd, h = (float)d3d_ht;
  set_vs4(16, 0.5f, -0.5f, 0.5f + 0.5f / w, 0.5f + 0.5f / h);
}

static void point_clamp(int stage)
{
  set_texture_address(stage, ADDR_CLAMP);
  set_texture_filter(stage, false);
}

static void debug_vis_and_effects(float t, float f)
{
  mark_pass("debug vis");
  start_draw_debug_vis();
  if (render_debug_vis_gameobj) render_debug_vis_gameobj(t);
  end_draw_debug_vis();
  mark_pass("effects");
  render_common_fx(t, f);
}

// Land, objects and lava: everything that marks stencil bit 0 before the
// water.
static void draw_solid_world(float t, float f)
{
  set_stencil_test(1, 1, CMP_ALWAYS);
  set_stencil_replace_bits(1);
  mark_pass("land");
  render_land(t);
  mark_pass("objects");
  if (render_gameobj) render_gameobj(t);
  mark_pass("lava");
  render_lava(f);
}

// ----------------------------------------------------------------- forward --

static void render_forward(float t, float f)
{
  mark_pass("forward");
  set_scene_vs_constants();
  set_render_target(scene_image, 0, true);
  set_zenable(true);
  set_zwrite(true);
  if (use_wireframe) {
    clear_view(WIREFRAME_CLEAR_COLOR);
    set_wireframe(true);
  } else {
    // No colour clear: the sky fills every pixel the world leaves.
    clear_view_z();
  }

  draw_solid_world(t, f);
  mark_pass("water");
  render_water(f);

  set_stencil_test(0, 0, CMP_ALWAYS);
  if (use_wireframe) set_wireframe(false);
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);
  if (!use_wireframe) {
    set_stencil_test(0xff, 0, CMP_EQUAL);
    mark_pass("sky");
    render_sky();
  }
  set_stencil_test(0, 0, CMP_ALWAYS);
  set_zenable(true);
  set_zwrite(true);
  if (use_wireframe) set_wireframe(true);

  debug_vis_and_effects(t, f);
}

// ---------------------------------------------------------------- deferred --

static void draw_quad_pass(const char* name, Shader* shader)
{
  mark_pass(name);
  set_shader(shader);
  draw_postfx();
}

static void render_deferred(float t, float f, float far, const Matrix44& proj)
{
  const float w = (float)d3d_wd, h = (float)d3d_ht;

  // G-buffer: land, objects and lava into all three targets.
  mark_pass("g-buffer");
  // The horizon and the effects are drawn with the forward registers; set
  // them before anything of this frame is drawn, not only at the end.
  set_scene_vs_constants();
  set_vs4(9, cur_view_tm.m[0][2] / far, cur_view_tm.m[1][2] / far, cur_view_tm.m[2][2] / far,
          cur_view_tm.m[3][2] / far);
  set_render_target(gbuf0, 0, true);
  set_zenable(true);
  set_zwrite(true);
  set_wireframe(use_wireframe);
  clear_view(0x00FFFFFFu);
  // Targets 1 and 2 are bound only after the clear: nothing reads them where
  // the G-buffer pass drew nothing.
  set_render_target(gbuf1, 1, false);
  set_render_target(gbuf2, 2, false);
  draw_solid_world(t, f);

  // Water sees the colours behind it through a copy of gbuf0 and writes
  // targets 0 and 1 only.
  copy_texture(gbuf0, light_image);
  set_texture(STAGE_GBUF0, light_image);
  point_clamp(STAGE_GBUF0);
  set_render_target(nullptr, 2, false);
  mark_pass("water");
  render_water(f);
  set_render_target(nullptr, 1, false);

  set_texture(STAGE_GBUF2, gbuf2);
  point_clamp(STAGE_GBUF1);
  point_clamp(STAGE_GBUF2);
  point_clamp(STAGE_IMAGE);
  set_wireframe(false);
  set_stencil_test(0, 0, CMP_ALWAYS);

  // Shadow balls at quarter resolution, over point-sampled quarter copies of
  // the G-buffer.
  mark_pass("shadows");
  copy_texture(gbuf0, gbuf0_quarter);
  copy_texture(gbuf1, gbuf1_quarter);
  set_texture(STAGE_GBUF0, gbuf0_quarter);
  set_texture(STAGE_GBUF1, gbuf1_quarter);
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);
  set_stencil_test(0, 0, CMP_ALWAYS);
  set_render_target(shadow_image, 0, false);
  set_ps_vec(0, sky_sun_register());
  set_screen_tc_constants();
  set_vs4(20, 4.f / w, 4.f / h, 0.f, 0.f);
  set_ps4(17, (float)(d3d_wd / 4), (float)(d3d_ht / 4), 4.f / w, 4.f / h);
  set_view_ray_constants(proj, far);
  start_render_shadows();
  if (use_obj_shadows && render_gameobj_shadow) render_gameobj_shadow(t);
  end_render_shadows();

  // Two separable blur passes: across, then down.
  set_screen_tc_constants();
  set_render_target(shadow_blur_image, 0, false);
  set_texture(STAGE_IMAGE, shadow_image);
  set_texture_filter(STAGE_IMAGE, false);
  set_ps4(18, 4.f / w, 0.f, 8.f / w, 0.f);
  draw_quad_pass("shadow blur", deferred_shadow_blur_shader);
  set_render_target(shadow_image, 0, false);
  set_texture(STAGE_IMAGE, shadow_blur_image);
  set_ps4(18, 0.f, 4.f / h, 0.f, 8.f / h);
  draw_quad_pass("shadow blur", deferred_shadow_blur_shader);

  // Light pass over the covered pixels.
  set_texture(STAGE_GBUF0, gbuf0);
  set_texture(STAGE_GBUF1, gbuf1);
  set_render_target(light_image, 0, true);
  set_texture(STAGE_IMAGE, shadow_image);
  set_texture(STAGE_GBUF0_QUARTER, gbuf0_quarter);
  set_texture(STAGE_GBUF1_QUARTER, gbuf1_quarter);
  point_clamp(STAGE_GBUF0_QUARTER);
  point_clamp(STAGE_GBUF1_QUARTER);
  set_stencil_test(0xff, 0, CMP_NOTEQUAL);
  set_ps_constants(1, (const float*)sky_registers, SKY_REGISTERS);
  set_view_ray_constants(proj, far);
  draw_quad_pass("light", deferred_light_shader);

  // Into the scene image: horizon, sky, then the lit world over them.
  set_render_target(scene_image, 0, true);
  if (use_wireframe) {
    clear_view_color(WIREFRAME_CLEAR_COLOR);
    set_wireframe(true);
  }
  set_zenable(true);
  // The horizon goes wherever it passes the depth test and sets stencil bit
  // 1; over nearer land (bit 0 kept, value 3) the composite paints the land
  // anyway, and the sky goes only where neither bit is set. It writes depth
  // too: its mesh is drawn in grid order, not from far to near, and without
  // depth the slopes hidden behind a far ridge would paint over the ridge.
  set_zwrite(true);
  set_stencil_test(0xff, 2, CMP_ALWAYS);
  set_stencil_replace_bits(2);
  mark_pass("horizon");
  render_horizon();
  if (use_wireframe) set_wireframe(false);
  set_zenable(false);
  set_zwrite(false);
  set_stencil_replace_bits(0);
  if (!use_wireframe) {
    set_stencil_test(0xff, 0, CMP_EQUAL);
    mark_pass("sky");
    render_sky();
  }

  set_texture(STAGE_IMAGE, light_image);
  set_texture_filter(STAGE_IMAGE, false);
  set_view_ray_constants(proj, far);
  set_screen_tc_constants();
  set_ps_vec(16, cur_view_itm.row[3]);
  set_ps4(17, use_fog ? 1.f : 0.f, 0.f, 0.f, 0.f);
  set_ps_vec(0, sky_sun_register());
  set_ps_constants(1, (const float*)sky_registers, SKY_REGISTERS);
  set_stencil_test(1, 1, CMP_EQUAL);
  draw_quad_pass("composite", deferred_final_shader);
  set_stencil_test(0, 0, CMP_ALWAYS);

  set_scene_vs_constants();
  set_zenable(true);
  set_zwrite(true);
  if (use_wireframe) set_wireframe(true);

  debug_vis_and_effects(t, f);
}

// ------------------------------------------------------------------- frame --

void render_scene(float t)
{
  mark_pass("scene");
  float f = t * 20.f;
  const Matrix44 view_itm = get_camera_view(t);
  const Matrix44 view_tm = invert_matrix(view_itm);
  cur_view_itm = view_itm;
  cur_view_tm = view_tm;

  set_listener_pos(view_itm.row[3], listener_velocity(camera_pos, camera_prev_pos), view_itm.row[2], view_itm.row[1]);
  update_music_chaining();
  apply_3d_sound();

  float zoom = (1.f - f) * camera_prev_zoom + f * camera_zoom;
  const Matrix44 proj = scene_projection(zoom, (float)d3d_wd / (float)d3d_ht);

  // A paused world stands at its latest tick; the camera keeps moving.
  if (world_paused) {
    t = 0.05f;
    f = 1.f;
  }
  interpolate_sky(f);
  mark_pass("land update");
  update_land_render(t);

  postfx_params = prev_frame_color + (cur_frame_color - prev_frame_color) * f;

  cur_view_itm = view_itm;
  cur_view_tm = view_tm;
  cur_glob_tm = view_tm * proj;
  cur_glob_rk = v_abs(cur_glob_tm.row[0]) + v_abs(cur_glob_tm.row[1]) + v_abs(cur_glob_tm.row[2]);
  scene_camera_pos = view_itm.row[3];

  set_vs_constants(0, &cur_glob_tm.m[0][0], 4);
  set_vs_constants(4, &cur_view_itm.m[0][0], 4);

  if (gfx_quality == 1)
    render_deferred(t, f, (float)SCENE_FAR, proj);
  else
    render_forward(t, f);
}

void grab_scene_image()
{
  if (!copy_back_buffer_to_texture(scene_image)) debug("error: scene image grab failed!");
  loading_image_state.texture = scene_image;
}
