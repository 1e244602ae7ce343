// House placement: template choice, heights, tiles, marks and wrapping.
#include "world/houses.h"
#include "world_test_util.h"

using namespace HeightmapData;

static void flat(float h)
{
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] = h;
}

static bool has_house_mark(int x, int z) { return cell_marks(surface[cell_index(x, z)].bits) & MARK_HOUSE; }

static int count_house_marks()
{
  int n = 0;
  for (int i = 0; i < HMAP_CELLS; i++) n += (cell_marks(surface[i].bits) & MARK_HOUSE) != 0;
  return n;
}

TEST_F(WorldTest, TowerOnFlatGroundRisesInDigitSteps)
{
  flat(2.0f);
  placeHouse(100, 100, -2, hmap, false);  // block (98..102, 98..102)
  struct Cell
  {
    int x, z;
    float h;
  } cells[] = {
      {98, 98, 2.0f}, {102, 98, 2.0f}, {100, 102, 2.0f}, {98, 100, 2.0f},  // outer ring: digit 0
      {99, 99, 8.0f}, {101, 99, 8.0f}, {100, 101, 8.0f}, {99, 100, 8.0f},  // inner ring: digit 8
      {100, 100, 8.75f},                                                   // centre: digit 9
      {97, 100, 2.0f}, {103, 100, 2.0f},                                   // outside the block
  };
  for (const Cell& c : cells) EXPECT_EQ(hmap[cell_index(c.x, c.z)], c.h) << c.x << "," << c.z;
}

TEST_F(WorldTest, HouseTypeSelectsTheTemplate)
{
  struct Case
  {
    int type, w, h;
  } cases[] = {
      {-1, 18, 18}, {-2, 4, 4}, {0, 4, 4}, {1, 4, 10}, {2, 10, 4}, {3, 4, 4}, {5, 10, 4}, {-3, 4, 10}, {-4, 4, 4},
  };
  for (const Case& c : cases) {
    reset();
    placeHouse(128, 128, c.type, hmap, false);
    EXPECT_EQ(count_house_marks(), (c.w + 1) * (c.h + 1)) << c.type;
    int x0 = 128 - c.w / 2, z0 = 128 - c.h / 2;
    EXPECT_TRUE(has_house_mark(x0, z0) && has_house_mark(x0 + c.w, z0 + c.h)) << c.type;
    EXPECT_FALSE(has_house_mark(x0 - 1, z0) || has_house_mark(x0, z0 + c.h + 1)) << c.type;
  }
}

TEST_F(WorldTest, TilesGetCodeAndMaterialAndKeepMarks)
{
  mark_rect(98, 98, 98, 98, MARK_WATER, 0);  // castles and towers ignore existing marks
  surface[cell_index(99, 99)].topColor = 0x12345678;
  placeHouse(100, 100, -2, hmap, false);
  struct Cell
  {
    int x, z;
    unsigned material, code, marks;
  } cells[] = {
      {98, 98, 'b' - 'a', 0, MARK_HOUSE | MARK_WATER},  // row z offset 0 "bcdb" / "0003"
      {101, 98, 'b' - 'a', 3, MARK_HOUSE},
      {99, 99, 'a' - 'a', 0, MARK_HOUSE},  // z offset 1 "daac" / "5033"
      {98, 101, 'b' - 'a', 5, MARK_HOUSE},  // z offset 3 "bdcb" / "5666"
      {100, 100, 'a' - 'a', 6, MARK_HOUSE},  // z offset 2 "caad" / "5563"
  };
  for (const Cell& c : cells) {
    const Surface& s = surface[cell_index(c.x, c.z)];
    EXPECT_EQ(ground_type(s.bits), GT_HOUSE) << c.x << "," << c.z;
    EXPECT_EQ(surface_type(s.bits), ST_NONE) << c.x << "," << c.z;
    EXPECT_EQ((s.bits >> 11) & 0x1FFF, c.material) << c.x << "," << c.z;
    EXPECT_EQ((s.bits >> 8) & 7, c.code) << c.x << "," << c.z;
    EXPECT_EQ(cell_marks(s.bits), c.marks) << c.x << "," << c.z;
    EXPECT_EQ(s.topColor, 0u) << c.x << "," << c.z;
    EXPECT_EQ(s.color, 0xFF808080u) << c.x << "," << c.z;  // colour kept
  }
  // The far row and column of the block get heights and marks but no tiles.
  EXPECT_EQ(surface[cell_index(102, 100)].bits, uint32_t(GT_ROCK) | (MARK_HOUSE << 24));
}

TEST_F(WorldTest, CellsWithoutMaterialKeepTheirSurfaceButNotTheirHeight)
{
  flat(1.0f);
  // Castle at (128, 128): block from (119, 119); the top material row (z
  // offset 17) "bdcb..........bdcb" has no tile in columns 4 to 13, and the
  // heights there are digit 0: the cell ends at the base height.
  const int i = cell_index(119 + 6, 119 + 17);
  hmap[i] = 5.0f;
  surface[i] = Surface{0xFF112233u, 0x44556677u, uint32_t(GT_SOIL) | (uint32_t(ST_GRASS) << 4)};
  placeHouse(128, 128, -1, hmap, false);
  EXPECT_EQ(surface[i].color, 0xFF112233u);
  EXPECT_EQ(surface[i].topColor, 0x44556677u);
  EXPECT_EQ(surface[i].bits, uint32_t(GT_SOIL) | (uint32_t(ST_GRASS) << 4) | (MARK_HOUSE << 24));
  EXPECT_FLOAT_EQ(hmap[i], 1.0f + 4.0f / 361.0f);
}

TEST_F(WorldTest, SecondHouseOnTheSameSpotChangesNothing)
{
  flat(0.5f);
  placeHouse(60, 60, 0, hmap, false);
  EXPECT_EQ(count_house_marks(), 25);
  auto after_first = world_snapshot();
  placeHouse(60, 60, 0, hmap, false);
  EXPECT_EQ(world_snapshot(), after_first);
  placeHouse(62, 62, 3, hmap, false);  // overlapping, also refused
  EXPECT_EQ(world_snapshot(), after_first);
  // A castle is stamped over it anyway.
  placeHouse(60, 60, -1, hmap, false);
  EXPECT_EQ(count_house_marks(), 19 * 19);
  EXPECT_NE(world_snapshot(), after_first);
}

TEST_F(WorldTest, HouseAcrossTheWorldEdgeWraps)
{
  flat(3.0f);
  placeHouse(254, 1, 2, hmap, false);  // 10 x 4 from (249, 255) to (259, 3)
  EXPECT_EQ(count_house_marks(), 11 * 5);
  EXPECT_TRUE(has_house_mark(3, 3));
  EXPECT_TRUE(has_house_mark(249, 255));
  EXPECT_FALSE(has_house_mark(4, 0));
  EXPECT_FALSE(has_house_mark(248, 0));
  // z offset 2 "05655755650": x offset 5 (x = 254) is a 7, x offset 8 (x = 1) a 6.
  EXPECT_EQ(hmap[cell_index(254, 1)], 3.0f + 7 * 0.75f);
  EXPECT_EQ(hmap[cell_index(1, 1)], 3.0f + 6 * 0.75f);
  EXPECT_EQ(ground_type(surface[cell_index(2, 2)].bits), GT_HOUSE);  // x offset 9, z offset 3: 'b'
}

TEST_F(WorldTest, LevelledBuildingKeepsTheGroundsMeanHeight)
{
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) hmap[cell_index(x, z)] = float(x % 5) * 0.25f + float(z % 3);
  double ground = 0, built = 0;
  for (int z = 75; z <= 85; z++)
    for (int x = 78; x <= 82; x++) ground += hmap[cell_index(x, z)];
  placeHouse(80, 80, 1, hmap, true);  // 4 x 10 from (78, 75)
  for (int z = 75; z <= 85; z++)
    for (int x = 78; x <= 82; x++) built += hmap[cell_index(x, z)];
  EXPECT_NEAR(built, ground, 1e-3);
}
