// Post effects on a real GL context: the final pass leaves the picture alone
// when no frame colour is laid over it, MLAA's picture reaching the screen
// through it, the rotation of the scene image through the MLAA textures, what MLAA
// does to a staircase and to pictures without one, and the screen textures
// following a resize.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "engine/config.h"
#include "engine/d3d_shaders.h"
#include "engine/gl.h"
#include "engine/passRecorder.h"
#include "engine/postFx.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

// The scene image is the game shell's variable; this program has no shell.
Texture scene_image = nullptr;

namespace {

// A picture as 0xAARRGGBB pixels, rows top-down.
struct Image
{
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[(size_t)y * w + x]; }
};

Image read_texture(Texture tex)
{
  Image img;
  int pitch = 0;
  const uint8_t* p = (const uint8_t*)read_render_texture(tex, &pitch);
  EXPECT_NE(p, nullptr);
  if (!p) return img;
  img.w = tex->real_width;
  img.h = tex->real_height;
  img.px.resize((size_t)img.w * img.h);
  for (int y = 0; y < img.h; ++y) memcpy(&img.px[(size_t)y * img.w], p + (size_t)y * pitch, (size_t)img.w * 4);
  end_read_render_texture(tex);
  return img;
}

Image read_back_buffer()
{
  Image img;
  int pitch = 0;
  const uint8_t* p = capture_front_buffer(&img.w, &img.h, &pitch);
  EXPECT_NE(p, nullptr);
  if (!p) return img;
  img.px.resize((size_t)img.w * img.h);
  for (int y = 0; y < img.h; ++y) memcpy(&img.px[(size_t)y * img.w], p + (size_t)y * pitch, (size_t)img.w * 4);
  release_front_buffer_capture();
  return img;
}

void fill_texture(Texture tex, uint32_t (*pixel)(int x, int y))
{
  int pitch = 0;
  uint8_t* p = (uint8_t*)lock_texture_for_update(tex, &pitch);
  ASSERT_NE(p, nullptr);
  for (int y = 0; y < tex->real_height; ++y)
    for (int x = 0; x < tex->real_width; ++x) {
      uint32_t v = pixel(x, y);
      memcpy(p + (size_t)y * pitch + x * 4, &v, 4);
    }
  ASSERT_TRUE(unlock_texture_update(tex));
}

int count_of(const std::vector<std::string>& marks, const char* name)
{
  return (int)std::count(marks.begin(), marks.end(), std::string(name));
}

uint8_t red_of(uint32_t c) { return (c >> 16) & 255; }

// A busy picture: every pixel different, no two neighbours alike.
uint32_t noise_pixel(int x, int y)
{
  uint32_t h = (uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u;
  h *= 2654435761u;
  return 0xFF000000u | (h >> 8);
}
// A shallow slope: white above y = 10 + x / 4, black below: a staircase of
// runs four pixels long.
uint32_t slope_pixel(int x, int y) { return y < 10 + x / 4 ? 0xFFFFFFFFu : 0xFF000000u; }
// A straight border across the whole width: nothing to smooth.
uint32_t straight_pixel(int, int y) { return y < 20 ? 0xFFFFFFFFu : 0xFF000000u; }
uint32_t flat_pixel(int, int) { return 0xFF4080C0u; }

}  // namespace

class PostFxTest : public GlDeviceTest {
 protected:
  static TempAppDir assets;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    mkdir(assets.path("cache").c_str(), 0755);
    init_post_effects();
    scene_tex = create_screen_render_texture();
  }
  static void TearDownTestSuite()
  {
    release_texture(scene_tex);
    scene_tex = nullptr;
    close_post_effects();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    use_ppaa = false;
    use_postfx = true;
    use_wireframe = false;
    postfx_params = make4f(0.f, 0.f, 0.f, 0.f);
  }
  void TearDown() override
  {
    stop_pass_recording();
    frame_shortcuts = true;
    use_ppaa = false;
    use_wireframe = false;
  }

  // Runs the post effects once and returns the full-screen quads drawn.
  static int post_quads()
  {
    start_pass_recording();
    apply_post_effects();
    stop_pass_recording();
    return count_of(recorded_passes(), PASS_FULLSCREEN_QUAD);
  }
};

TempAppDir PostFxTest::assets;

TEST_F(PostFxTest, FinalPassLeavesThePictureAloneWithoutFrameColour)
{
  // Full and plain pass alike: with strength 0 every pixel passes exactly,
  // drawn by the shader or (the shortcut) copied.
  for (int run = 0; run < 4; ++run) {
    const bool full = run & 1;
    frame_shortcuts = run & 2;
    SCOPED_TRACE(std::string(full ? "postfx_main" : "postfx_none") + (frame_shortcuts ? ", copied" : ", drawn"));
    use_postfx = full;
    fill_texture(scene_tex, noise_pixel);
    postfx_params = make4f(1.f, 0.f, 0.f, 0.f);  // a colour, but no strength
    EXPECT_EQ(post_quads(), frame_shortcuts ? 0 : 1);
    Image out = read_back_buffer();
    ASSERT_EQ(out.w, WIDTH);
    int differing = 0;
    for (int y = 0; y < HEIGHT; ++y)
      for (int x = 0; x < WIDTH; ++x) {
        differing += (out.at(x, y) & 0xFFFFFF) != (noise_pixel(x, y) & 0xFFFFFF);
      }
    EXPECT_EQ(differing, 0);
  }
}

TEST_F(PostFxTest, FrameColourIsLaidOverThePicture)
{
  fill_texture(scene_tex, flat_pixel);
  // Full strength covers everything with the frame colour in both passes.
  for (bool full : {true, false}) {
    use_postfx = full;
    postfx_params = make4f(1.f, 0.f, 0.f, 1.f);
    post_quads();
    EXPECT_EQ(back_buffer_pixel(WIDTH / 2, HEIGHT / 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(back_buffer_pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  }
  // Half strength: the plain pass blends evenly; the full pass blends less at
  // the centre than in the corners.
  postfx_params = make4f(1.f, 1.f, 1.f, 0.5f);
  use_postfx = false;
  post_quads();
  uint8_t plain_centre = red_of(back_buffer_pixel(WIDTH / 2, HEIGHT / 2));
  EXPECT_NEAR(plain_centre, (0x40 + 255) / 2, 1);
  use_postfx = true;
  post_quads();
  uint8_t full_centre = red_of(back_buffer_pixel(WIDTH / 2, HEIGHT / 2));
  uint8_t full_corner = red_of(back_buffer_pixel(0, 0));
  EXPECT_LT(full_centre, plain_centre);
  EXPECT_GT(full_corner, full_centre);

  // Wireframe picks the plain pass even with the full one switched on.
  use_wireframe = true;
  post_quads();
  EXPECT_EQ(red_of(back_buffer_pixel(WIDTH / 2, HEIGHT / 2)), plain_centre);
}

TEST_F(PostFxTest, MlaaRunsItsPassesBeforeTheFinalOne)
{
  // What reaches the screen is the smoothed picture: the final pass (with no
  // frame colour) shows exactly what MLAA alone makes of the staircase, and
  // that is not the staircase itself. Both ways of running MLAA.
  for (bool near_only : {true, false}) {
    SCOPED_TRACE(near_only ? "near edges" : "whole screen");
    mlaa_near_edges_only = near_only;
    fill_texture(scene_tex, slope_pixel);
    apply_mlaa();
    Image smoothed = read_texture(scene_tex);

    fill_texture(scene_tex, slope_pixel);
    use_ppaa = true;
    start_pass_recording();
    apply_post_effects();
    stop_pass_recording();
    use_ppaa = false;
    Image out = read_back_buffer();
    ASSERT_EQ(out.w, smoothed.w);
    ASSERT_EQ(out.px.size(), smoothed.px.size());
    int differing = 0, changed = 0;
    for (int y = 0; y < out.h; ++y)
      for (int x = 0; x < out.w; ++x) {
        differing += (out.at(x, y) & 0xFFFFFF) != (smoothed.at(x, y) & 0xFFFFFF);
        changed += (smoothed.at(x, y) & 0xFFFFFF) != (slope_pixel(x, y) & 0xFFFFFF);
      }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(changed, 50);
    // The final pass is the last one drawn.
    std::vector<std::string> marks = recorded_passes();
    ASSERT_GE(marks.size(), 2u);
    EXPECT_EQ(marks.back(), "postfx");
  }
  mlaa_near_edges_only = true;
}

// Shallow slopes whose steps are longer than the 255 pixels a run count
// holds, beside short ones, and boxes whose corners end runs both ways.
uint32_t long_steps_pixel(int x, int y)
{
  if (x > 400 && x < 440 && y > 30 && y < 90) return 0xFF20A040u;
  if ((x - 100) * (x - 100) + (y - 250) * (y - 250) < 40 * 40) return 0xFFC08000u;
  if (y < 40 + x / 300) return 0xFFFFFFFFu;
  return y < 150 + x / 7 ? 0xFF000000u : 0xFF808080u;
}

// Staircases with steps of 3 to 255 pixels, around every reach of the run
// passes: along rows in the top half, along columns in the bottom half.
int stair_of(int v)
{
  static const int lengths[] = {3, 4, 5, 15, 16, 17, 63, 64, 65, 255};
  int k = 0, end = lengths[0];
  while (k < 9 && v >= end) end += lengths[++k];
  return k;
}
uint32_t stairs_pixel(int x, int y)
{
  if (y < 180) return y < 40 + stair_of(x) * 4 ? 0xFFFFFFFFu : 0xFF000000u;
  return x < 500 + stair_of(y - 180) * 4 ? 0xFF3060A0u : 0xFFE0D0C0u;
}

TEST_F(PostFxTest, MlaaNearEdgesOnlyGivesTheSamePictureAsTheWholeScreenPasses)
{
  // Large enough for runs longer than a count holds.
  ASSERT_TRUE(resize_d3d(640, 360, false, false));
  for (auto pixel : {long_steps_pixel, stairs_pixel, noise_pixel, slope_pixel, straight_pixel, flat_pixel}) {
    Image out[2];
    for (bool near_only : {false, true}) {
      mlaa_near_edges_only = near_only;
      fill_texture(scene_tex, pixel);
      apply_mlaa();
      out[near_only] = read_texture(scene_tex);
    }
    ASSERT_EQ(out[0].px.size(), size_t(640 * 360));
    ASSERT_EQ(out[1].px.size(), out[0].px.size());
    int differing = 0, smoothed = 0;
    for (int y = 0; y < 360; ++y)
      for (int x = 0; x < 640; ++x) {
        differing += out[1].at(x, y) != out[0].at(x, y);
        smoothed += out[0].at(x, y) != pixel(x, y);
      }
    EXPECT_EQ(differing, 0);
    if (pixel == long_steps_pixel || pixel == stairs_pixel || pixel == slope_pixel) {
      EXPECT_GT(smoothed, 300);
    }
  }
  mlaa_near_edges_only = true;
  ASSERT_TRUE(resize_d3d(WIDTH, HEIGHT, false, false));
}

TEST_F(PostFxTest, MlaaHandsTheSceneImageOnEveryFrame)
{
  std::set<Texture> pool = {scene_tex, edge_tex, mlaa_tex_a, mlaa_tex_b, mlaa_tex_c};
  ASSERT_EQ(pool.size(), 5u);
  use_ppaa = true;
  for (int frame = 0; frame < 4; ++frame) {
    fill_texture(scene_tex, slope_pixel);
    Texture before = scene_tex;
    apply_post_effects();
    EXPECT_NE(scene_tex, before) << "frame " << frame;
    // The handles only trade places: the same five textures, all distinct.
    std::set<Texture> now = {scene_tex, edge_tex, mlaa_tex_a, mlaa_tex_b, mlaa_tex_c};
    EXPECT_EQ(now, pool);
  }
}

TEST_F(PostFxTest, MlaaSmoothsAStaircaseAndNothingElse)
{
  use_ppaa = true;
  // Pictures without a staircase come through unchanged.
  for (auto pixel : {flat_pixel, straight_pixel}) {
    fill_texture(scene_tex, pixel);
    apply_mlaa();
    Image out = read_texture(scene_tex);
    int differing = 0;
    for (int y = 0; y < HEIGHT; ++y)
      for (int x = 0; x < WIDTH; ++x) differing += out.at(x, y) != pixel(x, y);
    EXPECT_EQ(differing, 0);
  }

  // The staircase gets grey steps; only pixels next to the border change.
  fill_texture(scene_tex, slope_pixel);
  apply_mlaa();
  Image out = read_texture(scene_tex);
  int grey = 0, far_changed = 0;
  for (int y = 0; y < HEIGHT; ++y)
    for (int x = 0; x < WIDTH; ++x) {
      uint32_t c = out.at(x, y);
      if (c == slope_pixel(x, y)) continue;
      int border = 10 + x / 4;
      if (y < border - 1 || y > border) ++far_changed;
      uint8_t r = red_of(c);
      if (r > 0 && r < 255) ++grey;
    }
  EXPECT_EQ(far_changed, 0);
  EXPECT_GT(grey, WIDTH / 2);
  // The run x = 20..23 between rows 14 (white) and 15 (black) turns up at its
  // left end and down at its right end: the line crosses it from half a
  // pixel above to half a pixel below, so the white pixels take 3/8 and 1/8
  // of black and the black ones 1/8 and 3/8 of white.
  const struct { int x, y; double share_of_other; } ramp[] = {
      {20, 14, 0.375}, {21, 14, 0.125}, {22, 14, 0.0}, {23, 14, 0.0},
      {20, 15, 0.0},   {21, 15, 0.0},   {22, 15, 0.125}, {23, 15, 0.375},
  };
  for (const auto& r : ramp) {
    bool white = slope_pixel(r.x, r.y) == 0xFFFFFFFFu;
    double expected = white ? 255.0 * (1.0 - r.share_of_other) : 255.0 * r.share_of_other;
    EXPECT_NEAR(red_of(out.at(r.x, r.y)), expected, 1.0) << r.x << "," << r.y;
  }
}

TEST_F(PostFxTest, ScreenTexturesFollowAResize)
{
  ASSERT_TRUE(resize_d3d(40, 30, false, false));
  Texture all[] = {scene_tex, edge_tex, mlaa_tex_a, mlaa_tex_b, mlaa_tex_c, gbuf0, gbuf1, gbuf2, light_image};
  for (Texture t : all) {
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->real_width, 40);
    EXPECT_EQ(t->real_height, 30);
  }
  if (fp_effects_tex) {
    EXPECT_EQ(fp_effects_tex->real_width, 40);
    EXPECT_EQ(fp_effects_tex->real_height, 30);
  }
  // A frame at the new size still runs the whole chain over every pixel.
  fill_texture(scene_tex, flat_pixel);
  use_ppaa = true;
  EXPECT_EQ(post_quads(), 6);  // and the final copy
  EXPECT_EQ(back_buffer_pixel(39, 29) & 0xFFFFFF, 0x4080C0u);
  ASSERT_TRUE(resize_d3d(WIDTH, HEIGHT, false, false));
}

TEST_F(PostFxTest, EffectsTargetAddsUpLightBeyondWhite)
{
  // Effects are added up in the effects target: two glows of 0.75 make 1.5,
  // which an eight-bit target would cut at 1.
  if (!rt_format_supports_blending(RT_A16B16G16R16F)) {
    EXPECT_EQ(fp_effects_tex, nullptr);
    GTEST_SKIP() << "no blending into half floats here";
  }
  ASSERT_NE(fp_effects_tex, nullptr);
  ASSERT_EQ(&effect_image, &fp_effects_tex);
  GLuint glow = plain_program("#version 330 core\nout vec4 c;\nvoid main() { c = vec4(0.75, 0.5, 0.25, 1.0); }\n");
  ASSERT_NE(glow, 0u);
  set_render_target(fp_effects_tex, 0, false);
  clear_view_color(0);
  set_blend_additive();
  draw_plain(glow);
  draw_plain(glow);
  float px[4] = {0, 0, 0, 0};
  glReadPixels(WIDTH / 2, HEIGHT / 2, 1, 1, GL_RGBA, GL_FLOAT, px);
  set_blend_none();
  set_back_buffer_target();
  glDeleteProgram(glow);
  EXPECT_FLOAT_EQ(px[0], 1.5f);
  EXPECT_FLOAT_EQ(px[1], 1.0f);
  EXPECT_FLOAT_EQ(px[2], 0.5f);
}
