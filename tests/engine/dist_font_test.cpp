// Distance-field fonts and icons without a device: descriptor reading
// (good and bad files), text measuring, the quads renderText and renderIcon
// write into a batch, and the packed shading parameters. Descriptors are
// written to a temporary folder; their atlases are absent, so load reads
// the whole descriptor and then fails on the atlas, keeping what it read.
#include "engine/text/distFont.h"

#include "engine/paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include "support/test_dir.h"
#include <string>

namespace fs = std::filesystem;

namespace
{
// A font of size 10, spread 2, atlas 100 x 50: 'A' (65) and 'B' (66) in one
// run, 'D' (68) in a second, space (32) without ink. Kerning: A,B -1 and
// (after a record of another first) A,D -2, so 'A' has two ranges.
const char* const small_font =
    "info face=\"Test Face\" size=10 spread=2\n"
    "common lineHeight=12 base=0 scaleW=100 scaleH=50\n"
    "page id=0 file=\"atlas\"\n"
    "chars count=4\n"
    "char id=65 x=10 y=5 width=8 height=14 xoffset=-2 yoffset=11 xadvance=6\n"
    "char id=66 x=20 y=5 width=8 height=14 xoffset=-2 yoffset=11 xadvance=7\n"
    "char id=68 x=30 y=5 width=10 height=14 xoffset=-2 yoffset=11 xadvance=8\n"
    "char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=3\n"
    "kernings count=3\n"
    "kerning first=65 second=66 amount=-1\n"
    "kerning first=66 second=65 amount=0.5\n"
    "kerning first=65 second=68 amount=-2\n";

const char* const small_icons =
    "info file=\"icons\" scaleW=64 scaleH=32 spread=4\n"
    "icons count=2\n"
    "icon \"star\" 16 16 0 0 24 24 -12 12\n"
    "icon \"moon\" 20 10 32 8 28 18 -14 9\n";

class DistFontFiles : public testing::Test
{
protected:
  fs::path dir;
  char saved_app_path[260];

  void SetUp() override
  {
    dir = make_test_dir("distfont");
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  }
  void TearDown() override
  {
    memcpy(app_path, saved_app_path, sizeof(app_path));
    fs::remove_all(dir);
  }
  void write(const char* name, const std::string& text)
  {
    FILE* f = fopen((dir / name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
  }
  void loadSmallFont(DistFont& font)
  {
    write("small.fnt", small_font);
    EXPECT_FALSE(font.load("small.fnt"));  // no atlas
    ASSERT_EQ(font.chars.num, 4);
  }
};

void expect_box(vec4f box, float x0, float y0, float x1, float y1)
{
  EXPECT_FLOAT_EQ(v_extract_x(box), x0);
  EXPECT_FLOAT_EQ(v_extract_y(box), y0);
  EXPECT_FLOAT_EQ(v_extract_z(box), x1);
  EXPECT_FLOAT_EQ(v_extract_w(box), y1);
}
}  // namespace

TEST_F(DistFontFiles, DescriptorBuildsGlyphAndKerningRanges)
{
  DistFont font;
  loadSmallFont(font);
  EXPECT_EQ(font.size, 10);
  EXPECT_EQ(font.spread, 2);
  EXPECT_EQ(font.lineHeight, 12);
  EXPECT_FLOAT_EQ(font.invScaleW, 0.01f);
  EXPECT_FLOAT_EQ(font.invScaleH, 0.02f);
  EXPECT_FLOAT_EQ(font.chars[1].u, 0.2f);
  EXPECT_FLOAT_EQ(font.chars[1].v, 0.1f);
  // Ascending runs cost one range each: 65-66, 68, 32.
  ASSERT_EQ(font.charRanges.num, 3);
  EXPECT_EQ(font.charRanges[0].firstId, 65);
  EXPECT_EQ(font.charRanges[0].endId, 67);
  EXPECT_EQ(font.charRanges[1].firstIndex, 2);
  EXPECT_EQ(font.findGlyph(67), nullptr);
  EXPECT_EQ(font.findGlyph(32), &font.chars[3]);
  // The first 'A' run and the second are separate ranges, both searched.
  ASSERT_EQ(font.kernRanges.num, 3);
  EXPECT_FLOAT_EQ(font.getKerning('A', 'B'), -1.f);
  EXPECT_FLOAT_EQ(font.getKerning('A', 'D'), -2.f);
  EXPECT_FLOAT_EQ(font.getKerning('B', 'A'), 0.5f);
  EXPECT_FLOAT_EQ(font.getKerning('D', 'A'), 0.f);
  EXPECT_EQ(font.texture, nullptr);
  EXPECT_EQ(font.state, nullptr);
}

TEST_F(DistFontFiles, BadDescriptorsFailWithoutHarm)
{
  const std::string good = small_font;
  auto replace = [&](const char* from, const std::string& to) {
    std::string s = good;
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, strlen(from), to);
    return s;
  };
  const struct { const char* what; std::string text; int chars_kept; } cases[] = {
      {"empty file", "", 0},
      {"no base=0", replace("base=0", "base=3"), 0},
      {"zero atlas width", replace("scaleW=100", "scaleW=0"), 0},
      {"zero size", replace("size=10", "size=0"), 0},
      {"negative spread", replace("spread=2", "spread=-1"), 0},
      {"no page", replace("page id=0", "pages id=0"), 0},
      {"page name too long", replace("\"atlas\"", "\"" + std::string(250, 'a') + "\""), 0},
      {"negative count", replace("chars count=4", "chars count=-4"), 0},
      {"count past the end", replace("chars count=4", "chars count=2000000"), 0},
      {"huge count, few lines", replace("chars count=4", "chars count=900000"), 4},
      {"missing field", replace("xadvance=7", "xadvance="), 1},
      {"not a number", replace("x=20 y=5", "x=nan y=5"), 1},
      {"char id at the limit", replace("id=66", "id=2147483647"), 1},
      {"premature end", good.substr(0, good.find("kerning first=66")), 4},
      {"infinite kerning", replace("amount=0.5", "amount=inf"), 4},
      {"overlong line", replace("Test Face", std::string(300, 'x')), 0},
  };
  for (const auto& c : cases) {
    DistFont font;
    write("bad.fnt", c.text);
    EXPECT_FALSE(font.load("bad.fnt")) << c.what;
    EXPECT_EQ(font.chars.num, c.chars_kept) << c.what;
    EXPECT_EQ(font.texture, nullptr) << c.what;
    // Whatever was read can still be measured and drawn without harm.
    RenderBatch batch;
    StdRenderBatchState st;
    font.calcTextBox("AB D", -1, nullptr);
    font.renderText(batch, make4f(0, 0, 100, 100), 5, 0xFFFFFFFFu, 20.f, "AB D", -1, 0, 0, 0, 0, 0, &st);
    batch.clear();
  }
  // A missing file changes nothing.
  DistFont font;
  loadSmallFont(font);
  EXPECT_FALSE(font.load("missing.fnt"));
  EXPECT_EQ(font.chars.num, 4);
}

TEST_F(DistFontFiles, MeasuringFollowsKerningAndSkipsAbsentCharacters)
{
  DistFont font;
  loadSmallFont(font);
  int n = -1;
  // Only blank glyphs: the origin box, not shrunk.
  expect_box(font.calcTextBox("   ", -1, &n), 0, 0, 0, 0);
  EXPECT_EQ(n, 0);
  // 'A' alone: x -2 .. 6, y -11 .. 3, shrunk by the spread.
  expect_box(font.calcTextBox("A", -1, &n), 0, -9, 4, 1);
  EXPECT_EQ(n, 1);
  // "AB": B starts at 6 - 1 (kerning), its box 3 .. 11.
  expect_box(font.calcTextBox("AB", -1, &n), 0, -9, 9, 1);
  // 'C' is absent: no gap, but it becomes the previous character, so the
  // A,B pair does not apply to "ACB" and nothing applies to "CB".
  expect_box(font.calcTextBox("ACB", -1, &n), 0, -9, 10, 1);
  EXPECT_EQ(n, 2);
  // The second run of 'A' kerning: A,D is -2.
  expect_box(font.calcTextBox("AD", -1, &n), 0, -9, 10, 1);
  // A newline restarts the pen one line lower with no previous character.
  expect_box(font.calcTextBox("A\nB", -1, &n), 0, -9, 4, 13);
  // A length cuts the text; null is empty.
  expect_box(font.calcTextBox("AB", 1, &n), 0, -9, 4, 1);
  expect_box(font.calcTextBox(nullptr, -1, &n), 0, 0, 0, 0);
}

TEST_F(DistFontFiles, RenderTextWritesScaledQuadsPlacedByAlignment)
{
  DistFont font;
  loadSmallFont(font);
  RenderBatch batch;
  StdRenderBatchState st;
  // Size 20: scale 2. Left/top alignment puts the ink box's corner on the
  // rectangle's: start = (10 - 2 * 0, 20 - 2 * -9) = (10, 38).
  font.renderText(batch, make4f(10, 20, 200, 100), DIST_ALIGN_LEFT | DIST_ALIGN_TOP, 0xFF112233u, 20.f, "AB", -1, 0,
                  0, 0, 0, 0x80000000u, &st);
  ASSERT_EQ(batch.entries.num, 1);
  RenderBatch::Chunk* c = batch.entries[0].first;
  EXPECT_EQ(c->bytes, 2 * 168);
  EXPECT_EQ(c->count, 4);
  // The chunk's rectangle: start + 2 x box, grown by 2 x spread.
  vec4f r = c->rect;
  EXPECT_FLOAT_EQ(v_extract_x(r), 10 - 4.f);
  EXPECT_FLOAT_EQ(v_extract_y(r), 38 - 18 - 4.f);
  EXPECT_FLOAT_EQ(v_extract_z(r), 10 + 18 + 4.f);
  EXPECT_FLOAT_EQ(v_extract_w(r), 38 + 2 + 4.f);
  const DistFontVertex* v = (const DistFontVertex*)c->data();
  // 'A': X0 = 10 + 2 x -2, Y0 = 38 - 2 x 11, 16 x 28 pixels.
  const float a[6][4] = {{6, 16, 0.1f, 0.1f}, {22, 16, 0.18f, 0.1f}, {22, 44, 0.18f, 0.38f},
                         {6, 16, 0.1f, 0.1f}, {22, 44, 0.18f, 0.38f}, {6, 44, 0.1f, 0.38f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(v[i].x, a[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, a[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].u, a[i][2]) << i;
    EXPECT_FLOAT_EQ(v[i].v, a[i][3]) << i;
    EXPECT_EQ(v[i].color.u, 0xFF112233u);
    EXPECT_EQ(v[i].color2.u, 0x80000000u);
  }
  // 'B' follows at pen 10 + 2 x 6, kerned by 2 x -1.
  EXPECT_FLOAT_EQ(v[6].x, 10 + 12 - 2 - 4.f);
  batch.clear();

  // Right/bottom and centred alignment move the same ink box.
  font.renderText(batch, make4f(10, 20, 200, 100), DIST_ALIGN_RIGHT | DIST_ALIGN_BOTTOM, 0, 20.f, "A", -1, 0, 0, 0, 0,
                  0, &st);
  v = (const DistFontVertex*)batch.entries[0].first->data();
  EXPECT_FLOAT_EQ(v[1].x - 2 * 2, 200.f);   // ink's right edge on the rectangle's
  EXPECT_FLOAT_EQ(v[2].y - 2 * 2, 100.f);   // ink's bottom edge on the rectangle's
  batch.clear();
  font.renderText(batch, make4f(10, 20, 200, 100), 0, 0, 20.f, "A", -1, 0, 0, 0, 0, 0, &st);
  v = (const DistFontVertex*)batch.entries[0].first->data();
  EXPECT_FLOAT_EQ((v[0].x + v[1].x) * 0.5f, 105.f);
  EXPECT_FLOAT_EQ((v[0].y + v[2].y) * 0.5f, 60.f);
  batch.clear();

  // Only spaces: one chunk of no bytes and no triangles.
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, "   ", -1, 0, 0, 0, 0, 0, &st);
  ASSERT_EQ(batch.entries.num, 1);
  EXPECT_EQ(batch.entries[0].first->bytes, 0);
  EXPECT_EQ(batch.entries[0].first->count, 0);
}

TEST_F(DistFontFiles, LongTextsSplitIntoChunksTheVertexBufferHolds)
{
  DistFont font;
  loadSmallFont(font);
  RenderBatch batch;
  StdRenderBatchState st;
  std::string text(1000, 'A');
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, text.c_str(), -1, 0, 0, 0, 0, 0, &st);
  int glyphs = 0;
  for (RenderBatch::Chunk* c = batch.entries[0].first; c; c = c->next) {
    EXPECT_LE(c->bytes, 65536);
    EXPECT_EQ(c->bytes, c->count * 3 * 28);
    glyphs += c->count / 2;
  }
  EXPECT_EQ(glyphs, 1000);
}

TEST_F(DistFontFiles, PackedParametersSaturate)
{
  DistFont font;
  loadSmallFont(font);
  RenderBatch batch;
  StdRenderBatchState st;
  // Size 20: P = 4 screen pixels. faceEdge 0: alpha 0.5 (1 - 0.5 / 4) =
  // 0.4375 -> 112; shadowEdge 3: 0.5 (1 - 2 / 4) = 0.25 -> 64 (ties to
  // even: 63.75 rounds to 64). Offsets 10 %: 10 x 0.01 x 10 x 0.01 = 0.01
  // texture units across, 0.02 down: red 0.5 (1 - 0.64) = 0.18 -> 46,
  // green 0.5 (1 - 1.28) < 0 -> 0.
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, "A", -1, 0, 10, 10, 3, 0, &st);
  const DistFontVertex* v = (const DistFontVertex*)batch.entries[0].first->data();
  EXPECT_EQ(v[0].params.u, (112u << 24) | (46u << 16) | (0u << 8) | 64u);
  batch.clear();
  // Edges beyond 2P - 1 = 7 give 0 in alpha and blue.
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, "A", -1, 7.5f, 0, 0, 100, 0, &st);
  v = (const DistFontVertex*)batch.entries[0].first->data();
  EXPECT_EQ(v[0].params.a(), 0);
  EXPECT_EQ(v[0].params.b(), 0);
  EXPECT_EQ(v[0].params.r(), 128);
  EXPECT_EQ(dist_param_byte(NAN), 0u);
  EXPECT_EQ(dist_param_byte(2.f), 255u);
}

TEST_F(DistFontFiles, UnloadedFontOrMissingStateDrawsNothing)
{
  DistFont font;
  RenderBatch batch;
  StdRenderBatchState st;
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, "A", -1, 0, 0, 0, 0, 0, &st);
  loadSmallFont(font);
  font.renderText(batch, make4f(0, 0, 10, 10), 5, 0, 20.f, "A", -1, 0, 0, 0, 0, 0, nullptr);  // no own state
  EXPECT_EQ(batch.entries.num, 0);
}

TEST_F(DistFontFiles, IconsByNameAndTheirQuads)
{
  DistIcons icons;
  write("small.txt", small_icons);
  EXPECT_FALSE(icons.load("small.txt"));  // no atlas
  ASSERT_EQ(icons.icons.num, 2);
  EXPECT_EQ(icons.spread, 4);
  EXPECT_EQ(icons.getIconId("moon"), 1);
  EXPECT_EQ(icons.getIconId("Moon"), -1);
  EXPECT_EQ(icons.getIconId("sun"), -1);
  EXPECT_FLOAT_EQ(icons.getOrgW(1), 20.f);
  EXPECT_FLOAT_EQ(icons.getOrgH(1), 10.f);
  EXPECT_FLOAT_EQ(icons.getOrgW(-1), 0.f);
  EXPECT_FLOAT_EQ(icons.getOrgH(2), 0.f);
  EXPECT_FLOAT_EQ(icons.icons[1].u, 0.5f);
  EXPECT_FLOAT_EQ(icons.icons[1].v, 0.25f);

  RenderBatch batch;
  StdRenderBatchState st;
  icons.renderIcon(batch, make4f(100, 50, 1, 0), 2.f, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, &st);
  EXPECT_EQ(batch.entries.num, 0);  // no such icon

  // A quarter turn (cos 0, sin 1): local (lx, ly) -> (x - ly, y + lx).
  icons.renderIcon(batch, make4f(100, 50, 0, 1), 2.f, 0, 0, 1, 2, 0, 0xFF0000FFu, 0xFF00FF00u, 3, 4, 5, &st);
  ASSERT_EQ(batch.entries.num, 1);
  RenderBatch::Chunk* c = batch.entries[0].first;
  EXPECT_EQ(c->bytes, 240);
  EXPECT_EQ(c->count, 2);
  const DistIconVertex* v = (const DistIconVertex*)c->data();
  // Local corners: X0 = -24, Y0 = -24, X1 = Y1 = 24.
  EXPECT_FLOAT_EQ(v[0].x, 100 + 24.f);
  EXPECT_FLOAT_EQ(v[0].y, 50 - 24.f);
  EXPECT_FLOAT_EQ(v[1].x, 100 + 24.f);
  EXPECT_FLOAT_EQ(v[1].y, 50 + 24.f);
  EXPECT_FLOAT_EQ(v[2].u, 24.f / 64);
  EXPECT_FLOAT_EQ(v[2].v, 24.f / 32);
  EXPECT_EQ(v[0].color0.u, 0xFF0000FFu);
  EXPECT_EQ(v[0].color1.u, 0xFF00FF00u);
  EXPECT_EQ(v[0].color4.u, 5u);
  // Offsets in atlas pixels: 1 / 64 across, 2 / 32 down.
  EXPECT_EQ(v[0].params.r(), int(lrintf(0.5f * (1 - 64.f / 64) * 255)));
  EXPECT_EQ(v[0].params.g(), 0);
  // The rectangle: the rotated corners' box grown by the spread, unscaled.
  EXPECT_FLOAT_EQ(v_extract_x(c->rect), 100 - 24 - 4.f);
  EXPECT_FLOAT_EQ(v_extract_w(c->rect), 50 + 24 + 4.f);
}

TEST_F(DistFontFiles, BadIconDescriptorsFail)
{
  const struct { const char* what; const char* text; int kept; } cases[] = {
      {"empty", "", 0},
      {"zero height", "info file=\"i\" scaleW=64 scaleH=0 spread=4\nicons count=0\n", 0},
      {"short icon line", "info file=\"i\" scaleW=64 scaleH=32 spread=4\nicons count=1\nicon \"a\" 1 2 3\n", 0},
      {"unquoted name", "info file=\"i\" scaleW=64 scaleH=32 spread=4\nicons count=1\nicon a 1 2 3 4 5 6 7 8\n", 0},
      {"count past the end", "info file=\"i\" scaleW=64 scaleH=32 spread=4\nicons count=5\nicon \"a\" 1 2 3 4 5 6 7 8\n", 1},
      {"not finite", "info file=\"i\" scaleW=64 scaleH=32 spread=4\nicons count=1\nicon \"a\" 1 2 3 inf 5 6 7 8\n", 0},
  };
  for (const auto& c : cases) {
    DistIcons icons;
    write("bad.txt", c.text);
    EXPECT_FALSE(icons.load("bad.txt")) << c.what;
    EXPECT_EQ(icons.icons.num, c.kept) << c.what;
  }
  // Loading again releases the old icons once the new file is open.
  DistIcons icons;
  write("small.txt", small_icons);
  icons.load("small.txt");
  EXPECT_FALSE(icons.load("missing.txt"));
  EXPECT_EQ(icons.icons.num, 2);
  write("bad.txt", "info file=\"i\" scaleW=64 scaleH=32 spread=4\nicons count=0\n");
  icons.load("bad.txt");
  EXPECT_EQ(icons.icons.num, 0);
}
