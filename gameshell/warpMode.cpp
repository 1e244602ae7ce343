// The warp mode.
#include "gameshell/warpMode.h"

#include "gameshell/gameMain.h"
#include "gameshell/universe.h"

#include "engine/d3d_misc.h"
#include "engine/d3d_render.h"
#include "engine/postFx.h"
#include "worldrender/scenePasses.h"

Shader* warp_shader = nullptr;

static WarpMode warp_mode_obj;
GameMode* warp_mode = &warp_mode_obj;

void init_warp_effect()
{
  if (!warp_shader) warp_shader = create_shader("warpEffect.sh", nullptr);
}

void WarpMode::enter(GameMode*)
{
  timer = 1.f;
  effect_time = 0.f;
  last_frame_time = 0.f;
  first_frame = true;
}

void WarpMode::leave(GameMode*) {}

void WarpMode::update(float dt)
{
  last_frame_time -= dt;
  timer -= dt;
  if (timer <= 0.f) leave_world();
}

void WarpMode::render(float t)
{
  if (first_frame) {
    // The world as it stands when the portal is used; the following frames
    // distort this picture.
    first_frame = false;
    render_scene(0.05f);
    apply_post_effects();
    copy_back_buffer_to_texture(scene_image);
    return;
  }

  set_back_buffer_target();
  set_wireframe(false);
  set_blend_none();
  set_shader(warp_shader);
  float x = countFrame(t);
  set_texture(0, scene_image);
  set_texture_address(0, 1);  // clamp: the edges do not wrap into the picture

  const float c16[4] = {0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht)};
  set_vs_constants(16, c16, 1);
  const float c1[4] = {x, effect_time, 0.f, 0.f};
  set_ps_constants(1, c1, 1);
  draw_postfx();
  grab_scene_image();  // the next frame distorts this one
}

void WarpMode::drawOverlay(float) {}

float WarpMode::countFrame(float t)
{
  // Frames closer than 10 ms to the last counted one keep the picture as it
  // is, so a fast display does not warp faster.
  float d = t - last_frame_time;
  if (d < 0.01f) return 0.f;
  last_frame_time = t;
  effect_time += d;
  return d;
}
