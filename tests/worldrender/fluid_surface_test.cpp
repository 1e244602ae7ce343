// Fluid surfaces: the per-tick surface rules, the frame blend, the drifting
// foam field and its renewal cycle, and the water and lava meshes they make.
#include <cmath>

#include "engine/random.h"
#include "land_test_fixture.h"
#include "worldrender/hmRenderInternal.h"

using namespace HeightmapData;
using namespace HeightmapRenderer;

namespace
{

const float NONE = FLUID_NO_SURFACE;

// A flat dry world on both fluid grids, at the given quality.
class FluidSurfaceTest : public testing::Test
{
 protected:
  int saved_quality = 0;
  void SetUp() override
  {
    saved_quality = gfx_quality;
    gfx_quality = 1;
    land_doubles::reset();
    HeightmapData::reset();
    memset(tmpw, 0, sizeof(WaterRow) * HMAP_SIZE);
    init_fluid_surfaces();
  }
  void TearDown() override { gfx_quality = saved_quality; }

  static void set_cell(int x, int z, float height, float amount)
  {
    hmap[cell_index(x, z)] = height;
    water[z & 255][x & 255].amount = amount;
  }
  static const FluidSurfaceCell& latest(int x, int z) { return fluid_surface[fluid_surface_cur][cell_index(x, z)]; }
};

}  // namespace

TEST_F(FluidSurfaceTest, SurfacesFollowTheWetAndDryRules)
{
  struct Neighbour
  {
    int dx, dz;
    float height, amount;
  };
  struct Case
  {
    const char* what;
    int quality;
    float height, amount;  // the cell at (10, 10)
    std::vector<Neighbour> around;
    float water, lava;     // its surfaces
  } cases[] = {
      {"wet cell: amount + ground", 1, 1.f, 0.5f, {}, 1.5f, NONE},
      {"dry cell, no wet neighbour", 1, 1.f, 0.f, {{2, 0, 0.f, 1.f}}, NONE, NONE},
      // Between water surfaces 1.0 and 1.2 on ground 0.9: the ground, not the mean 1.1.
      {"shore below its neighbours", 1, 0.9f, 0.f, {{-1, 0, 0.5f, 0.5f}, {1, 0, 0.6f, 0.6f}}, 0.9f, NONE},
      {"shore above its neighbours", 1, 2.f, 0.f, {{-1, 0, 0.5f, 0.5f}, {1, 1, 0.6f, 0.6f}}, 1.1f, NONE},
      {"trace counts as dry at low quality", 0, 1.f, 0.05f, {}, NONE, NONE},
      {"trace counts as wet at high quality", 1, 1.f, 0.05f, {}, 1.05f, NONE},
      {"low-quality neighbour below 0.1 is dry", 0, 1.f, 0.f, {{0, 1, 1.f, 0.09f}}, NONE, NONE},
      {"lava: ground - amount", 1, 2.f, -0.5f, {}, NONE, 2.5f},
      {"lava cell beside water", 1, 2.f, -0.5f, {{1, 0, 0.f, 1.f}}, 1.f, 2.5f},
      {"dry cell beside lava", 1, 3.f, 0.f, {{0, -1, 2.f, -0.5f}, {1, 1, 2.f, -1.5f}}, NONE, 3.f},
  };
  for (const Case& c : cases) {
    SetUp();
    gfx_quality = c.quality;
    set_cell(10, 10, c.height, c.amount);
    for (const Neighbour& n : c.around) set_cell(10 + n.dx, 10 + n.dz, n.height, n.amount);
    update_fluid_surfaces(0.05f);
    EXPECT_FLOAT_EQ(latest(10, 10).water, c.water) << c.what;
    EXPECT_FLOAT_EQ(latest(10, 10).lava, c.lava) << c.what;
  }
}

TEST_F(FluidSurfaceTest, NeighboursWrapAcrossTheSeam)
{
  set_cell(255, 255, 0.f, 1.f);
  update_fluid_surfaces(0.05f);
  EXPECT_FLOAT_EQ(latest(0, 0).water, 0.f);
  EXPECT_FLOAT_EQ(latest(255, 0).water, 0.f);
  EXPECT_EQ(latest(1, 0).water, NONE);
}

TEST_F(FluidSurfaceTest, FramesBlendTicksAndJumpWhereAFluidComesOrGoes)
{
  set_cell(5, 5, 1.f, 1.f);  // stays, rising
  set_cell(50, 5, 1.f, 1.f); // dries up
  update_fluid_surfaces(0.05f);
  // After a reset the first tick is shown as it is.
  calc_display_fluid_surfaces(0.25f);
  EXPECT_FLOAT_EQ(display_fluid_surface[cell_index(5, 5)].water, 2.f);

  set_cell(5, 5, 1.f, 2.f);
  set_cell(50, 5, 1.f, 0.f);
  set_cell(90, 5, 1.f, 0.5f);  // appears
  update_fluid_surfaces(0.05f);
  struct Want
  {
    int x;
    float f, water;
  } wants[] = {
      {5, 0.f, 2.f}, {5, 0.25f, 2.25f}, {5, 1.f, 3.f},
      {50, 0.5f, 2.f},   // gone in the latest tick: the previous value holds
      {90, 0.f, 1.5f},   // new: the latest value at once
  };
  for (const Want& w : wants) {
    calc_display_fluid_surfaces(w.f);
    EXPECT_FLOAT_EQ(display_fluid_surface[cell_index(w.x, 5)].water, w.water) << w.x << " at f " << w.f;
  }
  EXPECT_EQ(display_fluid_surface[cell_index(120, 5)].water, NONE);
}

TEST_F(FluidSurfaceTest, TicksAndResetsAskForALandRefresh)
{
  update_land_render(0.f);  // no renderer: a no-op that leaves the flag alone
  invalidate_land_textures();
  land_rs.refresh = false;
  update_fluid_surfaces(0.05f);
  EXPECT_TRUE(land_textures_invalid());
  land_rs.refresh = false;
  set_cell(3, 3, 0.f, 1.f);
  update_fluid_surfaces(0.05f);
  reset_fluid_surfaces();
  EXPECT_TRUE(land_textures_invalid());
  EXPECT_EQ(fluid_surface_cur, 0);
  for (int b = 0; b < 2; ++b) EXPECT_EQ(fluid_surface[b][cell_index(3, 3)].water, NONE);
  land_rs.refresh = false;
}

TEST_F(FluidSurfaceTest, FoamFieldDriftsWithTheWater)
{
  // Every face carries 0.5 along +x and 0.25 along -z: in one tick of 0.05 s
  // the field is sampled (0.5 + 0.5) * 0.05 back along x and 0.025 along z.
  for (int z = 0; z < HMAP_SIZE; ++z)
    for (int x = 0; x < HMAP_SIZE; ++x) {
      water[z][x].u = 0.5f;
      water[z][x].w = -0.25f;
    }
  update_fluid_surfaces(0.05f);
  const FoamCell& e = foam_field[foam_field_cur][cell_index(40, 70)];
  EXPECT_NEAR(e.ua, 40.f - 0.05f, 1e-4f);
  EXPECT_NEAR(e.va, 70.f + 0.025f, 1e-4f);
  EXPECT_NEAR(e.ub, 70.f + 0.025f, 1e-4f);
  EXPECT_NEAR(e.vb, 40.f - 0.05f, 1e-4f);
  // Still water leaves the field where it is; low quality does not move it.
  SetUp();
  update_fluid_surfaces(0.05f);
  EXPECT_EQ(foam_field[foam_field_cur][cell_index(40, 70)].ua, 40.f);
  SetUp();
  gfx_quality = 0;
  water[70][40].u = 5.f;
  update_fluid_surfaces(0.05f);
  EXPECT_EQ(foam_counter, 0);
}

TEST_F(FluidSurfaceTest, FoamPairsAreRenewedTwentyTicksApartAroundTheCamera)
{
  land_doubles::camera_pos = make4f(10.4f, 0.f, 300.6f, 1.f);  // camera cell (10, 301)
  game_rnd_seed = 12345;
  for (int k = 1; k < 20; ++k) update_fluid_surfaces(0.05f);
  EXPECT_EQ(foam_counter, 19);
  EXPECT_EQ(game_rnd_seed, 12345u) << "no draws before the renewal";

  // The renewal of the first pair, computed from the same three draws.
  uint64_t seed = 12345;
  auto draw = [&seed] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return float(uint32_t(seed >> 32)) * (1.f / 4294967296.f);
  };
  const float r1 = draw(), r2 = draw(), r3 = draw();
  const float theta = float(2.0 * M_PI) * r1, c = std::cos(theta), s = std::sin(theta);
  update_fluid_surfaces(0.05f);
  EXPECT_EQ(foam_counter, 20);
  EXPECT_EQ(game_rnd_seed, seed);
  struct Cell
  {
    int col, row;
    float X, Z;  // position relative to the camera, the camera at 128
  } cells[] = {{10, 173, 128, 0}, {11, 173, 129, 0}, {0, 172, 118, 255}, {138, 300, 0, 127}};
  for (const Cell& cell : cells) {
    const FoamCell& e = foam_field[foam_field_cur][cell_index(cell.col, cell.row)];
    EXPECT_FLOAT_EQ(e.ua, cell.X * c + cell.Z * s + 256.f * r2) << cell.col << "," << cell.row;
    EXPECT_FLOAT_EQ(e.va, -cell.X * s + cell.Z * c + 256.f * r3) << cell.col << "," << cell.row;
    EXPECT_EQ(e.ub, float(cell.row & 255)) << "the second pair keeps its drifted value";
  }
  for (int k = 21; k < 40; ++k) update_fluid_surfaces(0.05f);
  const float kept_ua = foam_field[foam_field_cur][cell_index(10, 173)].ua;
  update_fluid_surfaces(0.05f);
  EXPECT_EQ(foam_counter, 0);
  EXPECT_EQ(foam_field[foam_field_cur][cell_index(10, 173)].ua, kept_ua);
  EXPECT_NE(foam_field[foam_field_cur][cell_index(10, 173)].ub, 173.f);
}

TEST_F(FluidSurfaceTest, FoamCrossFadeWeight)
{
  struct Case
  {
    int k;
    float f, w;
  } cases[] = {{20, 0.f, 1.f}, {0, 0.f, 0.f}, {10, 0.5f, 0.525f}, {39, 1.f, 0.f}, {30, 0.f, 0.5f}};
  for (const Case& c : cases) {
    foam_counter = c.k;
    EXPECT_FLOAT_EQ(foam_fade_weight(c.f), c.w) << c.k << " " << c.f;
  }
}

// ---- the fluid meshes on the device ----

using FluidMeshTest = LandRenderFixture<0>;

namespace
{

// A top-down orthographic view of the 16 x 12 cells from (x0, z0): four
// pixels per cell, z up the screen (pixel row 0 at z0 + 12).
void set_top_down_view(float x0, float z0)
{
  Matrix44 m;
  m.row[0] = make4f(2.f / 16.f, 0.f, 0.f, 0.f);
  m.row[1] = make4f(0.f, 0.f, -0.001f, 0.f);
  m.row[2] = make4f(0.f, 2.f / 12.f, 0.f, 0.f);
  m.row[3] = make4f(-1.f - x0 * 2.f / 16.f, -1.f - z0 * 2.f / 12.f, 0.5f, 1.f);
  set_vs_constants(0, m.m[0], 4);
  const float cam[4] = {x0 + 8.f, 50.f, z0 + 6.f, 1.f};
  set_vs_constants(7, cam, 1);
  const float no_fog[4] = {0.f, 0.f, 0.f, 0.f};
  set_vs_constants(8, no_fog, 1);
}

// Pixel colour at the centre of cell (x, z) in the view above.
uint32_t cell_pixel(const std::vector<uint32_t>& img, float x0, float z0, float x, float z)
{
  const int px = int((x - x0) * 4.f), py = int((z0 + 12.f - z) * 4.f);
  return img[size_t(py) * 64 + px];  // the fixture's 64 x 48 screen
}

}  // namespace

TEST_F(FluidMeshTest, WaterCoversWetCellsAndTheirShoresOnly)
{
  // A 3 x 3 pond at cells 104..106 x 53..55: with the dry ring round it that
  // takes a surface, 5 x 5 cells carry water, so 4 x 4 quads are drawn.
  for (int z = 53; z <= 55; ++z)
    for (int x = 104; x <= 106; ++x) water[z][x].amount = 0.5f;
  land_doubles::camera_pos = make4f(105.f, 20.f, 54.f, 1.f);
  update_fluid_surfaces(0.05f);
  refresh(0.05f);
  EXPECT_EQ(land_render_stats.water_quads, 16);
  EXPECT_EQ(land_render_stats.lava_quads, 0);

  Texture target = create_screen_render_texture();
  ASSERT_NE(target, nullptr);
  set_render_target(target, 0, true);
  clear_view(0xFF000000u);
  set_zenable(true);
  set_zwrite(true);
  const float x0 = 98.f, z0 = 48.f;
  set_top_down_view(x0, z0);
  render_land(0.f);
  render_water(1.f);
  const std::vector<uint32_t> img = read_texture(target);
  release_texture(target);

  const uint32_t land = cell_pixel(img, x0, z0, 100.5f, 50.5f);
  const uint32_t pond = cell_pixel(img, x0, z0, 105.f, 54.f);
  const uint32_t shore = cell_pixel(img, x0, z0, 103.8f, 53.6f);  // rising from the dry ring to the pond
  const uint32_t beyond = cell_pixel(img, x0, z0, 108.5f, 57.5f); // outside the ring
  EXPECT_NE(land, 0xFF000000u) << "land is drawn";
  EXPECT_GT(channel(pond, 0), channel(pond, 16) + 10) << std::hex << pond << ": water is blue";
  EXPECT_LT(channel(pond, 8), channel(land, 8)) << "and darker than the grey land";
  EXPECT_GT(channel(shore, 0), channel(shore, 16) + 10) << std::hex << shore << ": shore quads close the water";
  EXPECT_EQ(beyond, land);
}

TEST_F(FluidMeshTest, LavaPoolMakesLavaQuadsAndNoWater)
{
  for (int z = 10; z <= 11; ++z)
    for (int x = 20; x <= 23; ++x) water[z][x].amount = -0.5f;
  land_doubles::camera_pos = make4f(20.f, 0.f, 10.f, 1.f);
  update_fluid_surfaces(0.05f);
  update_land_render(0.f);
  EXPECT_EQ(land_render_stats.lava_quads, 5 * 3);  // 6 x 4 cells with a lava surface
  EXPECT_EQ(land_render_stats.water_quads, 0);
}
