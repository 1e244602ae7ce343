// Our plug-in's menus on real screens, driven through the input queue as the
// game feeds it: a click and the keys choose items, a tooltip answers the
// pointer, and the behaviours the plug-in registered leave with it.
#include "gameobj_gui_fixture.h"

#include "engine/postFx.h"

namespace
{
typedef GameobjGuiTest GameobjMenus;
}  // namespace

TEST_F(GameobjMenus, AClickOnLoadGameOpensTheSlotList)
{
  open_main_menu();
  tick();
  ASSERT_NE(main_menu_screen, nullptr);
  move_to(item(1));
  tick();
  move_to(item(1));
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, INPUT_LBUTTON, int(item(1)->rect[0]) + 5, int(item(1)->rect[1]) + 5);
  push_input_event(INPUT_BUTTON_UP, 1, 0, 0, -1, -1);
  tick();
  EXPECT_EQ(main_menu_screen, nullptr);
  ASSERT_NE(game_slot_screen, nullptr);
  EXPECT_EQ(cur_game_screen, game_slot_screen);
  // The slot list answers Escape with the main menu again.
  tick();
  press(27);
  tick();
  EXPECT_NE(main_menu_screen, nullptr);
  EXPECT_EQ(game_slot_screen, nullptr);
}

TEST_F(GameobjMenus, KeysMoveTheFocusAndChoose)
{
  open_game_menu();
  tick();
  // Down, Up, Up: "Save game", "Resume", then round to the last, "Options".
  for (int vk : {40, 38, 38}) {
    press(vk);
    tick();
  }
  EXPECT_FALSE(should_close_game_menu);
  press(40);
  press(13);
  tick();
  EXPECT_TRUE(should_close_game_menu);  // Down from the last item wraps to "Resume"
  EXPECT_FALSE(app_quit_requested);
}

TEST_F(GameobjMenus, TooltipFollowsThePointer)
{
  open_main_menu();
  tick();
  EXPECT_EQ(tooltip_screen, nullptr);
  move_to(item(0));  // "New game" has a tooltip
  tick();
  EXPECT_NE(tooltip_screen, nullptr);
}

TEST_F(GameobjMenus, ThePluginsBehavioursLeaveWithIt)
{
  EXPECT_NE(get_behavior("button"), nullptr);
  EXPECT_NE(get_behavior("uni_viewer"), nullptr);
  unload_gameobj();
  EXPECT_EQ(get_behavior("button"), nullptr);
  EXPECT_EQ(get_behavior("uni_viewer"), nullptr);
  load_gameobj_library(QM_GAMEOBJ_PLUGIN);
  EXPECT_NE(get_behavior("h_slider"), nullptr);
}

TEST_F(GameobjMenus, OptionsAreCheckboxesForKeysAndMouse)
{
  open_game_menu();
  tick();
  press(38);  // up, round to the last item: "Options"
  press(13);
  tick();
  ASSERT_NE(game_options_screen, nullptr);
  tick();
  bool fog = use_fog, postfx = use_postfx;
  press(13);  // Enter on "Fog" flips it
  tick();
  EXPECT_EQ(use_fog, !fog);
  // A click on "Post effects" flips that one.
  move_to(item(1));
  tick();
  BaseGuiElement* box = item(1);
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, INPUT_LBUTTON, int(box->rect[0]) + 5, int(box->rect[1]) + 5);
  push_input_event(INPUT_BUTTON_UP, 1, 0, 0, -1, -1);
  tick();
  EXPECT_EQ(use_postfx, !postfx);
  EXPECT_TRUE(get_element_checked(box) == use_postfx);
  use_fog = fog;
  use_postfx = postfx;
}

TEST_F(GameobjMenus, AReloadOpensTheCurrentModesMenuAgain)
{
  GameMode* saved = cur_game_mode;
  cur_game_mode = main_menu_mode;
  open_main_menu();
  tick();
  unload_gameobj();
  destroy_queued_gui_elements();
  EXPECT_EQ(main_menu_screen, nullptr);
  load_gameobj_library(QM_GAMEOBJ_PLUGIN);
  EXPECT_NE(main_menu_screen, nullptr);
  tick();
  EXPECT_GT(item(0)->rect[2] - item(0)->rect[0], 0.f);  // built and laid out again
  cur_game_mode = saved;
}
