// The keyboard and mouse input queue and the per-tick key state.
//
// The window's event handling (input_sdl) turns each system event into one
// push_input_event call; the tick reads the queue with getEvent and the key
// bits with keyDown / keyUp; end_input_frame, at the end of every tick,
// discards what is left, so events and key bits live exactly one tick. Keys
// are Windows virtual-key codes (saved key bindings and the plug-in compare
// them); mouse buttons are 1 left, 2 right, 4 middle. Positions are client
// pixels. Every function is safe without a window (init_input(nullptr)), so
// tests drive the queue directly. Main thread only.
#pragma once

#include <cstddef>

struct SDL_Window;

enum
{
  INPUT_KEY_DOWN = 1,
  INPUT_KEY_UP = 2,
  INPUT_BUTTON_DOWN = 3,
  INPUT_BUTTON_UP = 4,
  INPUT_MOUSE_MOVE = 5,
  INPUT_WHEEL = 6,
};

// Flag bits of InputEvent::flags.
enum
{
  INPUT_SHIFT = 1,
  INPUT_CTRL = 2,
  INPUT_ALT = 4,
  INPUT_CAPS_LOCK = 8,
  INPUT_SCROLL_LOCK = 16,
  INPUT_NUM_LOCK = 32,
  INPUT_REPEAT = 64,   // key already down, or a double click
  INPUT_LBUTTON = 128,
  INPUT_RBUTTON = 256,
  INPUT_MBUTTON = 512,
};

struct InputEvent
{
  int type;
  int key;     // virtual-key code, or button; 0 for move and wheel
  int flags;
  int ch;      // character the key produces, 0 when none
  int wheel;   // steps away from the user, wheel events only
  float x, y;
};
// The plug-in reads events through this layout.
static_assert(sizeof(InputEvent) == 28 && offsetof(InputEvent, y) == 24, "seven 32-bit fields");

void init_input(SDL_Window* window);
// A pointer position in the window to one in the picture (the device's
// size), for a window whose size differs from the device's.
void window_to_render_coords(int& x, int& y);

// Queues one event. For key events x and y are ignored (the event takes the
// stored pointer position); for wheel events `key` is the number of steps.
// Other positions are clamped into the device rectangle.
void push_input_event(int type, int key, int scan_code, int flags, int x, int y);

// The modifier state (SDL_Keymod bits) of the event about to be pushed, taken
// by the next push_input_event instead of the current state: a key event
// carries the state of its own moment, which may differ from the state after
// all pending events were read.
void set_input_event_mods(int sdl_mods);

bool getEvent(InputEvent* event);
void getMousePos(float* x, float* y);
void setMousePos(float x, float y);   // moves the system pointer only
int getMouseWheel();
bool isMouseOver();
bool getKeyState(int vk);   // held at this moment
bool keyDown(int vk);       // went down this tick
bool keyUp(int vk);         // went up this tick
const char* getKeyName(int vk);   // "?" outside 0..255
int getKey();    // last key or button that went down this tick
int getChar();   // its character

void update_mouse_over();
void end_input_frame();
