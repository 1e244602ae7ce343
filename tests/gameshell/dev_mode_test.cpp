// The developer mode's fly camera arithmetic against its constants, and the
// developer keys driven through the input queue.
#include "gameshell/devMode.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/gameShellServices.h"
#include "engine/input.h"
#include "engine/postFx.h"
#include "gameshell/gameCamera.h"
#include "gameshell/gameobjExports.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
class DevMode : public testing::Test
{
protected:
  void SetUp() override
  {
    set_camera_pos(make4f(10.f, 20.f, 30.f, 1.f));
    camera_heading = camera_pitch = camera_roll = camera_prev_roll = 0.f;
    camera_zoom = camera_prev_zoom = 1.f;
  }
};

TEST_F(DevMode, FlyStepMovesAlongTheCameraAxes)
{
  struct Case
  {
    const char* what;
    float heading, pitch;
    DevFlyInput in;
    float dx, dy, dz;
  } cases[] = {
      {"ahead", 0.f, 0.f, {0, 0, 1, 0, false, false}, 0.f, 0.f, 0.2775f},
      {"back with turbo", 0.f, 0.f, {0, 0, -1, 0, true, false}, 0.f, 0.f, -1.665f},
      {"side", 0.f, 0.f, {-1, 0, 0, 0, false, false}, -0.2775f, 0.f, 0.f},
      {"up and lift add", 0.f, 0.f, {0, 1, 0, 1, false, false}, 0.f, 0.555f, 0.f},
      {"ahead turned a quarter", 1.5707964f, 0.f, {0, 0, 1, 0, false, false}, -0.2775f, 0.f, 0.f},
      {"lift ignores the pitch", 0.f, 0.7f, {0, 0, 0, -1, false, false}, 0.f, -0.2775f, 0.f},
      {"nothing held", 0.3f, 0.2f, {0, 0, 0, 0, true, false}, 0.f, 0.f, 0.f},
  };
  for (const Case& c : cases) {
    SetUp();
    camera_heading = c.heading;
    camera_pitch = c.pitch;
    dev_fly_step(c.in, 0.05f);
    EXPECT_NEAR(camera_pos[0], 10.f + c.dx, 1e-5) << c.what;
    EXPECT_NEAR(camera_pos[1], 20.f + c.dy, 1e-5) << c.what;
    EXPECT_NEAR(camera_pos[2], 30.f + c.dz, 1e-5) << c.what;
  }
}

TEST_F(DevMode, ZoomRisesToEightAndFallsToOne)
{
  DevFlyInput zoom = {0, 0, 0, 0, false, true}, idle = {0, 0, 0, 0, false, false};
  dev_fly_step(zoom, 0.05f);
  EXPECT_FLOAT_EQ(camera_zoom, 2.f);
  for (int i = 0; i < 10; i++) dev_fly_step(zoom, 0.05f);
  EXPECT_FLOAT_EQ(camera_zoom, 8.f);
  dev_fly_step(idle, 0.05f);
  EXPECT_FLOAT_EQ(camera_zoom, 7.f);
  for (int i = 0; i < 10; i++) dev_fly_step(idle, 0.05f);
  EXPECT_FLOAT_EQ(camera_zoom, 1.f);
}

TEST_F(DevMode, MouseTurnScalesByZoomWrapsAndClamps)
{
  dev_mouse_turn(100.f, -50.f, 0.f);
  EXPECT_FLOAT_EQ(camera_heading, -0.2f);
  EXPECT_FLOAT_EQ(camera_pitch, 0.1f);

  // Zoom 4 at this moment (halfway from 2 to 6): a quarter of the turn.
  camera_heading = camera_pitch = 0.f;
  camera_prev_zoom = 2.f;
  camera_zoom = 6.f;
  dev_mouse_turn(100.f, 0.f, 0.025f);
  EXPECT_FLOAT_EQ(camera_heading, -0.05f);

  camera_zoom = camera_prev_zoom = 1.f;
  camera_heading = 6.2f;
  dev_mouse_turn(-100.f, 2000.f, 0.f);
  EXPECT_NEAR(camera_heading, 6.4f - 6.2831853f, 1e-5);
  EXPECT_FLOAT_EQ(camera_pitch, -1.5707963f);
}

class DevKeys : public testing::Test
{
protected:
  bool was_active = isAppActive;
  GameMode* was_mode = cur_game_mode;
  void SetUp() override
  {
    init_input(nullptr);
    end_input_frame();
    isAppActive = true;
  }
  void TearDown() override
  {
    end_input_frame();
    isAppActive = was_active;
    cur_game_mode = was_mode;
  }
  static void press(int vk)
  {
    end_input_frame();
    push_input_event(INPUT_KEY_DOWN, vk, 0, 0, -1, -1);
    handle_dev_hotkeys();
    push_input_event(INPUT_KEY_UP, vk, 0, 0, -1, -1);
    end_input_frame();
  }
};

TEST_F(DevKeys, FunctionKeysToggleTheirSwitches)
{
  cur_game_mode = play_mode;
  struct Case
  {
    int vk;
    bool* flag;
  } cases[] = {{112, &show_fps}, {113, &world_paused}, {114, &use_fog},
               {115, &use_wireframe}, {116, &use_postfx}, {117, &use_ppaa}};
  for (const Case& c : cases) {
    const bool before = *c.flag;
    press(c.vk);
    EXPECT_EQ(*c.flag, !before) << c.vk;
    press(c.vk);
    EXPECT_EQ(*c.flag, before) << c.vk;
  }
  EXPECT_EQ(cur_game_mode, play_mode);

  // Nothing while the application is in the background.
  isAppActive = false;
  const bool fog = use_fog;
  press(114);
  EXPECT_EQ(use_fog, fog);
}

TEST_F(DevKeys, EscapeAndWorldKeysByMode)
{
  cur_game_mode = main_menu_mode;
  press(27);  // Escape in the main menu does nothing
  EXPECT_EQ(cur_game_mode, main_menu_mode);

  // World keys act only in the developer mode (or with Ctrl).
  set_camera_pos(make4f(1.f, 2.f, 3.5f, 1.f));
  testing::internal::CaptureStdout();
  press(' ');
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("at ("), std::string::npos);
  cur_game_mode = dev_mode;
  testing::internal::CaptureStdout();
  press(' ');
  EXPECT_NE(testing::internal::GetCapturedStdout().find("at (1.000 2.000 3.500)"), std::string::npos);
  // Space logs, but the developer camera does not rise with it.
  EXPECT_FLOAT_EQ(camera_pos[1], 2.f);
}
}  // namespace
