#include "engine/app.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debug.h"
#include "engine/dirWatch.h"
#include "engine/dynVBWriter.h"
#include "engine/font.h"
#include "engine/gpuMonitor.h"
#include "engine/gameShellServices.h"
#include "engine/input.h"
#include "engine/input_sdl.h"
#include "engine/mesh.h"
#include "engine/paths.h"
#include "engine/priority.h"
#include "engine/random.h"
#include "engine/textureCache.h"
#include "engine/timer.h"
#include "engine/updateStats.h"

static const char* const k_window_title = "Quillmere 0.22";


SDL_Window* main_window = nullptr;
bool isAppActive = false;
bool shouldHideMouse = false;
bool isFullscreen = false;
float time_dt = 0;
float time_ik = 0;
bool app_quit_requested = false;

int64_t update_period = 1;
int max_catchup_updates = 5;
int64_t update_clock = 0;
int64_t update_start_time = 0;
int64_t last_update_duration = 0;

uint32_t update_time_ring[PERF_RING_SIZE];
int update_ring_index = 0;
uint32_t frame_time_ring[PERF_RING_SIZE];
int32_t gpu_load_ring[PERF_RING_SIZE];
int frame_ring_index = 0;
int cur_fps = 0;

static int64_t recent_frame_durations[5];
static int64_t recent_frame_sum = 0;
static int recent_frame_pos = 0;
static int64_t frame_start_time = 0;
static int64_t fps_second_mark = 0;
static int frames_this_second = 0;

// The windowed placement in force before the last switch to fullscreen.
static int saved_client_wd = 0, saved_client_ht = 0;
static SDL_Rect saved_window_rect = {0, 0, 0, 0};

SDL_Window* get_main_window() { return main_window; }

// ------------------------------------------------------------- tick rate --

void set_update_rate(int ticks_per_second, int max_catchup)
{
  max_catchup_updates = max_catchup > 0 ? max_catchup : 0;
  update_period = get_ref_time_freq() / (ticks_per_second > 1 ? ticks_per_second : 1);
  if (update_period < 1) update_period = 1;
}

void reset_update_time() { update_start_time = get_ref_time(); }
void store_update_time() { last_update_duration = get_ref_time() - update_start_time; }
int get_update_period_usec() { return get_time_usec(update_period); }

// ---------------------------------------------------------------- window --

// Pointer confinement and visibility, as the window asks for on every
// pointer move: confined while active and steering or fullscreen, hidden
// while steering over the client area.
static void update_cursor()
{
  if (!main_window) return;
  bool confine = isAppActive && (shouldHideMouse || isFullscreen);
  SDL_SetWindowGrab(main_window, confine ? SDL_TRUE : SDL_FALSE);
  bool hide = isAppActive && shouldHideMouse && (isMouseOver() || isFullscreen);
  SDL_ShowCursor(hide ? SDL_DISABLE : SDL_ENABLE);
}

static void set_active(bool active)
{
  if (active == isAppActive) return;
  isAppActive = active;
  if (active) apply_process_priority();
  else set_idle_priority(true);
  if (isFullscreen && main_window) SDL_SetWindowGrab(main_window, active ? SDL_TRUE : SDL_FALSE);
}

static void on_window_event(const SDL_WindowEvent& w)
{
  switch (w.event) {
    case SDL_WINDOWEVENT_CLOSE:
      // Closing destroys the window, which asks the loop to end.
      isAppActive = false;
      app_quit_requested = true;
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      Uint32 flags = SDL_GetWindowFlags(main_window);
      if ((flags & SDL_WINDOW_MINIMIZED) || isFullscreen) break;
      int cw = 0, ch = 0;
      SDL_GL_GetDrawableSize(main_window, &cw, &ch);
      resize_d3d(cw, ch, false, false);
      break;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_MINIMIZED: {
      Uint32 flags = SDL_GetWindowFlags(main_window);
      bool active = (flags & SDL_WINDOW_INPUT_FOCUS) && !(flags & SDL_WINDOW_MINIMIZED);
      set_active(active);
      break;
    }
    default:
      break;
  }
}

// Alt+F4 closes the window (there may be no window manager to do it) and
// Alt+Enter switches fullscreen and is not seen as a key by the game.
static bool handle_system_key(const SDL_KeyboardEvent& k)
{
  if (k.type != SDL_KEYDOWN || !(k.keysym.mod & KMOD_ALT)) return false;
  if (k.keysym.scancode == SDL_SCANCODE_F4) {
    isAppActive = false;
    app_quit_requested = true;
    return true;
  }
  if (k.keysym.scancode == SDL_SCANCODE_RETURN || k.keysym.scancode == SDL_SCANCODE_KP_ENTER) {
    if (!k.repeat) set_fullscreen(!isFullscreen);
    return true;
  }
  return false;
}

void pump_messages()
{
  SDL_Event e;
  bool moved = false;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        app_quit_requested = true;
        break;
      case SDL_WINDOWEVENT:
        if (main_window && e.window.windowID == SDL_GetWindowID(main_window)) on_window_event(e.window);
        break;
      case SDL_KEYDOWN:
        if (handle_system_key(e.key)) break;
        input_handle_sdl_event(e);
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (main_window) SDL_RaiseWindow(main_window);  // takes the keyboard focus
        input_handle_sdl_event(e);
        break;
      case SDL_MOUSEMOTION:
        moved = true;
        input_handle_sdl_event(e);
        break;
      default:
        input_handle_sdl_event(e);
        break;
    }
  }
  update_mouse_over();
  if (moved) update_cursor();
}

// The display the game would show on, for messages when there is none.
static std::string display_name()
{
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  if (x11 && x11[0]) return std::string("the display \"") + x11 + "\" (DISPLAY) cannot be opened";
  if (wayland && wayland[0]) return std::string("the display \"") + wayland + "\" (WAYLAND_DISPLAY) cannot be opened";
  return "no display is set (DISPLAY and WAYLAND_DISPLAY are empty)";
}

static SDL_Rect desktop_work_area()
{
  SDL_Rect work = {0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(0, &work) != 0) {
    SDL_DisplayMode dm;
    work.x = work.y = 0;
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
      work.w = dm.w;
      work.h = dm.h;
    }
  }
  return work;
}

// A configured window larger than the desktop's work area is made to fit it.
static void fit_configured_window()
{
  SDL_Rect work = desktop_work_area();
  if (work.w < 1 || work.h < 1) return;
  if (app_screen_wd > work.w || app_screen_ht > work.h) {
    debug("the configured window %dx%d is larger than the screen's %dx%d; fitted", app_screen_wd, app_screen_ht,
          work.w, work.h);
    if (app_screen_wd > work.w) app_screen_wd = work.w;
    if (app_screen_ht > work.h) app_screen_ht = work.h;
  }
}

// The window rectangle of a window of the configured size centred in the
// desktop's work area (integer division truncating toward zero).
static SDL_Rect centred_window_rect()
{
  SDL_Rect work = desktop_work_area();
  SDL_Rect r;
  r.x = (work.x + work.w - app_screen_wd - work.x) / 2 + work.x;
  r.y = (work.y + work.h - app_screen_ht - work.y) / 2 + work.y;
  r.w = app_screen_wd;
  r.h = app_screen_ht;
  return r;
}

void set_fullscreen(bool fullscreen)
{
  if (!main_window) return;
  int new_w = 0, new_h = 0;
  if (isFullscreen) {
    if (saved_client_wd && saved_client_ht) {
      new_w = saved_client_wd;
      new_h = saved_client_ht;
    } else if (app_screen_wd && app_screen_ht) {
      new_w = app_screen_wd;
      new_h = app_screen_ht;
    } else {
      new_w = d3d_wd / 2;
      new_h = d3d_ht / 2;
    }
  } else {
    SDL_GetWindowSize(main_window, &saved_client_wd, &saved_client_ht);
    SDL_GetWindowPosition(main_window, &saved_window_rect.x, &saved_window_rect.y);
    saved_window_rect.w = saved_client_wd;
    saved_window_rect.h = saved_client_ht;
  }
  if (fullscreen) {
    new_w = app_screen_wd;
    new_h = app_screen_ht;
  }

  if (fullscreen) {
    SDL_SetWindowFullscreen(main_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    resize_d3d(new_w, new_h, true, true);
    SDL_SetWindowGrab(main_window, SDL_TRUE);
  } else {
    SDL_SetWindowFullscreen(main_window, 0);
    SDL_Rect r = saved_window_rect;
    if (r.w == 0) r = {0, 0, new_w, new_h};
    if (app_screen_wd >= 1) r = centred_window_rect();
    SDL_SetWindowSize(main_window, r.w > 0 ? r.w : new_w, r.h > 0 ? r.h : new_h);
    SDL_SetWindowPosition(main_window, r.x, r.y);
    resize_d3d(new_w, new_h, false, true);
    SDL_SetWindowGrab(main_window, SDL_FALSE);
  }
}

void set_window_pos(int x, int y, int w, int h)
{
  if (!main_window) return;
  SDL_SetWindowPosition(main_window, x, y);
  SDL_SetWindowSize(main_window, w, h);
}

// ------------------------------------------------------------- main loop --

static void sleep_ms_real(int ms) { SDL_Delay(ms > 0 ? (Uint32)ms : 0); }

static void once_a_second_real()
{
  reload_shaders(false);
  poll_hot_reload();
}

MainLoopHooks default_main_loop_hooks()
{
  MainLoopHooks h;
  h.now = get_ref_time;
  h.pump = pump_messages;
  h.tick = game_tick;
  h.draw = draw_frame;
  h.present = present_frame;
  h.device_usable = check_device_lost;
  h.sleep_ms = sleep_ms_real;
  h.poll_watch = poll_dir_watch;
  h.once_a_second = once_a_second_real;
  return h;
}

MainLoopHooks main_loop_hooks = default_main_loop_hooks();

static int64_t to_usec(int64_t ticks) { return ticks * 1000000 / get_ref_time_freq(); }

static float to_sec(int64_t ticks) { return (float)((double)ticks * ref_time_inv_freq); }

// One simulation tick (the "tick" steps of the loop).
static void run_tick()
{
  game_pre_tick();
  update_time_ring[update_ring_index] = (uint32_t)to_usec(last_update_duration);
  store_all_update_stats(update_ring_index);
  update_ring_index = (update_ring_index + 1) % PERF_RING_SIZE;
  main_loop_hooks.pump();
  update_start_time = main_loop_hooks.now();
  reset_all_update_stats();
  time_dt = to_sec(update_period);
  time_ik = 1.0f;
  main_loop_hooks.tick(time_dt);
  end_input_frame();
}

// Bookkeeping of a frame that has just been presented.
static void account_presented_frame()
{
  int64_t now = main_loop_hooks.now();
  int64_t d = now - frame_start_time;
  frame_time_ring[frame_ring_index] = (uint32_t)to_usec(d);
  recent_frame_sum += d - recent_frame_durations[recent_frame_pos];
  recent_frame_durations[recent_frame_pos] = d;
  recent_frame_pos = (recent_frame_pos + 1) % 5;
  int gpu = -1;
  gpu_load_ring[frame_ring_index] = get_gpu_activity(&gpu) ? gpu : -1;
  frame_ring_index = (frame_ring_index + 1) % PERF_RING_SIZE;
  ++frames_this_second;
  if (now - fps_second_mark >= get_ref_time_freq()) {
    cur_fps = frames_this_second;
    fps_second_mark = now;
    frames_this_second = 0;
    main_loop_hooks.once_a_second();
  }
}

void run_main_loop()
{
  update_clock = fps_second_mark = main_loop_hooks.now();
  frames_this_second = 0;
  last_update_duration = 0;
  update_ring_index = frame_ring_index = 0;
  memset(update_time_ring, 0, sizeof(update_time_ring));
  memset(frame_time_ring, 0, sizeof(frame_time_ring));
  memset(gpu_load_ring, 0, sizeof(gpu_load_ring));
  memset(recent_frame_durations, 0, sizeof(recent_frame_durations));
  recent_frame_sum = 0;
  recent_frame_pos = 0;
  int catchup = 0;
  bool frame_pending = false;
  if (app_quit_requested) {
    end_input_frame();
    return;
  }

  for (;;) {
    run_tick();
    if (app_quit_requested) break;

    // Frames until the next tick is due.
    bool next_tick = false;
    while (!next_tick) {
      main_loop_hooks.poll_watch();
      if (frame_pending) {
        main_loop_hooks.present();
        frame_pending = false;
        account_presented_frame();
      } else if (!main_loop_hooks.device_usable()) {
        int64_t now = main_loop_hooks.now();
        if (now > update_clock) main_loop_hooks.sleep_ms(get_time_msec(now - update_clock) / 2);
      }
      main_loop_hooks.pump();

      int64_t now = main_loop_hooks.now();
      // A tick may start up to one average frame early, which leaves the
      // tick clock ahead of now. It keeps that lead, so ticks stay on the
      // 20-a-second schedule however long frames take; only a clock that
      // really went backwards (further than any frame) is pulled back.
      int64_t elapsed = now - update_clock;
      if (elapsed < 0 && -elapsed > update_period + recent_frame_sum / 5) {
        elapsed = 0;
        update_clock = now;
      }
      if (elapsed + recent_frame_sum / 5 >= update_period) {
        ++catchup;
        if (catchup <= max_catchup_updates) {
          update_clock += update_period;
          next_tick = true;
          continue;
        }
      }
      if (elapsed < 0) elapsed = 0;
      time_dt = to_sec(elapsed);
      time_ik = time_dt / to_sec(update_period);
      frame_pending = main_loop_hooks.draw(time_dt);
      if (frame_pending) frame_start_time = now;
      if (catchup > max_catchup_updates) {
        // Too far behind: drop the backlog after this one frame.
        catchup = 0;
        update_clock = main_loop_hooks.now();
        next_tick = true;
      } else {
        catchup = -1;
        if (app_quit_requested) goto done;
      }
    }
  }
done:
  if (frame_pending) main_loop_hooks.present();
  end_input_frame();
}

// -------------------------------------------------------------- shut-down --

void close_all_systems()
{
  debug("closing...");
  close_game();
  close_font();
  if (d3d && common_vb_writer.vb) {
    // A fatal error may strike between begin and flush.
    if (common_vb_writer.startPtr) unlock_vb(common_vb_writer.vb);
    common_vb_writer.startPtr = common_vb_writer.ptr = nullptr;
    common_vb_writer.release();
  }
  close_gpu_load_monitor();
  free_all_meshes();
  free_all_textures();
  release_all_textures();
  close_d3d();
  stop_dir_watch();
  end_input_frame();
  debug("closed all systems");
}

void quit_game(int code)
{
  close_all_systems();
  fflush(stdout);
  exit(code);
}

// --------------------------------------------------------------- start-up --

static void set_gl_attributes()
{
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The window's own buffer only receives the finished picture.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

int app_main(int argc, char** argv)
{
  if (!init_app_path()) app_path[0] = 0;
  debug("app path: '%s'", app_path);

  init_timer();
  game_rnd_seed = (uint64_t)get_ref_time();
  max_catchup_updates = 5;
  update_period = get_ref_time_freq() / 20;
  if (update_period < 1) update_period = 1;
  int64_t startup_clock = get_ref_time();

  set_fatal_close_hook(close_all_systems);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    fatal("can't open the window system (%s): %s", display_name().c_str(), SDL_GetError());
  }
  // Without a display SDL falls back on a driver that shows nothing; a game
  // nobody can see must not go on running. Only an explicit choice of such a
  // driver (SDL_VIDEODRIVER) is honoured.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* chosen = getenv("SDL_VIDEODRIVER");
  if (driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy")) && !(chosen && chosen[0])) {
    fatal("can't open a window: %s", display_name().c_str());
  }

  read_app_config(argc, argv);
  isFullscreen = config_fullscreen;
  apply_process_priority();
  if (!isFullscreen) fit_configured_window();

  set_gl_attributes();
  SDL_Rect r = centred_window_rect();
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  if (isFullscreen) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    r = {0, 0, 0, 0};
  } else {
    if (app_screen_wd < 1) {
      r.x = r.y = (int)SDL_WINDOWPOS_UNDEFINED;
      flags |= SDL_WINDOW_MAXIMIZED;
    }
    if (r.w < 1) r.w = 1280;
    if (r.h < 1) r.h = 720;
  }
  main_window = SDL_CreateWindow(k_window_title, r.x, r.y, r.w > 0 ? r.w : 1, r.h > 0 ? r.h : 1, flags);
  if (!main_window) fatal("can't create the main window: %s", SDL_GetError());
  SDL_ShowWindow(main_window);
  isAppActive = true;

  int dev_w = app_screen_wd, dev_h = app_screen_ht;
  if (!isFullscreen) {
    int cw = 0, ch = 0;
    SDL_GL_GetDrawableSize(main_window, &cw, &ch);
    if (dev_w < 1) dev_w = cw;
    if (dev_h < 1) dev_h = ch;
  }

  start_dir_watch();
  init_input(main_window);
  if (!init_d3d(main_window, dev_w, dev_h)) fatal("can't start the renderer (OpenGL 3.3 core is needed)");
  common_vb_writer.create(COMMON_VB_SIZE);
  if (isFullscreen) SDL_SetWindowGrab(main_window, SDL_TRUE);

  init_gpu_load_monitor();
  init_font();
  show_splash("Loading...", -1.0f);

  init_game();

  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - startup_clock));
  debug("free video memory: %u MB", get_free_texmem() >> 20);

  run_main_loop();
  close_all_systems();
  set_fatal_close_hook(nullptr);
  if (main_window) SDL_DestroyWindow(main_window);
  main_window = nullptr;
  SDL_Quit();
  return 0;
}
