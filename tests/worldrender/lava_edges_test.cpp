// Lava at high quality ends where the lava does: the surfaces that close its
// shores come down to the ground at the dry cells round it, and no lava is
// painted on the ground itself there (coplanar with the land, it showed as
// glowing lines along the triangle edges of dry slopes).
#include "scene_test_fixture.h"

namespace
{
// A sloping plane, with `lava` a few single cells and a short stream of lava
// 0.5 deep on it.
void slope_with_lava(bool lava)
{
  static const int cells[][2] = {{120, 80}, {126, 84}, {133, 79}, {128, 90}, {129, 91}, {130, 92}, {131, 93}, {132, 94}};
  make_plain_test_world([](int, int z) { return 2.f + float(z) * 0.25f; }, 0xFF404040u, [lava](int x, int z, float) {
    for (const auto& c : cells)
      if (lava && c[0] == x && c[1] == z) return -0.5f;
    return 0.f;
  });
}
}  // namespace

class LavaEdgesTest : public FoglessHighQualityScene
{
 protected:
  struct GBuffer
  {
    std::vector<uint32_t> g0, g1;
    int depth(size_t i) const { return int((g1[i] >> 16) & 255) * 256 + int((g1[i] >> 8) & 255); }
  };
  static GBuffer draw(bool lava)
  {
    slope_with_lava(lava);
    draw_frames();
    return GBuffer{read_texture(gbuf0), read_texture(gbuf1)};
  }
};

TEST_F(LavaEdgesTest, NoLavaIsPaintedOnTheGroundRoundIt)
{
  look_from(scene_doubles::make_camera(make4f(128.f, 40.f, 50.f, 1.f), 0.f, -0.6f));
  GBuffer with = draw(true), without = draw(false);
  int lava = 0, on_ground = 0;
  for (size_t i = 0; i < with.g0.size(); ++i) {
    if (color_distance(with.g0[i] | 0xFF000000u, without.g0[i] | 0xFF000000u) <= 8) continue;
    ++lava;
    on_ground += std::abs(with.depth(i) - without.depth(i)) <= 1;
  }
  ASSERT_GT(lava, 50) << "the camera must see the lava";
  EXPECT_EQ(on_ground, 0) << "of " << lava << " lava pixels";
}
