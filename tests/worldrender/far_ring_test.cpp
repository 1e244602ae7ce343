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
