// The application shell of `game`: start-up in a fixed order, the fixed-step
// main loop (20 ticks a second, at most 5 catch-up ticks, frames drawn between
// ticks with the fraction of the next tick in `time_ik`), the main window and
// its events, the fullscreen switch, and shut-down in a fixed order.
// Owns the process from entry to exit. Main thread only.
#pragma once

#include <cstdint>

struct SDL_Window;

extern SDL_Window* main_window;
extern bool isAppActive;
extern bool shouldHideMouse;   // written by the game shell every tick
extern bool isFullscreen;
extern float time_dt;          // in a tick: 0.05; while drawing: seconds since the tick
extern float time_ik;          // in a tick: 1; while drawing: time_dt over the tick length
extern bool app_quit_requested;

extern int64_t update_period;  // tick length in timer units
extern int max_catchup_updates;
extern int64_t update_clock;   // when the current tick became due
extern int64_t update_start_time;
extern int64_t last_update_duration;

enum { PERF_RING_SIZE = 100 };
extern uint32_t update_time_ring[PERF_RING_SIZE];
extern int update_ring_index;
extern uint32_t frame_time_ring[PERF_RING_SIZE];
extern int32_t gpu_load_ring[PERF_RING_SIZE];
extern int frame_ring_index;
extern int cur_fps;

int app_main(int argc, char** argv);
SDL_Window* get_main_window();

void run_main_loop();
void pump_messages();

void set_update_rate(int ticks_per_second, int max_catchup);
void reset_update_time();
void store_update_time();
int get_update_period_usec();

void set_fullscreen(bool fullscreen);
void set_window_pos(int x, int y, int w, int h);

void close_all_systems();
[[noreturn]] void quit_game(int code);

// The main loop's contact with the world outside it. The defaults are the
// real ones; tests replace them to drive the scheduler with their own clock.
struct MainLoopHooks {
  int64_t (*now)();
  void (*pump)();
  void (*tick)(float dt);          // the game shell's tick
  bool (*draw)(float dt);          // draws one frame; false when none was drawn
  void (*present)();
  bool (*device_usable)();
  void (*sleep_ms)(int ms);
  void (*poll_watch)();
  void (*once_a_second)();         // shader reload, then the game shell's poll
};
extern MainLoopHooks main_loop_hooks;
MainLoopHooks default_main_loop_hooks();
