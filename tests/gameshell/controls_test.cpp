// Key bindings: defaults, stored "#<code>" values, rebinding and the
// neutral results outside the eleven buttons.
#include "gameshell/controls.h"

#include "engine/config.h"
#include "engine/gui/guiEvents.h"
#include "engine/input.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include "support/test_dir.h"
#include <string>
#include <vector>

namespace fs = std::filesystem;

class KeyBindings : public testing::Test
{
protected:
  fs::path dir;

  void SetUp() override
  {
    dir = make_test_dir("controls");
    set_config_path((dir / "config").string().c_str());
    init_input(nullptr);
    end_input_frame();
  }
  void TearDown() override
  {
    end_input_frame();
    fs::remove(dir / "config");
    init_controls();  // the default bindings again for later tests
    set_config_path(nullptr);
    fs::remove_all(dir);
  }
  static std::string stored(const char* key)
  {
    char buf[65];
    return get_config_str(key, buf, sizeof(buf)) ? std::string(buf) : std::string("<none>");
  }
};

TEST_F(KeyBindings, EmptyStoreGivesTheDefaultKeys)
{
  init_controls();
  const struct { const char* ui; const char* key; } expected[NUM_BUTTONS] = {
      {"Forward", "W"}, {"Backward", "S"}, {"Left", "A"}, {"Right", "D"}, {"Up", "Space"},
      {"Down", "C"}, {"Go faster", "Shift"}, {"Left spell", "Left Mouse Button"},
      {"Right spell", "Right Mouse Button"}, {"Show map", "Tab"}, {"Select spells", "Ctrl"},
  };
  for (int i = 0; i < NUM_BUTTONS; ++i) {
    EXPECT_STREQ(get_button_ui_name(i), expected[i].ui) << i;
    EXPECT_STREQ(get_button_key_name(i).c_str(), expected[i].key) << i;
  }
}

TEST_F(KeyBindings, StoredValuesNeedTheHashSign)
{
  const struct { const char* key; const char* value; const char* name; } cases[] = {
      {"B_forward", "#70", "F"},        // bound
      {"B_back", "70", "S"},            // digits without '#' ignored
      {"B_left", "#", "#00"},           // no digits read as key 0, as atoi does
      {"B_right", "#71junk", "G"},      // leading digits only
      {"B_up", "#99999999999", "?"},    // saturates instead of overflowing
  };
  for (const auto& c : cases) ASSERT_TRUE(set_config_str(c.key, c.value, -1));
  ASSERT_TRUE(set_config_int("B_down", 70));  // an integer value is not a binding
  init_controls();
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(get_button_key_name(i).c_str(), cases[i].name) << cases[i].value;
  EXPECT_STREQ(get_button_key_name(BUTTON_DOWN).c_str(), "C");
}

TEST_F(KeyBindings, RebindingStoresAtOnceAndDrivesTheButton)
{
  init_controls();
  set_button_key(BUTTON_LEFT_SPELL, 4);
  EXPECT_STREQ(get_button_key_name(BUTTON_LEFT_SPELL).c_str(), "Middle Mouse Button");
  EXPECT_EQ(stored("B_lspell"), "#4");

  set_button_key(BUTTON_FORWARD, 'I');
  push_input_event(INPUT_KEY_DOWN, 'W', 0, 0, -1, -1);
  EXPECT_FALSE(button_down(BUTTON_FORWARD));
  push_input_event(INPUT_KEY_DOWN, 'I', 0, 0, -1, -1);
  EXPECT_TRUE(button_down(BUTTON_FORWARD));
  end_input_frame();
  push_input_event(INPUT_KEY_UP, 'I', 0, 0, -1, -1);
  EXPECT_TRUE(button_up(BUTTON_FORWARD));

  // The stored binding survives the next start.
  init_controls();
  EXPECT_STREQ(get_button_key_name(BUTTON_FORWARD).c_str(), "I");
}

TEST_F(KeyBindings, IndicesOutsideTheTableAreNeutral)
{
  init_controls();
  push_input_event(INPUT_KEY_DOWN, 'W', 0, 0, -1, -1);
  for (int b : {-1, int(NUM_BUTTONS), 1000}) {
    EXPECT_FALSE(button_down(b)) << b;
    EXPECT_FALSE(button_up(b)) << b;
    EXPECT_FALSE(button_state(b)) << b;
    EXPECT_EQ(get_button_ui_name(b), nullptr) << b;
    EXPECT_STREQ(get_button_key_name(b).c_str(), "") << b;
    set_button_key(b, 70);  // does nothing
  }
  EXPECT_TRUE(button_down(BUTTON_FORWARD));
  EXPECT_EQ(stored("B_forward"), "<none>");
}

// ---- the key box ----

namespace
{
struct KeyBoxFixture
{
  BaseGuiElement box;    // 10..110 x 10..50, with a child 60..100 x 20..40
  BaseGuiElement* child = new BaseGuiElement;
  std::vector<int> reported;

  KeyBoxFixture()
  {
    box.rect = make4f(10, 10, 110, 50);
    child->rect = make4f(60, 20, 100, 40);
    box.addChild(child);
    add_behavior(&box, &gui_hittest_box_handler);
    add_behavior(child, &gui_hittest_box_handler);
    EXPECT_TRUE(add_behavior(&box, "keybox"));
    auto report = [this](BaseGuiElement* e, int key) {
      EXPECT_EQ(e, &box);
      reported.push_back(key);
    };
    add_gui_listener(box.onClickKey, (GuiKeyListener*)new GuiFuncListener<decltype(report), BaseGuiElement*, int>(report));
  }
  int send(uint32_t type, int input_type, int key, float x, float y)
  {
    NewGuiInputEvent ev;
    ev.type = type;
    ev.input.type = input_type;
    ev.input.key = key;
    ev.input.x = x;
    ev.input.y = y;
    return send_event(&ev, &box, GUI_TARGET, nullptr);
  }
};
}  // namespace

TEST_F(KeyBindings, KeyBoxReportsKeysAndButtonsOverTheBoxItself)
{
  init_controls();
  ASSERT_EQ(get_behavior("keybox"), &keybox_behavior);
  EXPECT_EQ(keybox_behavior.eventMask, 1204u);
  KeyBoxFixture f;
  EXPECT_EQ(f.send(GUI_EV_KEY, INPUT_KEY_DOWN, 'F', 20, 20), GUI_HANDLED);
  EXPECT_EQ(f.send(GUI_EV_BUTTON_DOWN, INPUT_BUTTON_DOWN, 4, 30, 45), GUI_HANDLED);
  EXPECT_EQ(f.send(GUI_EV_KEY, INPUT_KEY_UP, 'G', 20, 20), GUI_HANDLED);       // a key going up
  EXPECT_EQ(f.send(GUI_EV_KEY, INPUT_KEY_DOWN, 'H', 80, 30), GUI_HANDLED);     // over the child
  EXPECT_EQ(f.send(GUI_EV_BUTTON_DOWN, INPUT_BUTTON_DOWN, 1, 80, 30), GUI_HANDLED);
  EXPECT_EQ(f.send(GUI_EV_KEY, INPUT_KEY_DOWN, 'J', 200, 30), GUI_HANDLED);    // outside
  EXPECT_EQ(f.reported, (std::vector<int>{'F', 4}));

  // The listener rebinds: the plug-in's controls screen does this.
  set_button_key(BUTTON_FORWARD, f.reported[0]);
  EXPECT_EQ(stored("B_forward"), "#70");
}

TEST_F(KeyBindings, KeyBoxKeepsHoverAndResetClearsIt)
{
  init_controls();
  KeyBoxFixture f;
  EXPECT_FALSE(get_element_hover(&f.box));
  NewGuiEvent enter(GUI_EV_ENTER), leave(GUI_EV_LEAVE), reset(GUI_EV_RESET);
  EXPECT_EQ(send_event(&enter, &f.box, GUI_TARGET, nullptr), GUI_HANDLED);
  EXPECT_TRUE(get_element_hover(&f.box));
  EXPECT_EQ(send_event(&leave, &f.box, GUI_TARGET, nullptr), GUI_HANDLED);
  EXPECT_FALSE(get_element_hover(&f.box));
  send_event(&enter, &f.box, GUI_TARGET, nullptr);
  EXPECT_EQ(send_event(&reset, &f.box, GUI_TARGET, nullptr), GUI_PASS);
  EXPECT_FALSE(get_element_hover(&f.box));
  EXPECT_FALSE(get_element_pressed(&f.box));
}
