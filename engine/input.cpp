#include "engine/input.h"

#include "engine/d3d_render.h"
#include "engine/input_sdl.h"

#include <SDL.h>

#include <cstdio>

struct InputNode
{
  InputEvent event;
  InputNode* next;
};

static SDL_Window* input_window = nullptr;
static InputNode* queue_head = nullptr;
static InputNode* queue_tail = nullptr;

// Per key code: 1 went down this tick, 2 went up this tick.
static unsigned char key_bits[256];
static int last_key = 0, last_char = 0;
static int wheel_sum = 0;

static float mouse_x = 0, mouse_y = 0;
static bool mouse_captured = false;
static bool mouse_over = false;

// Buttons held, as INPUT_*BUTTON bits, following the queued events in order:
// the system's state is already ahead by every event not yet queued.
static int held_buttons = 0;
static int pending_event_mods = -1;

void init_input(SDL_Window* window)
{
  input_window = window;
  for (unsigned char& b : key_bits) b = 0;
  held_buttons = 0;
  if (window) {
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(window, &wx, &wy);
    int x = gx - wx, y = gy - wy;
    window_to_render_coords(x, y);
    mouse_x = float(x);
    mouse_y = float(y);
  }
}

void set_input_event_mods(int sdl_mods) { pending_event_mods = sdl_mods; }

// The picture is stretched over the whole window (a fullscreen window keeps
// the desktop's size while the device keeps the configured one), so pointer
// positions scale between the two sizes.
static bool window_scale(int& ww, int& wh)
{
  ww = wh = 0;
  if (!input_window) return false;
  SDL_GetWindowSize(input_window, &ww, &wh);
  return ww > 0 && wh > 0 && d3d_wd > 0 && d3d_ht > 0 && (ww != d3d_wd || wh != d3d_ht);
}

void window_to_render_coords(int& x, int& y)
{
  int ww, wh;
  if (!window_scale(ww, wh)) return;
  x = int(int64_t(x) * d3d_wd / ww);
  y = int(int64_t(y) * d3d_ht / wh);
}

static void render_to_window_coords(int& x, int& y)
{
  int ww, wh;
  if (!window_scale(ww, wh)) return;
  x = int((int64_t(x) * ww + ww / 2) / d3d_wd);
  y = int((int64_t(y) * wh + wh / 2) / d3d_ht);
}

static void warp_pointer(float x, float y)
{
  int wx = int(x), wy = int(y);
  render_to_window_coords(wx, wy);
  SDL_WarpMouseInWindow(input_window, wx, wy);
}

static int keyboard_state_flags()
{
  int mods = pending_event_mods >= 0 ? pending_event_mods : int(SDL_GetModState());
  pending_event_mods = -1;
  int flags = held_buttons;
  if (mods & KMOD_SHIFT) flags |= INPUT_SHIFT;
  if (mods & KMOD_CTRL) flags |= INPUT_CTRL;
  if (mods & KMOD_ALT) flags |= INPUT_ALT;
  if (mods & KMOD_CAPS) flags |= INPUT_CAPS_LOCK;
  if (mods & KMOD_SCROLL) flags |= INPUT_SCROLL_LOCK;
  if (mods & KMOD_NUM) flags |= INPUT_NUM_LOCK;
  return flags;
}

static int button_flag(int button)
{
  switch (button) {
  case 1: return INPUT_LBUTTON;
  case 2: return INPUT_RBUTTON;
  case 4: return INPUT_MBUTTON;
  default: return 0;
  }
}

static float clamp_to(int v, int size)
{
  if (v > size - 1) v = size - 1;
  if (v < 0) v = 0;
  return float(v);
}

void push_input_event(int type, int key, int scan_code, int flags, int x, int y)
{
  (void)scan_code;   // the character comes from the key code and modifiers
  InputNode* node = new InputNode;
  InputEvent& e = node->event;
  e.type = type;
  e.key = key;
  e.ch = 0;
  e.wheel = 0;
  bool in_range = key >= 0 && key < 256;

  if (type == INPUT_BUTTON_DOWN) held_buttons |= button_flag(key);
  if (type == INPUT_BUTTON_UP) held_buttons &= ~button_flag(key);
  int state = keyboard_state_flags();

  switch (type) {
  case INPUT_KEY_DOWN:
  case INPUT_KEY_UP:
    if (in_range) {
      if (type == INPUT_KEY_UP) {
        key_bits[key] |= 2;
      } else if (!(flags & INPUT_REPEAT)) {
        key_bits[key] |= 1;
      }
    }
    e.ch = input_key_char(key, state);
    break;
  case INPUT_WHEEL:
    // Wheel positions arrive in client coordinates already.
    e.wheel = key;
    e.key = 0;
    break;
  case INPUT_BUTTON_DOWN:
    if (in_range) key_bits[key] |= 1;
    if (input_window) SDL_CaptureMouse(SDL_TRUE);
    mouse_captured = true;
    break;
  case INPUT_BUTTON_UP:
    if (in_range) key_bits[key] |= 2;
    if (input_window) {
      SDL_CaptureMouse(SDL_FALSE);
      warp_pointer(mouse_x, mouse_y);
    }
    x = int(mouse_x);
    y = int(mouse_y);
    mouse_captured = false;
    break;
  default: break;
  }

  e.flags = flags | state;

  if (type == INPUT_KEY_DOWN || type == INPUT_KEY_UP) {
    e.x = mouse_x;
    e.y = mouse_y;
  } else {
    e.x = clamp_to(x, d3d_wd);
    e.y = clamp_to(y, d3d_ht);
  }

  node->next = nullptr;
  if (queue_tail) {
    queue_tail->next = node;
  } else {
    queue_head = node;
  }
  queue_tail = node;

  if (type == INPUT_KEY_DOWN || type == INPUT_BUTTON_DOWN) {
    last_key = e.key;
    last_char = e.ch;
  } else if (type == INPUT_MOUSE_MOVE) {
    mouse_x = e.x;
    mouse_y = e.y;
  } else if (type == INPUT_WHEEL) {
    wheel_sum += e.wheel;
  }
}

bool getEvent(InputEvent* event)
{
  InputNode* node = queue_head;
  if (!node) return false;
  queue_head = node->next;
  if (!queue_head) queue_tail = nullptr;
  if (event) *event = node->event;
  delete node;
  return true;
}

void getMousePos(float* x, float* y)
{
  if (x) *x = mouse_x;
  if (y) *y = mouse_y;
}

void setMousePos(float x, float y)
{
  if (input_window) warp_pointer(x, y);
}

int getMouseWheel() { return wheel_sum; }

bool isMouseOver() { return mouse_over; }

bool getKeyState(int vk) { return sdl_vk_held(vk); }

bool keyDown(int vk) { return vk >= 0 && vk < 256 && (key_bits[vk] & 1) != 0; }

bool keyUp(int vk) { return vk >= 0 && vk < 256 && (key_bits[vk] & 2) != 0; }

const char* getKeyName(int vk)
{
  static const char* names[256];
  static char numbered[256][4];
  if (!names[0]) {
    for (int i = 0; i < 256; ++i) {
      snprintf(numbered[i], sizeof(numbered[i]), "#%02X", i);
      names[i] = numbered[i];
    }
    static const struct { int vk; const char* name; } named[] = {
        {1, "Left Mouse Button"}, {2, "Right Mouse Button"}, {4, "Middle Mouse Button"},
        {8, "Backspace"}, {9, "Tab"}, {13, "Enter"}, {16, "Shift"}, {17, "Ctrl"}, {18, "Alt"},
        {19, "Pause"}, {20, "Caps Lock"}, {27, "Escape"}, {32, "Space"}, {33, "Page Up"},
        {34, "Page Down"}, {35, "End"}, {36, "Home"}, {37, "Left Arrow"}, {38, "Up Arrow"},
        {39, "Right Arrow"}, {40, "Down Arrow"}, {45, "Insert"}, {46, "Delete"},
        {91, "Left Win"}, {92, "Right Win"}, {93, "Application"}, {106, "Multiply"}, {107, "Add"},
        {109, "Subtract"}, {110, "Decimal"}, {111, "Divide"}, {144, "Num Lock"}, {145, "Scroll Lock"},
        {186, "Semicolon"}, {187, "Equals"}, {188, "Comma"}, {189, "Minus"}, {190, "Period"},
        {191, "Slash"}, {192, "Grave"}, {219, "Left bracket"}, {220, "Backslash"},
        {221, "Right bracket"}, {222, "Apostrophe"},
    };
    for (const auto& n : named) names[n.vk] = n.name;
    static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static const char* const numpad[] = {"NumPad 0", "NumPad 1", "NumPad 2", "NumPad 3", "NumPad 4",
                                         "NumPad 5", "NumPad 6", "NumPad 7", "NumPad 8", "NumPad 9"};
    static const char* const fkeys[] = {"F1", "F2", "F3", "F4", "F5", "F6",
                                        "F7", "F8", "F9", "F10", "F11", "F12"};
    static char letters[26][2];
    for (int i = 0; i < 10; ++i) names[48 + i] = digits[i];
    for (int i = 0; i < 10; ++i) names[96 + i] = numpad[i];
    for (int i = 0; i < 12; ++i) names[112 + i] = fkeys[i];
    for (int i = 0; i < 26; ++i) {
      letters[i][0] = char('A' + i);
      letters[i][1] = 0;
      names[65 + i] = letters[i];
    }
  }
  if (vk < 0 || vk >= 256) return "?";
  return names[vk];
}

int getKey() { return last_key; }

int getChar() { return last_char; }

void update_mouse_over()
{
  if (mouse_captured) {
    mouse_over = true;
  } else if (!input_window) {
    mouse_over = false;
  } else if (SDL_GetWindowFlags(input_window) & SDL_WINDOW_FULLSCREEN) {
    mouse_over = true;
  } else {
    // SDL gives the pointer to the topmost window under it, and to none when
    // the pointer is outside every window of ours.
    mouse_over = SDL_GetMouseFocus() == input_window;
  }
}

void end_input_frame()
{
  for (unsigned char& b : key_bits) b = 0;
  while (getEvent(nullptr)) {
  }
  last_key = 0;
  last_char = 0;
  wheel_sum = 0;
}
