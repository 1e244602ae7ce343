// Mode switching and the main-menu, play and game-menu modes.
#include "gameshell/gameModes.h"

#include "gameshell/controls.h"
#include "gameshell/gameCamera.h"
#include "gameshell/gameMain.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"

#include "gameshell/universe.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/postFx.h"
#include "engine/d3d_render.h"
#include "engine/gameShellServices.h"
#include "engine/input.h"
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"
#include "world/heightmapData.h"
#include "world/noise.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/sky.h"

#include <cmath>

static MainMenuMode main_menu_mode_obj;
static PlayGameMode play_mode_obj;
static GameMenuMode game_menu_mode_obj;

GameMode* cur_game_mode = nullptr;
GameMode* main_menu_mode = &main_menu_mode_obj;
GameMode* play_mode = &play_mode_obj;
GameMode* game_menu_mode = &game_menu_mode_obj;

static const float TWO_PI = 6.2831853f;
static const float HALF_PI = 1.5707963f;

void set_game_mode(GameMode* next)
{
  if (next == cur_game_mode) return;
  GameMode* old = cur_game_mode;
  if (old) old->leave(next);
  cur_game_mode = next;
  if (next) next->enter(old);
}

void go_to_main_menu()
{
  close_game_menu();
  release_universe_data();
  release_slot_lock();
  generate_world("main_menu");
  set_game_mode(main_menu_mode);
}

static vec4f forward_of(const Matrix44& m) { return m.row[2]; }

// ---- main menu: a fly-over of the world behind the menu ----

float main_menu_turn_noise(float T)
{
  float x = 0.1f * T;
  float n = noise1(x);
  float xi = x, w = 1.f;
  for (int i = 1; i <= 5; i++) {
    xi = 2.f * xi + 0.5f;
    w *= 0.5f;
    n += w * noise1(xi);
  }
  return n;
}

static float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

void MainMenuMode::enter(GameMode*)
{
  camera_pos = make4f(0.f, 0.f, 0.f, 1.f);
  vec4f depth = HeightmapData::calcSquareDepth(make4f(0.f, -5.f, 0.f, 1.f), 5.f, true);
  camera_pos[1] = camera_pos[1] + depth[1];
  camera_prev_pos = camera_pos;
  heading = prev_heading = pitch = prev_pitch = heading_rate = pitch_rate = time = 0.f;
  camera_heading = camera_pitch = camera_roll = 0.f;
  open_main_menu();
}

void MainMenuMode::leave(GameMode*) { close_game_menu(); }

void MainMenuMode::update(float dt)
{
  begin_camera_tick(dt);
  prev_heading = heading;
  camera_heading = heading;
  prev_pitch = pitch;
  camera_pitch = pitch;
  time += dt;

  handle_dev_hotkeys();

  Matrix44 m = get_camera_view(dt);
  vec4f fwd = forward_of(m);
  camera_pos += fwd * v_splat(10.f) * v_splat(dt);

  float target_heading_rate = 0.04f * main_menu_turn_noise(time);

  // Climb when the ground 10 units ahead comes closer than 5 units below, dive
  // when it lies more than 10 units further down.
  vec4f ahead = camera_pos + v_splat(10.f) * fwd - make4f(0.f, 5.f, 0.f, 0.f);
  float r = HeightmapData::calcSquareDepth(ahead, 10.f, true)[0];
  float target_pitch_rate = 0.f;
  if (r > 0.f || r < -10.f) {
    float rr = r > 0.f ? r : -10.f;
    target_pitch_rate = atan2f(rr + 10.f * fwd[1], 10.f) - camera_pitch;
  }

  float limit = 0.5f * dt;
  target_pitch_rate = clampf(target_pitch_rate, -limit, limit);
  target_heading_rate = clampf(target_heading_rate, -limit, limit);
  pitch_rate += (target_pitch_rate - pitch_rate) * 0.2f;
  pitch += pitch_rate;
  heading_rate += (target_heading_rate - heading_rate) * 0.2f;
  heading += heading_rate;
  camera_roll = -10.f * heading_rate;  // bank into the turn

  // Never closer than 0.5 to the ground.
  vec4f r2 = HeightmapData::calcSquareDepth(camera_pos - make4f(0.f, 0.5f, 0.f, 0.f), 0.5f, true);
  if (v_any(v_cmp_gt(r2, v_zero()))) camera_pos[1] = camera_pos[1] + r2[1];

  for (int i = 0; i < 3; i += 2) {
    float q = camera_pos[i] / 256.f + 16.f;
    camera_pos[i] = (q - truncf(q)) * 256.f;
  }

  cur_view_itm = get_camera_view(dt);
  update_game_menu(dt);
  invalidate_land_textures();
  save_prev_sky_state(dt);
  world_tick(dt);  // the world keeps living behind the menu, paused or not

  if (should_close_game_menu) set_game_mode(universe_mode);
}

void MainMenuMode::render(float t)
{
  float k = 20.f * t;
  camera_heading = prev_heading + (heading - prev_heading) * k;
  camera_pitch = prev_pitch + (pitch - prev_pitch) * k;
  render_scene(t);
  apply_post_effects();
}

void MainMenuMode::drawOverlay(float t) { draw_game_menu(t); }

// ---- play ----

static void play_tick(float dt)
{
  FlyControl& fc = fly_control;
  fc.forward_timer = fc.forward_timer - dt > 0.f ? fc.forward_timer - dt : 0.f;
  fc.back_timer = fc.back_timer - dt > 0.f ? fc.back_timer - dt : 0.f;
  float damp = 1.f - 4.f * dt;
  camera_roll *= damp > 0.f ? damp : 0.f;

  if (!isAppActive) {
    fc.mouse_captured = false;
    shouldHideMouse = false;
    return;
  }
  Matrix44 m = get_camera_view(0.f);

  // A second press within 0.2 s dashes that way until a later single press.
  if (button_down(1)) {
    fc.turn = fc.back_timer > 0.f ? -1 : 0;
    fc.back_timer = 0.2f;
  }
  if (button_down(0)) {
    fc.turn = fc.forward_timer > 0.f ? 1 : 0;
    fc.forward_timer = 0.2f;
  }

  float side = float(button_state(3)) - float(button_state(2));
  float ahead = float(button_state(0)) - float(button_state(1)) + float(fc.turn);
  float rise = float(button_state(4)) - float(button_state(5));

  float base = 8.f * dt;
  float speed = (fc.turn != 0 || button_state(6)) ? 2.f * base : base;

  vec4f move = v_splat(side) * m.row[0] + v_splat(ahead) * m.row[2] + v_splat(rise) * make4f(0.f, 1.f, 0.f, 0.f);
  float len = v_extract_x(v_length3(move));
  move = len > 0.f ? move / v_splat(len) : v_zero();
  move = move * v_splat(speed);

  if (local_player) {
    GameObj* player = as_gameobj(local_player);
    player->move(dt, speed, &move, &m, fc.turn);
    vec4f pos;
    camera_pos = *player->getPos(&pos);
  }
  fc.hspeed = sqrtf(move[0] * move[0] + move[2] * move[2]);
}

// Mouse look of the play camera, once per frame.
static void play_mouse_look(float t)
{
  FlyControl& fc = fly_control;
  float s = fc.prev_hspeed + (fc.hspeed - fc.prev_hspeed) * 20.f * t;
  if (!isMouseOver() || !isAppActive) {
    fc.mouse_captured = false;
    shouldHideMouse = false;
    return;
  }
  if (update_spells_ui_mouse(t)) {
    fc.mouse_captured = false;
    return;
  }
  if (fc.mouse_captured) {
    float x, y;
    getMousePos(&x, &y);
    float dx = x - float(d3d_wd / 2), dy = y - float(d3d_ht / 2);
    if (invert_mouse_y) dy = -dy;
    camera_heading -= 0.002f * dx;
    if (camera_heading >= TWO_PI)
      camera_heading -= TWO_PI;
    else if (camera_heading <= -TWO_PI)
      camera_heading += TWO_PI;
    camera_pitch = clampf(camera_pitch - 0.002f * dy, -HALF_PI, HALF_PI);
    camera_roll += 0.002f * dx * s * 0.2f;
  }
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));
  fc.mouse_captured = true;
  shouldHideMouse = true;
}

void PlayGameMode::enter(GameMode* previous)
{
  reset_fly_control();
  if (previous == dev_mode && local_player) as_gameobj(local_player)->onLeaveDevMode();
}

void PlayGameMode::leave(GameMode*) {}

void PlayGameMode::update(float dt)
{
  begin_camera_tick(dt);
  play_tick(dt);
  cur_view_itm = get_camera_view(dt);
  handle_dev_hotkeys();
  if (!world_paused) {
    save_prev_sky_state(dt);
    world_tick(dt);
    update_spells_ui(dt);
  }
}

void PlayGameMode::render(float t)
{
  play_mouse_look(t);
  render_scene(t);
  apply_post_effects();
}

void PlayGameMode::drawOverlay(float t) { draw_spells_ui(t); }

// ---- game menu: over the world as it stood at the last tick ----

void GameMenuMode::enter(GameMode* prev)
{
  previous = prev;
  open_game_menu();
}

void GameMenuMode::leave(GameMode*) { close_game_menu(); }

void GameMenuMode::update(float dt)
{
  begin_camera_tick(dt);
  handle_dev_hotkeys();
  cur_view_itm = get_camera_view(dt);
  update_game_menu(dt);
  invalidate_land_textures();
  if (should_close_game_menu && previous != cur_game_mode) set_game_mode(previous);
}

void GameMenuMode::render(float)
{
  render_scene(0.05f);
  apply_post_effects();
}

void GameMenuMode::drawOverlay(float t) { draw_game_menu(t); }
