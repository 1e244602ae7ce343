// GUI boxes, lines and images on a real device land on the pixels their
// coordinates name: pixel centres on whole coordinates, so an edge on a
// whole coordinate covers half of its pixel on either side, a one-pixel line
// on a whole coordinate fills exactly its column, and nothing is shifted by
// half a pixel.
#include <cstring>

#include "engine/dynVBWriter.h"
#include "engine/gui/guiDraw.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

namespace
{
const uint32_t BLACK = 0xFF000000u, WHITE = 0xFFFFFFFFu;

bool near(uint32_t a, uint32_t b, int tolerance = 2)
{
  for (int s = 0; s < 32; s += 8) {
    int d = int((a >> s) & 255) - int((b >> s) & 255);
    if (d < -tolerance || d > tolerance) return false;
  }
  return true;
}
}  // namespace

class GuiDrawTest : public GlDeviceTest
{
protected:
  static TempAppDir assets;
  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    common_vb_writer.create(COMMON_VB_SIZE);
    init_rounded_box_render();
    init_ui_image_render();
  }
  static void TearDownTestSuite()
  {
    close_ui_image_render();
    close_rounded_box_render();
    common_vb_writer.release();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  // Clears to black, draws the batch, presents.
  static void draw(RenderBatch& batch)
  {
    set_back_buffer_target();
    clear_view(BLACK);
    set_gui_render_states();
    batch.render();
    present_frame();
  }
};
TempAppDir GuiDrawTest::assets;

TEST_F(GuiDrawTest, BoxEdgesOnWholeCoordinatesCoverHalfAPixel)
{
  RenderBatch batch;
  render_rounded_box(batch, make4f(10, 10, 20, 20), v_zero(), WHITE, 0.f, 0, 0, 0, 0u, -1.f);
  // Rounded: the corner pixel stays empty, the middle is filled.
  render_rounded_box(batch, make4f(30, 10, 60, 40), v_splat(10.f), WHITE, 0.f, 0, 0, 0, 0u, -1.f);
  draw(batch);
  struct Case
  {
    int x, y;
    uint32_t color;
  } cases[] = {
      {9, 15, BLACK},       {10, 15, 0xFF808080u}, {11, 15, WHITE}, {19, 15, WHITE},
      {20, 15, 0xFF808080u}, {21, 15, BLACK},      {15, 9, BLACK},  {15, 10, 0xFF808080u},
      {15, 11, WHITE},       {15, 20, 0xFF808080u}, {15, 21, BLACK},
      {31, 11, BLACK},       {45, 25, WHITE},       {45, 11, WHITE}, {59, 39, BLACK},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(near(back_buffer_pixel(c.x, c.y), c.color))
        << c.x << ", " << c.y << ": " << std::hex << back_buffer_pixel(c.x, c.y);
}

TEST_F(GuiDrawTest, OffsetBoxDrawsBehindTheBox)
{
  RenderBatch batch;
  // A red box with a green second box 6 pixels to the lower right.
  render_rounded_box(batch, make4f(10.5f, 10.5f, 20.5f, 20.5f), v_zero(), 0xFFFF0000u, 0.f, 6, 6, 0, 0xFF00FF00u, 0.f);
  draw(batch);
  EXPECT_TRUE(near(back_buffer_pixel(15, 15), 0xFFFF0000u));  // the box wins where both are
  EXPECT_TRUE(near(back_buffer_pixel(24, 24), 0xFF00FF00u));
  EXPECT_TRUE(near(back_buffer_pixel(12, 24), BLACK));
}

TEST_F(GuiDrawTest, OnePixelLinesFillExactlyTheirPixels)
{
  RenderBatch batch;
  render_ui_line(batch, make4f(5, 2, 5, 40), 1.f, WHITE);      // vertical, on column 5
  render_ui_line(batch, make4f(10, 44, 60, 44), 1.f, WHITE);   // horizontal, on row 44
  render_ui_line(batch, make4f(30, 5, 40, 5), 2.f, WHITE);     // two pixels wide: rows 4 and 5
  draw(batch);
  for (int y : {3, 20, 39}) {
    EXPECT_EQ(back_buffer_pixel(5, y), WHITE) << y;
    EXPECT_EQ(back_buffer_pixel(4, y), BLACK) << y;
    EXPECT_EQ(back_buffer_pixel(6, y), BLACK) << y;
  }
  for (int x : {11, 30, 59}) {
    EXPECT_EQ(back_buffer_pixel(x, 44), WHITE) << x;
    EXPECT_EQ(back_buffer_pixel(x, 43), BLACK) << x;
    EXPECT_EQ(back_buffer_pixel(x, 45), BLACK) << x;
  }
  EXPECT_EQ(back_buffer_pixel(35, 3), BLACK);
  EXPECT_EQ(back_buffer_pixel(35, 4), WHITE);
  EXPECT_EQ(back_buffer_pixel(35, 5), WHITE);
  EXPECT_EQ(back_buffer_pixel(35, 6), BLACK);
}

TEST_F(GuiDrawTest, ImageCoversItsRectangleTinted)
{
  Texture tex = create_managed_texture(4, 4);
  ASSERT_NE(tex, nullptr);
  int pitch = 0;
  uint8_t* p = (uint8_t*)lock_texture(tex, &pitch, true);
  ASSERT_NE(p, nullptr);
  for (int y = 0; y < 4; y++) memset(p + y * pitch, 0xFF, 16);
  unlock_texture(tex);

  StdRenderBatchState state;
  init_ui_image_state(state, tex, nullptr);
  RenderBatch batch;
  // Edges through pixel centres: the left and top ones take their pixels,
  // the right and bottom ones do not, so pixels 40..49 by 30..39 exactly.
  render_ui_image(batch, state, make4f(40, 30, 50, 40), 0xFF00FF00u, make4f(0, 0, 1, 1));
  draw(batch);
  EXPECT_EQ(back_buffer_pixel(40, 30), 0xFF00FF00u);
  EXPECT_EQ(back_buffer_pixel(49, 39), 0xFF00FF00u);
  EXPECT_EQ(back_buffer_pixel(39, 35), BLACK);
  EXPECT_EQ(back_buffer_pixel(50, 35), BLACK);
  EXPECT_EQ(back_buffer_pixel(45, 29), BLACK);
  EXPECT_EQ(back_buffer_pixel(45, 40), BLACK);
  release_texture(tex);
}
