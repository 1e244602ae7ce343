// Distance-field text and icons on a real device. A synthetic font whose
// one glyph is an exact square distance field shows where edges land at
// three sizes (pixel i samples the game's coordinate i + 0.25, so an edge
// on a whole coordinate leaves 3/4 of the pixel after it lit); the build's
// generated font and icon set show that real text and icons draw where
// their boxes say.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/d3d_shaders.h"
#include "engine/dynVBWriter.h"
#include "engine/text/distFont.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

namespace
{
enum { W = 160, H = 96 };

// A one-level L8 DDS.
bool write_l8_dds(const std::string& path, int w, int h, const std::vector<uint8_t>& px)
{
  uint32_t hd[32] = {0};
  hd[0] = 0x20534444;
  hd[1] = 124;
  hd[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000;
  hd[3] = uint32_t(h);
  hd[4] = uint32_t(w);
  hd[5] = uint32_t(w);
  hd[7] = 1;
  hd[19] = 32;
  hd[20] = 0x20000;  // luminance
  hd[22] = 8;
  hd[23] = 0xFF;
  hd[27] = 0x1000;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(hd, 4, 32, f) == 32 && fwrite(px.data(), 1, px.size(), f) == px.size();
  return fclose(f) == 0 && ok;
}

// The square glyph 'X': a 32 x 32 atlas cell whose ink is the square 8..24,
// spread 8; at size 16 its ink is 16 x 16 pixels sitting on the baseline.
// The atlas is larger than the cell, so that a second layer may be offset
// by up to 4 atlas pixels.
const char* const square_font =
    "info face=\"Square\" size=16 spread=8\n"
    "common lineHeight=20 base=0 scaleW=256 scaleH=128\n"
    "page id=0 file=\"square\"\n"
    "chars count=1\n"
    "char id=88 x=0 y=0 width=32 height=32 xoffset=-8 yoffset=24 xadvance=24\n"
    "kernings count=0\n";

std::vector<uint8_t> square_atlas()
{
  std::vector<uint8_t> px(256 * 128, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
      float dx = std::fabs(cx - 16.f) - 8.f, dy = std::fabs(cy - 16.f) - 8.f;
      float outside = std::sqrt(std::max(dx, 0.f) * std::max(dx, 0.f) + std::max(dy, 0.f) * std::max(dy, 0.f));
      float sd = outside > 0.f ? -outside : -std::max(dx, dy);  // positive inside
      float v = std::min(std::max(0.5f + 0.5f * sd / 8.f, 0.f), 1.f);
      px[size_t(y) * 256 + size_t(x)] = uint8_t(lrintf(v * 255.f));
    }
  return px;
}

float red_of(uint32_t argb) { return float((argb >> 16) & 255) / 255.f; }
}  // namespace

class DistFontGlTest : public GlDeviceTest
{
protected:
  static TempAppDir assets;
  RenderBatch batch;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    namespace fs = std::filesystem;
    for (const char* name : {"ui_font.fnt", "ui_font.dds", "ui_icons.txt", "ui_icons.dds"})
      fs::create_symlink(std::string(QM_GENERATED_ASSETS) + "/" + name, assets.path(name));
    FILE* f = fopen(assets.path("square.fnt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs(square_font, f);
    fclose(f);
    ASSERT_TRUE(write_l8_dds(assets.path("square.dds"), 256, 128, square_atlas()));
    common_vb_writer.create(COMMON_VB_SIZE);
    init_dist_fonts();
    init_dist_icons();
  }
  static void TearDownTestSuite()
  {
    common_vb_writer.release();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    resize_d3d(W, H, false, true);
    set_back_buffer_target();
    clear_view(0xFF000000u);
  }
  void draw()
  {
    start_dist_font_render();
    batch.render();
    end_dist_font_render();
    batch.clear();
  }
  // The box of pixels whose red is at least half, (x0, y0, x1, y1) inclusive.
  static void lit_box(const std::vector<uint32_t>& pic, int box[4])
  {
    box[0] = box[1] = 1 << 20;
    box[2] = box[3] = -1;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (red_of(pic[size_t(y) * W + x]) >= 0.5f) {
          box[0] = std::min(box[0], x);
          box[1] = std::min(box[1], y);
          box[2] = std::max(box[2], x);
          box[3] = std::max(box[3], y);
        }
  }
};

TempAppDir DistFontGlTest::assets;

TEST_F(DistFontGlTest, SquareGlyphEdgesLandOnTheirPixelsAtThreeSizes)
{
  DistFont font;
  ASSERT_TRUE(font.load("square.fnt"));
  ASSERT_NE(font.state, nullptr);
  struct Case
  {
    float size;
    int x, y;  // the ink's top-left corner
  };
  const Case cases[] = {{8, 10, 10}, {16, 40, 20}, {40, 90, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size);
    clear_view(0xFF000000u);
    font.renderText(batch, make4f(float(c.x), float(c.y), 200, 200), DIST_ALIGN_LEFT | DIST_ALIGN_TOP, 0xFFFFFFFFu,
                    c.size, "X", -1, 0, 0, 0, 0, 0, nullptr);
    draw();
    std::vector<uint32_t> pic = back_buffer_picture();
    const int n = int(c.size);  // the ink is size x size pixels
    auto at = [&](int x, int y) { return red_of(pic[size_t(y) * W + x]); };
    const int mid = c.y + n / 2;
    // Across the middle row: dark before, 3/4 on the first column, full
    // inside, full on the last, 1/4 after, dark beyond.
    EXPECT_LT(at(c.x - 2, mid), 0.02f);
    EXPECT_LT(at(c.x - 1, mid), 0.1f);
    EXPECT_NEAR(at(c.x, mid), 0.75f, 0.12f);
    for (int x = c.x + 1; x < c.x + n - 1; ++x) EXPECT_GT(at(x, mid), 0.97f) << x;
    EXPECT_GT(at(c.x + n - 1, mid), 0.9f);
    EXPECT_NEAR(at(c.x + n, mid), 0.25f, 0.12f);
    EXPECT_LT(at(c.x + n + 1, mid), 0.02f);
    // Down the middle column, the same.
    const int col = c.x + n / 2;
    EXPECT_LT(at(col, c.y - 1), 0.1f);
    EXPECT_NEAR(at(col, c.y), 0.75f, 0.12f);
    EXPECT_NEAR(at(col, c.y + n), 0.25f, 0.12f);
    EXPECT_LT(at(col, c.y + n + 1), 0.02f);
  }
}

TEST_F(DistFontGlTest, GeneratedFontDrawsInsideItsMeasuredBoxAtThreeSizes)
{
  DistFont font;
  ASSERT_TRUE(font.load("ui_font.fnt"));
  ASSERT_NE(font.state, nullptr);
  const char* text = "Quill";
  int n = 0;
  vec4f b = font.calcTextBox(text, -1, &n);
  EXPECT_EQ(n, 5);
  for (float size : {12.f, 24.f, 40.f}) {
    SCOPED_TRACE(testing::Message() << "size " << size);
    clear_view(0xFF000000u);
    const float x0 = 6, y0 = 8;
    font.renderText(batch, make4f(x0, y0, 300, 300), DIST_ALIGN_LEFT | DIST_ALIGN_TOP, 0xFFFFFFFFu, size, text, -1, 0, 0,
                    0, 0, 0, nullptr);
    draw();
    int lit[4];
    lit_box(back_buffer_picture(), lit);
    const float s = size / float(font.size);
    const float ex1 = x0 + s * (v_extract_z(b) - v_extract_x(b)), ey1 = y0 + s * (v_extract_w(b) - v_extract_y(b));
    // The measured box bounds the outline to within its whole atlas
    // pixels; the lit pixels lie inside it, and fill it but for that slack.
    EXPECT_GE(lit[0], int(x0) - 1);
    EXPECT_GE(lit[1], int(y0) - 1);
    EXPECT_LE(lit[2], int(ex1) + 1);
    EXPECT_LE(lit[3], int(ey1) + 1);
    EXPECT_LE(lit[0], int(x0 + 2 * s) + 1);
    EXPECT_LE(lit[1], int(y0 + 2 * s) + 1);
    EXPECT_GE(lit[2], int(ex1 - 2 * s) - 1);
    EXPECT_GE(lit[3], int(ey1 - 2 * s) - 1);
  }
}

TEST_F(DistFontGlTest, ShadowLayerDrawsBehindTheFaceAtItsOffset)
{
  DistFont font;
  ASSERT_TRUE(font.load("square.fnt"));
  // Size 32, shadow offset 12.5 % of the font size = 2 atlas pixels = 4
  // screen pixels right and down, in green behind a red face.
  font.renderText(batch, make4f(20, 20, 200, 200), DIST_ALIGN_LEFT | DIST_ALIGN_TOP, 0xFFFF0000u, 32.f, "X", -1, 0,
                  12.5f, 12.5f, 0, 0xFF00FF00u, nullptr);
  draw();
  std::vector<uint32_t> pic = back_buffer_picture();
  auto px = [&](int x, int y) { return pic[size_t(y) * W + x]; };
  EXPECT_EQ(px(30, 30), 0xFFFF0000u);                // face
  EXPECT_EQ(px(54, 54), 0xFF00FF00u);                // shadow only
  EXPECT_EQ(px(22, 54), 0xFF000000u);                // neither
  EXPECT_EQ(px(54, 22), 0xFF000000u);
}

TEST_F(DistFontGlTest, IconsDrawCentredAndRotated)
{
  DistIcons icons;
  ASSERT_TRUE(icons.load("ui_icons.txt"));
  ASSERT_NE(icons.state, nullptr);
  const int dot = icons.getIconId("dot"), arrow = icons.getIconId("dot_arrow");
  ASSERT_GE(dot, 0);
  ASSERT_GE(arrow, 0);
  // The dot: a disc of radius 10 design units at the centre; size 2.
  icons.renderIcon(batch, make4f(40, 48, 1, 0), 2.f, dot, 0, 0, 0, 0, 0xFFFF0000u, 0, 0, 0, 0, nullptr);
  // The arrow turned a quarter: its point (28 units up) now points right.
  icons.renderIcon(batch, make4f(110, 48, 0, 1), 1.f, arrow, 0, 0, 0, 0, 0xFFFF0000u, 0, 0, 0, 0, nullptr);
  draw();
  std::vector<uint32_t> pic = back_buffer_picture();
  auto red = [&](int x, int y) { return red_of(pic[size_t(y) * W + x]); };
  EXPECT_GT(red(40, 48), 0.97f);
  EXPECT_GT(red(40 + 17, 48), 0.97f);
  EXPECT_GT(red(40, 48 - 17), 0.97f);
  EXPECT_LT(red(40 + 22, 48), 0.03f);
  EXPECT_LT(red(40 - 16, 48 - 16), 0.03f);
  EXPECT_GT(red(110 + 16, 48), 0.97f);   // in the turned point
  EXPECT_LT(red(110, 48 - 16), 0.03f);   // where the point was before turning
  EXPECT_GT(red(110 - 10, 48), 0.97f);   // the disc, turned to the left
}
