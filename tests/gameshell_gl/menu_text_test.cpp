// The plug-in's main menu drawn on a real device: its labels come out in the
// GUI's distance-field font, the size the font measures, inside their boxes.
#include "gui_device_fixture.h"

#include "gameshell/gameobjHost.h"

#include "engine/app.h"
#include "engine/input.h"

#include <chrono>
#include <thread>

namespace
{
enum { W = 640, H = 480 };
const uint32_t FIELD = 0xFF000000u;

// The focused item's text colour, 0xFFDD55: yellow, unlike anything else.
bool focus_text(uint32_t c)
{
  int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
  return r > 0xB0 && g > 0x98 && b < r - 0x60;
}
}  // namespace

class MenuTextTest : public GuiDeviceTest
{
protected:
  static void SetUpTestSuite() { SetUpGuiSuite(W, H); }
  static void TearDownTestSuite() { TearDownGuiSuite(); }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    resize_d3d(W, H, false, true);
    init_input(nullptr);
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 0, 0);  // the pointer over no menu
    end_input_frame();
    isAppActive = true;
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    init_new_gui();  // the plug-in loads the font and the icons
  }
  void TearDown() override
  {
    close_game_menu();
    unload_gameobj();
    destroy_queued_gui_elements();
    end_input_frame();
    GlDeviceTest::TearDown();
  }
};

TEST_F(MenuTextTest, LabelsAreInTheGuiFontInsideTheirBoxes)
{
  ASSERT_GT(default_font.size, 0) << "the plug-in did not load the GUI font";
  open_main_menu();
  update_game_menu(0.05f);
  end_input_frame();
  // Two frames: the colours fade in over the first 0.15 s.
  for (int frame = 0; frame < 2; frame++) {
    set_back_buffer_target();
    clear_view(FIELD);
    draw_game_menu(0.f);
    if (!frame) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  std::vector<uint32_t> pic = back_buffer_picture();

  // "New game", the focused first item: its box from the layout.
  BaseGuiElement* item = cur_game_screen->root->children[0]->children[1];
  vec4f r = item->rect;
  int x0 = W, x1 = -1, y0 = H, y1 = -1, outside = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (!focus_text(pic[size_t(y) * W + x])) continue;
      if (x < r[0] || x > r[2] || y < r[1] || y > r[3]) {
        outside++;
        continue;
      }
      x0 = std::min(x0, x), x1 = std::max(x1, x);
      y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  ASSERT_GE(x1, 0) << "no label drawn";
  EXPECT_EQ(outside, 0);
  // Centred in its box, as wide as the font measures it at the item's size
  // (30 thousandths of the height), with its rows in the box's middle.
  float px = 30.f * H / 1000.f;
  vec4f ink = default_font.calcTextBox("New game", -1);
  float width = (ink[2] - ink[0]) * px / float(default_font.size);
  EXPECT_NEAR(x1 - x0 + 1, width, 3.f);
  EXPECT_NEAR((x0 + x1 + 1) * 0.5f, (r[0] + r[2]) * 0.5f, 3.f);
  EXPECT_GT(y0, r[1] + 4.f);
  EXPECT_LT(y1, r[3] - 4.f);
  EXPECT_GE(y1 - y0 + 1, int(px * 0.5f));  // a capital's height at least
}
