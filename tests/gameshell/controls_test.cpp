// Key bindings: defaults, stored "#<code>" values, rebinding and the
// neutral results outside the eleven buttons.
#include "gameshell/controls.h"

#include "engine/config.h"
#include "engine/input.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

class KeyBindings : public testing::Test
{
protected:
  fs::path dir;

  void SetUp() override
  {
    char tmpl[] = "/tmp/qm_controls_XXXXXX";
    dir = mkdtemp(tmpl);
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
