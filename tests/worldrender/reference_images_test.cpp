// Reference pictures: the fixed world from the fixed camera through the whole
// frame (scene passes and post effects) at both qualities, and at high
// quality with MLAA, compared with PNGs kept in tests/worldrender/ref/.
// llvmpipe renders the same picture whatever its thread count, so the
// tolerance only has to absorb small driver changes. QM_UPDATE_REFS=1 writes
// the pictures instead of comparing them; a failed comparison leaves the
// picture it got in the temp folder ($TMPDIR, else /tmp).
#include <cstdlib>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "engine/postFx.h"
#include "scene_objects.h"
#include "scene_test_fixture.h"
#include "support/test_dir.h"

namespace
{

enum { REF_W = 192, REF_H = 108 };
// Channel differences up to this are noise; beyond it a pixel differs.
const int CHANNEL_TOLERANCE = 3;
// Differing pixels allowed, per thousand.
const int DIFFERING_PER_MILLE = 2;

std::string ref_path(const std::string& name)
{
  return std::string(QM_SOURCE_DIR) + "/tests/worldrender/ref/" + name;
}

// The back buffer as RGBA bytes, rows top-down.
std::vector<uint8_t> back_buffer_rgba()
{
  int w = 0, h = 0, pitch = 0;
  const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
  std::vector<uint8_t> out;
  if (!p) return out;
  out.resize(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* s = p + size_t(y) * pitch + x * 4;  // B, G, R, A
      uint8_t* d = &out[(size_t(y) * w + x) * 4];
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = 255;
    }
  release_front_buffer_capture();
  return out;
}

void compare_with_reference(const std::string& name)
{
  std::vector<uint8_t> got = back_buffer_rgba();
  ASSERT_EQ(got.size(), size_t(REF_W) * REF_H * 4);
  const std::string path = ref_path(name);
  const char* update = getenv("QM_UPDATE_REFS");
  if (update && *update && *update != '0') {
    ASSERT_TRUE(stbi_write_png(path.c_str(), REF_W, REF_H, 4, got.data(), REF_W * 4)) << path;
    return;
  }
  int w = 0, h = 0, n = 0;
  uint8_t* ref = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(ref, nullptr) << path << " is missing: run the test with QM_UPDATE_REFS=1 to make it";
  ASSERT_EQ(w, REF_W);
  ASSERT_EQ(h, REF_H);
  int differing = 0, worst = 0;
  for (int i = 0; i < REF_W * REF_H; ++i) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(got[i * 4 + c]) - int(ref[i * 4 + c])));
    worst = std::max(worst, d);
    differing += d > CHANNEL_TOLERANCE;
  }
  stbi_image_free(ref);
  EXPECT_LE(differing, REF_W * REF_H * DIFFERING_PER_MILLE / 1000) << "largest channel difference " << worst;
  if (testing::Test::HasFailure()) {
    std::string out = test_temp_root() + "/qm_got_" + name;
    stbi_write_png(out.c_str(), REF_W, REF_H, 4, got.data(), REF_W * 4);
    ADD_FAILURE() << "the picture drawn is in " << out;
  }
}

}  // namespace

template <int QUALITY>
class ReferenceImageTest : public SceneFixture<QUALITY>
{
 protected:
  void SetUp() override
  {
    SceneFixture<QUALITY>::SetUp();
    this->resize(REF_W, REF_H);
    use_postfx = true;
  }
  void TearDown() override
  {
    SceneFixture<QUALITY>::TearDown();
    this->resize(GlDeviceTest::WIDTH, GlDeviceTest::HEIGHT);
  }

  static void draw_frame_picture()
  {
    // Two frames after two ticks, as a running game shows them: the land
    // textures blend the last two refreshes, so both must hold this world
    // (the resize in SetUp emptied them).
    for (int i = 0; i < 2; ++i) {
      invalidate_land_textures();
      render_scene(0.02f);
      apply_post_effects();
    }
  }
};

typedef ReferenceImageTest<0> LowQualityReferenceImageTest;
typedef ReferenceImageTest<1> HighQualityReferenceImageTest;

TEST_F(LowQualityReferenceImageTest, FixedWorldFromFixedCamera)
{
  draw_frame_picture();
  compare_with_reference("scene_low.png");
}

TEST_F(HighQualityReferenceImageTest, FixedWorldFromFixedCamera)
{
  draw_frame_picture();
  compare_with_reference("scene_high.png");
}

TEST_F(HighQualityReferenceImageTest, FixedWorldWithAntiAliasing)
{
  use_ppaa = true;
  draw_frame_picture();
  compare_with_reference("scene_high_aa.png");
}

// The same world with a castle, a village, trees, a portal and live
// effects, at both qualities.
template <int QUALITY>
class PopulatedReferenceImageTest : public ReferenceImageTest<QUALITY>
{
 protected:
  static void SetUpTestSuite()
  {
    ReferenceImageTest<QUALITY>::SetUpTestSuite();
    ASSERT_TRUE(scene_objects::open(SceneFixture<QUALITY>::assets));
  }
  static void TearDownTestSuite()
  {
    scene_objects::close();
    ReferenceImageTest<QUALITY>::TearDownTestSuite();
  }
  void SetUp() override
  {
    ReferenceImageTest<QUALITY>::SetUp();
    scene_objects::populate();
  }

  // The frame's shortcuts (the land drawn in parts, only the vertices in
  // view written, the horizon quads out of view left out, the final copy,
  // shadow-ball pixels skipped where no sphere reaches, the effects composite
  // limited to the pixels the effects reached) leave every
  // pixel as the whole passes draw it, at a size where the shadow tiles and
  // the effects cover many pixels.
  static void expect_shortcuts_keep_the_picture()
  {
    SceneFixture<QUALITY>::resize(640, 360);
    std::vector<uint8_t> whole, shortcut;
    for (bool on : {false, true}) {
      frame_shortcuts = on;
      ReferenceImageTest<QUALITY>::draw_frame_picture();
      (on ? shortcut : whole) = back_buffer_rgba();
      if (QUALITY == 1 && on) {
        EXPECT_GT(land_render_stats.horizon_drawn_quads, 0);
        EXPECT_LT(land_render_stats.horizon_drawn_quads, land_render_stats.horizon_quads / 2)
            << "the horizon behind the camera is left out";
      }
    }
    frame_shortcuts = true;
    ASSERT_EQ(whole.size(), size_t(640) * 360 * 4);
    ASSERT_EQ(whole.size(), shortcut.size());
    int differing = 0, worst = 0;
    for (size_t i = 0; i < whole.size(); i += 4) {
      int d = 0;
      for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(whole[i + c]) - int(shortcut[i + c])));
      worst = std::max(worst, d);
      differing += d != 0;
    }
    EXPECT_EQ(differing, 0) << "largest channel difference " << worst;
  }
};

typedef PopulatedReferenceImageTest<0> LowQualityPopulatedImageTest;
typedef PopulatedReferenceImageTest<1> HighQualityPopulatedImageTest;

TEST_F(LowQualityPopulatedImageTest, CastleVillageTreesPortalAndEffects)
{
  draw_frame_picture();
  compare_with_reference("scene_objects_low.png");
}

TEST_F(HighQualityPopulatedImageTest, CastleVillageTreesPortalAndEffects)
{
  draw_frame_picture();
  compare_with_reference("scene_objects_high.png");
}

TEST_F(LowQualityPopulatedImageTest, ShortcutsKeepThePicture) { expect_shortcuts_keep_the_picture(); }

TEST_F(HighQualityPopulatedImageTest, ShortcutsKeepThePicture) { expect_shortcuts_keep_the_picture(); }
