// Game-shell entry points for test programs that link the engine alone.
// Tests count the calls and may install their own frame and tick bodies.
#include "support/gameshell_stubs.h"

#include "engine/gameShellServices.h"
#include "engine/gui/guiServices.h"

#include <cstdio>

GameShellStubCalls gameshell_stub_calls;
void (*stub_tick_body)(float) = nullptr;
void (*stub_frame_body)(float) = nullptr;

void init_game() { ++gameshell_stub_calls.init; }
void close_game() { ++gameshell_stub_calls.close; }
void game_pre_tick() {}
void game_tick(float dt)
{
  ++gameshell_stub_calls.tick;
  if (stub_tick_body) stub_tick_body(dt);
}
void poll_hot_reload() { ++gameshell_stub_calls.hot_reload; }
void render_game_frame(float dt)
{
  ++gameshell_stub_calls.frame;
  if (stub_frame_body) stub_frame_body(dt);
}
void on_game_device_reset() { ++gameshell_stub_calls.device_reset; }
void draw_loading_screen() {}
void handle_dev_hotkeys() {}

GuiTooltipStubCalls gui_tooltip_stub_calls;
void gui_show_tooltip(const char* text)
{
  ++gui_tooltip_stub_calls.show;
  snprintf(gui_tooltip_stub_calls.text, sizeof(gui_tooltip_stub_calls.text), "%s", text ? text : "");
}
void gui_hide_tooltip() { ++gui_tooltip_stub_calls.hide; }
