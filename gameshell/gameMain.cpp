// The game shell's entry points in their least form: the engine starts it,
// ticks it, lets it draw a frame that clears the screen, polls it once a
// second and closes it. Counts its ticks so a run can be checked for the
// fixed tick rate ("ticks: N in M ms" at close).
#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/gameShellServices.h"
#include "engine/timer.h"

static int ticks_run = 0;
static int64_t first_tick_time = 0;

void init_game()
{
  set_update_rate(20, 5);
  ticks_run = 0;
}

void close_game()
{
  int ms = ticks_run ? get_time_msec(get_ref_time() - first_tick_time) : 0;
  debug("ticks: %d in %d ms", ticks_run, ms);
}

void game_pre_tick() {}

void game_tick(float)
{
  if (ticks_run++ == 0) first_tick_time = get_ref_time();
  store_update_time();
}

void poll_hot_reload() {}

void render_game_frame(float)
{
  set_back_buffer_target();
  clear_view(0xFF203040u);
}

void on_game_device_reset() { update_font_scale(); }

// There is no distance-field font yet: the bitmap font's splash is the
// loading screen.
void draw_loading_screen()
{
  set_back_buffer_target();
  draw_splash();
}

void handle_dev_hotkeys() {}
