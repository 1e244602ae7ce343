// Our plug-in's developer tools through the functions the game binds: a
// click raises a bump of land where the ray meets it, and the two cheats
// switch and say so.
#include "gameshell/gameobjHost.h"

#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace
{
class GameobjDevTools : public ::testing::Test
{
protected:
  void SetUp() override
  {
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    std::fill(std::begin(HeightmapData::hmap), std::end(HeightmapData::hmap), 0.f);
    std::fill(std::begin(HeightmapData::target_hmap), std::end(HeightmapData::target_hmap), 0.f);
  }
  void TearDown() override { unload_gameobj(); }
  static float target(int x, int z) { return HeightmapData::target_hmap[HeightmapData::cell_index(x, z)]; }
};

TEST_F(GameobjDevTools, ClickRaisesABumpWhereTheRayMeetsTheLand)
{
  const float r = 0.70710677f;
  on_devmode_click(make4f(100.5f, 10.f, 190.5f, 1.f), make4f(0.f, -r, r, 0.f));
  EXPECT_FLOAT_EQ(target(100, 200), 0.5f);
  EXPECT_FLOAT_EQ(target(102, 202), 0.25f);
  EXPECT_FLOAT_EQ(target(104, 200), 0.f);  // the rim
  float outside = 0.f;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
      if ((x - 100) * (x - 100) + (z - 200) * (z - 200) > 16) outside += std::abs(target(x, z));
  EXPECT_EQ(outside, 0.f);
  EXPECT_FLOAT_EQ(HeightmapData::hmap[HeightmapData::cell_index(100, 200)], 0.f);  // the morph moves it

  // Across the world's edge the bump wraps.
  on_devmode_click(make4f(0.5f, 10.f, 0.5f, 1.f), make4f(0.f, -1.f, 0.f, 0.f));
  EXPECT_FLOAT_EQ(target(255, 0), 0.5f * (1.f - 1.f / 16.f));

  // A ray into the sky changes nothing.
  std::fill(std::begin(HeightmapData::target_hmap), std::end(HeightmapData::target_hmap), 0.f);
  on_devmode_click(make4f(10.f, 10.f, 10.f, 1.f), make4f(0.f, 1.f, 0.f, 0.f));
  EXPECT_EQ(*std::max_element(std::begin(HeightmapData::target_hmap), std::end(HeightmapData::target_hmap)), 0.f);
}

TEST_F(GameobjDevTools, CheatsSwitchAndSaySo)
{
  testing::internal::CaptureStdout();
  toggle_mana_cheat();
  toggle_monster_spawn();
  toggle_mana_cheat();
  toggle_monster_spawn();
  std::string log = testing::internal::GetCapturedStdout();
  size_t a = log.find("gameobj: mana cheat on"), b = log.find("gameobj: monster spawn off");
  size_t c = log.find("gameobj: mana cheat off"), d = log.find("gameobj: monster spawn on");
  ASSERT_NE(a, std::string::npos) << log;
  ASSERT_NE(d, std::string::npos) << log;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_LT(c, d);
}
}  // namespace
