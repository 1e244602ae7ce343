// The world map: ground colours two pixels per cell, water and lava over the
// quads that touch a wet cell (with the rows past the 16-bit index range
// drawn apart and the wrap seam closed), and the shading multiplied in.
#include <cmath>

#include "land_test_fixture.h"

using namespace HeightmapData;
using namespace HeightmapRenderer;

namespace
{

using MapRenderTest = LandRenderFixture<0>;

const uint32_t GROUND = 0xFF6090C0u;

void paint_flat_world(uint32_t colour)
{
  for (int i = 0; i < HMAP_CELLS; ++i) {
    surface[i].color = colour;
    surface[i].topColor = 0;
  }
}

// Map pixel (x, y) of the last redraw.
uint32_t map_pixel(const std::vector<uint32_t>& map, int x, int y) { return map[size_t(y) * 512 + x]; }

bool looks_like_water(uint32_t c) { return channel(c, 0) > channel(c, 16) + 30; }

}  // namespace

TEST_F(MapRenderTest, DryFlatWorldIsOneLitColourEverywhere)
{
  paint_flat_world(GROUND);
  refresh();
  EXPECT_EQ(world_map_stats.fluid_draws, 0);
  const std::vector<uint32_t> map = read_texture(mapTex);
  ASSERT_EQ(map.size(), size_t(512 * 512));
  // Ground colour, a neutral grain, and the light of a level normal.
  const float grain = 1.f + 0.25f * (128.f / 255.f - 0.5f);
  const float light = 0.45f + 0.5f * (1.5f / std::sqrt(4.25f));
  uint32_t want = 0xFF000000u;
  for (int s = 0; s < 24; s += 8) {
    const float ground = std::lrint(float(channel(GROUND, s)) * grain) / 255.f;
    want |= uint32_t(std::lrint(ground * light * 255.f)) << s;
  }
  int off = 0;
  for (uint32_t c : map) off += color_distance(c, want) > 1;
  EXPECT_EQ(off, 0) << std::hex << "first pixel " << map[0] << ", expected about " << want;
}

TEST_F(MapRenderTest, CellColoursLandOnTheirMapPixels)
{
  paint_flat_world(0xFF808080u);
  surface[cell_index(10, 20)].color = 0xFFFF0000u;
  surface[cell_index(200, 3)].topColor = 0xFF00FF00u;  // opaque top colour hides the ground
  refresh();
  const std::vector<uint32_t> map = read_texture(mapTex);
  const uint32_t red = map_pixel(map, 20, 40), green = map_pixel(map, 400, 6);
  EXPECT_GT(channel(red, 16), 150);
  EXPECT_LT(channel(red, 8), 10);
  EXPECT_GT(channel(green, 8), 150);
  EXPECT_LT(channel(green, 16), 10);
  // Half-way pixels mix with the grey neighbours; two pixels on, all grey.
  EXPECT_GT(channel(map_pixel(map, 21, 40), 8), 20);
  EXPECT_EQ(map_pixel(map, 22, 40), map_pixel(map, 100, 100));
}

TEST_F(MapRenderTest, FluidQuadsTouchWetCellsAndCloseTheWrapSeam)
{
  struct Wet
  {
    int x, z;
    float amount;
  };
  struct Case
  {
    const char* what;
    std::vector<Wet> cells;
    int main_quads, last_quads, draws;
  } cases[] = {
      {"one water cell", {{40, 30, 0.5f}}, 4, 0, 1},
      {"a trace of lava is dry", {{40, 30, -0.005f}}, 0, 0, 0},
      {"lava counts like water", {{40, 30, -0.5f}}, 4, 0, 1},
      {"last row: second draw only", {{7, 255, 0.5f}}, 0, 4, 1},
      {"row 254 touches row 253's quads", {{7, 254, 0.5f}}, 2, 2, 2},
      {"row 0 reaches back to row 255", {{7, 0, 0.5f}}, 2, 2, 2},
      {"last column wraps to the first", {{255, 10, 0.5f}}, 4, 0, 1},
  };
  paint_flat_world(0xFF808080u);
  for (const Case& c : cases) {
    SetUp();
    paint_flat_world(0xFF808080u);
    for (const Wet& w : c.cells) water[w.z][w.x].amount = w.amount;
    refresh();
    EXPECT_EQ(world_map_stats.main_quads, c.main_quads) << c.what;
    EXPECT_EQ(world_map_stats.last_rows_quads, c.last_quads) << c.what;
    EXPECT_EQ(world_map_stats.fluid_draws, c.draws) << c.what;
    const std::vector<uint32_t> map = read_texture(mapTex);
    for (const Wet& w : c.cells) {
      const uint32_t at = map_pixel(map, 2 * w.x, 2 * w.z);
      if (c.draws) EXPECT_TRUE(looks_like_water(at) || channel(at, 16) > channel(at, 0) + 30) << c.what << std::hex << " " << at;
      else EXPECT_EQ(at, map_pixel(map, 100, 100)) << c.what;
    }
  }
  // Water in the last row and column shows on the map's last rows and
  // columns, fading toward row and column 256, which repeat the dry row 0.
  const std::vector<uint32_t> map = read_texture(mapTex);
  EXPECT_TRUE(looks_like_water(map_pixel(map, 510, 20)));
  EXPECT_TRUE(looks_like_water(map_pixel(map, 511, 20)));
  EXPECT_FALSE(looks_like_water(map_pixel(map, 0, 20)));
  for (uint32_t c : map) ASSERT_EQ(c >> 24, 255u) << "the map stays opaque";
}
