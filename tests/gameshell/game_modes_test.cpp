// Game modes: switching order, which modes step the world, the game menu's
// return, the off-screen world simulation, and the camera's interpolation
// between ticks.
#include "gameshell/gameCamera.h"
#include "gameshell/gameMain.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"

#include "engine/font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> calls;
int world_steps = 0;

// Stand-ins for the plug-in's functions that the modes call.
void count_step(float) { world_steps++; }
void note_open_main() { calls.push_back("open_main_menu"); }
void note_open_game() { calls.push_back("open_game_menu"); }
void note_close() { calls.push_back("close_game_menu"); }
void note_open_universe() { calls.push_back("open_universe_gui"); }
void ignore_dt(float) {}
bool no_mouse(float) { return false; }

class RecordingMode : public GameMode
{
public:
  explicit RecordingMode(const char* n) : name(n) {}
  std::string name;
  static std::string of(GameMode* m) { return m ? static_cast<RecordingMode*>(m)->name : "null"; }
  void enter(GameMode* prev) override { calls.push_back(name + ".enter(" + of(prev) + ")"); }
  void leave(GameMode* next) override { calls.push_back(name + ".leave(" + of(next) + ")"); }
  void update(float) override {}
  void render(float) override {}
  void drawOverlay(float) override {}
};

class GameModes : public ::testing::Test
{
protected:
  void SetUp() override
  {
    calls.clear();
    world_steps = 0;
    update_gameobj = count_step;
    open_main_menu = note_open_main;
    open_game_menu = note_open_game;
    close_game_menu = note_close;
    open_universe_gui = note_open_universe;
    update_game_menu = ignore_dt;
    update_spells_ui = ignore_dt;
    update_spells_ui_mouse = no_mouse;
    cur_game_mode = nullptr;
    world_paused = false;
    should_close_game_menu = false;
  }
  void TearDown() override
  {
    cur_game_mode = nullptr;
    world_paused = false;
    should_close_game_menu = false;
    update_gameobj = nullptr;
    open_main_menu = open_game_menu = close_game_menu = open_universe_gui = nullptr;
    update_game_menu = update_spells_ui = nullptr;
    update_spells_ui_mouse = nullptr;
  }
};

TEST_F(GameModes, SwitchingLeavesTheOldModeBeforeEnteringTheNew)
{
  RecordingMode a("a"), b("b");
  struct
  {
    GameMode* next;
    std::vector<std::string> expected;
  } steps[] = {
      {&a, {"a.enter(null)"}},
      {&b, {"a.leave(b)", "b.enter(a)"}},
      {&b, {}},  // the current mode: neither leave nor enter
      {nullptr, {"b.leave(null)"}},
  };
  for (auto& s : steps) {
    calls.clear();
    set_game_mode(s.next);
    EXPECT_EQ(calls, s.expected) << RecordingMode::of(s.next);
    EXPECT_EQ(cur_game_mode, s.next);
  }
}

TEST_F(GameModes, TheMainMenuAndPlayStepTheWorldTheGameMenuNever)
{
  struct
  {
    GameMode* mode;
    bool paused;
    int steps;
  } cases[] = {
      {main_menu_mode, false, 1}, {main_menu_mode, true, 1},  // the world lives behind the menu even paused
      {play_mode, false, 1},      {play_mode, true, 0},
      {game_menu_mode, false, 0}, {game_menu_mode, true, 0},
  };
  for (auto& c : cases) {
    world_steps = 0;
    world_paused = c.paused;
    c.mode->update(0.05f);
    EXPECT_EQ(world_steps, c.steps) << (c.mode == main_menu_mode ? "main menu" : c.mode == play_mode ? "play" : "menu")
                                    << (c.paused ? " paused" : "");
  }
}

TEST_F(GameModes, TheGameMenuReturnsToItsModeAndDoesNotStack)
{
  set_game_mode(play_mode);
  set_game_mode(game_menu_mode);
  set_game_mode(game_menu_mode);  // Escape in the game menu
  EXPECT_EQ(calls, std::vector<std::string>{"open_game_menu"});
  EXPECT_EQ(static_cast<GameMenuMode*>(game_menu_mode)->previous, play_mode);

  game_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, game_menu_mode);
  should_close_game_menu = true;
  game_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(calls.back(), "close_game_menu");
}

TEST_F(GameModes, TheMainMenuOpensAndClosesThePluginMenuAndLeavesForTheUniverse)
{
  set_game_mode(main_menu_mode);
  EXPECT_EQ(calls, std::vector<std::string>{"open_main_menu"});
  // Over the origin, with no movement pending.
  EXPECT_TRUE(v_all(v_cmp_eq(camera_prev_pos, camera_pos)));
  EXPECT_EQ(camera_pos[0], 0.f);
  EXPECT_EQ(camera_pos[2], 0.f);

  main_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, main_menu_mode);
  should_close_game_menu = true;
  main_menu_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, universe_mode);
  EXPECT_EQ(calls, (std::vector<std::string>{"open_main_menu", "close_game_menu", "open_universe_gui"}));
}

TEST_F(GameModes, SimulatingTheWorldStepsInTwentiethsOfASecond)
{
  struct
  {
    float seconds;
    int steps;
  } cases[] = {{0.f, 0}, {-1.f, 0}, {0.05f, 1}, {0.1f, 2}, {1.f, 20}};
  for (auto& c : cases) {
    world_steps = 0;
    splash_text = "unchanged";
    simulate_world(c.seconds);
    EXPECT_EQ(world_steps, c.steps) << c.seconds;
    EXPECT_STREQ(splash_text.c_str(), c.steps ? "Simulating the world" : "unchanged") << c.seconds;
  }
}

// ---- the camera between two ticks ----

class Camera : public ::testing::Test
{
protected:
  void TearDown() override
  {
    set_camera_pos(make4f(0.f, 0.f, 0.f, 1.f));
    camera_heading = camera_pitch = camera_roll = camera_prev_roll = 0.f;
    cur_frame_color = prev_frame_color = v_zero();
  }
};

TEST_F(Camera, PositionBlendsByTheFrameFractionTheShortWayRoundTheWorld)
{
  // The camera crossed the world's edge during the tick: x from 255.9 to 0.1.
  camera_prev_pos = make4f(255.9f, 10.f, 5.f, 1.f);
  camera_pos = make4f(0.1f, 12.f, 5.f, 1.f);
  for (float ik : {0.f, 0.25f, 0.5f, 1.f}) {
    Matrix44 m = get_camera_view(ik / 20.f);  // frame time for that fraction of a tick
    EXPECT_NEAR(m.m[3][0], 255.9f + 0.2f * ik, 1e-4f) << ik;
    EXPECT_NEAR(m.m[3][1], 10.f + 2.f * ik, 1e-5f) << ik;
    EXPECT_FLOAT_EQ(m.m[3][2], 5.f) << ik;
    EXPECT_FLOAT_EQ(m.m[3][3], 1.f) << ik;
  }
  EXPECT_NEAR(wrapped_diff(camera_pos, camera_prev_pos)[0], 0.2f, 1e-4f);
}

TEST_F(Camera, RollBlendsHeadingAndPitchStand)
{
  camera_prev_roll = 0.f;
  camera_roll = 0.4f;
  Matrix44 m = get_camera_view(0.025f);  // half a tick
  EXPECT_NEAR(m.m[0][0], cosf(0.2f), 1e-6f);
  EXPECT_NEAR(m.m[0][1], -sinf(0.2f), 1e-6f);

  camera_roll = 0.f;
  camera_heading = 0.7f;
  camera_pitch = -0.3f;
  m = get_camera_view(0.f);
  EXPECT_NEAR(m.m[2][0], -cosf(-0.3f) * sinf(0.7f), 1e-6f);
  EXPECT_NEAR(m.m[2][1], sinf(-0.3f), 1e-6f);
  EXPECT_NEAR(m.m[2][2], cosf(-0.3f) * cosf(0.7f), 1e-6f);
}

TEST_F(Camera, ATickKeepsTheStartValuesAndFadesOnlyTheFrameAlpha)
{
  camera_pos = make4f(3.f, 4.f, 5.f, 1.f);
  camera_roll = 0.3f;
  struct
  {
    float alpha, expected;
  } cases[] = {{0.8f, 0.975f * 0.8f - 0.025f}, {1.f, 0.95f}, {0.01f, 0.f}};
  for (auto& c : cases) {
    cur_frame_color = make4f(0.5f, 0.25f, 0.f, c.alpha);
    begin_camera_tick(0.05f);
    EXPECT_FLOAT_EQ(cur_frame_color[0], 0.5f);
    EXPECT_FLOAT_EQ(cur_frame_color[1], 0.25f);
    EXPECT_NEAR(cur_frame_color[3], c.expected, 1e-6f) << c.alpha;
    EXPECT_FLOAT_EQ(prev_frame_color[3], c.alpha);
  }
  EXPECT_FLOAT_EQ(camera_prev_pos[0], 3.f);
  EXPECT_FLOAT_EQ(camera_prev_roll, 0.3f);
}

}  // namespace
