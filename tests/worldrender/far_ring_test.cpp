// The far ring of the high-quality frame (the land beyond the main disk)
// shows what the main disk would show there: ground in its cell and top
// colours, and water as water rather than as the ground under it.
#include "scene_test_fixture.h"

namespace
{
// Mean colour of the pixels that show the far ring (stencil value 2).
struct Mean
{
  double r = 0, g = 0, b = 0;
  int n = 0;
};

Mean far_ring_mean(const std::vector<uint32_t>& frame, const std::vector<uint8_t>& stencil)
{
  Mean m;
  for (size_t i = 0; i < frame.size(); ++i) {
    if (stencil[i] != 2) continue;
    m.r += (frame[i] >> 16) & 255;
    m.g += (frame[i] >> 8) & 255;
    m.b += frame[i] & 255;
    ++m.n;
  }
  if (m.n) m.r /= m.n, m.g /= m.n, m.b /= m.n;
  return m;
}
}  // namespace

class FarRingTest : public FoglessHighQualityScene
{
 protected:
  // Every cell farther than 140 from the camera: red ground under a green
  // top colour, covered by `water` deep water.
  static void paint_far_cells(float water)
  {
    using namespace HeightmapData;
    for (int z = 0; z < HMAP_SIZE; ++z)
      for (int x = 0; x < HMAP_SIZE; ++x) {
        float dx = float(((x - 100 + 128) & 255) - 128), dz = float(((z - 112 + 128) & 255) - 128);
        if (dx * dx + dz * dz < 140.f * 140.f) continue;
        int i = cell_index(x, z);
        surface[i].color = 0xFFFF0000u;
        surface[i].topColor = water > 0.f ? 0u : 0xFF00FF00u;
        HeightmapData::water[z][x].amount = water;
      }
    memcpy(tmpw, HeightmapData::water, sizeof(WaterRow) * HMAP_SIZE);
    reset_fluid_surfaces();
    update_fluid_surfaces(0.05f);
  }

  static Mean draw_far_ring()
  {
    draw_frames();
    std::vector<uint32_t> frame = read_texture(scene_image);
    return far_ring_mean(frame, read_scene_stencil());
  }
};

TEST_F(FarRingTest, FarGroundWearsItsTopColour)
{
  paint_far_cells(0.f);
  Mean m = draw_far_ring();
  ASSERT_GT(m.n, 50) << "the camera must see the far ring";
  EXPECT_GT(m.g, 1.5 * m.r) << "red " << m.r << " green " << m.g << " blue " << m.b;
}

TEST_F(FarRingTest, FarWaterIsWaterNotTheGroundBelow)
{
  paint_far_cells(3.f);
  Mean m = draw_far_ring();
  ASSERT_GT(m.n, 50) << "the camera must see the far ring";
  // The red sea floor drawn as land gave blue at a third of red and green
  // below red; water tints the floor and mirrors the sky.
  EXPECT_GT(m.b, 0.7 * m.r) << "red " << m.r << " green " << m.g << " blue " << m.b;
  EXPECT_GT(m.g, 1.2 * m.r) << "red " << m.r << " green " << m.g << " blue " << m.b;
}

// The far ring hides what lies behind its own ridges. A red ridge runs across
// the view 150 to 170 cells ahead; behind it a blue slope rises high enough to
// show above the ridge, its foot hidden by it. Seen up any column of the
// picture (the camera is level, so a column is one vertical plane), the land
// can only grow farther: blue below red means the slope's hidden foot was
// painted over the ridge in front of it. The four headings draw the ring's
// rows and columns from near to far and from far to near.
TEST_F(FarRingTest, NearerRidgesHideTheFarLandBehindThem)
{
  const float pi = 3.14159265f;
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE("heading " + std::to_string(k) + " quarter turns");
    const int fx = k == 1 ? 1 : k == 3 ? -1 : 0, fz = k == 0 ? 1 : k == 2 ? -1 : 0;
    using namespace HeightmapData;
    for (int z = 0; z < HMAP_SIZE; ++z)
      for (int x = 0; x < HMAP_SIZE; ++x) {
        const int ahead = (fx * (x - 128) + fz * (z - 128)) & 255;
        float h = 0.f;
        uint32_t colour = 0xFF208020u;
        if (ahead >= 150 && ahead <= 170) h = 30.f, colour = 0xFFFF2020u;
        if (ahead > 170 && ahead <= 250) h = float(ahead - 175) * 1.6f, colour = 0xFF2020FFu;
        const int i = cell_index(x, z);
        hmap[i] = h > 0.f ? h : 0.f;
        surface[i].color = colour;
        surface[i].topColor = 0u;
        water[z][x] = Water{0.f, 0.f, 0.f, 0.f};
      }
    memcpy(target_hmap, hmap, sizeof(hmap));
    memcpy(tmpw, water, sizeof(WaterRow) * HMAP_SIZE);
    reset_fluid_surfaces();
    update_fluid_surfaces(0.05f);
    look_from(scene_doubles::make_camera(make4f(128.f, 5.f, 128.f, 1.f), float(k) * 0.5f * pi, 0.f));
    draw_frames();
    const std::vector<uint32_t> frame = read_texture(scene_image);
    const std::vector<uint8_t> stencil = read_scene_stencil();

    int ridge = 0, slope = 0, hidden_shown = 0;
    for (int x = 0; x < d3d_wd; ++x) {
      bool far_seen = false;
      for (int y = d3d_ht - 1; y >= 0; --y) {
        const size_t i = size_t(y) * d3d_wd + x;
        if (stencil[i] != 2) continue;
        const int r = channel(frame[i], 16), b = channel(frame[i], 0);
        if (r > 2 * b) {
          ++ridge;
          if (far_seen) ++hidden_shown;
        } else if (b > 2 * r) {
          ++slope;
          far_seen = true;
        }
      }
    }
    ASSERT_GT(ridge, 100) << "the camera must see the ridge";
    ASSERT_GT(slope, 100) << "the camera must see the slope above the ridge";
    EXPECT_EQ(hidden_shown, 0) << "of " << ridge << " ridge pixels";
  }
}
