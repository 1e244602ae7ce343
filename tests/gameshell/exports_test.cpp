// The state of the data exported to the plug-in before anything runs, and
// the effect ramps built with it.
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"
#include "worldrender/renderInstances.h"

#include <gtest/gtest.h>

namespace
{
TEST(Exports, BeforeBindingTheListsAreEmptyAndTheScreensUnset)
{
  int nonempty = 0;
#define COUNT_NONEMPTY(cls) nonempty += cls##_list.num != 0;
  GAMEOBJ_LIST_CLASSES(COUNT_NONEMPTY)
#undef COUNT_NONEMPTY
  EXPECT_EQ(nonempty, 0);
#define EXPECT_UNSET(name)                                        \
  EXPECT_EQ(name##_screen_Class::createScreen, nullptr) << #name; \
  EXPECT_EQ(name##_screen, nullptr) << #name;
  GAMEOBJ_SCREENS(EXPECT_UNSET)
#undef EXPECT_UNSET
  EXPECT_EQ(cur_game_slot, -1);
  EXPECT_EQ(local_player, nullptr);
  EXPECT_EQ(dot_icon, -1);
}

TEST(Exports, EffectRamps)
{
  // Fully opaque white in the middle of the end fade; the standard glow is
  // already fading there.
  vec4f end_mid = blend_end_fade_anim.samples[128];
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(end_mid[i], 1.f) << i;
  vec4f glow_mid = glow_std_fade_anim.samples[128];
  EXPECT_GT(glow_mid[3], 0.f);
  EXPECT_LT(glow_mid[3], 1.f);
  EXPECT_EQ(size_05_2_anim.samples[256], 2.0f);
  EXPECT_EQ(size_05_4_anim.samples[256], 4.0f);
  EXPECT_EQ(size_05_2_anim.samples[0], 0.5f);
  EXPECT_EQ(std_roll_anim.samples[128], 0.f);
}
}  // namespace

// The render instances of the plug-in: 38 of four kinds, the house tiles in
// material order.

TEST(RenderInstances, HouseTileTableFollowsTheBuildingRow)
{
  using namespace HeightmapRenderer;
  EXPECT_EQ(num_house_tiles, 19);
  EXPECT_EQ(house_tile_info[0].inst, &roof_corner_inst);
  EXPECT_EQ(house_tile_info[4].inst, &castle_walk_inst);
  EXPECT_EQ(house_tile_info[18].inst, &castle_corner2_inst);
  int count = 0;
#define COUNT_INST(name) count++;
  SIMPLE_INST_RENDERS(COUNT_INST) MORPH_INST_RENDERS(COUNT_INST) SPLINE_INST_RENDERS(COUNT_INST)
      BUILDING_INST_RENDERS(COUNT_INST)
#undef COUNT_INST
  EXPECT_EQ(count, 38);
  EXPECT_EQ(tree1_inst.getInstStride(), 28);
  EXPECT_EQ(bird_body_inst.getInstStride(), 32);
  EXPECT_EQ(wyvern_body_inst.getInstStride(), 64);
  EXPECT_EQ(castle_corner1_inst.getInstStride(), 24);
  EXPECT_EQ(tree1_inst.head, nullptr);
  EXPECT_EQ(tree1_inst.pool, &inst_chunk_pool);
}
