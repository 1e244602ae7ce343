// The loading screen on a real device: the grabbed scene fills the screen
// behind the splash text (in the GUI font, centred under nine tenths of the
// height) and the progress bar; without a grabbed scene the field is dark
// blue; without the GUI font it is the engine's plain splash.
#include "gui_device_fixture.h"

#include "gameshell/gameMain.h"

#include "engine/gameShellServices.h"

namespace
{
enum { W = 640, H = 480 };
const uint32_t SCENE = 0xFF208040u;

int red(uint32_t c) { return int((c >> 16) & 255); }
int green(uint32_t c) { return int((c >> 8) & 255); }
}  // namespace

class LoadingScreenTest : public GuiDeviceTest
{
protected:
  static Texture scene;

  static void SetUpTestSuite()
  {
    SetUpGuiSuite(W, H);
    scene = create_render_texture(W, H, RT_A8R8G8B8);
    ASSERT_NE(scene, nullptr);
  }
  static void TearDownTestSuite()
  {
    release_texture(scene);
    TearDownGuiSuite();
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    resize_d3d(W, H, false, true);
    // The grabbed scene: a flat colour (render textures lose their contents
    // when the device is reset by a resize).
    set_render_target(scene, 0, false);
    clear_view(SCENE);
    set_back_buffer_target();
    update_font_scale();
    ASSERT_TRUE(default_font.texture || default_font.load("ui_font.fnt"));
    init_ui_image_state(loading_image_state, scene, nullptr);
    splash_text = "Generating the world";
    splash_progress = 0.5f;
  }
  static std::vector<uint32_t> frame()
  {
    draw_loading_screen();
    return back_buffer_picture();
  }
};

Texture LoadingScreenTest::scene = nullptr;

TEST_F(LoadingScreenTest, GrabbedSceneBehindTextAndProgressBar)
{
  std::vector<uint32_t> pic = frame();
  auto at = [&](int x, int y) { return pic[size_t(y) * W + x]; };
  // The scene shows unchanged wherever nothing is drawn over it.
  for (int y : {0, 100, 400, 479})
    for (int x : {0, 320, 639}) EXPECT_EQ(at(x, y), SCENE) << x << "," << y;

  // The text: light pixels only in the band from 0.9 x the height, centred.
  int x0 = W, x1 = -1, y0 = H, y1 = -1;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (red(at(x, y)) > 0xA0 && y < 452) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
  ASSERT_GE(x1, 0) << "no text drawn";
  EXPECT_GE(y0, 431);
  EXPECT_LE(y1, 450);
  EXPECT_NEAR((x0 + x1) * 0.5, 320.0, 3.0);
  EXPECT_GT(x1 - x0, 100);

  // The bar: 160 pixels wide from 240, rows 453..466 (0.03 x 480 = 14.4 ->
  // 14 high, at 432 + 21); the left half filled in 0xCCCCCC, the right half
  // the scene darkened by the translucent black box.
  EXPECT_EQ(at(260, 460) & 0xFFFFFFu, 0xCCCCCCu);
  EXPECT_EQ(at(315, 460) & 0xFFFFFFu, 0xCCCCCCu);
  uint32_t empty = at(380, 460);
  EXPECT_LT(green(empty), green(SCENE) / 2 + 2);
  EXPECT_GT(green(empty), 0);
}

TEST_F(LoadingScreenTest, NegativeProgressHidesTheBarAndNoSceneGivesDarkBlue)
{
  splash_progress = -1.f;
  loading_image_state.texture = nullptr;
  std::vector<uint32_t> pic = frame();
  auto at = [&](int x, int y) { return pic[size_t(y) * W + x] & 0xFFFFFFu; };
  for (int x : {0, 260, 380, 639}) {
    EXPECT_EQ(at(x, 460), 0x001133u) << x;
    EXPECT_EQ(at(x, 10), 0x001133u) << x;
  }
}

TEST_F(LoadingScreenTest, WithoutTheGuiFontItIsThePlainSplash)
{
  default_font.clear();
  std::vector<uint32_t> pic = frame();
  EXPECT_EQ(pic[10] & 0xFFFFFFu, 0x000A28u);
  EXPECT_EQ(pic[size_t(400) * W + 10] & 0xFFFFFFu, 0x000A28u);
}
