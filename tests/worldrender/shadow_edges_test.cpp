// The soft shadow of the shadow balls at high quality stops at the silhouettes
// of nearer things: a shaded slope seen just above an unshaded ridge in front
// of it is as dark as where no ridge stands.
#include "scene_test_fixture.h"
#include "worldrender/shadows.h"

namespace
{
// Flat ground at 0, with `ridge` a ridge of height 6 across z = 60..62, and a
// slope rising from z = 70 by one unit in two, all of one colour.
void ridge_and_slope_world(bool ridge)
{
  make_plain_test_world(
      [ridge](int, int z) {
        if (z >= 70 && z < 150) return float(z - 70) * 0.5f;
        return ridge && z >= 60 && z <= 62 ? 6.f : 0.f;
      },
      0xFF70A050u, [](int, int, float) { return 0.f; });
}

// The sun high from +x; a ball between it and the slope shades the slope
// round z = 78 and not the ridge.
const float SUN[3] = {0.707107f, 0.707107f, 0.f};
void slope_shadow(float)
{
  const float t = 30.f;
  render_shadow_ball(make4f(128.f + SUN[0] * t, 4.f + SUN[1] * t, 78.f, 1.f), 18.f);
}
}  // namespace

class ShadowEdgesTest : public FoglessHighQualityScene
{
 protected:
  bool saved_shadows = true;
  void SetUp() override
  {
    FoglessHighQualityScene::SetUp();
    saved_shadows = use_obj_shadows;
    use_obj_shadows = true;
    init_shadow_shaders();
    set_sun_direction(make4f(SUN[0], SUN[1], SUN[2], 0.f), false);
    render_gameobj_shadow = slope_shadow;
    look_from(scene_doubles::make_camera(make4f(128.f, 10.f, 40.f, 1.f), 0.f, -0.05f));
  }
  void TearDown() override
  {
    render_gameobj_shadow = nullptr;
    use_obj_shadows = saved_shadows;
    close_shadows();
    set_sun_direction(make4f(0.f, 1.f, 3.f, 0.f), false);
    FoglessHighQualityScene::TearDown();
  }

  struct Picture
  {
    std::vector<uint32_t> colour, g1;
    std::vector<uint8_t> stencil;
    int depth(size_t i) const { return int((g1[i] >> 16) & 255) * 256 + int((g1[i] >> 8) & 255); }
  };
  static Picture draw(bool ridge)
  {
    ridge_and_slope_world(ridge);
    draw_frames();
    return Picture{read_texture(scene_image), read_texture(gbuf1), read_scene_stencil()};
  }
};

// The slope is shaded by a ball; the ridge in front of it is not.
TEST_F(ShadowEdgesTest, ShadeStaysUpToTheSilhouetteOfANearerRidge)
{
  Picture with = draw(true), without = draw(false);
  // The slope's pixels seen over the ridge, up to eight rows above its
  // silhouette, against the same pixels drawn without the ridge.
  int compared = 0, worst = 0;
  double sum = 0;
  for (int x = d3d_wd / 4; x < 3 * d3d_wd / 4; ++x) {
    int edge = -1;
    for (int y = d3d_ht - 1; y > 0 && edge < 0; --y) {
      size_t above = size_t(y - 1) * d3d_wd + x, here = above + d3d_wd;
      if ((with.stencil[above] & 1) && (with.stencil[here] & 1) && with.depth(above) > with.depth(here) + 1000) edge = y;
    }
    if (edge < 0) continue;
    for (int y = edge - 1; y >= 0 && y >= edge - 8; --y) {
      size_t i = size_t(y) * d3d_wd + x;
      if (std::abs(with.depth(i) - without.depth(i)) > 64) continue;
      int d = channel(with.colour[i], 8) - channel(without.colour[i], 8);
      sum += d;
      worst = std::max(worst, std::abs(d));
      ++compared;
    }
  }
  ASSERT_GT(compared, 100) << "the camera must see the slope over the ridge";
  // When the blur mixed the ridge's light into the slope's shade, the slope
  // was lighter by 9 on average (16 right above the silhouette): a bright
  // band along every silhouette in the shade.
  EXPECT_LT(sum / compared, 3.0) << "largest difference " << worst;
}
