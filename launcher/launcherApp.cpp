#include "launcher/launcherApp.h"

#include <SDL.h>
#include <spawn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/debug.h"
#include "engine/input.h"
#include "engine/input_sdl.h"
#include "engine/paths.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "launcher/gui.h"
#include "launcher/settings.h"
#include "launcher/swrender.h"

extern char** environ;

static const char* const k_window_title = "Quillmere Launcher";
static const int k_client_wd = 640, k_client_ht = 480;
static const int k_redraws_per_second = 30;

// The engine's input layer clamps pointer positions to this rectangle: in
// the launcher it is the screen buffer.
int d3d_wd = 1, d3d_ht = 1;
bool isAppActive = false;
bool shouldHideMouse = false;

DynArray<uint32_t> screen_buffer;
int screen_buffer_wd = 0, screen_buffer_ht = 0;
GuiScreen* launcher_screen = nullptr;

static SoftwareGuiRenderer sw_renderer;
static SDL_Window* window = nullptr;
static bool quit_flag = false;
static int64_t start_time = 0;
static bool first_frame_logged = false;

SoftwareGuiRenderer& launcher_renderer() { return sw_renderer; }

// ------------------------------------------------------------- screen --

void resize_screen_buffer(int w, int h)
{
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  if (w == screen_buffer_wd && h == screen_buffer_ht) return;
  screen_buffer.resize(w * h);
  screen_buffer_wd = w;
  screen_buffer_ht = h;
  d3d_wd = w;
  d3d_ht = h;
  debug("resized screen buffer to %dx%d", w, h);
}

void paint_launcher_screen(uint32_t* pixels, int pitch, int w, int h)
{
  sw_renderer.setTarget(pixels, pitch, w, h);
  sw_renderer.clear(0);
  if (launcher_screen) launcher_screen->draw();
}

void process_launcher_input()
{
  if (launcher_screen) launcher_screen->processInput();
}

void relayout_launcher_screen()
{
  if (!launcher_screen) return;
  // The layout reads the renderer's size: point it at the buffer first.
  sw_renderer.setTarget(screen_buffer.begin(), screen_buffer_wd * 4, screen_buffer_wd, screen_buffer_ht);
  launcher_screen->relayout();
}

void destroy_launcher_screen()
{
  delete launcher_screen;
  launcher_screen = nullptr;
}

void close_launcher()
{
  debug("closing...");
  destroy_launcher_screen();
  sw_renderer.setTarget(nullptr, 0, 0, 0);
  screen_buffer = DynArray<uint32_t>();
  screen_buffer_wd = screen_buffer_ht = 0;
  end_input_frame();
  debug("closed all systems");
}

void init_launcher()
{
  load_settings();
  sw_renderer.setFont(sw_renderer.loadFont("font.tga"));
  font_line_height = sw_renderer.getLineHeight();
  register_gui_behaviours();
  if (screen_buffer_wd < 1) resize_screen_buffer(k_client_wd, k_client_ht);
  sw_renderer.setTarget(screen_buffer.begin(), screen_buffer_wd * 4, screen_buffer_wd, screen_buffer_ht);
  launcher_screen = new GuiScreen(&sw_renderer, build_launcher_screen(), 40, 30);
  update_settings_view();
  launcher_screen->root->addHandler(&launcher_handler, -1);
}

// ------------------------------------------------------------- window --

// Draws the screen at the window's size and copies it to the window.
static void paint_window()
{
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  if (w != screen_buffer_wd || h != screen_buffer_ht) {
    resize_screen_buffer(w, h);
    relayout_launcher_screen();
  }
  paint_launcher_screen(screen_buffer.begin(), screen_buffer_wd * 4, screen_buffer_wd, screen_buffer_ht);

  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (!surface) return;
  // The window may have been resized since the size was read: copy what fits.
  int cw = surface->w < screen_buffer_wd ? surface->w : screen_buffer_wd;
  int ch = surface->h < screen_buffer_ht ? surface->h : screen_buffer_ht;
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  // The alpha bytes are 0: the buffer is read as X8R8G8B8.
  SDL_ConvertPixels(cw, ch, SDL_PIXELFORMAT_RGB888, screen_buffer.begin(), screen_buffer_wd * 4,
                    surface->format->format, surface->pixels, surface->pitch);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_UpdateWindowSurface(window);

  if (!first_frame_logged) {
    first_frame_logged = true;
    debug("first frame after %d ms", get_time_msec(get_ref_time() - start_time));
  }
}

static void update_active()
{
  Uint32 flags = SDL_GetWindowFlags(window);
  isAppActive = (flags & SDL_WINDOW_INPUT_FOCUS) && !(flags & SDL_WINDOW_MINIMIZED);
}

// One window event; true when it counts as activity (everything but a
// repaint request).
static bool handle_event(const SDL_Event& e, bool& repaint)
{
  switch (e.type) {
  case SDL_QUIT:
    isAppActive = false;
    quit_flag = true;
    return true;
  case SDL_WINDOWEVENT:
    switch (e.window.event) {
    case SDL_WINDOWEVENT_CLOSE:
      isAppActive = false;
      quit_flag = true;
      return true;
    case SDL_WINDOWEVENT_EXPOSED: repaint = true; return false;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_RESTORED: update_active(); return true;
    default: return true;
    }
  case SDL_KEYDOWN:
    // Alt+F4 closes the window; there may be no window manager to do it.
    if (e.key.keysym.scancode == SDL_SCANCODE_F4 && (e.key.keysym.mod & KMOD_ALT)) {
      isAppActive = false;
      quit_flag = true;
      return true;
    }
    input_handle_sdl_event(e);
    return true;
  case SDL_MOUSEBUTTONDOWN:
    SDL_RaiseWindow(window);   // takes the keyboard focus
    input_handle_sdl_event(e);
    return true;
  case SDL_MOUSEMOTION: {
    input_handle_sdl_event(e);
    bool hide = isAppActive && shouldHideMouse && isMouseOver();
    SDL_ShowCursor(hide ? SDL_DISABLE : SDL_ENABLE);
    return true;
  }
  default:
    input_handle_sdl_event(e);
    return true;
  }
}

// Waits at most ms for an event, looking every few milliseconds. Not SDL's
// blocking wait: that wakes itself by sending a message to the window over a
// second X connection for every event that arrives while it waits, and one
// sent just before the window closes can reach the X server after the window
// is gone; Xlib's default error handler then ended the launcher with exit
// code 1 after a clean close.
static bool wait_for_event(SDL_Event& e, int ms)
{
  const int slice_ms = 4;
  for (;;) {
    if (SDL_PollEvent(&e)) return true;
    if (ms <= 0) return false;
    int slice = ms < slice_ms ? ms : slice_ms;
    SDL_Delay(Uint32(slice));
    ms -= slice;
  }
}

// Waits for input at most until the next redraw is due, so an idle launcher
// uses almost no processor time between its 30 redraws a second.
static void run_launcher_loop()
{
  const int64_t interval = get_ref_time_freq() / k_redraws_per_second;
  int64_t last_update = get_ref_time() - interval;
  while (!quit_flag) {
    bool activity = false, repaint = false;
    int64_t due = last_update + interval - get_ref_time();
    int wait_ms = due > 0 ? get_time_msec(due) : 0;
    SDL_Event e;
    if (wait_for_event(e, wait_ms)) {
      activity |= handle_event(e, repaint);
      while (!quit_flag && SDL_PollEvent(&e)) activity |= handle_event(e, repaint);
    }
    if (quit_flag) break;
    update_mouse_over();
    if (activity || get_ref_time() - last_update >= interval) {
      process_launcher_input();
      repaint = true;
      last_update = get_ref_time();
    }
    if (repaint) paint_window();
    end_input_frame();
  }
  end_input_frame();
}

// The window rectangle: the client area centred in the desktop's work area,
// or in the whole screen when the work area is unknown.
static SDL_Rect centred_client_rect()
{
  SDL_Rect work = {0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(0, &work) != 0 || work.w < 1 || work.h < 1) {
    SDL_DisplayMode dm;
    work = {0, 0, k_client_wd, k_client_ht};
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
      work.w = dm.w;
      work.h = dm.h;
    }
  }
  return {work.x + (work.w - k_client_wd) / 2, work.y + (work.h - k_client_ht) / 2, k_client_wd, k_client_ht};
}

static bool start_game_beside()
{
  TempString<260> path = make_full_path("game");
  char* argv[] = {path.str(), nullptr};
  pid_t pid = 0;
  int err = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
  if (err != 0) {
    char text[400];
    snprintf(text, sizeof(text), "can't start the game '%s': %s", path.c_str(), strerror(err));
    error_message(text);
    return false;
  }
  debug("started '%s' (process %d)", path.c_str(), int(pid));
  return true;
}

[[noreturn]] static void exit_launcher(int code)
{
  close_launcher();
  // The window and the display connection go with the process. Tearing them
  // down first can make SDL send an event to the window it has just
  // destroyed when no window manager runs, and Xlib then ends the process
  // with code 1 instead of ours.
  fflush(stdout);
  exit(code);
}

static void open_site(const char* url)
{
  if (SDL_OpenURL(url) != 0) debug("can't open '%s': %s", url, SDL_GetError());
}

int run_launcher(int, char**)
{
  if (!init_app_path()) app_path[0] = 0;
  debug("app path: '%s'", app_path);
  init_timer();
  game_rnd_seed = uint64_t(get_ref_time());
  start_time = get_ref_time();

  set_message_box_window_title(k_window_title);
  set_fatal_close_hook(close_launcher);
  launcher_actions = {start_game_beside, exit_launcher, open_site};

  // The window shows a software picture: no accelerated renderer behind it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) fatal("can't open the window system: %s", SDL_GetError());
  SDL_Rect r = centred_client_rect();
  debug("wr: %d %d %d %d", r.x, r.y, r.x + r.w, r.y + r.h);
  window = SDL_CreateWindow(k_window_title, r.x, r.y, r.w, r.h, SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (!window) fatal("can't create the launcher window: %s", SDL_GetError());
  int cw = 0, ch = 0;
  SDL_GetWindowSize(window, &cw, &ch);
  resize_screen_buffer(cw, ch);
  init_input(window);
  update_active();

  init_launcher();
  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - start_time));

  run_launcher_loop();
  close_launcher();
  set_fatal_close_hook(nullptr);
  SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
  return 0;
}
