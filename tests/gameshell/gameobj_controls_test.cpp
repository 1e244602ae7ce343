// The plug-in's controls screen on real elements, driven through the input
// queue as the game feeds it: a box clicked then a key or mouse button binds
// and stores it, keys alone do the same, Escape cancels a wait and then
// goes back to the menu the screen came from.
#include "gameobj_gui_fixture.h"

#include "gameobj/guiWidgets.h"
#include "gameshell/controls.h"

#include "engine/config.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace
{
enum { VK_RETURN = 13, VK_ESCAPE = 27, VK_UP = 38, VK_DOWN = 40, VK_J = 74, VK_K = 75 };

// The bindings in a configuration file of their own.
class GameobjControls : public GameobjGuiTest
{
protected:
  fs::path dir;

  void SetUp() override
  {
    char tmpl[] = "/tmp/qm_ctrlscreen_XXXXXX";
    dir = mkdtemp(tmpl);
    set_config_path((dir / "config").string().c_str());
    init_controls();
    GameobjGuiTest::SetUp();
  }
  void TearDown() override
  {
    GameobjGuiTest::TearDown();
    fs::remove(dir / "config");
    init_controls();  // the default bindings again
    set_config_path(nullptr);
    fs::remove_all(dir);
  }
  static void key(int vk)
  {
    press(vk);
    tick();
  }
  // On the controls screen rows 0..10 are the buttons, 11 is Back.
  static BaseGuiElement* key_box(int row) { return item(row)->children[0]; }
  static void click(BaseGuiElement* e, int button = 1)
  {
    move_to(e);
    tick();
    vec4f r = e->rect;
    int x = int((r[0] + r[2]) / 2), y = int((r[1] + r[3]) / 2);
    push_input_event(INPUT_BUTTON_DOWN, button, 0, 0, x, y);
    push_input_event(INPUT_BUTTON_UP, button, 0, 0, x, y);
    tick();
  }
  static std::string stored(const char* key)
  {
    char buf[65];
    return get_config_str(key, buf, sizeof(buf)) ? std::string(buf) : std::string("<none>");
  }
  static bool waiting(int row) { return key_box(row)->hasClassFlag(GF_WAITING); }
  static std::string key_name(int button) { return get_button_key_name(button).c_str(); }
};
}  // namespace

TEST_F(GameobjControls, AClickedBoxTakesTheNextKeyOrButtonAndStoresIt)
{
  open_game_menu();
  tick();
  key(VK_UP);
  key(VK_UP);  // round to "Controls", before the last item
  key(VK_RETURN);
  ASSERT_NE(game_controls_screen, nullptr);
  EXPECT_EQ(game_menu_screen, nullptr);
  tick();
  EXPECT_FALSE(waiting(BUTTON_FORWARD));

  // A click on Forward's box, then K with the pointer still over it.
  click(key_box(0));
  EXPECT_EQ(key_name(BUTTON_FORWARD), "W");  // the click only starts the wait
  EXPECT_TRUE(waiting(BUTTON_FORWARD));
  key(VK_K);
  EXPECT_EQ(key_name(BUTTON_FORWARD), "K");
  EXPECT_EQ(stored("B_forward"), "#75");
  EXPECT_FALSE(waiting(BUTTON_FORWARD));
  ASSERT_NE(game_controls_screen, nullptr);

  // A right click on a waiting box binds the right mouse button.
  click(key_box(BUTTON_LEFT_SPELL));
  click(key_box(BUTTON_LEFT_SPELL), 2);
  EXPECT_EQ(stored("B_lspell"), "#2");

  // A click elsewhere ends a wait; the key after it binds nothing.
  click(key_box(BUTTON_UP));
  click(cur_game_screen->root->children[0]->children[0]);  // the title
  key(VK_J);
  EXPECT_EQ(stored("B_up"), "<none>");
  EXPECT_EQ(key_name(BUTTON_UP), "Space");

  // Back leads to the game menu.
  click(item(NUM_BUTTONS));
  EXPECT_EQ(game_controls_screen, nullptr);
  EXPECT_NE(game_menu_screen, nullptr);
}

TEST_F(GameobjControls, KeysAloneRebindAndEscapeCancelsThenGoesBack)
{
  open_main_menu();
  tick();
  key(VK_DOWN);
  key(VK_DOWN);  // "Controls"
  key(VK_RETURN);
  ASSERT_NE(game_controls_screen, nullptr);
  tick();
  key(VK_DOWN);  // "Backward"
  key(VK_RETURN);
  EXPECT_TRUE(waiting(BUTTON_BACK));
  key(VK_ESCAPE);  // cancels the wait only
  ASSERT_NE(game_controls_screen, nullptr);
  EXPECT_FALSE(waiting(BUTTON_BACK));
  EXPECT_EQ(key_name(BUTTON_BACK), "S");
  EXPECT_EQ(stored("B_back"), "<none>");

  // The pointer is nowhere near the box: the key still goes to it, and it
  // is not also taken as a menu key (Down would move the focus).
  key(VK_RETURN);
  key(VK_DOWN);
  EXPECT_EQ(stored("B_back"), "#40");
  EXPECT_EQ(key_name(BUTTON_BACK), "Down Arrow");
  key(VK_RETURN);  // the focus stayed on Backward: waiting again
  key(VK_J);
  EXPECT_EQ(stored("B_back"), "#74");

  key(VK_ESCAPE);
  EXPECT_EQ(game_controls_screen, nullptr);
  EXPECT_NE(main_menu_screen, nullptr);
}
