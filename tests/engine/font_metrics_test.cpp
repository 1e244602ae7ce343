// The bitmap font's glyph extents from a synthetic 16 x 16 grid image read
// through the TGA reader, text measurement with its line rules, and the
// scale rule; no device is needed for any of it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/d3d_render.h"
#include "engine/font.h"
#include "engine/tga.h"
#include "engine/visualLog.h"
#include "support/test_dir.h"

namespace {

// 4 x 8 cells (a 64 x 128 image). Glyphs: 'A' ink in cell columns 1..2,
// 'i' in column 3 only, 'W' in every column; everything else empty.
class FontMetrics : public testing::Test
{
 protected:
  enum { CW = 4, CH = 8, W = CW * 16, H = CH * 16 };
  int saved_ht = 0;
  FontSettings saved{};

  static void ink(std::vector<uint32_t>& top_down, int c, int col, int row = -1)
  {
    int x = (c % 16) * CW + col;
    for (int y = 0; y < CH; ++y)
      if (row < 0 || row == y) top_down[size_t((c / 16) * CH + y) * W + size_t(x)] = 0x01FFFFFFu;
  }

  void SetUp() override
  {
    saved_ht = d3d_ht;
    get_font_settings(saved);
    std::vector<uint32_t> img(W * H, 0x00FFFFFFu);  // white, no ink
    ink(img, 'A', 1, 3);
    ink(img, 'A', 2);
    ink(img, 'i', 3, 0);
    for (int x = 0; x < CW; ++x) ink(img, 'W', x);

    // Through the file format, as the font is loaded: stored bottom-up.
    std::string dir = make_test_dir("font");
    std::string path = dir + "/font.tga";
    ASSERT_TRUE(save_tga(path.c_str(), img.data(), W, H, W * 4));
    DynArray<uint32_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(load_tga(path.c_str(), w, h, px));
    std::filesystem::remove_all(dir);
    d3d_ht = 720;
    set_font_image(px.data, w, h);
  }
  void TearDown() override
  {
    d3d_ht = saved_ht;
    set_font_settings(saved);
  }
};

}  // namespace

TEST_F(FontMetrics, GlyphExtentsComeFromTheInk)
{
  EXPECT_EQ(bitmap_font.cellW, CW);
  EXPECT_EQ(bitmap_font.cellH, CH);
  struct Case
  {
    int c, x0, x1;
  };
  const Case cases[] = {
      {'A', 1, 3},  // columns 1..2, one of them with a single inked texel
      {'i', 3, 4},  // one column: width 1
      {'W', 0, 4},  // the whole cell
      {' ', 0, 3},  // no ink: half a cell, plus one
      {0, 0, 3},
      {255, 0, 3},
  };
  for (const Case& c : cases) {
    const FontGlyph& g = bitmap_font.glyphs[c.c];
    int cx = (c.c % 16) * CW;
    EXPECT_EQ(g.x0, cx + c.x0) << c.c;
    EXPECT_EQ(g.x1, cx + c.x1) << c.c;
    // Rows are stored bottom-up: the top row of cells is the last.
    EXPECT_EQ(g.y0, (15 - c.c / 16) * CH) << c.c;
    EXPECT_EQ(g.y1, g.y0 + CH) << c.c;
  }
}

TEST_F(FontMetrics, ScaleFollowsTheScreenHeight)
{
  struct Case
  {
    int ht, scale;
  };
  const Case cases[] = {{720, 3}, {239, 1}, {240, 1}, {480, 2}, {100, 1}, {0, 1}};
  for (const Case& c : cases) {
    d3d_ht = c.ht;
    update_font_scale();
    EXPECT_EQ(bitmap_font.scale, c.scale) << c.ht;
  }
}

TEST_F(FontMetrics, TextSizeFollowsTheLineRules)
{
  // Advances at scale 1: 'A' 3, 'i' 2, 'W' 5, empty cells 4.
  struct Case
  {
    const char* text;
    int length;
    int scale, gap, spacing;
    int w, h;
  };
  const Case cases[] = {
      {nullptr, -1, 1, 0, 0, 0, 0},
      {"", -1, 1, 0, 0, 0, 0},
      {"AiW", 0, 1, 0, 0, 0, 0},          // zero length
      {"A", -1, 1, 0, 0, 3, 8},
      {"AiW", -1, 1, 0, 0, 10, 8},
      {"AiW", 2, 1, 0, 0, 5, 8},          // length limits the text
      {"A i", -1, 1, 0, 0, 9, 8},         // the space advances like an empty cell
      {"A\0i", 3, 1, 0, 0, 9, 8},         // and so does the zero byte
      {"A\n", -1, 1, 0, 0, 3, 8},         // an empty last line adds no height
      {"A\nW", -1, 1, 0, 0, 5, 16},
      {"W\nA", -1, 1, 0, 0, 5, 16},       // the widest line, not the last
      {"A\nW", -1, 1, 2, 0, 5, 18},       // line gap between lines
      {"A\n", -1, 1, 2, 0, 3, 10},
      {"\n\n", -1, 1, 0, 0, 0, 16},
      {"AiW", -1, 2, 0, 1, 23, 16},       // (w + 1) x scale + spacing each
  };
  for (const Case& c : cases) {
    bitmap_font.scale = c.scale;
    bitmap_font.lineGap = c.gap;
    bitmap_font.charSpacing = c.spacing;
    int w = -1, h = -1;
    calc_text_size(c.text, c.length, w, h);
    EXPECT_EQ(w, c.w) << (c.text ? c.text : "(null)") << " length " << c.length;
    EXPECT_EQ(h, c.h) << (c.text ? c.text : "(null)") << " length " << c.length;
  }
}

TEST_F(FontMetrics, SettingsStackRestoresWhatWasPushed)
{
  set_font_settings({1, 2, 3});
  push_font_settings();
  set_font_settings({7, 8, 9});
  push_font_settings();
  bitmap_font.scale = 5;
  pop_font_settings();
  FontSettings s;
  get_font_settings(s);
  EXPECT_EQ(s.scale, 9);
  pop_font_settings();
  get_font_settings(s);
  EXPECT_EQ(s.lineGap, 1);
  EXPECT_EQ(s.charSpacing, 2);
  EXPECT_EQ(s.scale, 3);
  EXPECT_EXIT(pop_font_settings(), testing::ExitedWithCode(100), "failed ASSERT\\(num>0\\)");
}

TEST(FontMetricsDeathTest, ImageNotAGridIsFatal)
{
  std::vector<uint32_t> img(250 * 256, 0);
  EXPECT_EXIT(set_font_image(img.data(), 250, 256), testing::ExitedWithCode(100),
              "expected 16x16 font grid in font.tga, got 250x256 image");
}

TEST_F(FontMetrics, WrappedLinesFitTheWidthAndKeepEveryWord)
{
  // An error message at a 640 x 360 window's font scale: words of several
  // lengths, one word wider than the width on its own, the text's own breaks.
  bitmap_font.scale = 2;
  std::string word_wall(200, 'W');
  const std::string texts[] = {
      "Error loading the world:\nunexpected data after the saved objects (at 24000A) in a file "
      "of a long name WAW AiA WWW WWWWWWW iiii W W W W W W W W W W W W W W W W W W W W W W",
      "Error in world script:\n" + word_wall + " tail",
      "short",
      "",
      "ends with a break\n",
  };
  for (int max_width : {640 - 2 * 16, 100, 1}) {
    for (const std::string& text : texts) {
      SCOPED_TRACE(text.substr(0, 30) + " at " + std::to_string(max_width));
      std::string wrapped = wrap_text(text.c_str(), max_width);
      // Every line fits (a single character always stands on its own).
      size_t start = 0;
      for (;;) {
        size_t end = wrapped.find('\n', start);
        std::string line = wrapped.substr(start, end == std::string::npos ? std::string::npos : end - start);
        int w = 0, h = 0;
        calc_text_size(line.c_str(), -1, w, h);
        if (line.size() > 1) {
          EXPECT_LE(w, max_width) << "[" << line << "]";
        }
        if (end == std::string::npos) break;
        start = end + 1;
      }
      // The same characters apart from breaks and the spaces they replace.
      auto strip = [](const std::string& s) {
        std::string r;
        for (char c : s)
          if (c != '\n' && c != ' ') r += c;
        return r;
      };
      EXPECT_EQ(strip(wrapped), strip(text));
      EXPECT_GE(std::count(wrapped.begin(), wrapped.end(), '\n'), std::count(text.begin(), text.end(), '\n'));
    }
  }
  // A text that fits is left alone.
  EXPECT_EQ(wrap_text("Error saving the game:\nThe slot is in use", 640), "Error saving the game:\nThe slot is in use");
}

TEST_F(FontMetrics, ErrorBandHoldsItsTextOrCutsIt)
{
  // The band never goes past its height: short texts keep the usual band at
  // the large scale, longer ones grow it, then drop to the small scale, and
  // the longest are cut at a line's end with "...".
  int saved_wd = d3d_wd;
  d3d_wd = 640;
  std::string many;
  for (int i = 0; i < 12; ++i) many += "line " + std::to_string(i) + "\n";
  const struct
  {
    std::string text;
    int scale;
    bool cut;
  } cases[] = {
      {"Error saving the game:\nThe slot is in use", 2, false},
      {"gameobj rebuild failed\n" + many, 1, false},
      {many + many + many + many + "the end", 1, true},
  };
  const int max_height = 162;  // 45% of 360
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 30));
    push_font_settings();
    set_error_message(c.text.c_str());
    int band = 0;
    std::string shown = fit_error_message(max_height, band);
    int w = 0, h = 0;
    calc_text_size(shown.c_str(), -1, w, h);
    EXPECT_EQ(bitmap_font.scale, c.scale);
    EXPECT_LE(band, max_height);
    EXPECT_LE(h + bitmap_font.scale * CH, band);
    EXPECT_GE(band, 12 * CH);
    EXPECT_EQ(shown.size() >= 3 && shown.compare(shown.size() - 3, 3, "...") == 0, c.cut);
    if (!c.cut) {
      EXPECT_EQ(shown, c.text);  // no line is wider than the screen: nothing changes
    }
    pop_font_settings();
  }
  set_error_message(nullptr);
  d3d_wd = saved_wd;
}
