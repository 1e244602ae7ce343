// Trees and stones react to the world: fire burns a tree to charcoal and
// spreads to a tree next to it, stones do not burn, and where the land
// moves far under them they fall, lie a while and are gone, while a small
// change only carries them along.
#include "gameobj_world_fixture.h"

#include "gameobj/scenery.h"

namespace
{
SceneryObject* scenery(void* obj) { return static_cast<SceneryObject*>(static_cast<PluginObject*>(static_cast<GameObj*>(obj))); }

TEST_F(GameobjWorld, FireBurnsATreeToCharcoalAndSpreadsToItsNeighbour)
{
  ASSERT_TRUE(run("TreeObject(50.0, 1.0, 50.0); TreeObject(52.0, 1.0, 50.0); TreeObject(70.0, 1.0, 50.0);"
                  "Stone1StaticObject(50.0, 1.0, 60.0);"));
  SceneryObject *lit = scenery(TreeObject_list[0]), *next = scenery(TreeObject_list[1]),
                *far = scenery(TreeObject_list[2]), *stone = scenery(Stone1StaticObject_list[0]);
  lit->hurt(5.f);
  lit->hurt(5.f);  // one fire per tree
  stone->hurt(50.f);
  EXPECT_EQ(BurnEffect_list.num, 1);

  ticks(int(TREE_HEALTH / BURN_HARM * 20.f) + 10);
  EXPECT_TRUE(lit->charred);
  EXPECT_FALSE(next->charred);
  EXPECT_EQ(BurnEffect_list.num, 1);  // the neighbour caught fire halfway
  ticks(int(TREE_HEALTH / BURN_HARM * 20.f) + 10);
  EXPECT_TRUE(next->charred);
  EXPECT_FALSE(far->charred);
  EXPECT_FALSE(stone->charred);
  EXPECT_EQ(BurnEffect_list.num, 0);
  // Charred trees do not catch fire again.
  lit->hurt(5.f);
  EXPECT_EQ(BurnEffect_list.num, 0);
  EXPECT_EQ(TreeObject_list.num, 3);
}

TEST_F(GameobjWorld, TreesAndStonesFallWhereTheLandMovesFarUnderThem)
{
  using namespace HeightmapData;
  ASSERT_TRUE(run("TreeObject(40.5, 1.0, 40.5); Menhir1StaticObject(100.5, 1.0, 100.5); TreeObject(150.5, 1.0, 150.5);"));
  auto raise = [](int cx, int cz, float by) {
    for (int z = cz - 3; z <= cz + 3; z++)
      for (int x = cx - 3; x <= cx + 3; x++) hmap[cell_index(x, z)] += by;
  };
  raise(40, 40, 3.f);      // a hill under the tree
  raise(100, 100, -2.5f);  // a pit under the menhir
  raise(150, 150, 0.5f);   // a little rise under the other tree
  ticks(1);
  SceneryObject *tree = scenery(TreeObject_list[0]), *menhir = scenery(Menhir1StaticObject_list[0]),
                *kept = scenery(TreeObject_list[1]);
  EXPECT_FALSE(tree->standing());
  EXPECT_FALSE(menhir->standing());
  EXPECT_TRUE(kept->standing());
  EXPECT_FLOAT_EQ(kept->pos[1], 1.5f);

  ticks(int(SCENERY_FALL_TIME * 20.f) + 2);
  EXPECT_FLOAT_EQ(tree->tilt, 1.5707963f);
  ticks(int(SCENERY_LIE_TIME * 20.f) + 2);
  EXPECT_EQ(TreeObject_list.num, 1);
  EXPECT_EQ(Menhir1StaticObject_list.num, 0);
  EXPECT_EQ(TreeObject_list[0], static_cast<void*>(kept));
}
}  // namespace
