// The world grid: cell addressing, reset, the world-data block and the cell
// rules by which fluid turns into land.
#include <cmath>
#include <limits>
#include <string>

#include "engine/random.h"
#include "engine/streams.h"
#include "world/worldServices.h"
#include "world_test_util.h"

using namespace HeightmapData;
using world_doubles::vapour_calls;

TEST(WorldGrid, CellIndexWrapsAtBothEdges)
{
  EXPECT_EQ(cell_index(-1, 0), cell_index(255, 0));
  EXPECT_EQ(cell_index(0, 256), cell_index(0, 0));
  EXPECT_EQ(cell_index(3, 2), 2 * 256 + 3);
  EXPECT_EQ(cell_x(65535), 255);
  EXPECT_EQ(cell_z(65535), 255);
}

TEST_F(WorldTest, ResetMakesFlatDryDefaultWorld)
{
  for (int i = 0; i < HMAP_CELLS; i += 97) {
    hmap[i] = 3.f;
    target_hmap[i] = -2.f;
    surface[i] = Surface{1, 2, 0xFF000033u};
    water[i >> 8][i & 255] = Water{1, 2, 3, 4};
  }
  land_sound[3].channel = 77;
  reset();
  for (int i = 0; i < HMAP_CELLS; i++) {
    ASSERT_EQ(hmap[i], 0.f);
    ASSERT_EQ(target_hmap[i], 0.f);
    ASSERT_EQ(surface[i].color, 0xFF808080u);
    ASSERT_EQ(surface[i].topColor, 0u);
    ASSERT_EQ(surface[i].bits, 1u);
    const Water& c = water[i >> 8][i & 255];
    ASSERT_TRUE(c.amount == 0 && c.u == 0 && c.w == 0 && c.foam == 0);
  }
  EXPECT_EQ(land_sound[3].channel, 0u);
  auto fades = world_doubles::calls_named("fade_out_and_stop_sound");
  ASSERT_EQ(fades.size(), 8u);
  EXPECT_EQ(fades[3].channel, 77u);
  EXPECT_EQ(fades[3].ms, 10);
}

// ---- world-data block --------------------------------------------------------

// A world with every array full of varied, loadable values.
static void fill_world(uint64_t seed)
{
  game_rnd_seed = seed;
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = rnd_float_signed() * 50.f;
    target_hmap[i] = rnd_float_signed() * 50.f;
    uint32_t bits = rnd_u32();
    if ((bits & 15) == GT_HOUSE) bits &= ~uint32_t(SURF_MATERIAL_MASK);  // house tiles use materials 0-18
    surface[i] = Surface{rnd_u32(), rnd_u32(), bits};
    water[i >> 8][i & 255] = Water{rnd_float_signed(), rnd_float_signed(), rnd_float_signed(), rnd_float()};
  }
}

static std::vector<unsigned char> save_block()
{
  MemoryOutputBuffer out;
  saveWorldData(out);
  return std::vector<unsigned char>(out.bytes.data, out.bytes.data + out.bytes.num);
}

TEST_F(WorldTest, BlockRoundTripIsByteExactFromEitherFluidArray)
{
  // A first load puts the current fluid on the first array.
  std::vector<unsigned char> start = save_block();
  MemoryInputStream first_load(start.data(), int(start.size()));
  loadWorldData(first_load);
  WaterRow* const first_array = water;

  for (int swaps : {0, 1}) {
    SCOPED_TRACE(swaps ? "saved from the second array" : "saved from the first array");
    fill_world(1234 + swaps);
    for (int k = 0; k < swaps; k++) simWater(0.05f);
    ASSERT_EQ(water == first_array, swaps == 0);
    std::vector<unsigned char> block = save_block();
    ASSERT_EQ(block.size(), 2359296u);
    EXPECT_EQ(memcmp(block.data(), hmap, sizeof(hmap)), 0);
    EXPECT_EQ(memcmp(block.data() + 0x40000, target_hmap, sizeof(target_hmap)), 0);
    EXPECT_EQ(memcmp(block.data() + 0x80000, surface, sizeof(surface)), 0);
    EXPECT_EQ(memcmp(block.data() + 0x140000, water, 0x100000), 0);

    fill_world(99);
    for (LandSoundGroup& g : land_sound) g.channel = 5;
    world_doubles::sound_calls.clear();
    MemoryInputStream in(block.data(), int(block.size()));
    loadWorldData(in);
    EXPECT_EQ(in.tell(), 0x240000);
    EXPECT_EQ(save_block(), block);
    EXPECT_EQ(water, first_array);
    EXPECT_EQ(memcmp(water, tmpw, 0x100000), 0);
    EXPECT_EQ(world_doubles::calls_named("fade_out_and_stop_sound").size(), 8u);
    for (const LandSoundGroup& g : land_sound) EXPECT_EQ(g.channel, 0u);
  }
}

TEST_F(WorldTest, ValuesScriptsCanWriteLoad)
{
  // Ground and surface types come from scripts masked to 4 bits: every value loads.
  fill_world(7);
  surface[10].bits = 0xFF0000FFu;
  surface[11].bits = (18u << SURF_MATERIAL_SHIFT) | (7u << SURF_TILE_SHIFT) | GT_HOUSE;
  // Values at the limit load.
  hmap[12] = 1e9f;
  target_hmap[13] = -1e9f;
  water[0][14] = Water{-1e9f, 1e9f, -1e9f, 1e9f};
  std::vector<unsigned char> block = save_block();
  reset();
  MemoryInputStream in(block.data(), int(block.size()));
  EXPECT_NO_THROW(loadWorldData(in));
  EXPECT_EQ(surface[10].bits, 0xFF0000FFu);
  EXPECT_EQ(hmap[12], 1e9f);
  EXPECT_EQ(water[0][14].foam, 1e9f);
}

struct BadBlock
{
  const char* name;
  int length;       // bytes offered to the reader
  int offset;       // where a bad 32-bit word is put, -1 for none
  uint32_t word;
  const char* message_part;
};

TEST_F(WorldTest, BadBlockFailsAndLeavesWorldAsItWas)
{
  const uint32_t nan = 0x7FC00000u, inf = 0x7F800000u, ninf = 0xFF800000u, huge = 0x7149F2CAu /* 1e30 */;
  const BadBlock cases[] = {
      // too short: the stream's own message
      {"empty", 0, -1, 0, "outside of input memory region"},
      {"heights cut", 0x3FFFF, -1, 0, "outside of input memory region"},
      {"fluid missing", 0x140000, -1, 0, "outside of input memory region"},
      {"last byte missing", 0x23FFFF, -1, 0, "outside of input memory region"},
      // values no world can hold
      {"NaN height", 0x240000, 4 * 5, nan, "height"},
      {"infinite target", 0x240000, 0x40000 + 4 * 300, inf, "target height"},
      {"huge height", 0x240000, 4 * 65535, huge, "height"},
      {"height just beyond the limit", 0x240000, 4 * 6, 0x4E6E6B29u /* 1e9 + 64 */, "height"},
      {"fluid just beyond the limit", 0x240000, 0x140000 + 16 * 3 + 8, 0xCE6E6B29u, "fluid velocity w"},
      {"NaN fluid amount", 0x240000, 0x140000 + 16 * 77, nan, "fluid amount"},
      {"-inf velocity", 0x240000, 0x140000 + 16 * 65535 + 4, ninf, "fluid velocity u"},
      {"NaN foam", 0x240000, 0x140000 + 16 * 1000 + 12, nan, "foam"},
      // a house tile whose material is no building piece
      {"house material 19", 0x240000, 0x80000 + 12 * 9 + 8, (19u << SURF_MATERIAL_SHIFT) | GT_HOUSE,
       "house tile material"},
      // cells are checked in groups of lanes: places in each group
      {"house material 19, cell 4", 0x240000, 0x80000 + 12 * 4 + 8, (19u << SURF_MATERIAL_SHIFT) | GT_HOUSE,
       "house tile material"},
      {"house material 4095, cell 10", 0x240000, 0x80000 + 12 * 10 + 8, SURF_MATERIAL_MASK | GT_HOUSE,
       "house tile material"},
      {"house material 20, cell 11", 0x240000, 0x80000 + 12 * 11 + 8, (20u << SURF_MATERIAL_SHIFT) | GT_HOUSE,
       "house tile material"},
      {"house material 19, last cell", 0x240000, 0x80000 + 12 * 65535 + 8, (19u << SURF_MATERIAL_SHIFT) | GT_HOUSE,
       "house tile material"},
  };
  fill_world(42);
  std::vector<unsigned char> good = save_block();
  for (const BadBlock& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> block = good;
    if (c.offset >= 0) memcpy(block.data() + c.offset, &c.word, 4);
    fill_world(43);
    for (LandSoundGroup& g : land_sound) g.channel = 9;
    std::vector<unsigned char> before = world_snapshot();
    world_doubles::sound_calls.clear();

    MemoryInputStream in(block.data(), c.length);
    try {
      loadWorldData(in);
      ADD_FAILURE() << "loaded";
    } catch (const InputStream::Exception& e) {
      EXPECT_NE(std::string(e.message).find(c.message_part), std::string::npos) << e.message;
      if (c.offset >= 0) {
        EXPECT_EQ(e.position, c.offset);
      }
    }
    EXPECT_TRUE(world_snapshot() == before);
    EXPECT_TRUE(world_doubles::sound_calls.empty()) << "the land sounds keep playing";
  }
}

TEST_F(WorldTest, SaveErrorsReachTheCaller)
{
  FileOutputStream out;  // not open
  EXPECT_THROW(saveWorldData(out), OutputStream::Exception);
}

// ---- cell rules ----------------------------------------------------------------

TEST_F(WorldTest, RaiseCellWithAshBlendsTowardAshColours)
{
  struct Case
  {
    float h;
    uint32_t color, topColor, bits;
  };
  // Starting from the reset surface (0xFF808080, 0, GT_ROCK) with marks and a house tile in the bits.
  const uint32_t keep = 0x5A000000u | (3u << SURF_TILE_SHIFT) | (12u << SURF_MATERIAL_SHIFT) | GT_ROCK;
  const Case cases[] = {
      {0.004f, 0x994E4E4Eu, 0x33040404u, keep},                   // 40 %, type kept
      {0.005f, 0x80414141u, 0x40050505u, keep | (ST_ASH << 4)},   // 50 %: ash
      {0.01f, 0x00030303u, 0x800A0A0Au, keep | (ST_ASH << 4)},    // the ash colours
      {3.0f, 0x00030303u, 0x800A0A0Au, keep | (ST_ASH << 4)},
      {-0.004f, 0xFFB2B2B2u, 0x00000000u, keep},                  // moves away, clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.h);
    int cell = cell_index(40, 7);
    hmap[cell] = 1.f;
    target_hmap[cell] = 2.f;
    surface[cell] = Surface{0xFF808080u, 0u, keep};
    raise_cell_with_ash(cell, c.h);
    EXPECT_EQ(hmap[cell], 1.f + c.h);
    EXPECT_EQ(target_hmap[cell], 2.f + c.h);
    EXPECT_EQ(surface[cell].color, c.color);
    EXPECT_EQ(surface[cell].topColor, c.topColor);
    EXPECT_EQ(surface[cell].bits, c.bits);
  }
}

struct PourCase
{
  bool lava;
  float a, q;
  float amount, rise;  // expected amount and land rise
  bool velocities_zeroed;
  float vapour_level;  // expected level of the one vapour call; NAN: no call
};

TEST_F(WorldTest, PouringFluidFollowsTheMeetingRules)
{
  const float no = NAN;
  const PourCase cases[] = {
      // water onto lava: the smaller quantity hardens, velocities kept
      {false, -0.3f, 0.5f, 0.2f, 0.3f, false, 0.2f + 0.3f},
      {false, -0.3f, 0.1f, -0.2f, 0.1f, false, 0.2f + 0.1f},
      // water added and taken
      {false, 0.3f, 0.2f, 0.5f, 0, false, no},
      {false, 0.3f, -0.1f, 0.2f, 0, false, no},
      {false, 0.3f, -0.5f, 0.f, 0, false, no},    // never turned into lava
      {false, -0.3f, -0.5f, -0.3f, 0, false, no}, // lava untouched
      {false, 0.f, -0.5f, 0.f, 0, false, no},
      // lava onto water: more lava than water zeroes the velocities
      {true, 0.3f, 0.5f, -0.2f, 0.3f, true, 0.2f + 0.3f},
      {true, 0.3f, 0.1f, 0.2f, 0.1f, false, 0.2f + 0.1f},
      // lava added and taken
      {true, -0.3f, 0.2f, -0.5f, 0, false, no},
      {true, 0.f, 0.2f, -0.2f, 0, false, no},
      {true, -0.3f, -0.1f, -0.2f, 0, false, no},
      {true, -0.3f, -0.5f, 0.f, 0, false, no},    // never turned into water
      {true, 0.3f, -0.5f, 0.3f, 0, false, no},    // water untouched
  };
  for (const PourCase& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.lava ? "lava " : "water ") << c.q << " onto " << c.a);
    vapour_calls.clear();
    int cell = cell_index(300, -2);  // (44, 254)
    hmap[cell] = 0.f;
    target_hmap[cell] = 0.f;
    fluid(44, 254) = Water{c.a, 0.7f, -0.4f, 0.25f};
    if (c.lava)
      add_cell_lava(cell, c.q);
    else
      add_cell_water(cell, c.q);
    const Water& r = fluid(44, 254);
    EXPECT_FLOAT_EQ(r.amount, c.amount);
    EXPECT_FLOAT_EQ(hmap[cell], c.rise);
    EXPECT_FLOAT_EQ(target_hmap[cell], c.rise);
    EXPECT_EQ(r.u, c.velocities_zeroed ? 0.f : 0.7f);
    EXPECT_EQ(r.w, c.velocities_zeroed ? 0.f : -0.4f);
    EXPECT_EQ(r.foam, 0.25f);
    if (std::isnan(c.vapour_level)) {
      EXPECT_TRUE(vapour_calls.empty());
    } else {
      ASSERT_EQ(vapour_calls.size(), 1u);
      EXPECT_EQ(vapour_calls[0].x, 44);
      EXPECT_EQ(vapour_calls[0].z, 254);
      EXPECT_FLOAT_EQ(vapour_calls[0].level, c.vapour_level);
      EXPECT_FLOAT_EQ(vapour_calls[0].amount, c.rise);
    }
  }
}

TEST_F(WorldTest, LowGraphicsQualityMakesNoVapourButLandStillRises)
{
  gfx_quality = 0;
  fluid(1, 1).amount = -0.3f;
  add_cell_water(cell_index(1, 1), 0.5f);
  fluid(2, 1).amount = 0.3f;
  add_cell_lava(cell_index(2, 1), 0.5f);
  water_vapor_fx(1, 2, 3.f, 4.f);
  EXPECT_TRUE(vapour_calls.empty());
  EXPECT_FLOAT_EQ(hmap[cell_index(1, 1)], 0.3f);
  EXPECT_FLOAT_EQ(hmap[cell_index(2, 1)], 0.3f);

  gfx_quality = 1;
  water_vapor_fx(1, 2, 3.f, 4.f);
  ASSERT_EQ(vapour_calls.size(), 1u);
  EXPECT_EQ(vapour_calls[0].level, 3.f);
  EXPECT_EQ(vapour_calls[0].amount, 4.f);
}

TEST_F(WorldTest, UnboundPluginMeansNoVapourCall)
{
  spawn_water_vapor_fx = nullptr;
  fluid(1, 1).amount = -0.3f;
  add_cell_water(cell_index(1, 1), 0.5f);
  water_vapor_fx(1, 2, 3.f, 4.f);
  EXPECT_FLOAT_EQ(hmap[cell_index(1, 1)], 0.3f);
}
