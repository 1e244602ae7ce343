// The vertex bytes of GUI boxes, lines and images, without a device.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/gui/guiDraw.h"

namespace
{
struct Drawn
{
  RenderBatch batch;
  const RenderBatch::Chunk* chunk() const { return batch.entries[0].first; }
  const RoundedBoxVertex* box() const { return (const RoundedBoxVertex*)batch.entries[0].first->data(); }
  vec4f rect() const { return batch.entries[0].rect; }
};

void expect_rect(vec4f r, float x0, float y0, float x1, float y1, const char* what)
{
  EXPECT_FLOAT_EQ(r[0], x0) << what;
  EXPECT_FLOAT_EQ(r[1], y0) << what;
  EXPECT_FLOAT_EQ(r[2], x1) << what;
  EXPECT_FLOAT_EQ(r[3], y1) << what;
}
}  // namespace

TEST(GuiDrawBytes, PackingRoundsHalvesToEven)
{
  struct Case
  {
    float value;  // as the caller passes it
    int byte;
  } offsets[] = {{0, 128}, {1, 128}, {2, 130}, {3, 130}, {-1, 126}, {-2, 126}, {500, 255}, {-500, 0}},
    softness[] = {{1.5f, 2}, {2.5f, 2}, {3, 3}, {300, 255}};
  for (const Case& c : offsets) EXPECT_EQ(pack_unit_byte(c.value / 255.f + 0.5f), c.byte) << c.value;
  for (const Case& c : softness) EXPECT_EQ(pack_unit_byte(c.value / 255.f), c.byte) << c.value;
  EXPECT_EQ(pack_unit_byte(std::nanf("")), 0);
}

TEST(GuiDrawBytes, RoundedBoxCoverAndParameters)
{
  const float nan = std::nanf("");
  struct Case
  {
    const char* what;
    float softness, ox, oy, spread, blur;
    float cover[4];
    uint32_t params;
  } cases[] = {
      {"softness 0 is half a pixel", 0.f, 0, 0, 0, -1, {9.5f, 19.5f, 30.5f, 40.5f}, 0x00808080u},
      {"negative softness", -4.f, 0, 0, 0, -1, {9.5f, 19.5f, 30.5f, 40.5f}, 0x00808080u},
      {"NaN softness", nan, 0, 0, 0, -1, {9.5f, 19.5f, 30.5f, 40.5f}, 0x00808080u},
      {"a negative blur ignores the offset box", 2.f, 50, 50, 10, -1, {8, 18, 32, 42}, 0x02B2B28Au},
      {"offset to the lower right widens right and down", 0.5f, 10, 6, 0, 0, {9.5f, 19.5f, 40, 46}, 0x008A8680u},
      {"spread and blur grow it on every side", 0.5f, 0, 0, 3, 2, {5, 15, 35, 45}, 0x00808082u},
  };
  for (const Case& c : cases) {
    Drawn d;
    render_rounded_box(d.batch, make4f(10, 20, 30, 40), make4f(4, 300, 0, 8), 0xFF112233u, c.softness, c.ox, c.oy,
                       c.spread, 0x80000000u, c.blur);
    ASSERT_EQ(d.batch.entries.num, 1);
    EXPECT_EQ(d.chunk()->bytes, 264) << c.what;
    EXPECT_EQ(d.chunk()->count, 2) << c.what;
    expect_rect(d.rect(), c.cover[0], c.cover[1], c.cover[2], c.cover[3], c.what);
    const RoundedBoxVertex* v = d.box();
    // Corners: (l, t), (r, t), (r, b), (l, t), (r, b), (l, b).
    const int xs[6] = {0, 2, 2, 0, 2, 0}, ys[6] = {1, 1, 3, 1, 3, 3};
    for (int i = 0; i < 6; i++) {
      EXPECT_FLOAT_EQ(v[i].x, c.cover[xs[i]]) << c.what << " corner " << i;
      EXPECT_FLOAT_EQ(v[i].y, c.cover[ys[i]]) << c.what << " corner " << i;
      EXPECT_EQ(v[i].params, c.params) << c.what;
    }
    // The unexpanded rectangle's centre and size; radii above 255 stored as 255.
    EXPECT_FLOAT_EQ(v[0].cx, 20.f);
    EXPECT_FLOAT_EQ(v[0].cy, 30.f);
    EXPECT_FLOAT_EQ(v[0].w, 20.f);
    EXPECT_FLOAT_EQ(v[0].h, 20.f);
    EXPECT_EQ(v[0].radii, 0x0804FF00u);  // a = 4th, r = 1st, g = 2nd, b = 3rd
    EXPECT_EQ(v[0].color, 0xFF112233u);
    EXPECT_EQ(v[0].color2, 0x80000000u);
  }
}

TEST(GuiDrawBytes, LineExample)
{
  // A horizontal line from (0, 0) to (10, 0), two pixels wide.
  Drawn d;
  render_ui_line(d.batch, make4f(0, 0, 10, 0), 2.f, 0xFFFFFFFFu);
  ASSERT_EQ(d.batch.entries.num, 1);
  EXPECT_EQ(d.chunk()->bytes, 264);
  const RoundedBoxVertex* v = d.box();
  const float corners[6][2] = {{0, -1}, {10, -1}, {10, 1}, {0, -1}, {10, 1}, {0, 1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].x, corners[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, corners[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].cx, 5.f);
    EXPECT_FLOAT_EQ(v[i].cy, 0.f);
    EXPECT_FLOAT_EQ(v[i].w, 15.f);  // three times the half extents (5, 1)
    EXPECT_FLOAT_EQ(v[i].h, 3.f);
    EXPECT_EQ(v[i].radii, 0u);
    EXPECT_EQ(v[i].color2, 0u);
    EXPECT_EQ(v[i].params, 0x00808080u);
    EXPECT_EQ(v[i].blur, 0.f);
  }
  expect_rect(d.rect(), -0.5f, -1.5f, 10.5f, 1.5f, "bounds");

  // A line of zero length has no direction: nothing is drawn.
  Drawn z;
  render_ui_line(z.batch, make4f(3, 3, 3, 3), 2.f, 0xFFFFFFFFu);
  EXPECT_EQ(z.batch.entries.num, 0);
}

TEST(GuiDrawBytes, ImageCornersAndTextureCoordinates)
{
  RenderBatch batch;
  StdRenderBatchState state;
  init_ui_image_state(state, nullptr, nullptr);
  EXPECT_EQ(state.stride, 20);
  render_ui_image(batch, state, make4f(1, 2, 3, 4), 0xFF00FF00u, make4f(0.25f, 0.5f, 0.75f, 1.f));
  ASSERT_EQ(batch.entries.num, 1);
  EXPECT_EQ(batch.entries[0].first->bytes, 120);
  const UiImageVertex* v = (const UiImageVertex*)batch.entries[0].first->data();
  const float expect[6][4] = {{1, 2, 0.25f, 0.5f}, {3, 2, 0.75f, 0.5f}, {3, 4, 0.75f, 1}, {1, 2, 0.25f, 0.5f},
                              {3, 4, 0.75f, 1},    {1, 4, 0.25f, 1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(v[i].x, expect[i][0]);
    EXPECT_EQ(v[i].y, expect[i][1]);
    EXPECT_EQ(v[i].u, expect[i][2]);
    EXPECT_EQ(v[i].v, expect[i][3]);
    EXPECT_EQ(v[i].color, 0xFF00FF00u);
  }
}
