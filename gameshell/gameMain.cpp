// Start-up, shut-down, the tick and world step, the frame, the loading screen
// and the hot-reload poll of the game.
#include "gameshell/gameMain.h"
#include "gameshell/devMode.h"
#include "gameshell/devServer.h"

#include "gameshell/audio.h"
#include "gameshell/controls.h"
#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"
#include "gameshell/soundEvents.h"
#include "gameshell/soundScript.h"
#include "gameshell/warpMode.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/debugDraw.h"
#include "engine/font.h"
#include "engine/gameShellServices.h"
#include "engine/gui/guiDraw.h"
#include "engine/input.h"
#include "engine/perfGraph.h"
#include "engine/postFx.h"
#include "engine/text/distFont.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "engine/updateStats.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"
#include "world/heightmapData.h"
#include "worldrender/commonFx.h"
#include "worldrender/fluidSurface.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/shadows.h"
#include "worldrender/sky.h"

#include <cmath>

Texture scene_image = nullptr;
Texture shadow_image = nullptr, shadow_blur_image = nullptr, gbuf0_quarter = nullptr, gbuf1_quarter = nullptr;
Shader* deferred_final_shader = nullptr;
Shader* deferred_light_shader = nullptr;
Shader* deferred_shadow_blur_shader = nullptr;
StdRenderBatchState loading_image_state;

static UpdateStatsTracker hm_renderer_timing("hm renderer");
static UpdateStatsTracker hm_update_timing("hm update");
static UpdateStatsTracker fx_timing("fx");
static UpdateStatsTracker misc_timing("misc");

// Tick and frame accounting for the log lines at close, by which a run shows
// that it kept the scheduler's rate: 20 ticks a second while frames are
// faster than ticks, up to six ticks per frame while they are slower.
static int ticks_run = 0;
static int frames_drawn = 0;
static int64_t first_tick_time = 0;
static bool main_menu_frame_logged = false;

// ---------------------------------------------------------------- start-up --

static void release_texture_handle(Texture& tex)
{
  if (tex) release_texture(tex);
  tex = nullptr;
}

static void destroy_shader_handle(Shader*& s)
{
  destroy_shader(s);
  s = nullptr;
}

void init_low_res_scene_textures()
{
  release_texture_handle(gbuf1_quarter);
  release_texture_handle(gbuf0_quarter);
  release_texture_handle(shadow_blur_image);
  release_texture_handle(shadow_image);
  shadow_image = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
  shadow_blur_image = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
  gbuf0_quarter = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
  gbuf1_quarter = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
  if (!shadow_image || !shadow_blur_image || !gbuf0_quarter || !gbuf1_quarter)
    fatal("Can't create low-resolution scene textures");
}

void init_game()
{
  set_update_rate(20, 5);
  ticks_run = frames_drawn = 0;
  main_menu_frame_logged = false;
  init_controls();

  init_sound(true);
  init_sound_vm("sound/sound.nut");
  set_listener_3d_factors(1.0f, 1.0f, 1.0f);
  int music_volume = 10000;
  get_config_int("music_volume", &music_volume);
  set_global_stream_volume(music_volume);

  debug("Graphics quality: %s", gfx_quality == 1 ? gfx_quality_name[1] : gfx_quality_name[0]);
  scene_image = create_screen_render_texture();
  if (!scene_image) fatal("can't create scene image texture");
  if (gfx_quality == 1) {
    init_low_res_scene_textures();
    deferred_final_shader = create_shader("dr_final.sh", nullptr);
    deferred_light_shader = create_shader("dr_calc_light.sh", nullptr);
    deferred_shadow_blur_shader = create_shader("dr_shadow_blur.sh", nullptr);
  } else {
    use_postfx = false;  // until a developer key turns them on
  }

  init_sky();
  init_land_render();
  init_post_effects();
  init_warp_effect();
  init_debug_vis();
  init_rounded_box_render();
  init_ui_image_render();
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);

  // The plug-in loads the GUI's font and icons with these shaders.
  init_dist_fonts();
  init_dist_icons();
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));
  load_gameobj(QM_GAMEOBJ_SOURCE_DIR, "plugin.cpp");

  init_inst_render();
  init_common_fx();
  init_shadow_shaders();
  init_new_gui();
  init_spells_ui();
  // The loading screen's background: no texture until the first scene grab.
  init_ui_image_state(loading_image_state, nullptr, nullptr);

  init_gameobj();
  init_world_script();
  dev_server_start_hook();

  go_to_main_menu();
  if (local_player) {
    vec4f pos;
    camera_pos = *as_gameobj(local_player)->getPos(&pos);
  }
}

void on_game_device_reset()
{
  init_low_res_scene_textures();
  update_font_scale();
  invalidate_land_textures();
  // A resize may come before the plug-in is bound.
  if (spells_ui_after_resize) spells_ui_after_resize();
}

// --------------------------------------------------------------- shut-down --

void close_game()
{
  dev_server_close_hook();
  // Every plug-in call is skipped when the plug-in never got bound (a fatal
  // error during start-up closes the game too).
  if (close_game_menu) close_game_menu();
  if (remove_all_gameobj) remove_all_gameobj();
  shutdown_world_script();
  if (close_spells_ui) close_spells_ui();
  if (close_gameobj) close_gameobj();
  free_gameobj();

  close_common_fx();
  close_shadows();
  close_debug_vis();
  close_ui_image_render();
  close_rounded_box_render();
  close_post_effects();
  close_land_render();
  close_sky();

  destroy_shader_handle(deferred_shadow_blur_shader);
  destroy_shader_handle(deferred_final_shader);
  destroy_shader_handle(deferred_light_shader);
  release_texture_handle(gbuf1_quarter);
  release_texture_handle(gbuf0_quarter);
  release_texture_handle(shadow_blur_image);
  release_texture_handle(shadow_image);
  release_texture_handle(scene_image);

  close_sound_vm();
  close_sound();

  int ms = ticks_run ? get_time_msec(get_ref_time() - first_tick_time) : 0;
  debug("ticks: %d in %d ms", ticks_run, ms);
  debug("frames: %d in %d ms", frames_drawn, ms);
}

// -------------------------------------------------------------------- tick --

void game_pre_tick() {}

void game_tick(float dt)
{
  dev_server_tick_hook();
  if (ticks_run++ == 0) first_tick_time = get_ref_time();

  if (cur_game_mode) cur_game_mode->update(dt);

  misc_timing.begin();
  Matrix44 m = get_camera_view(0.f);
  vec4f velocity = wrapped_diff(camera_pos, camera_prev_pos) * v_splat(20.f);
  set_listener_pos(m.row[3], velocity, m.row[2], m.row[1]);
  shift_tracked_sounds(camera_prev_pos);
  update_music_chaining();
  apply_3d_sound();
  destroy_queued_gui_elements();
  misc_timing.end();

  if (force_gameobj_reload) {
    force_gameobj_reload = false;
    reload_gameobj(true);
    rebind_world_plugin_natives();
  }
  store_update_time();
}

// The world step without the fluid surfaces (the off-screen simulation draws nothing).
static void step_world(float dt)
{
  hm_update_timing.begin();
  HeightmapData::updateHmap(dt);
  hm_update_timing.end();
  HeightmapData::simWater(dt);
  fx_timing.begin();
  update_common_fx(dt);
  fx_timing.end();
  update_gameobj(dt);
}

void world_tick(float dt)
{
  hm_renderer_timing.begin();
  update_fluid_surfaces(dt);
  hm_renderer_timing.end();
  step_world(dt);
}

void simulate_world(float seconds)
{
  if (seconds <= 0.f) return;
  const int64_t splash_interval = get_ref_time_freq() / 20;
  int64_t last_splash = 0;
  double remaining = seconds;
  do {
    int64_t now = get_ref_time();
    if (last_splash == 0 || now - last_splash >= splash_interval) {
      show_splash("Simulating the world", float(1.0 - remaining / seconds));
      last_splash = now;
    }
    step_world(0.05f);
    remaining -= double(0.05f);
  } while (remaining > 0);
}

void poll_hot_reload()
{
  if (reload_gameobj(false)) rebind_world_plugin_natives();
  reload_sky_script_if_changed();
  reload_world_script_if_changed();
  reload_sound_vm();
}

// ------------------------------------------------------------------- frame --

// The bitmap font draws with y upward from the bottom of the back buffer: the
// camera line stands one text line above the bottom-left corner, the sun's
// angle in that corner.
void render_game_frame(float t)
{
  if (ticks_run) frames_drawn++;
  if (cur_game_mode) cur_game_mode->render(t);
  set_back_buffer_target();
  if (cur_game_mode) cur_game_mode->drawOverlay(t);

  start_draw_text();
  draw_error_message();
  draw_visual_log();
  int line_h = bitmap_font.scale * bitmap_font.cellH;
  if (show_fps) {
    TempString<64> pos;
    pos.printf("(%+07.2f %+07.2f %+07.2f)", cur_view_itm.m[3][0], cur_view_itm.m[3][1], cur_view_itm.m[3][2]);
    draw_text(pos.c_str(), -1, line_h, d3d_ht - line_h, -1, 1, 0xFFFFFFFFu);   // top left
    draw_perf_graph();
  }
  if (cur_game_mode == dev_mode && getKeyState(2) && isAppActive && isMouseOver()) {
    TempString<32> angle;
    angle.printf("%3d", int(lrintf(sun_zenith_degrees(sky_sun_dir))));
    draw_text(angle.c_str(), -1, 0, d3d_ht, -1, 1, 0xFFFFFFFFu);   // the top-left corner
  }
  end_draw_text();

  if (!main_menu_frame_logged && cur_game_mode == main_menu_mode) {
    main_menu_frame_logged = true;
    debug("first main menu frame");
  }
}
