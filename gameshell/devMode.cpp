#include "gameshell/devMode.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/gameShellServices.h"
#include "engine/input.h"
#include "engine/postFx.h"
#include "engine/screenshot.h"
#include "engine/visualLog.h"
#include "gameshell/controls.h"
#include "gameshell/gameCamera.h"
#include "gameshell/gameMain.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/soundEvents.h"
#include "scripting/hmGenScript.h"
#include "scripting/worldNativesServices.h"
#include "world/erosion.h"
#include "world/heightmapData.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

#include <algorithm>
#include <cstring>
#include <utility>

bool show_fps = false;

namespace
{
DevGameMode dev_mode_obj;

enum {
  VK_LBUTTON = 1, VK_RBUTTON = 2, VK_MBUTTON = 4, VK_CONTROL = 17, VK_ESCAPE = 27, VK_PRIOR = 33, VK_NEXT = 34,
  VK_END = 35, VK_HOME = 36, VK_SNAPSHOT = 44, VK_F1 = 112, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F9 = 120,
  VK_F12 = 123
};

const float TWO_PI = 6.2831853f;
const float HALF_PI = 1.5707963f;

// +1 when a plus key is held, -1 for a minus key; both give 0.
float key_axis(int plus_a, int plus_b, int minus_a, int minus_b)
{
  float v = 0.f;
  if (getKeyState(minus_a) || getKeyState(minus_b)) v -= 1.f;
  if (getKeyState(plus_a) || getKeyState(plus_b)) v += 1.f;
  return v;
}

void erode_world()
{
  HeightmapData::ErosionParams params;
  params.Kq = 0.1f;
  params.Kr = 0.9f;
  params.Kd = 0.9f;
  HeightmapData::genDropletErosion(92160, params);
  // The eroded land becomes the target, and the land moves toward it.
  std::swap_ranges(HeightmapData::hmap, HeightmapData::hmap + HeightmapData::HMAP_CELLS,
                   HeightmapData::target_hmap);
  invalidate_land_textures();
  reset_update_time();
}
}  // namespace

GameMode* dev_mode = &dev_mode_obj;

DevFlyInput read_dev_fly_input()
{
  DevFlyInput in = {0.f, 0.f, 0.f, 0.f, false, false};
  if (!isAppActive) return in;
  in.side = float(button_state(3)) - float(button_state(2));
  in.ahead = float(button_state(0)) - float(button_state(1));
  in.up = key_axis('E', VK_PRIOR, 'C', VK_NEXT);
  in.lift = key_axis('Q', VK_HOME, 'Z', VK_END);
  in.turbo = button_state(6);
  in.zoom = getKeyState(VK_MBUTTON);
  return in;
}

void dev_fly_step(const DevFlyInput& in, float dt)
{
  const Matrix44 m = get_camera_view(0.f);
  float step = DEV_FLY_SPEED * dt;
  if (in.turbo) step *= DEV_TURBO;
  if (in.side != 0.f) camera_pos = camera_pos + m.row[0] * v_splat(in.side * step);
  if (in.up != 0.f) camera_pos = camera_pos + m.row[1] * v_splat(in.up * step);
  if (in.ahead != 0.f) camera_pos = camera_pos + m.row[2] * v_splat(in.ahead * step);
  if (in.lift != 0.f) camera_pos = camera_pos + make4f(0.f, in.lift * step, 0.f, 0.f);
  if (in.zoom)
    camera_zoom = std::min(camera_zoom + DEV_ZOOM_RATE * dt, DEV_ZOOM_MAX);
  else
    camera_zoom = std::max(camera_zoom - DEV_ZOOM_RATE * dt, 1.f);
}

void dev_mouse_turn(float dx, float dy, float t)
{
  const float z = camera_prev_zoom + (camera_zoom - camera_prev_zoom) * 20.f * t;
  camera_heading -= DEV_MOUSE_SENSITIVITY * dx / z;
  if (camera_heading >= TWO_PI)
    camera_heading -= TWO_PI;
  else if (camera_heading <= -TWO_PI)
    camera_heading += TWO_PI;
  camera_pitch = std::max(-HALF_PI, std::min(HALF_PI, camera_pitch - DEV_MOUSE_SENSITIVITY * dy / z));
}

// Mouse look, once per frame: while captured, the pointer's offset from the
// centre turns the camera and the pointer goes back to the centre.
static void dev_mouse_look(float t)
{
  FlyControl& fc = fly_control;
  if (!isMouseOver() || !isAppActive) {
    fc.mouse_captured = false;
    shouldHideMouse = false;
    return;
  }
  if (fc.mouse_captured) {
    float x, y;
    getMousePos(&x, &y);
    float dx = x - float(d3d_wd / 2), dy = y - float(d3d_ht / 2);
    if (invert_mouse_y) dy = -dy;
    dev_mouse_turn(dx, dy, t);
  }
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));
  fc.mouse_captured = true;
  shouldHideMouse = true;
}

void DevGameMode::enter(GameMode*)
{
  camera_roll = 0.f;
  fly_control.mouse_captured = false;
}

void DevGameMode::leave(GameMode*) {}

void DevGameMode::update(float dt)
{
  begin_camera_tick(dt);
  dev_fly_step(read_dev_fly_input(), dt);
  cur_view_itm = get_camera_view(dt);
  handle_dev_hotkeys();
  save_prev_sky_state(dt);
  if (isAppActive && isMouseOver()) {
    if (getKeyState(VK_LBUTTON)) {
      const Matrix44 m = get_camera_view(0.f);
      if (on_devmode_click) on_devmode_click(camera_pos, m.row[2]);
    }
    if (getKeyState(VK_RBUTTON)) set_sun_direction(get_camera_view(0.f).row[2], true);
  }
  if (!world_paused) world_tick(dt);
}

void DevGameMode::render(float t)
{
  dev_mouse_look(t);
  render_scene(t);
  apply_post_effects();
}

void DevGameMode::drawOverlay(float t)
{
  if (render_dev_world_map) render_dev_world_map(t);
}

void handle_dev_hotkeys()
{
  if (!isAppActive) return;
  const bool ctrl = getKeyState(VK_CONTROL);
  if (keyUp(VK_SNAPSHOT)) take_screenshot();
  if (keyDown(VK_F1)) show_fps = !show_fps;
  if (keyDown(VK_F5)) use_postfx = !use_postfx;
  if (keyDown(VK_F6)) use_ppaa = !use_ppaa;
  if (keyDown(VK_F9)) set_game_mode(cur_game_mode == dev_mode ? play_mode : dev_mode);
  if (keyDown(VK_ESCAPE) && cur_game_mode != main_menu_mode) set_game_mode(game_menu_mode);
  if (keyDown(VK_F2)) world_paused = !world_paused;
  if (keyDown(VK_F3) && !ctrl) use_fog = !use_fog;
  if (keyDown(VK_F4)) use_wireframe = !use_wireframe;

  if (cur_game_mode != dev_mode && !ctrl) return;
  if (keyDown('G')) generate_world(cur_game_mode == main_menu_mode ? "main_menu" : "game");
  if (keyDown('H')) HeightmapData::addWaterEverywhere(1.0f);
  if (keyDown('R')) erode_world();
  if (ctrl && keyDown('M') && toggle_monster_spawn) toggle_monster_spawn();
  if (ctrl && keyDown('N') && toggle_mana_cheat) toggle_mana_cheat();
  if (ctrl && keyDown(VK_F12)) {
    set_game_mode(game_menu_mode);
    if (open_cheat_menu) open_cheat_menu();
  }
  if (ctrl && keyDown(VK_F3)) {
    sound_event_log = !sound_event_log;
    if (sound_event_log)
      visual_log("logging sound events");
    else
      clear_visual_log();
  }
  if (keyDown('I')) invalidate_land_textures();
  if (keyDown(' ')) debug("at (%.3f %.3f %.3f)", camera_pos[0], camera_pos[1], camera_pos[2]);
}
