// The input queue and per-tick key state, driven without a window, and the
// translation of SDL events, scancodes and characters.
#include <gtest/gtest.h>

#include "engine/d3d_render.h"
#include "engine/input.h"
#include "engine/input_sdl.h"

#include <SDL.h>

#include <cstring>
#include <vector>

class InputQueue : public testing::Test
{
protected:
  void SetUp() override
  {
    init_input(nullptr);
    end_input_frame();
    d3d_wd = 640;
    d3d_ht = 480;
    move_to(0, 0);
    end_input_frame();
  }
  void TearDown() override { end_input_frame(); }

  static void move_to(int x, int y) { push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, x, y); }
  static void key(int type, int vk, int flags = 0, int sdl_mods = 0)
  {
    set_input_event_mods(sdl_mods);
    push_input_event(type, vk, 0, flags, -1, -1);
  }
  static std::vector<InputEvent> drain()
  {
    std::vector<InputEvent> out;
    InputEvent e;
    while (getEvent(&e)) out.push_back(e);
    return out;
  }
};

TEST_F(InputQueue, KeyDownAndUpInOneTick)
{
  key(INPUT_KEY_DOWN, 'A');
  key(INPUT_KEY_UP, 'A');
  EXPECT_TRUE(keyDown('A'));
  EXPECT_TRUE(keyUp('A'));
  EXPECT_FALSE(keyDown('B'));
  EXPECT_EQ(getKey(), 'A');
  EXPECT_EQ(getChar(), 'a');
  auto ev = drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].type, INPUT_KEY_DOWN);
  EXPECT_EQ(ev[1].type, INPUT_KEY_UP);
  EXPECT_EQ(ev[0].ch, 'a');
  EXPECT_EQ(ev[1].ch, 'a');   // key-ups carry their character too
  EXPECT_EQ(ev[0].wheel, 0);
  // Reading the queue does not clear the tick's key bits.
  EXPECT_TRUE(keyDown('A'));
}

TEST_F(InputQueue, HeldKeyRepeatsWithFlagButGoesDownOnce)
{
  key(INPUT_KEY_DOWN, 'W');
  EXPECT_TRUE(keyDown('W'));
  end_input_frame();
  key(INPUT_KEY_DOWN, 'W', INPUT_REPEAT);
  key(INPUT_KEY_DOWN, 'W', INPUT_REPEAT);
  EXPECT_FALSE(keyDown('W'));
  EXPECT_EQ(getKey(), 'W');   // a repeat is still the last key of the tick
  auto ev = drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_TRUE(ev[0].flags & INPUT_REPEAT);
}

TEST_F(InputQueue, ModifiersAndHeldButtonsInFlags)
{
  key(INPUT_KEY_DOWN, 'A', 0, KMOD_LSHIFT | KMOD_CAPS);
  key(INPUT_KEY_DOWN, 'A', 0, KMOD_LSHIFT);
  key(INPUT_KEY_DOWN, 'C', 0, KMOD_RCTRL | KMOD_NUM);
  auto ev = drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].flags, INPUT_SHIFT | INPUT_CAPS_LOCK);
  EXPECT_EQ(ev[0].ch, 'a');
  EXPECT_EQ(ev[1].ch, 'A');
  EXPECT_EQ(ev[2].flags, INPUT_CTRL | INPUT_NUM_LOCK);
  EXPECT_EQ(ev[2].ch, 3);

  // Held buttons follow the queued events: the button's own down event
  // already shows it held, its up event no longer does.
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, 0, 5, 5);
  move_to(6, 6);
  push_input_event(INPUT_BUTTON_DOWN, 2, 0, 0, 6, 6);
  push_input_event(INPUT_BUTTON_UP, 1, 0, 0, 6, 6);
  push_input_event(INPUT_BUTTON_UP, 2, 0, 0, 6, 6);
  move_to(7, 7);
  ev = drain();
  ASSERT_EQ(ev.size(), 6u);
  const int held[] = {INPUT_LBUTTON, INPUT_LBUTTON, INPUT_LBUTTON | INPUT_RBUTTON, INPUT_RBUTTON, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ev[i].flags & (INPUT_LBUTTON | INPUT_RBUTTON | INPUT_MBUTTON), held[i]) << i;
}

TEST_F(InputQueue, DoubleClickGoesDownAgain)
{
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, 0, 10, 10);
  push_input_event(INPUT_BUTTON_UP, 1, 0, 0, 10, 10);
  end_input_frame();
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, INPUT_REPEAT, 10, 10);
  EXPECT_TRUE(keyDown(1));
  EXPECT_EQ(getKey(), 1);
  EXPECT_EQ(getChar(), 0);
  auto ev = drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].type, INPUT_BUTTON_DOWN);
  EXPECT_TRUE(ev[0].flags & INPUT_REPEAT);
}

TEST_F(InputQueue, WheelStepsAddUp)
{
  push_input_event(INPUT_WHEEL, -1, 0, 0, 30, 40);
  push_input_event(INPUT_WHEEL, -2, 0, 0, 30, 40);
  EXPECT_EQ(getMouseWheel(), -3);
  auto ev = drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].wheel, -1);
  EXPECT_EQ(ev[0].key, 0);
  EXPECT_EQ(ev[0].x, 30.0f);
  EXPECT_EQ(ev[0].y, 40.0f);
}

TEST_F(InputQueue, PositionsAreClampedIntoTheDevice)
{
  struct Row { int x, y; float ex, ey; };
  const Row rows[] = {
      {100, 200, 100, 200}, {-5, 10, 0, 10}, {700, 500, 639, 479}, {639, -1, 639, 0}, {640, 480, 639, 479},
  };
  for (const Row& r : rows) {
    move_to(r.x, r.y);
    auto ev = drain();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].x, r.ex) << r.x;
    EXPECT_EQ(ev[0].y, r.ey) << r.y;
    float mx, my;
    getMousePos(&mx, &my);
    EXPECT_EQ(mx, r.ex);
    EXPECT_EQ(my, r.ey);
  }
  // Key events take the stored pointer position; a button-up takes it too,
  // whatever the system reported.
  move_to(12, 34);
  key(INPUT_KEY_DOWN, 'K');
  push_input_event(INPUT_BUTTON_DOWN, 4, 0, 0, 50, 60);
  push_input_event(INPUT_BUTTON_UP, 4, 0, 0, 900, 900);
  auto ev = drain();
  ASSERT_EQ(ev.size(), 4u);
  for (int i : {1, 3}) {
    EXPECT_EQ(ev[i].x, 12.0f) << i;
    EXPECT_EQ(ev[i].y, 34.0f) << i;
  }
  EXPECT_EQ(ev[2].x, 50.0f);   // a button-down keeps its own position
}

TEST_F(InputQueue, KeyNames)
{
  struct Row { int vk; const char* name; };
  const Row rows[] = {
      {3, "#03"}, {0, "#00"}, {255, "#FF"}, {0x0A, "#0A"}, {300, "?"}, {-1, "?"}, {256, "?"},
      {1, "Left Mouse Button"}, {8, "Backspace"}, {27, "Escape"}, {32, "Space"}, {40, "Down Arrow"},
      {48, "0"}, {57, "9"}, {65, "A"}, {90, "Z"}, {96, "NumPad 0"}, {105, "NumPad 9"}, {108, "#6C"},
      {112, "F1"}, {123, "F12"}, {124, "#7C"}, {186, "Semicolon"}, {219, "Left bracket"}, {222, "Apostrophe"},
  };
  for (const Row& r : rows) EXPECT_STREQ(getKeyName(r.vk), r.name) << r.vk;
}

TEST_F(InputQueue, EndOfTickClearsAllButThePointer)
{
  move_to(20, 30);
  key(INPUT_KEY_DOWN, 'Q');
  key(INPUT_KEY_UP, 'Q');
  push_input_event(INPUT_WHEEL, 2, 0, 0, 0, 0);
  end_input_frame();
  InputEvent e;
  EXPECT_FALSE(getEvent(&e));
  EXPECT_FALSE(keyDown('Q'));
  EXPECT_FALSE(keyUp('Q'));
  EXPECT_EQ(getKey(), 0);
  EXPECT_EQ(getChar(), 0);
  EXPECT_EQ(getMouseWheel(), 0);
  float x, y;
  getMousePos(&x, &y);
  EXPECT_EQ(x, 20.0f);
  EXPECT_EQ(y, 30.0f);
  // Out-of-range codes are never down.
  EXPECT_FALSE(keyDown(-1));
  EXPECT_FALSE(keyUp(256));
}

TEST(InputSdl, ScancodesToVirtualKeys)
{
  struct Row { int scancode; bool num_lock; int vk; };
  const Row rows[] = {
      {SDL_SCANCODE_A, true, 'A'}, {SDL_SCANCODE_Z, true, 'Z'}, {SDL_SCANCODE_1, true, '1'},
      {SDL_SCANCODE_0, true, '0'}, {SDL_SCANCODE_F1, true, 112}, {SDL_SCANCODE_F12, true, 123},
      {SDL_SCANCODE_RETURN, true, 13}, {SDL_SCANCODE_KP_ENTER, true, 13}, {SDL_SCANCODE_ESCAPE, true, 27},
      {SDL_SCANCODE_BACKSPACE, true, 8}, {SDL_SCANCODE_TAB, true, 9}, {SDL_SCANCODE_SPACE, true, 32},
      {SDL_SCANCODE_LSHIFT, true, 16}, {SDL_SCANCODE_RSHIFT, true, 16}, {SDL_SCANCODE_LCTRL, true, 17},
      {SDL_SCANCODE_RCTRL, true, 17}, {SDL_SCANCODE_LALT, true, 18}, {SDL_SCANCODE_RALT, true, 18},
      {SDL_SCANCODE_LGUI, true, 91}, {SDL_SCANCODE_RGUI, true, 92}, {SDL_SCANCODE_APPLICATION, true, 93},
      {SDL_SCANCODE_LEFT, true, 37}, {SDL_SCANCODE_UP, true, 38}, {SDL_SCANCODE_RIGHT, true, 39},
      {SDL_SCANCODE_DOWN, true, 40}, {SDL_SCANCODE_KP_0, true, 96}, {SDL_SCANCODE_KP_9, true, 105},
      {SDL_SCANCODE_KP_MULTIPLY, true, 106}, {SDL_SCANCODE_KP_PLUS, true, 107}, {SDL_SCANCODE_KP_MINUS, true, 109},
      {SDL_SCANCODE_KP_PERIOD, true, 110}, {SDL_SCANCODE_KP_DIVIDE, true, 111}, {SDL_SCANCODE_SEMICOLON, true, 186},
      {SDL_SCANCODE_EQUALS, true, 187}, {SDL_SCANCODE_COMMA, true, 188}, {SDL_SCANCODE_MINUS, true, 189},
      {SDL_SCANCODE_PERIOD, true, 190}, {SDL_SCANCODE_SLASH, true, 191}, {SDL_SCANCODE_GRAVE, true, 192},
      {SDL_SCANCODE_LEFTBRACKET, true, 219}, {SDL_SCANCODE_BACKSLASH, true, 220},
      {SDL_SCANCODE_RIGHTBRACKET, true, 221}, {SDL_SCANCODE_APOSTROPHE, true, 222},
      {SDL_SCANCODE_CAPSLOCK, true, 20}, {SDL_SCANCODE_NUMLOCKCLEAR, true, 144}, {SDL_SCANCODE_SCROLLLOCK, true, 145},
      // Keypad with Num Lock off: the navigation keys.
      {SDL_SCANCODE_KP_8, false, 38}, {SDL_SCANCODE_KP_0, false, 45}, {SDL_SCANCODE_KP_PERIOD, false, 46},
      {SDL_SCANCODE_KP_DIVIDE, false, 111}, {SDL_SCANCODE_A, false, 'A'},
      {SDL_SCANCODE_UNKNOWN, true, 0}, {-1, true, 0}, {SDL_NUM_SCANCODES, true, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(sdl_scancode_to_vk(r.scancode, r.num_lock), r.vk) << r.scancode;
}

TEST(InputSdl, CharactersFromKeyAndModifiers)
{
  struct Row { int vk, state, ch; };
  const Row rows[] = {
      // letters honour Shift and Caps Lock
      {'A', 0, 'a'}, {'A', INPUT_SHIFT, 'A'}, {'A', INPUT_CAPS_LOCK, 'A'}, {'A', INPUT_SHIFT | INPUT_CAPS_LOCK, 'a'},
      {'Q', INPUT_ALT, 'q'},
      // digits and punctuation (US layout); Caps Lock does not shift them
      {'1', 0, '1'}, {'1', INPUT_SHIFT, '!'}, {'0', INPUT_SHIFT, ')'}, {'5', INPUT_CAPS_LOCK, '5'},
      {186, 0, ';'}, {186, INPUT_SHIFT, ':'}, {222, 0, '\''}, {222, INPUT_SHIFT, '"'}, {192, INPUT_SHIFT, '~'},
      {96, 0, '0'}, {105, 0, '9'}, {106, 0, '*'}, {111, INPUT_SHIFT, '/'},
      // control characters
      {8, 0, 8}, {9, 0, 9}, {13, 0, 13}, {27, 0, 27}, {32, INPUT_SHIFT, 32},
      {'A', INPUT_CTRL, 1}, {'Z', INPUT_CTRL | INPUT_SHIFT, 26}, {219, INPUT_CTRL, 27}, {8, INPUT_CTRL, 127},
      {13, INPUT_CTRL, 10},
      // no character
      {112, 0, 0}, {37, 0, 0}, {46, 0, 0}, {16, INPUT_SHIFT, 0}, {'1', INPUT_CTRL, 0}, {'A', INPUT_CTRL | INPUT_ALT, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(input_key_char(r.vk, r.state), r.ch) << r.vk << " state " << r.state;
}

TEST_F(InputQueue, SdlEventsBecomeQueuedEvents)
{
  SDL_Event e;
  memset(&e, 0, sizeof(e));
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_2;
  e.key.keysym.mod = KMOD_LSHIFT;
  e.key.repeat = 1;
  EXPECT_TRUE(input_handle_sdl_event(e));

  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.clicks = 2;
  e.button.x = 15;
  e.button.y = 25;
  EXPECT_TRUE(input_handle_sdl_event(e));
  e.button.button = SDL_BUTTON_MIDDLE;
  e.button.clicks = 1;
  EXPECT_TRUE(input_handle_sdl_event(e));
  e.button.button = SDL_BUTTON_X1;   // no event of the game's kind
  EXPECT_FALSE(input_handle_sdl_event(e));

  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = 1;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  e.wheel.mouseX = 3;
  e.wheel.mouseY = 4;
  EXPECT_TRUE(input_handle_sdl_event(e));

  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 70;
  e.motion.y = 80;
  EXPECT_TRUE(input_handle_sdl_event(e));

  memset(&e, 0, sizeof(e));
  e.type = SDL_WINDOWEVENT;
  EXPECT_FALSE(input_handle_sdl_event(e));

  auto ev = drain();
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[0].type, INPUT_KEY_DOWN);
  EXPECT_EQ(ev[0].key, '2');
  EXPECT_EQ(ev[0].ch, '@');
  EXPECT_EQ(ev[0].flags & (INPUT_REPEAT | INPUT_SHIFT), INPUT_REPEAT | INPUT_SHIFT);
  EXPECT_EQ(ev[1].type, INPUT_BUTTON_DOWN);
  EXPECT_EQ(ev[1].key, 2);
  EXPECT_TRUE(ev[1].flags & INPUT_REPEAT);
  EXPECT_EQ(ev[1].x, 15.0f);
  EXPECT_EQ(ev[2].key, 4);
  EXPECT_FALSE(ev[2].flags & INPUT_REPEAT);
  EXPECT_EQ(ev[3].type, INPUT_WHEEL);
  EXPECT_EQ(ev[3].wheel, -1);
  EXPECT_EQ(ev[3].x, 3.0f);
  EXPECT_EQ(ev[4].type, INPUT_MOUSE_MOVE);
  EXPECT_EQ(ev[4].y, 80.0f);
}

TEST_F(InputQueue, PointerPositionsScaleFromTheWindowToThePicture)
{
  // A fullscreen window keeps the desktop's size, the picture the configured
  // one, stretched over the window.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("input", 0, 0, 1280, 720, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  init_input(window);
  d3d_wd = 640;
  d3d_ht = 360;
  end_input_frame();

  SDL_Event e;
  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 1000;
  e.motion.y = 500;
  EXPECT_TRUE(input_handle_sdl_event(e));
  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.clicks = 1;
  e.button.x = 1279;
  e.button.y = 0;
  EXPECT_TRUE(input_handle_sdl_event(e));
  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = 1;
  e.wheel.mouseX = 2;
  e.wheel.mouseY = 719;
  EXPECT_TRUE(input_handle_sdl_event(e));
  auto ev = drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].x, 500.f);
  EXPECT_EQ(ev[0].y, 250.f);
  EXPECT_EQ(ev[1].x, 639.f);
  EXPECT_EQ(ev[1].y, 0.f);
  EXPECT_EQ(ev[2].x, 1.f);
  EXPECT_EQ(ev[2].y, 359.f);

  // Same sizes: positions pass unchanged.
  d3d_wd = 1280;
  d3d_ht = 720;
  memset(&e, 0, sizeof(e));
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 1000;
  e.motion.y = 500;
  EXPECT_TRUE(input_handle_sdl_event(e));
  ev = drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].x, 1000.f);
  EXPECT_EQ(ev[0].y, 500.f);

  init_input(nullptr);
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
