#include "engine/input_sdl.h"

#include "engine/input.h"

#include <SDL.h>

// Scancode -> virtual-key code, one row a key.
struct ScancodeVk
{
  short scancode;
  unsigned char vk;
};

static const ScancodeVk k_scancode_vk[] = {
    {SDL_SCANCODE_RETURN, 13},          // Enter
    {SDL_SCANCODE_ESCAPE, 27},          // Escape
    {SDL_SCANCODE_BACKSPACE, 8},        // Backspace
    {SDL_SCANCODE_TAB, 9},              // Tab
    {SDL_SCANCODE_SPACE, 32},           // Space
    {SDL_SCANCODE_MINUS, 189},          // Minus
    {SDL_SCANCODE_EQUALS, 187},         // Equals
    {SDL_SCANCODE_LEFTBRACKET, 219},    // Left bracket
    {SDL_SCANCODE_RIGHTBRACKET, 221},   // Right bracket
    {SDL_SCANCODE_BACKSLASH, 220},      // Backslash
    {SDL_SCANCODE_NONUSHASH, 220},      // the ISO key beside Enter, at Backslash's place
    {SDL_SCANCODE_SEMICOLON, 186},      // Semicolon
    {SDL_SCANCODE_APOSTROPHE, 222},     // Apostrophe
    {SDL_SCANCODE_GRAVE, 192},          // Grave
    {SDL_SCANCODE_COMMA, 188},          // Comma
    {SDL_SCANCODE_PERIOD, 190},         // Period
    {SDL_SCANCODE_SLASH, 191},          // Slash
    {SDL_SCANCODE_CAPSLOCK, 20},        // Caps Lock
    {SDL_SCANCODE_PRINTSCREEN, 44},     // Print Screen
    {SDL_SCANCODE_SCROLLLOCK, 145},     // Scroll Lock
    {SDL_SCANCODE_PAUSE, 19},           // Pause
    {SDL_SCANCODE_INSERT, 45},          // Insert
    {SDL_SCANCODE_HOME, 36},            // Home
    {SDL_SCANCODE_PAGEUP, 33},          // Page Up
    {SDL_SCANCODE_DELETE, 46},          // Delete
    {SDL_SCANCODE_END, 35},             // End
    {SDL_SCANCODE_PAGEDOWN, 34},        // Page Down
    {SDL_SCANCODE_RIGHT, 39},           // Right Arrow
    {SDL_SCANCODE_LEFT, 37},            // Left Arrow
    {SDL_SCANCODE_DOWN, 40},            // Down Arrow
    {SDL_SCANCODE_UP, 38},              // Up Arrow
    {SDL_SCANCODE_NUMLOCKCLEAR, 144},   // Num Lock
    {SDL_SCANCODE_KP_DIVIDE, 111},      // Divide
    {SDL_SCANCODE_KP_MULTIPLY, 106},    // Multiply
    {SDL_SCANCODE_KP_MINUS, 109},       // Subtract
    {SDL_SCANCODE_KP_PLUS, 107},        // Add
    {SDL_SCANCODE_KP_ENTER, 13},        // Enter
    {SDL_SCANCODE_KP_1, 97},            // NumPad 1
    {SDL_SCANCODE_KP_2, 98},            // NumPad 2
    {SDL_SCANCODE_KP_3, 99},            // NumPad 3
    {SDL_SCANCODE_KP_4, 100},           // NumPad 4
    {SDL_SCANCODE_KP_5, 101},           // NumPad 5
    {SDL_SCANCODE_KP_6, 102},           // NumPad 6
    {SDL_SCANCODE_KP_7, 103},           // NumPad 7
    {SDL_SCANCODE_KP_8, 104},           // NumPad 8
    {SDL_SCANCODE_KP_9, 105},           // NumPad 9
    {SDL_SCANCODE_KP_0, 96},            // NumPad 0
    {SDL_SCANCODE_KP_PERIOD, 110},      // Decimal
    {SDL_SCANCODE_NONUSBACKSLASH, 226}, // the ISO key beside left Shift
    {SDL_SCANCODE_APPLICATION, 93},     // Application
    {SDL_SCANCODE_MENU, 93},            // Application
    {SDL_SCANCODE_EXECUTE, 43},         // Execute
    {SDL_SCANCODE_HELP, 47},            // Help
    {SDL_SCANCODE_SELECT, 41},          // Select
    {SDL_SCANCODE_KP_COMMA, 108},       // Separator
    {SDL_SCANCODE_CANCEL, 3},           // Cancel (Ctrl+Break)
    {SDL_SCANCODE_CLEAR, 12},           // Clear
    {SDL_SCANCODE_LCTRL, 17},           // Ctrl
    {SDL_SCANCODE_LSHIFT, 16},          // Shift
    {SDL_SCANCODE_LALT, 18},            // Alt
    {SDL_SCANCODE_LGUI, 91},            // Left Win
    {SDL_SCANCODE_RCTRL, 17},           // Ctrl
    {SDL_SCANCODE_RSHIFT, 16},          // Shift
    {SDL_SCANCODE_RALT, 18},            // Alt
    {SDL_SCANCODE_RGUI, 92},            // Right Win
    {SDL_SCANCODE_MUTE, 173},           // Volume Mute
    {SDL_SCANCODE_AUDIOMUTE, 173},      // Volume Mute
    {SDL_SCANCODE_VOLUMEDOWN, 174},     // Volume Down
    {SDL_SCANCODE_VOLUMEUP, 175},       // Volume Up
    {SDL_SCANCODE_AUDIONEXT, 176},      // Next Track
    {SDL_SCANCODE_AUDIOPREV, 177},      // Previous Track
    {SDL_SCANCODE_AUDIOSTOP, 178},      // Stop Media
    {SDL_SCANCODE_AUDIOPLAY, 179},      // Play/Pause Media
    {SDL_SCANCODE_MAIL, 180},           // Start Mail
    {SDL_SCANCODE_MEDIASELECT, 181},    // Select Media
    {SDL_SCANCODE_AC_BACK, 166},        // Browser Back
    {SDL_SCANCODE_AC_FORWARD, 167},     // Browser Forward
    {SDL_SCANCODE_AC_REFRESH, 168},     // Browser Refresh
    {SDL_SCANCODE_AC_STOP, 169},        // Browser Stop
    {SDL_SCANCODE_AC_SEARCH, 170},      // Browser Search
    {SDL_SCANCODE_AC_BOOKMARKS, 171},   // Browser Favorites
    {SDL_SCANCODE_AC_HOME, 172},        // Browser Home
    {SDL_SCANCODE_SLEEP, 95},           // Sleep
};

// Keypad keys with Num Lock off report the navigation keys printed on them.
static const ScancodeVk k_keypad_nav_vk[] = {
    {SDL_SCANCODE_KP_0, 45},        // Insert
    {SDL_SCANCODE_KP_1, 35},        // End
    {SDL_SCANCODE_KP_2, 40},        // Down Arrow
    {SDL_SCANCODE_KP_3, 34},        // Page Down
    {SDL_SCANCODE_KP_4, 37},        // Left Arrow
    {SDL_SCANCODE_KP_5, 12},        // Clear
    {SDL_SCANCODE_KP_6, 39},        // Right Arrow
    {SDL_SCANCODE_KP_7, 36},        // Home
    {SDL_SCANCODE_KP_8, 38},        // Up Arrow
    {SDL_SCANCODE_KP_9, 33},        // Page Up
    {SDL_SCANCODE_KP_PERIOD, 46},   // Delete
};

static int scancode_vk_slow(int scancode, bool num_lock)
{
  // Letters, digits and function keys are runs in both numberings.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return 112 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) return 124 + (scancode - SDL_SCANCODE_F13);
  if (!num_lock)
    for (const ScancodeVk& r : k_keypad_nav_vk)
      if (r.scancode == scancode) return r.vk;
  for (const ScancodeVk& r : k_scancode_vk)
    if (r.scancode == scancode) return r.vk;
  return 0;
}

int sdl_scancode_to_vk(int scancode, bool num_lock)
{
  // Indexed by [num_lock][scancode], filled on first use.
  static unsigned char table[2][SDL_NUM_SCANCODES];
  static bool filled = false;
  if (!filled) {
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
      table[0][sc] = (unsigned char)scancode_vk_slow(sc, false);
      table[1][sc] = (unsigned char)scancode_vk_slow(sc, true);
    }
    filled = true;
  }
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return table[num_lock ? 1 : 0][scancode];
}

// Characters of the punctuation keys, unshifted and shifted (US layout).
struct VkChars
{
  unsigned char vk;
  char plain, shifted;
};

static const VkChars k_punctuation[] = {
    {186, ';', ':'}, {187, '=', '+'}, {188, ',', '<'},  {189, '-', '_'},
    {190, '.', '>'}, {191, '/', '?'}, {192, '`', '~'},  {219, '[', '{'},
    {220, '\\', '|'}, {221, ']', '}'}, {222, '\'', '"'}, {226, '\\', '|'},
};

int input_key_char(int vk, int state_flags)
{
  bool shift = (state_flags & INPUT_SHIFT) != 0;
  bool ctrl = (state_flags & INPUT_CTRL) != 0;
  bool alt = (state_flags & INPUT_ALT) != 0;
  bool caps = (state_flags & INPUT_CAPS_LOCK) != 0;

  if (ctrl) {
    // Ctrl+Alt is AltGr, which types nothing on a US layout.
    if (alt) return 0;
    if (vk >= 'A' && vk <= 'Z') return vk - 'A' + 1;
    switch (vk) {
    case 219: return 27;                  // Ctrl+[
    case 220: case 226: return 28;        // Ctrl+backslash
    case 221: return 29;                  // Ctrl+]
    case '6': return shift ? 30 : 0;      // Ctrl+^
    case 189: return shift ? 31 : 0;      // Ctrl+_
    case 8: return 127;
    case 13: return 10;
    case 27: return 27;
    case 32: return 32;
    case 3: return 3;
    default: return 0;
    }
  }

  switch (vk) {
  case 8: case 9: case 13: case 27: case 32: return vk;
  case 106: return '*';
  case 107: return '+';
  case 109: return '-';
  case 110: return '.';
  case 111: return '/';
  default: break;
  }
  if (vk >= 'A' && vk <= 'Z') return shift != caps ? vk : vk - 'A' + 'a';
  if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : vk;
  if (vk >= 96 && vk <= 105) return '0' + (vk - 96);
  for (const VkChars& r : k_punctuation)
    if (r.vk == vk) return shift ? r.shifted : r.plain;
  return 0;
}

bool sdl_vk_held(int vk)
{
  switch (vk) {
  case 1: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
  case 2: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_RMASK) != 0;
  case 4: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_MMASK) != 0;
  case 5: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_X1MASK) != 0;
  case 6: return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_X2MASK) != 0;
  default: break;
  }
  if (vk <= 0 || vk > 255) return false;
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  if (!keys) return false;
  bool num_lock = (SDL_GetModState() & KMOD_NUM) != 0;
  for (int sc = 0; sc < count; ++sc)
    if (keys[sc] && sdl_scancode_to_vk(sc, num_lock) == vk) return true;
  return false;
}

static int button_vk(Uint8 button)
{
  switch (button) {
  case SDL_BUTTON_LEFT: return 1;
  case SDL_BUTTON_RIGHT: return 2;
  case SDL_BUTTON_MIDDLE: return 4;
  default: return 0;
  }
}

bool input_handle_sdl_event(const SDL_Event& e)
{
  switch (e.type) {
  case SDL_KEYDOWN:
  case SDL_KEYUP: {
    int vk = sdl_scancode_to_vk(e.key.keysym.scancode, (e.key.keysym.mod & KMOD_NUM) != 0);
    if (!vk) return false;
    set_input_event_mods(e.key.keysym.mod);
    if (e.type == SDL_KEYDOWN) {
      push_input_event(INPUT_KEY_DOWN, vk, e.key.keysym.scancode, e.key.repeat ? INPUT_REPEAT : 0, -1, -1);
    } else {
      push_input_event(INPUT_KEY_UP, vk, e.key.keysym.scancode, 0, -1, -1);
    }
    return true;
  }
  case SDL_MOUSEBUTTONDOWN:
  case SDL_MOUSEBUTTONUP: {
    int b = button_vk(e.button.button);
    if (!b) return false;
    if (e.type == SDL_MOUSEBUTTONDOWN) {
      int x = e.button.x, y = e.button.y;
      window_to_render_coords(x, y);
      push_input_event(INPUT_BUTTON_DOWN, b, 0, e.button.clicks >= 2 ? INPUT_REPEAT : 0, x, y);
    } else {
      push_input_event(INPUT_BUTTON_UP, b, 0, 0, e.button.x, e.button.y);
    }
    return true;
  }
  case SDL_MOUSEMOTION: {
    int x = e.motion.x, y = e.motion.y;
    window_to_render_coords(x, y);
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, x, y);
    return true;
  }
  case SDL_MOUSEWHEEL: {
    int steps = e.wheel.y;
    if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
    if (!steps) return false;   // sideways scrolling has no event of its own
    int x = e.wheel.mouseX, y = e.wheel.mouseY;
    window_to_render_coords(x, y);
    push_input_event(INPUT_WHEEL, steps, 0, 0, x, y);
    return true;
  }
  default: return false;
  }
}
