// The map-grid walk and the point scatterer.
#include <gtest/gtest.h>

#include <vector>

#include "engine/random.h"
#include "world/mapGrid.h"

namespace
{

struct Visit
{
  float x, z, size;
};

struct Recorder : IWalkMapGrid
{
  std::vector<Visit> visits;
  void on_map_grid_walk(float x, float z, float size) override { visits.push_back({x, z, size}); }
};

struct PointRecorder : IMapPointTarget
{
  std::vector<Visit> points;
  void on_map_point(float x, float z) override { points.push_back({x, z, 0}); }
};

}  // namespace

TEST(MapGrid, CallCountsAndCellsPerLevel)
{
  struct Case
  {
    int level;
    size_t calls;
    float size;
    Visit second, last;
  } cases[] = {
      {8, 1, 256, {0, 0, 0}, {0, 0, 256}},
      {9, 1, 256, {0, 0, 0}, {0, 0, 256}},  // above 8 is 8
      {100, 1, 256, {0, 0, 0}, {0, 0, 256}},
      {3, 32 * 32, 8, {8, 0, 8}, {248, 248, 8}},
      {0, 65536, 1, {1, 0, 1}, {255, 255, 1}},
      {-1, 512 * 512, 0.5f, {0.5f, 0, 0.5f}, {255.5f, 255.5f, 0.5f}},
  };
  for (const Case& c : cases) {
    Recorder r;
    walk_map_grid(c.level, r);
    ASSERT_EQ(r.visits.size(), c.calls) << c.level;
    EXPECT_EQ(r.visits[0].x, 0.0f);
    EXPECT_EQ(r.visits[0].z, 0.0f);
    EXPECT_EQ(r.visits[0].size, c.size) << c.level;
    if (c.calls > 1) {
      EXPECT_EQ(r.visits[1].x, c.second.x) << c.level;
      EXPECT_EQ(r.visits[1].z, c.second.z) << c.level;
    }
    EXPECT_EQ(r.visits.back().x, c.last.x) << c.level;
    EXPECT_EQ(r.visits.back().z, c.last.z) << c.level;
  }
}

TEST(MapGrid, RowsAscendWithXInside)
{
  Recorder r;
  walk_map_grid(3, r);
  for (size_t k = 0; k < r.visits.size(); k++) {
    ASSERT_EQ(r.visits[k].x, float(k % 32) * 8) << k;
    ASSERT_EQ(r.visits[k].z, float(k / 32) * 8) << k;
  }
}

TEST(MapGrid, LevelsTooFineToCountAreRefused)
{
  Recorder r;
  walk_map_grid(-23, r);
  walk_map_grid(-1000, r);
  EXPECT_TRUE(r.visits.empty());
}

TEST(MapGrid, ScattererDrawsTwoNumbersPerPointInsideTheCell)
{
  struct Case
  {
    int level, count;
    size_t points;
  } cases[] = {
      {8, 2, 2},
      {8, 0, 0},
      {8, -5, 0},
      {6, 3, 16 * 3},
  };
  for (const Case& c : cases) {
    PointRecorder target;
    GenMapCellPoints gen(&target, c.count);
    game_rnd_seed = 42;
    walk_map_grid(c.level, gen);
    ASSERT_EQ(target.points.size(), c.points) << c.level << " " << c.count;
    // Two draws per point, the x draw first.
    uint64_t s = 42;
    for (size_t k = 0; k < 2 * c.points; k++) s = s * 6364136223846793005ull + 1442695040888963407ull;
    EXPECT_EQ(game_rnd_seed, s) << c.level << " " << c.count;
    float cell = float(1 << c.level);
    for (size_t k = 0; k < c.points; k++) {
      size_t idx = k / size_t(c.count);
      float x0 = float(idx % size_t(256 / cell)) * cell, z0 = float(idx / size_t(256 / cell)) * cell;
      EXPECT_GE(target.points[k].x, x0);
      EXPECT_LT(target.points[k].x, x0 + cell);
      EXPECT_GE(target.points[k].z, z0);
      EXPECT_LT(target.points[k].z, z0 + cell);
    }
  }
  PointRecorder target;
  GenMapCellPoints gen(&target, 1);
  game_rnd_seed = 7;
  walk_map_grid(8, gen);
  game_rnd_seed = 7;
  float rx = rnd_float() * 256.0f, rz = rnd_float() * 256.0f;
  EXPECT_EQ(target.points[0].x, rx);
  EXPECT_EQ(target.points[0].z, rz);
}
