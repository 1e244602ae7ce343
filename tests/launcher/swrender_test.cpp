// The software renderer: blending, rectangles, frames, the font's glyph
// rule, text measuring and placement.
#include "launcher_fixture.h"
#include "launcher/swrender.h"

#include <cstring>

namespace
{

class SwRender : public TempConfig
{
protected:
  enum { W = 40, H = 30 };
  std::vector<uint32_t> pixels;
  SoftwareGuiRenderer r;

  void SetUp() override
  {
    TempConfig::SetUp();
    pixels.assign(W * H, 0xAA000000);
    r.setTarget(pixels.data(), W * 4, W, H);
  }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * W + x]; }
  void use_font()
  {
    std::string path = write_test_font(dir);
    r.setFont(r.loadFont(path.c_str()));
  }
};

TEST(SwBlend, ChannelsMoveTowardTheSourceByAlphaOver255WithTheResultAlphaCleared)
{
  struct Case { uint32_t dst, color, expected; } cases[] = {
      // Alpha 0 keeps the colour; the alpha byte still becomes 0.
      {0xAB123456, 0x00ffffff, 0x00123456},
      // Alpha 255 writes the source.
      {0xff000000, 0xff80c0ff, 0x0080c0ff},
      {0x00ffffff, 0xff000000, 0x00000000},
      // Half way, lightening and darkening.
      {0x00000000, 0x80ffffff, 0x00808080},
      {0x00ffffff, 0x80000000, 0x007f7f7f},
      // One step of alpha from a middle value, both ways, and per channel.
      {0x00818181, 0x01000000, 0x00808080},
      {0x00000000, 0x01ffffff, 0x00010101},
      {0x0010f080, 0x40f01080, 0x0048b880},
  };
  for (const Case& c : cases)
    EXPECT_EQ(blend_pixel(c.dst, c.color), c.expected) << std::hex << c.dst << " " << c.color;
}

TEST(SwBlend, EveryChannelPairStaysBetweenItsEndsAndHitsThemAtAlpha0And255)
{
  for (uint32_t s = 0; s < 256; s += 3)
    for (uint32_t d = 0; d < 256; ++d)
      for (uint32_t a = 0; a < 256; a += 5) {
        uint32_t got = blend_pixel(d << 8, (a << 24) | (s << 8)) >> 8;
        ASSERT_LE(got, std::max(s, d));
        ASSERT_GE(got, std::min(s, d));
        if (a == 0) {
          ASSERT_EQ(got, d);
        }
        if (a == 255) {
          ASSERT_EQ(got, s);
        }
      }
}

TEST_F(SwRender, FillRectRoundsCornersToNearestAndClips)
{
  struct Case { float x0, y0, x1, y1; int ex0, ey0, ex1, ey1; } cases[] = {
      {1.4f, 1.6f, 3.4f, 2.6f, 1, 2, 3, 3},
      // Halves round to even.
      {0.5f, 1.5f, 2.5f, 3.5f, 0, 2, 2, 4},
      // Clipped at every edge.
      {-5.f, -5.f, 2.f, 1.f, 0, 0, 2, 1},
      {38.f, 28.f, 60.f, 90.f, 38, 28, W, H},
      // Empty and inverted rectangles draw nothing.
      {3.f, 3.f, 3.f, 9.f, 0, 0, 0, 0},
      {9.f, 9.f, 3.f, 3.f, 0, 0, 0, 0},
      {50.f, 3.f, 60.f, 9.f, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::fill(pixels.begin(), pixels.end(), 0xAA000000);
    r.fillRect(c.x0, c.y0, c.x1, c.y1, 0xff102030);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        bool in = x >= c.ex0 && x < c.ex1 && y >= c.ey0 && y < c.ey1;
        ASSERT_EQ(at(x, y), in ? 0x00102030u : 0xAA000000u) << c.x0 << "," << c.y0 << " at " << x << "," << y;
      }
  }
}

TEST_F(SwRender, DrawFrameDrawsBothRowsInclusiveAndTheColumnsBetween)
{
  r.clear(0);
  r.drawFrame(2, 3, 6, 7, 0xff00ff00);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      bool row = (y == 3 || y == 7) && x >= 2 && x <= 6;
      bool col = (x == 2 || x == 6) && y > 3 && y < 7;
      ASSERT_EQ(at(x, y), row || col ? 0x0000ff00u : 0u) << x << "," << y;
    }
  // A half-transparent frame blends each pixel once, corners included.
  r.clear(0);
  r.drawFrame(1, 1, 3, 1, 0x80ffffff);
  EXPECT_EQ(at(1, 1), 0x00808080u);
  EXPECT_EQ(at(3, 1), 0x00808080u);
  EXPECT_EQ(at(4, 1), 0u);
}

TEST_F(SwRender, ClearWritesTheWholeWordAndRespectsThePitch)
{
  std::vector<uint32_t> wide(6 * 2, 7);
  r.setTarget(wide.data(), 6 * 4, 4, 2);
  r.clear(0xff123456);
  EXPECT_EQ(wide[0], 0xff123456u);
  EXPECT_EQ(wide[3], 0xff123456u);
  EXPECT_EQ(wide[4], 7u);   // beyond the width, inside the pitch
  EXPECT_EQ(wide[6 + 3], 0xff123456u);
}

TEST_F(SwRender, FontGlyphsSpanTheirInkAndEmptyCellsGetHalfACellPlusOne)
{
  std::string path = write_test_font(dir);
  SoftwareFont* f = r.loadFont(path.c_str());
  EXPECT_EQ(f->lineHeight, 8);
  const SoftwareFont::Glyph& a = f->glyphs[int('A')];
  EXPECT_EQ(a.x0, 1 * 8 + 1);   // 'A' = 65: column 1, row 4
  EXPECT_EQ(a.x1, 1 * 8 + 5);
  EXPECT_EQ(a.y0, 4 * 8);
  EXPECT_EQ(a.y1, 5 * 8);
  const SoftwareFont::Glyph& space = f->glyphs[int(' ')];
  EXPECT_EQ(space.x0, 0);
  EXPECT_EQ(space.x1, 5);
  EXPECT_EQ(r.getLineHeight(), 8);   // no font set yet
}

TEST_F(SwRender, TextSizeSumsGlyphWidthsPlusOneAndCountsNonEmptyLines)
{
  use_font();
  struct Case { const char* text; int scale; float w, h; } cases[] = {
      {"", 1, 0, 0},
      {"A", 1, 5, 8},
      {"A.", 1, 7, 8},
      {" ", 1, 6, 8},
      {"A", 3, 15, 24},
      // A closing line break adds no line; two lines take the widest.
      {"AA\n", 1, 10, 8},
      {"A\nAA", 1, 10, 16},
      {"\n\nA", 2, 10, 48},
  };
  for (const Case& c : cases) {
    float w = -1, h = -1;
    r.getTextSize(c.text, -1, w, h, c.scale);
    EXPECT_EQ(w, c.w) << c.text;
    EXPECT_EQ(h, c.h) << c.text;
  }
  float w = 0, h = 0;
  r.getTextSize("AAAA", 2, w, h, 1);   // the length cuts the text
  EXPECT_EQ(w, 10);
}

// The left column and top row of the drawn glyph, found as the first pixel
// of the text colour.
static void glyph_origin(const std::vector<uint32_t>& px, int w, uint32_t rgb, int& gx, int& gy)
{
  gx = gy = -1;
  for (size_t i = 0; i < px.size(); ++i)
    if (px[i] == rgb) {
      int x = int(i % w), y = int(i / w);
      if (gx < 0 || x < gx) gx = x;
      if (gy < 0 || y < gy) gy = y;
    }
}

TEST_F(SwRender, TextIsPlacedByAlignmentAndScale)
{
  use_font();
  struct Case { const char* text; float x, y; int h, v, scale; int gx, gy; } cases[] = {
      // "A" is 5 x 8 at scale 1; its ink starts at the pen.
      {"A", 20, 10, -1, -1, 1, 20, 10},
      {"A", 20, 10, 1, 1, 1, 15, 2},
      // Odd width centred: x - 5 / 2, rounded toward zero.
      {"A", 20, 10, 0, 0, 1, 18, 6},
      {"A", 20.4f, 9.6f, -1, -1, 1, 20, 10},
      {"A", 20, 10, 1, -1, 2, 10, 10},
      // A space only advances the pen.
      {" A", 5, 5, -1, -1, 1, 11, 5},
      {"A\n.", 5, 5, -1, -1, 1, 5, 5},
  };
  for (const Case& c : cases) {
    r.clear(0);
    r.drawText(c.text, -1, c.x, c.y, c.h, c.v, 0xff0000ff, c.scale);
    int gx, gy;
    glyph_origin(pixels, W, 0x000000ff, gx, gy);
    EXPECT_EQ(gx, c.gx) << c.text << " " << c.h << "," << c.v << " x" << c.scale;
    EXPECT_EQ(gy, c.gy) << c.text << " " << c.h << "," << c.v << " x" << c.scale;
  }
}

TEST_F(SwRender, GlyphsGetAHalfAlphaBlackShadowAndAreModulatedByTheTextColour)
{
  use_font();
  r.clear(0x0000ff00);
  r.drawText("A", -1, 2, 2, -1, -1, 0xff808080, 2);
  // Ink: picture 255 x (0x80 + 1) >> 8 = 0x80, drawn at full alpha, 2 x 2 per picture pixel.
  EXPECT_EQ(at(2, 2), 0x00808080u);
  EXPECT_EQ(at(9, 17), 0x00808080u);
  // The shadow one pixel right and down, black at alpha 255 x (127 + 1) >> 8
  // = 127, shows below and right of the ink.
  EXPECT_EQ(at(10, 18), 0x00008000u);
  EXPECT_EQ(at(11, 18), 0x0000ff00u);
  // Black text: black glyphs and a black shadow.
  r.clear(0x00ffffff);
  r.drawText("A", -1, 2, 2, -1, -1, 0xff000000, 1);
  EXPECT_EQ(at(2, 2), 0u);
  EXPECT_EQ(at(6, 10), 0x00808080u);
  // A half-transparent grey glyph: alpha 128 x 256 >> 8, grey 0x80 x 256 >> 8.
  r.clear(0);
  r.drawText("#", -1, 0, 0, -1, -1, 0xffffffff, 1);
  EXPECT_EQ(at(0, 0), blend_pixel(0, 0x80808080));
}

TEST(SwRenderDeath, BrokenSetUpsEndTheProgram)
{
  TestDir tmp("font");
  std::filesystem::path dir = tmp.path;
  std::vector<uint32_t> px(100 * 128, 0xffffffff);
  std::string odd = (dir / "odd.tga").string();
  ASSERT_TRUE(save_tga(odd.c_str(), px.data(), 100, 128, 100 * 4));
  std::string missing = (dir / "missing.tga").string();
  EXPECT_EXIT(SoftwareGuiRenderer().loadFont(odd.c_str()), testing::ExitedWithCode(100),
              "expected 16x16 font grid in .*odd\\.tga, got 100x128 image");
  EXPECT_EXIT(SoftwareGuiRenderer().loadFont(missing.c_str()), testing::ExitedWithCode(100),
              "can't load font from .*missing\\.tga");
  EXPECT_EXIT(SoftwareGuiRenderer().fillRect(0, 0, 1, 1, 0), testing::ExitedWithCode(100),
              "swrender\\.cpp\\([0-9]+\\): failed ASSERT\\(buffer\\)");
  float w, h;
  EXPECT_EXIT(SoftwareGuiRenderer().getTextSize("A", -1, w, h, 1), testing::ExitedWithCode(100),
              "swrender\\.cpp\\([0-9]+\\): failed ASSERT\\(curFont\\)");
  std::filesystem::remove_all(dir);
}

}  // namespace
