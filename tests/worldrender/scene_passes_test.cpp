// The scene passes on a real GL context, at both qualities: the passes of a
// frame in their order, the stencil values they leave, the sky drawn only on
// empty stencil, every pixel of the scene image written, wireframe frames,
// the paused frame, a resize, the scene grab; and the camera arithmetic
// (inverse, projection, listener velocity across the wrap seam).
#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "engine/passRecorder.h"
#include "scene_test_fixture.h"
#include "worldrender/commonFx.h"

namespace
{

const char* const Q = PASS_FULLSCREEN_QUAD;

// The named marks of one frame (render_scene, then the post effects without
// MLAA), full-screen quads left out.
const std::vector<std::string> FORWARD_FRAME = {
    "scene", "land update", "forward", "land", "objects", "lava", "water", "sky", "debug vis", "effects",
    "post effects", "postfx"};
const std::vector<std::string> DEFERRED_FRAME = {
    "scene", "land update", "g-buffer", "land", "objects", "lava", "water", "shadows", "shadow blur",
    "shadow blur", "light", "horizon", "sky", "composite", "debug vis", "effects", "post effects", "postfx"};

std::vector<std::string> record_frame(float t)
{
  start_pass_recording();
  render_scene(t);
  apply_post_effects();
  stop_pass_recording();
  return recorded_passes();
}

// The scene's own passes in the record; the modules it calls may mark passes
// of their own inside them (the land renderer's texture passes), which this
// leaves out with the quads.
std::vector<std::string> named(const std::vector<std::string>& marks)
{
  std::set<std::string> scene_marks(DEFERRED_FRAME.begin(), DEFERRED_FRAME.end());
  scene_marks.insert(FORWARD_FRAME.begin(), FORWARD_FRAME.end());
  std::vector<std::string> out;
  for (const std::string& m : marks)
    if (scene_marks.count(m)) out.push_back(m);
  return out;
}

// The full-screen quads drawn after each occurrence of the mark `name`,
// before the next named mark.
std::vector<int> quads_after(const std::vector<std::string>& marks, const std::string& name)
{
  std::vector<int> out;
  for (size_t i = 0; i < marks.size(); ++i) {
    if (marks[i] != name) continue;
    int n = 0;
    while (i + 1 + n < marks.size() && marks[i + 1 + n] == Q) ++n;
    out.push_back(n);
  }
  return out;
}

const uint32_t SENTINEL = 0x12345678u;

// Pixels of the scene image still holding the sentinel after a frame.
int unwritten_pixels()
{
  set_render_target(scene_image, 0, false);
  clear_view_color(SENTINEL);
  set_back_buffer_target();
  render_scene(0.02f);
  std::vector<uint32_t> px = read_texture(scene_image);
  return (int)std::count(px.begin(), px.end(), SENTINEL);
}

}  // namespace

// ------------------------------------------------------------ both qualities --

template <int QUALITY>
class ScenePassTest : public SceneFixture<QUALITY>
{
 protected:
  static const std::vector<std::string>& expected_frame() { return QUALITY ? DEFERRED_FRAME : FORWARD_FRAME; }

  // Stencil values this quality may leave.
  // At high quality the horizon sets bit 1 wherever it passes the depth test,
  // over land too (3).
  static std::set<int> allowed_stencil() { return QUALITY ? std::set<int>{0, 1, 2, 3} : std::set<int>{0, 1}; }
};

typedef ScenePassTest<0> ForwardScenePassTest;
typedef ScenePassTest<1> DeferredScenePassTest;

#define SCENE_PASS_TESTS(Fixture)                                                                              \
  TEST_F(Fixture, FrameRunsItsPassesInOrder)                                                                   \
  {                                                                                                            \
    std::vector<std::string> marks = record_frame(0.02f);                                                      \
    EXPECT_EQ(named(marks), expected_frame());                                                                 \
    /* Each full-screen pass of the frame draws one quad; the others none. Without a frame colour the */     \
    /* final pass copies the picture instead. */                                                               \
    for (const char* pass : {"shadow blur", "light", "composite"})                                             \
      for (int n : quads_after(marks, pass)) EXPECT_EQ(n, 1) << pass;                                          \
    for (const char* pass : {"scene", "forward", "g-buffer", "sky", "horizon", "effects", "postfx"})           \
      for (int n : quads_after(marks, pass)) EXPECT_EQ(n, 0) << pass;                                          \
    /* With anti-aliasing the post effects add the 6 MLAA passes and nothing else changes. */                  \
    use_ppaa = true;                                                                                           \
    marks = record_frame(0.02f);                                                                               \
    std::vector<std::string> post(std::find(marks.begin(), marks.end(), "post effects"), marks.end());        \
    std::vector<std::string> scene(marks.begin(), marks.end() - post.size());                                  \
    std::vector<std::string> expected_scene(expected_frame().begin(), expected_frame().end() - 2);            \
    EXPECT_EQ(named(scene), expected_scene);                                                                   \
    EXPECT_EQ(std::count(post.begin(), post.end(), std::string(Q)), 6);                                        \
  }                                                                                                            \
                                                                                                               \
  TEST_F(Fixture, EveryPixelOfTheSceneImageIsWritten)                                                          \
  {                                                                                                            \
    EXPECT_EQ(unwritten_pixels(), 0);                                                                          \
    use_wireframe = true;                                                                                      \
    EXPECT_EQ(unwritten_pixels(), 0);                                                                          \
    use_wireframe = false;                                                                                     \
    /* After a resize the frame still covers the whole, new image. */                                         \
    this->resize(80, 40);                                                                                      \
    EXPECT_EQ(scene_image->real_width, 80);                                                                    \
    EXPECT_EQ(unwritten_pixels(), 0);                                                                          \
    Texture screen[] = {scene_image, gbuf0, gbuf1, gbuf2, light_image, edge_tex, mlaa_tex_a, mlaa_tex_b,       \
                        mlaa_tex_c};                                                                           \
    for (Texture t : screen) {                                                                                 \
      EXPECT_EQ(t->real_width, 80);                                                                            \
      EXPECT_EQ(t->real_height, 40);                                                                           \
    }                                                                                                          \
    this->resize(GlDeviceTest::WIDTH, GlDeviceTest::HEIGHT);                                                   \
  }                                                                                                            \
                                                                                                               \
  TEST_F(Fixture, StencilHoldsOnlyItsValuesAndTheSkyOnlyEmptyPixels)                                           \
  {                                                                                                            \
    render_scene(0.02f);                                                                                       \
    std::vector<uint32_t> frame = read_texture(scene_image);                                                   \
    std::vector<uint8_t> stencil = this->read_scene_stencil();                                                 \
    std::set<int> seen(stencil.begin(), stencil.end());                                                        \
    for (int v : seen) EXPECT_TRUE(allowed_stencil().count(v)) << "stencil value " << v;                       \
    EXPECT_EQ(seen, allowed_stencil()); /* the camera sees every kind */                                       \
    /* The sky alone, everywhere: stencil-0 pixels show exactly it, covered ones do not. */                    \
    set_render_target(scene_image, 0, false);                                                                  \
    set_stencil_test(0, 0, 8);                                                                                 \
    set_zenable(false);                                                                                        \
    render_sky();                                                                                              \
    std::vector<uint32_t> sky = read_texture(scene_image);                                                     \
    int sky_pixels = 0, sky_over_world = 0, world_pixels = 0;                                                  \
    for (size_t i = 0; i < frame.size(); ++i) {                                                                \
      if (stencil[i] == 0) {                                                                                   \
        ++sky_pixels;                                                                                          \
        EXPECT_EQ(frame[i], sky[i]) << "pixel " << i;                                                          \
      } else {                                                                                                 \
        ++world_pixels;                                                                                        \
        sky_over_world += frame[i] == sky[i];                                                                  \
      }                                                                                                        \
    }                                                                                                          \
    EXPECT_GT(sky_pixels, 0);                                                                                  \
    EXPECT_LT(sky_over_world, world_pixels / 50);                                                              \
  }                                                                                                            \
                                                                                                               \
  TEST_F(Fixture, WireframeFrameShowsGreyInsteadOfTheSky)                                                      \
  {                                                                                                            \
    use_wireframe = true;                                                                                      \
    std::vector<std::string> marks = record_frame(0.02f);                                                      \
    EXPECT_EQ(std::count(marks.begin(), marks.end(), std::string("sky")), 0);                                  \
    std::vector<uint32_t> frame = read_texture(scene_image);                                                   \
    std::vector<uint8_t> stencil = this->read_scene_stencil();                                                 \
    int grey = 0, empty = 0;                                                                                   \
    for (size_t i = 0; i < frame.size(); ++i) {                                                                \
      if (stencil[i] != 0) continue;                                                                           \
      ++empty;                                                                                                 \
      grey += (frame[i] & 0xFFFFFF) == 0xB4B4B4u;                                                              \
    }                                                                                                          \
    EXPECT_GT(empty, 0);                                                                                       \
    EXPECT_EQ(grey, empty);                                                                                    \
  }                                                                                                            \
                                                                                                               \
  TEST_F(Fixture, PausedFrameStandsAtTheLatestTick)                                                            \
  {                                                                                                            \
    prev_frame_color = make4f(0.f, 0.f, 0.f, 0.f);                                                             \
    cur_frame_color = make4f(1.f, 0.5f, 0.f, 0.8f);                                                            \
    render_scene(0.01f);                                                                                       \
    EXPECT_FLOAT_EQ(postfx_params[3], 0.8f * 0.2f);                                                            \
    EXPECT_FLOAT_EQ(common_fx_stats.last_t, 0.01f);                                                        \
    world_paused = true;                                                                                       \
    render_scene(0.01f);                                                                                       \
    EXPECT_FLOAT_EQ(postfx_params[3], 0.8f);                                                                   \
    EXPECT_FLOAT_EQ(postfx_params[1], 0.5f);                                                                   \
    EXPECT_FLOAT_EQ(common_fx_stats.last_t, 0.05f);                                                        \
    EXPECT_FLOAT_EQ(common_fx_stats.last_f, 1.f);                                                          \
    /* The camera still moves with the real time. */                                                           \
    EXPECT_FLOAT_EQ(scene_doubles::camera_view_calls.back(), 0.01f);                                           \
  }                                                                                                            \
                                                                                                               \
  TEST_F(Fixture, SceneGrabBecomesTheLoadingScreenBackground)                                                  \
  {                                                                                                            \
    set_back_buffer_target();                                                                                  \
    clear_view(0xFF203040u);                                                                                   \
    loading_image_state.texture = nullptr;                                                                     \
    grab_scene_image();                                                                                        \
    EXPECT_EQ(loading_image_state.texture, scene_image);                                                       \
    EXPECT_EQ(texture_pixel(scene_image, 5, 5), 0xFF203040u);                                                  \
  }

SCENE_PASS_TESTS(ForwardScenePassTest)
SCENE_PASS_TESTS(DeferredScenePassTest)

TEST_F(DeferredScenePassTest, ShadowPassesRunWithoutObjectShadows)
{
  int shadow_calls = 0;
  static int* counter = &shadow_calls;
  render_gameobj_shadow = [](float) { ++*counter; };
  use_obj_shadows = false;
  std::vector<std::string> marks = record_frame(0.02f);
  use_obj_shadows = true;
  EXPECT_EQ(shadow_calls, 0);
  EXPECT_EQ(std::count(marks.begin(), marks.end(), std::string("shadow blur")), 2);
  record_frame(0.02f);
  EXPECT_EQ(shadow_calls, 1);
}

TEST_F(DeferredScenePassTest, GBufferHoldsTheSurfacesTheLightPassReads)
{
  render_scene(0.02f);
  std::vector<uint8_t> stencil = read_scene_stencil();
  std::vector<uint32_t> g1 = read_texture(gbuf1);
  std::vector<uint32_t> g2 = read_texture(gbuf2);
  std::vector<uint32_t> lit = read_texture(light_image);
  int covered = 0, sane = 0;
  for (size_t i = 0; i < stencil.size(); ++i) {
    if (!(stencil[i] & 1)) continue;
    ++covered;
    // Depth within the far plane and in front of the camera, a unit normal
    // that is not pointing down, a lit colour that is not black.
    float depth = (channel(g1[i], 16) * 256 + channel(g1[i], 8)) / 65535.f;
    float nx = channel(g2[i], 16) / 127.5f - 1.f, ny = channel(g2[i], 8) / 127.5f - 1.f,
          nz = channel(g2[i], 0) / 127.5f - 1.f;
    float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    bool ok = depth > 0.f && depth < 1.f && std::fabs(len - 1.f) < 0.05f && ny > -0.1f && (lit[i] & 0xFFFFFF) != 0;
    sane += ok;
  }
  EXPECT_GT(covered, 0);
  EXPECT_GE(sane, covered * 99 / 100);
}

// ---------------------------------------------------------- camera arithmetic --

TEST(SceneCamera, InverseUndoesTheCameraMatrix)
{
  Matrix44 cam = scene_doubles::make_camera(make4f(10.f, 20.f, -30.f, 1.f), 0.7f, -0.3f);
  Matrix44 p = cam * invert_matrix(cam);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(p.m[r][c], r == c ? 1.f : 0.f, 1e-5f) << r << "," << c;
  // A point at the camera is at the origin of view space, one ahead of it at
  // view depth 1.
  vec4f ahead = v_transform(cam.row[3] + cam.row[2], invert_matrix(cam));
  EXPECT_NEAR(ahead[2], 1.f, 1e-5f);
  // A singular matrix gives the identity instead of infinities.
  Matrix44 zero;
  memset(&zero, 0, sizeof(zero));
  Matrix44 r = invert_matrix(zero), id = Matrix44::identity();
  EXPECT_EQ(memcmp(&r, &id, sizeof(r)), 0);
}

TEST(SceneCamera, ProjectionNarrowsWithZoomAndKeepsItsPlanes)
{
  const struct { float zoom; double fov_degrees; } cases[] = {{1.f, 74.0}, {2.f, 37.0}, {8.f, 9.25}};
  for (const auto& c : cases) {
    Matrix44 p = scene_projection(c.zoom, 16.f / 9.f);
    EXPECT_NEAR(2.0 * std::atan(1.0 / p.m[1][1]) * 180.0 / M_PI, c.fov_degrees, 0.01) << c.zoom;
    EXPECT_NEAR(p.m[0][0], p.m[1][1] / (16.f / 9.f), 1e-6f);
    // Near 0.1 maps to depth 0, far 512 to depth 1.
    for (float z : {0.1f, 512.f}) {
      float depth = (z * p.m[2][2] + p.m[3][2]) / z;
      EXPECT_NEAR(depth, z < 1.f ? 0.f : 1.f, 1e-4f);
    }
  }
  // A zoom that is not positive keeps the field of view of zoom 1.
  EXPECT_FLOAT_EQ(scene_projection(0.f, 1.f).m[1][1], scene_projection(1.f, 1.f).m[1][1]);
}

TEST(SceneCamera, ListenerVelocityTakesTheShortWayRoundTheWorld)
{
  const struct { vec4f pos, prev, vel; } cases[] = {
      {make4f(0.5f, 0.f, 0.f, 1.f), make4f(255.5f, 0.f, 0.f, 1.f), make4f(20.f, 0.f, 0.f, 0.f)},     // across the seam
      {make4f(255.5f, 3.f, 0.f, 1.f), make4f(0.5f, 1.f, 0.f, 1.f), make4f(-20.f, 40.f, 0.f, 0.f)},   // back, y unwrapped
      {make4f(10.f, 0.f, 131.f, 1.f), make4f(10.f, 0.f, 2.f, 1.f), make4f(0.f, 0.f, -2540.f, 0.f)},  // z wraps too
      {make4f(1.f, 300.f, 1.f, 1.f), make4f(0.f, 0.f, 0.f, 1.f), make4f(20.f, 6000.f, 20.f, 0.f)},
  };
  for (const auto& c : cases) {
    vec4f v = listener_velocity(c.pos, c.prev);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], c.vel[i], 1e-3f) << i;
  }
}
