// The bitmap font on a real device: glyphs, shadows, rectangles and the
// splash bar land on the pixels their coordinates name (origin bottom left,
// y upward), batched text draws the same picture as immediate text, and the
// overlays draw where they should. The font is a synthetic sheet of 8 x 8
// cells whose 'A' is inked in its four left columns.
#include <cstring>
#include <string>
#include <vector>

#include "engine/d3d_shaders.h"
#include "engine/dynVBWriter.h"
#include "engine/app.h"
#include "engine/font.h"
#include "engine/tga.h"
#include "engine/visualLog.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

namespace {

const uint32_t CLEAR = 0xFF0000FFu, RED = 0xFFFF0000u, GREEN = 0xFF00FF00u;

bool near(uint32_t a, uint32_t b, int tolerance = 1)
{
  for (int s = 0; s < 32; s += 8) {
    int d = int((a >> s) & 255) - int((b >> s) & 255);
    if (d < -tolerance || d > tolerance) return false;
  }
  return true;
}

}  // namespace

class FontTest : public GlDeviceTest
{
 protected:
  static TempAppDir assets;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    // 16 x 16 cells of 8 x 8 texels, written top-down like any image.
    std::vector<uint32_t> img(128 * 128, 0x00FFFFFFu);
    const int c = 'A';
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 4; ++x) img[size_t((c / 16) * 8 + y) * 128 + size_t((c % 16) * 8 + x)] = 0xFFFFFFFFu;
    ASSERT_TRUE(save_tga("font.tga", img.data(), 128, 128, 128 * 4));
    common_vb_writer.create(COMMON_VB_SIZE);
    init_font();
  }
  static void TearDownTestSuite()
  {
    close_font();
    common_vb_writer.release();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    update_font_scale();
    set_font_settings({0, 0, 1});
  }

  // Pixel at (x, y) counted from the bottom-left corner.
  static uint32_t pixel_up(int x, int y) { return back_buffer_pixel(x, d3d_ht - 1 - y); }

  static std::vector<uint32_t> picture()
  {
    int w = 0, h = 0, pitch = 0;
    const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
    std::vector<uint32_t> out(size_t(w) * h);
    for (int y = 0; y < h; ++y) memcpy(&out[size_t(y) * w], p + size_t(y) * pitch, size_t(w) * 4);
    release_front_buffer_capture();
    return out;
  }
};

TempAppDir FontTest::assets;

TEST_F(FontTest, GlyphAndShadowLandOnTheirPixels)
{
  ASSERT_EQ(bitmap_font.scale, 1);
  // 'A' is 4 texels wide and 8 high; (x0, y0, x1, y1) is the pixel block of
  // the glyph, inclusive.
  struct Case
  {
    int x, y, align_x, align_y;
    int x0, y0, x1, y1;
  };
  const Case cases[] = {
      {10, 10, -1, -1, 10, 10, 13, 17},  // x, y at the bottom-left corner
      {50, 40, 1, 1, 45, 32, 48, 39},    // at the top-right corner: the block is 5 wide (ink + 1)
      {32, 24, 0, 0, 30, 20, 33, 27},    // centred: left = 32 - 5 / 2, baseline = 24 - 8 / 2
  };
  for (const Case& c : cases) {
    set_back_buffer_target();
    clear_view(CLEAR);
    start_draw_text();
    draw_text("A", -1, c.x, c.y, c.align_x, c.align_y, RED);
    end_draw_text();
    SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y << " align " << c.align_x << "," << c.align_y);
    EXPECT_EQ(pixel_up(c.x0, c.y0), RED);
    EXPECT_EQ(pixel_up(c.x1, c.y1), RED);
    EXPECT_EQ(pixel_up(c.x0, c.y1), RED);
    EXPECT_EQ(pixel_up(c.x1, c.y0), RED);
    EXPECT_EQ(pixel_up(c.x0 - 1, c.y0), CLEAR);
    EXPECT_EQ(pixel_up(c.x0, c.y1 + 1), CLEAR);
    // The shadow: one pixel right and one down, black at half the alpha
    // (blending also takes the alpha channel: 0.5 x 0.5 + 1 x 0.5).
    const uint32_t shadow = 0xBF000080u;
    EXPECT_TRUE(near(pixel_up(c.x1 + 1, c.y0), shadow)) << std::hex << pixel_up(c.x1 + 1, c.y0);
    EXPECT_TRUE(near(pixel_up(c.x0 + 1, c.y0 - 1), shadow)) << std::hex << pixel_up(c.x0 + 1, c.y0 - 1);
    EXPECT_EQ(pixel_up(c.x0, c.y0 - 1), CLEAR);
    EXPECT_EQ(pixel_up(c.x1 + 1, c.y1), CLEAR);
  }
}

TEST_F(FontTest, RectanglesAndBoxes)
{
  set_back_buffer_target();
  clear_view(CLEAR);
  start_draw_text();
  draw_rect(5, 5, 9, 8, GREEN);    // pixels 5..8 by 5..7
  draw_box(20, 20, 30, 28, RED);   // a one-pixel outline
  end_draw_text();
  struct Case
  {
    int x, y;
    uint32_t colour;
  };
  const Case cases[] = {
      {5, 5, GREEN}, {8, 7, GREEN}, {9, 5, CLEAR}, {5, 8, CLEAR}, {4, 5, CLEAR}, {5, 4, CLEAR},
      {20, 20, RED}, {20, 27, RED}, {20, 28, CLEAR},   // left edge
      {30, 20, RED}, {30, 27, RED}, {30, 28, CLEAR},   // right edge
      {25, 20, RED}, {31, 20, CLEAR},                  // bottom edge runs to x1 inclusive
      {21, 28, RED}, {29, 28, RED}, {25, 29, CLEAR},   // top edge x0 + 1 .. x1 - 1
      {25, 24, CLEAR},
  };
  for (const Case& c : cases) EXPECT_EQ(pixel_up(c.x, c.y), c.colour) << c.x << "," << c.y;
}

TEST_F(FontTest, BatchedTextDrawsTheSamePicture)
{
  const char* text = "AA A\nA";
  set_back_buffer_target();
  clear_view(CLEAR);
  start_draw_text();
  draw_text(text, -1, 30, 20, 0, 0, RED);
  draw_rect(2, 2, 12, 6, GREEN);
  end_draw_text();
  std::vector<uint32_t> immediate = picture();

  set_back_buffer_target();
  clear_view(CLEAR);
  RenderBatch batch;
  batch_text(batch, text, -1, 30, 20, 0, 0, RED);
  batch_rect(batch, 2, 2, 12, 6, GREEN);
  batch.render();
  std::vector<uint32_t> batched = picture();
  EXPECT_TRUE(immediate == batched);
  EXPECT_EQ(pixel_up(2, 2), GREEN);
  EXPECT_EQ(common_vb_writer.startPtr, nullptr);  // the batch's state ended the drawing
}

TEST_F(FontTest, LongTextSpansSeveralLocks)
{
  // 1000 glyphs at 2 quads of 72 bytes each are more than one buffer holds.
  std::string text;
  for (int i = 0; i < 25; ++i) text += std::string(39, 'A') + "\n";
  set_font_settings({0, -5, 1});  // glyphs drawn over each other: 5 pixels each advance 0
  set_back_buffer_target();
  clear_view(CLEAR);
  start_draw_text();
  draw_text(text.c_str(), -1, 0, 0, -1, -1, RED);
  set_font_settings({0, 0, 1});
  draw_text("A", -1, 40, 30, -1, -1, GREEN);  // after several re-locks
  end_draw_text();
  EXPECT_EQ(pixel_up(0, 0), RED);
  EXPECT_EQ(pixel_up(40, 30), GREEN);
}

TEST_F(FontTest, SplashBarFollowsProgress)
{
  ASSERT_TRUE(resize_d3d(320, 240, false, true));
  update_font_scale();
  ASSERT_EQ(bitmap_font.scale, 1);
  // Bar: 80 x 12 pixels from (120, 36); the filled part is 80 x progress.
  struct Case
  {
    float progress;
    int filled;  // -1: no bar
  };
  const Case cases[] = {{-1.0f, -1}, {0.0f, 0}, {0.5f, 40}, {0.3f, 24}, {1.0f, 80}, {2.0f, 80}};
  const uint32_t BG = 0xFF000A28u, BAR = 0xFF000000u, FILL = 0xFF32960Au;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "progress " << c.progress);
    splash_text = "Loading...";
    splash_progress = c.progress;
    ASSERT_TRUE(begin_scene());
    draw_splash();
    end_scene();
    EXPECT_EQ(pixel_up(119, 40), BG);
    EXPECT_EQ(pixel_up(200, 40), BG);
    EXPECT_EQ(pixel_up(150, 35), BG);
    EXPECT_EQ(pixel_up(150, 48), BG);
    if (c.filled < 0) {
      EXPECT_EQ(pixel_up(120, 36), BG);
      EXPECT_EQ(pixel_up(199, 47), BG);
      continue;
    }
    EXPECT_EQ(pixel_up(120, 36), c.filled > 0 ? FILL : BAR);
    EXPECT_EQ(pixel_up(199, 47), c.filled == 80 ? FILL : BAR);
    if (c.filled > 0 && c.filled < 80) {
      EXPECT_EQ(pixel_up(120 + c.filled - 1, 47), FILL);
      EXPECT_EQ(pixel_up(120 + c.filled, 36), BAR);
    }
  }
  // show_splash keeps what it was given; a null text is empty.
  show_splash(nullptr, 0.25f);
  EXPECT_STREQ(splash_text, "");
  EXPECT_EQ(splash_progress, 0.25f);
}

TEST_F(FontTest, SplashFramesHandleWindowEvents)
{
  // Closing the window while a long job draws its progress ends the game
  // after the job, as a close in the main loop does.
  app_quit_requested = false;
  SDL_Event e;
  memset(&e, 0, sizeof(e));
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  draw_splash_frame();
  EXPECT_TRUE(app_quit_requested);
  app_quit_requested = false;
}

TEST_F(FontTest, OverlaysDrawAtTheirPlaces)
{
  ASSERT_TRUE(resize_d3d(320, 240, false, true));
  update_font_scale();
  set_back_buffer_target();
  clear_view(CLEAR);
  clear_visual_log();
  visual_log("A");
  set_error_message("A");
  start_draw_text();
  draw_error_message();
  draw_visual_log();
  end_draw_text();
  // The newest log line: 'A' at scale 2 from (16, 16), 8 x 16 pixels.
  EXPECT_EQ(pixel_up(16, 16), 0xFFFFFFFFu);
  EXPECT_EQ(pixel_up(23, 31), 0xFFFFFFFFu);
  EXPECT_EQ(pixel_up(15, 20), CLEAR);
  // The error band covers the top 12 cell heights (96 pixels) in 80 % dark red.
  const uint32_t band = 0xD6510033u;
  EXPECT_TRUE(near(pixel_up(5, 239), band, 2)) << std::hex << pixel_up(5, 239);
  EXPECT_TRUE(near(pixel_up(300, 144), band, 2));
  EXPECT_EQ(pixel_up(300, 143), CLEAR);
  // Its text hangs from one cell height below the top, centred: the 'A' block
  // is 10 x 16 pixels from x = 155.
  EXPECT_EQ(pixel_up(155, 231), 0xFFFFEE00u);
  EXPECT_EQ(pixel_up(155, 216), 0xFFFFEE00u);
  // Both overlays restored the settings they changed.
  EXPECT_EQ(bitmap_font.scale, 1);
  clear_visual_log();
  set_error_message(nullptr);
}
