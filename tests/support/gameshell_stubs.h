// Call counters of the test programs' game-shell stand-ins.
#pragma once

struct GameShellStubCalls {
  int init = 0, close = 0, tick = 0, frame = 0, hot_reload = 0, device_reset = 0;
};
extern GameShellStubCalls gameshell_stub_calls;
extern void (*stub_tick_body)(float);
extern void (*stub_frame_body)(float);

// The GUI runtime's tooltip calls, counted.
struct GuiTooltipStubCalls {
  int show = 0, hide = 0;
  char text[256] = {};
};
extern GuiTooltipStubCalls gui_tooltip_stub_calls;
