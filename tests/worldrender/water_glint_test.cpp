// The sun's glint on water at high quality: the mirror image of the sun on
// the water surface, which does not depend on the ground under the water and
// carries on past the edge of the main land disk into the far ring.
#include <cmath>
#include <random>

#include "scene_test_fixture.h"

namespace
{
// The water surface of the open-sea world: a long gentle swell.
float swell(int x, int z)
{
  return 5.f + 0.2f * std::sin(float(x) * 0.52f) * std::sin(float(z) * 0.63f) + 0.1f * std::sin(float(x + z) * 0.3f);
}

// The whole world under water whose surface is `level(x, z)`, over a bed at
// 0 of one colour, or with `rough_bed` over a bed of cells of random height between 0 and
// 3.5 (ridges that hide the bed behind them and tilt it every cell).
template <typename Surface>
void flood_world(Surface level, bool rough_bed)
{
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> bed(0.f, 3.5f);
  make_plain_test_world([&](int, int) { return rough_bed ? bed(rng) : 0.f; }, 0xFF806040u,
                        [&](int x, int z, float h) { return level(x, z) - h; });
}
}  // namespace

class WaterGlintTest : public FoglessHighQualityScene
{
 protected:
  static std::vector<uint32_t> draw()
  {
    draw_frames();
    return read_texture(scene_image);
  }
};

// The sun (low, straight ahead) is mirrored by a swell; the same swell over a
// flat bed and over a rough bed must glint alike. When the glint took the
// normal of the bed seen through the water, the rough bed broke it into
// hard-edged blocks, one per ridge of the bed.
TEST_F(WaterGlintTest, GlintFollowsTheWaterSurfaceNotTheBedBelow)
{
  look_from(scene_doubles::make_camera(make4f(128.f, 30.f, 40.f, 1.f), 0.f, -0.9f));
  flood_world(swell, false);
  std::vector<uint32_t> flat_bed = draw();
  flood_world(swell, true);
  std::vector<uint32_t> rough_bed = draw();
  ASSERT_EQ(flat_bed.size(), rough_bed.size());

  // The glint's pixels (bright in either picture; the ground seen through
  // the water is dark) must match; the dim ground itself may differ.
  int glinting = 0, differing = 0, worst = 0;
  for (size_t i = 0; i < flat_bed.size(); ++i) {
    if (channel(flat_bed[i], 8) <= 120 && channel(rough_bed[i], 8) <= 120) continue;
    ++glinting;
    int d = color_distance(flat_bed[i], rough_bed[i]);
    worst = std::max(worst, d);
    differing += d > 24;
  }
  ASSERT_GT(glinting, 500) << "the camera must see the glint";
  EXPECT_LT(differing, glinting / 100) << "of " << glinting << " glinting pixels; largest difference " << worst;
}

// A calm sea seen from high up, with the sun's mirror image on the edge of
// the main land disk: the edge cannot be told on the water, in the glint or
// beside it. When only the near water glinted, the bright path ended at the
// disk's edge in a staircase of whole cells; and the near water's last rows,
// with no ground drawn behind them, were lit with a normal the G-buffer never
// received (a dark seam).
TEST_F(WaterGlintTest, EdgeOfTheLandDiskCannotBeSeenOnCalmWater)
{
  look_from(scene_doubles::make_camera(make4f(128.f, 48.f, 0.f, 1.f), 0.f, -0.3f));
  flood_world([](int, int) { return 5.f; }, false);
  std::vector<uint32_t> frame = draw();
  std::vector<uint8_t> stencil = read_scene_stencil();
  ASSERT_EQ(frame.size(), stencil.size());

  // Pairs of pixels one above the other, one of the near water (stencil bit
  // 0) and one of the far ring (stencil 2).
  int pairs = 0, glinting = 0, worst = 0;
  for (int y = 0; y + 1 < d3d_ht; ++y)
    for (int x = 0; x < d3d_wd; ++x) {
      size_t a = size_t(y) * d3d_wd + x, b = a + d3d_wd;
      if ((stencil[a] & 1) == (stencil[b] & 1) || (stencil[a] | stencil[b]) != 3) continue;
      size_t nearer = (stencil[a] & 1) ? a : b, farther = (stencil[a] & 1) ? b : a;
      glinting += channel(frame[nearer], 8) > 160;
      worst = std::max(worst, color_distance(frame[nearer], frame[farther]));
      ++pairs;
    }
  ASSERT_GT(glinting, 10) << "the glint must reach the edge of the land disk";
  EXPECT_LT(worst, 32) << "largest difference across the edge, of " << pairs << " pairs";
}
