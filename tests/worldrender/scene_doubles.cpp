#include "scene_doubles.h"

#include <cmath>

#include "engine/d3d_render.h"
#include "engine/postFx.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"

#define WEAK __attribute__((weak))

namespace scene_doubles
{

Matrix44 camera_view = Matrix44::identity();
std::vector<float> camera_view_calls;

Matrix44 make_camera(vec4f pos, float heading, float pitch)
{
  float ch = cosf(heading), sh = sinf(heading), cp = cosf(pitch), sp = sinf(pitch);
  Matrix44 m;
  m.row[0] = make4f(ch, 0.f, -sh, 0.f);
  m.row[1] = make4f(-sh * sp, cp, -ch * sp, 0.f);
  m.row[2] = make4f(sh * cp, sp, ch * cp, 0.f);
  m.row[3] = pos;
  return m;
}

void reset()
{
  camera_view = Matrix44::identity();
  camera_view_calls.clear();
  camera_pos = camera_prev_pos = make4f(0.f, 0.f, 0.f, 1.f);
  camera_zoom = camera_prev_zoom = 1.f;
  cur_frame_color = prev_frame_color = make4f(0.f, 0.f, 0.f, 0.f);
  world_paused = false;
  use_fog = true;
  use_wireframe = false;
  render_gameobj = nullptr;
  render_gameobj_shadow = nullptr;
  render_debug_vis_gameobj = nullptr;
}

}  // namespace scene_doubles

// ---- game shell ----
WEAK Matrix44 cur_view_itm = Matrix44::identity();
WEAK vec4f camera_pos = {0.f, 0.f, 0.f, 1.f};
WEAK vec4f camera_prev_pos = {0.f, 0.f, 0.f, 1.f};
WEAK float camera_zoom = 1.f;
WEAK float camera_prev_zoom = 1.f;
WEAK vec4f cur_frame_color = {0.f, 0.f, 0.f, 0.f};
WEAK vec4f prev_frame_color = {0.f, 0.f, 0.f, 0.f};
WEAK bool world_paused = false;
WEAK bool use_fog = true;

WEAK Matrix44 get_camera_view(float t)
{
  scene_doubles::camera_view_calls.push_back(t);
  return scene_doubles::camera_view;
}

WEAK Texture scene_image = nullptr;
WEAK Texture shadow_image = nullptr;
WEAK Texture shadow_blur_image = nullptr;
WEAK Texture gbuf0_quarter = nullptr;
WEAK Texture gbuf1_quarter = nullptr;
WEAK Shader* deferred_final_shader = nullptr;
WEAK Shader* deferred_light_shader = nullptr;
WEAK Shader* deferred_shadow_blur_shader = nullptr;
WEAK StdRenderBatchState loading_image_state;

// ---- audio ----
WEAK bool set_listener_pos(vec4f, vec4f, vec4f, const vec4f&) { return true; }
WEAK void update_music_chaining() {}
WEAK void apply_3d_sound() {}

// ---- plug-in ----
WEAK void (*render_gameobj)(float t) = nullptr;
WEAK void (*render_gameobj_shadow)(float t) = nullptr;
WEAK void (*render_debug_vis_gameobj)(float t) = nullptr;

// ---- shadow balls: with nothing submitted the pass only clears to white ----
WEAK void start_render_shadows() {}
WEAK void end_render_shadows() { clear_view_color(0xFFFFFFFFu); }

