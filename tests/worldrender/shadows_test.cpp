// Shadow balls on the real device: binning into screen tiles with the split
// of each tile's chunks into records of 8, 4, 2 and 1 spheres, the culls, the
// mesh spheres of an instance, and a read-back of the shade a ball casts.
#include "worldrender/shadows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "inst_test_mesh.h"
#include "object_render_fixture.h"
#include "worldrender/renderInst.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

namespace
{
const float FAR = 512.f;
const float CAM_X = 50.f, CAM_H = 20.f, CAM_Z = 50.f;

class ShadowBallsTest : public ObjectRenderTest<1>
{
 protected:
  static Texture target, depth;

  static void SetUpTestSuite()
  {
    open_assets();
    init_shadow_shaders();
    target = create_render_texture(WIDTH / 4, HEIGHT / 4, RT_A8R8G8B8);
    depth = create_render_texture(WIDTH / 4, HEIGHT / 4, RT_A8R8G8B8);
  }
  static void TearDownTestSuite()
  {
    release_texture(target);
    release_texture(depth);
    close_shadows();
    close_assets();
  }

  // A camera CAM_H above the ground at (CAM_X, CAM_Z) looking straight down
  // (screen up is +z); the sun straight overhead; the quarter depth image
  // holds flat ground at y = 0.
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    Matrix44 itm;
    itm.row[0] = make4f(1, 0, 0, 0);
    itm.row[1] = make4f(0, 0, 1, 0);
    itm.row[2] = make4f(0, -1, 0, 0);
    itm.row[3] = make4f(CAM_X, CAM_H, CAM_Z, 1);
    const Matrix44 proj = scene_projection(1.f, float(WIDTH) / float(HEIGHT));
    cur_view_itm = itm;
    cur_view_tm = invert_matrix(itm);
    cur_glob_tm = cur_view_tm * proj;
    cur_glob_rk = v_abs(cur_glob_tm.row[0]) + v_abs(cur_glob_tm.row[1]) + v_abs(cur_glob_tm.row[2]);
    sky_sun_dir = make4f(0, 1, 0, 0);

    const uint32_t d = uint32_t(CAM_H / FAR * 65535.f);
    set_render_target(depth, 0, false);
    clear_view_color(0xFF000000u | (d >> 8) << 16 | (d & 255) << 8);
    set_texture(9, depth);
    set_texture_filter(9, false);
    set_texture_address(9, 1);
    const float sun[4] = {0, 1, 0, 0};
    set_ps_constants(0, sun, 1);
    const vec4f rays[3] = {itm.row[0] * (FAR / proj.m[0][0]), itm.row[1] * (FAR / proj.m[1][1]), itm.row[2] * FAR};
    set_vs_constants(17, (const float*)rays, 3);
    set_render_target(target, 0, false);
    set_zenable(false);
    start_render_shadows();
  }
  void TearDown() override { set_back_buffer_target(); }

  static int tiles_hit()
  {
    int n = 0;
    for (const ShadowTile& t : shadow_tiles) n += t.current != -1;
    return n;
  }
};
Texture ShadowBallsTest::target, ShadowBallsTest::depth;

TEST_F(ShadowBallsTest, EachTileDrawsFullChunksThenTheRestByItsBits)
{
  struct Case
  {
    int spheres;
    int records[4];  // per tile: 8, 4, 2, 1 spheres
  } cases[] = {
      {1, {0, 0, 0, 1}}, {3, {0, 0, 1, 1}},  {5, {0, 1, 0, 1}},  {8, {1, 0, 0, 0}},
      {15, {1, 1, 1, 1}}, {16, {2, 0, 0, 0}}, {23, {2, 1, 1, 1}}, {0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    start_render_shadows();
    for (int i = 0; i < c.spheres; ++i) render_shadow_ball(make4f(CAM_X, 2.f, CAM_Z, 1.f), 0.3f);
    EXPECT_EQ(shadow_submitted.num, c.spheres);
    const int tiles = tiles_hit();
    if (c.spheres) {
      EXPECT_GT(tiles, 0);
    }
    end_render_shadows();
    for (int p = 0; p < 4; ++p) EXPECT_EQ(shadow_pass_records[p], tiles * c.records[p]) << c.spheres << " pass " << p;
  }
}

TEST_F(ShadowBallsTest, CullsAndClampsTheScreenRectangle)
{
  // 112 units or more away across the ground, after the move away from the
  // sun: never binned, whatever the height; still submitted.
  render_shadow_ball(make4f(CAM_X + 112.f, -3.f, CAM_Z, 1.f), 1.f);
  render_shadow_ball(make4f(CAM_X + 80.f, 3.f, CAM_Z + 80.f, 1.f), 1.f);
  EXPECT_EQ(tiles_hit(), 0);
  EXPECT_EQ(shadow_submitted.num, 2);

  // Behind the camera: culled by the frustum.
  render_shadow_ball(make4f(CAM_X, CAM_H + 30.f, CAM_Z, 1.f), 1.f);
  EXPECT_EQ(tiles_hit(), 0);

  // Larger than the screen: clamped to all 16 x 9 tiles.
  render_shadow_ball(make4f(CAM_X, 5.f, CAM_Z, 1.f), 4.f);
  EXPECT_EQ(tiles_hit(), SHADOW_TILES_X * SHADOW_TILES_Y);

  // Reaching past the right edge only: its columns end at 15.
  start_render_shadows();
  render_shadow_ball(make4f(CAM_X + 19.f, 2.f, CAM_Z, 1.f), 0.5f);
  int max_col = -1;
  for (int i = 0; i < SHADOW_TILES_X * SHADOW_TILES_Y; ++i)
    if (shadow_tiles[i].current != -1) max_col = std::max(max_col, i % SHADOW_TILES_X);
  EXPECT_EQ(max_col, 15);
  start_render_shadows();
}

TEST_F(ShadowBallsTest, InstanceSpheresArePlacedByTheMatrixAndScaled)
{
  ASSERT_TRUE(write_inst_test_mesh(assets.path("balls.mesh"), 0xFFFFFFFFu, {0, 1, 0, 0.5f, 2, 0, 0, 0.25f}));
  SimpleInstRender r;
  r.init("balls.mesh");
  Matrix44 tm = Matrix44::identity();
  tm.row[3] = make4f(CAM_X, 0.f, CAM_Z, 1.f);
  r.renderShadowBalls(tm, 2.f);
  ASSERT_EQ(shadow_submitted.num, 2);
  EXPECT_FLOAT_EQ(shadow_submitted[0].x, CAM_X);
  EXPECT_FLOAT_EQ(shadow_submitted[0].y, 1.f);
  EXPECT_FLOAT_EQ(shadow_submitted[0].r, 1.f);
  EXPECT_FLOAT_EQ(shadow_submitted[1].x, CAM_X + 2.f);
  EXPECT_FLOAT_EQ(shadow_submitted[1].r, 0.5f);
  start_render_shadows();
}

TEST_F(ShadowBallsTest, ABallDarkensOnlyTheGroundUnderItsTiles)
{
  // Nothing submitted: the target is cleared to white and nothing else.
  end_render_shadows();
  for (int y = 0; y < HEIGHT / 4; ++y)
    for (int x = 0; x < WIDTH / 4; ++x) ASSERT_EQ(texture_pixel(target, x, y), 0xFFFFFFFFu);

  set_render_target(target, 0, false);
  render_shadow_ball(make4f(CAM_X, 1.5f, CAM_Z, 1.f), 1.f);
  end_render_shadows();
  int dark = 0;
  for (int y = 0; y < HEIGHT / 4; ++y)
    for (int x = 0; x < WIDTH / 4; ++x) {
      const uint32_t px = texture_pixel(target, x, y);
      const float nx = (x + 0.5f) / (WIDTH / 4) * 2.f - 1.f, ny = 1.f - (y + 0.5f) / (HEIGHT / 4) * 2.f;
      const int col = int((nx + 1.f) * 8.f), row = int((ny + 1.f) * 4.5f);
      if (shadow_tiles[row * SHADOW_TILES_X + col].current == -1) {
        EXPECT_EQ(px, 0xFFFFFFFFu) << x << "," << y;
      }
      // Ground more than two radii from the ball's foot stays lit.
      const float wx = nx * CAM_H / cur_glob_tm.m[0][0], wz = ny * CAM_H / std::fabs(cur_glob_tm.m[2][1]);
      if (wx * wx + wz * wz > 4.f) {
        EXPECT_EQ(px, 0xFFFFFFFFu) << x << "," << y;
      }
      if ((px & 255) < 128) ++dark;
    }
  EXPECT_GT(dark, 0);
  // The texel under the ball is in shade.
  EXPECT_LT(texture_pixel(target, WIDTH / 8, HEIGHT / 8) & 255, 128u);
}

// Each record skips the pixels of its tile its spheres cannot shade: the
// shadow image must come out texel for texel as when every pixel is
// computed, for high and low suns, small and large balls, balls over the
// tile edges and one whose shadow reaches up past the camera.
TEST_F(ShadowBallsTest, SkippedPixelsLeaveTheShadowImageAsComputedOnes)
{
  const auto unit = [](float x, float y, float z) {
    const float l = std::sqrt(x * x + y * y + z * z);
    return make4f(x / l, y / l, z / l, 0.f);
  };
  const vec4f suns[] = {unit(0, 1, 0), unit(0.6f, 0.5f, 0.3f), unit(-0.2f, 0.15f, -0.9f)};
  struct Ball
  {
    float dx, y, dz, r;
  } balls[] = {{0, 1.5f, 0, 3}, {3.1f, 0.4f, -2.2f, 0.3f}, {-6, 2, 4, 4.5f}, {5.5f, 0.2f, 5.5f, 0.05f},
               {-2, 18.5f, 1, 1.2f}, {9, 1, -4, 2.7f}, {-9.5f, 0.5f, -5, 1.9f}, {1, 3, 3, 0.002f}};
  for (const vec4f& sun : suns) {
    sky_sun_dir = sun;
    set_ps_constants(0, (const float*)&sun, 1);
    std::vector<uint32_t> whole, shrunk;
    for (bool shortcuts : {false, true}) {
      frame_shortcuts = shortcuts;
      set_render_target(target, 0, false);
      start_render_shadows();
      // Enough balls per tile for records of every size.
      for (int copy = 0; copy < 3; ++copy)
        for (const Ball& b : balls)
          render_shadow_ball(make4f(CAM_X + b.dx + 0.37f * copy, b.y, CAM_Z + b.dz - 0.21f * copy, 1.f), b.r);
      end_render_shadows();
      std::vector<uint32_t>& out = shortcuts ? shrunk : whole;
      for (int y = 0; y < HEIGHT / 4; ++y)
        for (int x = 0; x < WIDTH / 4; ++x) out.push_back(texture_pixel(target, x, y));
    }
    frame_shortcuts = true;
    int shaded = 0, differing = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
      shaded += whole[i] != 0xFFFFFFFFu;
      differing += whole[i] != shrunk[i];
    }
    EXPECT_GT(shaded, 20) << "sun " << sun[0] << "," << sun[1] << "," << sun[2];
    EXPECT_EQ(differing, 0) << "sun " << sun[0] << "," << sun[1] << "," << sun[2];
  }
  sky_sun_dir = make4f(0, 1, 0, 0);
}
}  // namespace
