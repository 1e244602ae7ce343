// Creatures and guard towers on flat land with fixed seeds: creatures hurt
// a player close by and not one far off, a fallen player wakes at its
// castle, walkers keep out of water, a new world's creatures follow its
// seed, and a tower burns creatures in its range and leaves the others.
#include "gameobj_world_fixture.h"

#include "gameobj/creatures.h"
#include "gameobj/objects.h"
#include "gameobj/towers.h"
#include "gameshell/gameModes.h"

#include <cmath>

namespace
{
Player* player_at(vec4f p)
{
  local_player = create_player(p);
  return static_cast<Player*>(local_player);
}

Creature* creature(void* obj) { return static_cast<Creature*>(static_cast<PluginObject*>(static_cast<GameObj*>(obj))); }

TEST_F(GameobjWorld, ACreatureCloseToThePlayerHurtsItAndOneFarOffDoesNot)
{
  struct Case
  {
    const char* script;
    bool hurts;
  } cases[] = {
      {"LandMonster(101.0, 1.0, 100.0);", true},
      {"BirdMonster(100.0, 4.0, 101.5);", true},
      {"WyvernMonster(102.0, 3.0, 100.0);", true},
      {"LandMonster(180.0, 1.0, 100.0); WyvernMonster(100.0, 12.0, 200.0);", false},
  };
  for (const Case& c : cases) {
    remove_all_gameobj();
    Player* p = player_at(make4f(100.f, 3.f, 100.f, 1.f));
    ASSERT_TRUE(run(c.script)) << c.script;
    set_game_mode(play_mode);
    ticks(40);
    if (c.hurts)
      EXPECT_LT(p->health, PLAYER_MAX_HEALTH) << c.script;
    else
      EXPECT_EQ(p->health, PLAYER_MAX_HEALTH) << c.script;
    // Outside play (behind the menus) they leave the player alone.
    const float health = p->health;
    set_game_mode(nullptr);
    ticks(40);
    EXPECT_EQ(p->health, health) << c.script;
  }
}

TEST_F(GameobjWorld, AFallenPlayerWakesAtItsCastleWithFullHealth)
{
  ASSERT_TRUE(run("CastleObject(50.5, 1.0, 60.5);"));
  Player* p = player_at(make4f(200.f, 5.f, 200.f, 1.f));
  p->onNewPlayer();
  p->hurt(PLAYER_MAX_HEALTH * 0.5f);
  EXPECT_FLOAT_EQ(p->health, PLAYER_MAX_HEALTH * 0.5f);
  EXPECT_FLOAT_EQ(p->pos[0], 200.f);

  p->hurt(PLAYER_MAX_HEALTH);
  EXPECT_FLOAT_EQ(p->health, PLAYER_MAX_HEALTH);
  EXPECT_FLOAT_EQ(p->pos[0], 50.5f);
  EXPECT_FLOAT_EQ(p->pos[2], 60.5f + PLAYER_RESPAWN_OFFSET);
  EXPECT_GT(p->pos[1], 1.f);

  // Without a castle it wakes where it fell.
  remove_all_gameobj();
  p = player_at(make4f(20.f, 5.f, 30.f, 1.f));
  p->hurt(PLAYER_MAX_HEALTH + 1.f);
  EXPECT_FLOAT_EQ(p->health, PLAYER_MAX_HEALTH);
  EXPECT_FLOAT_EQ(p->pos[0], 20.f);
}

TEST_F(GameobjWorld, CreaturesDieOfTheirHurtsAndLeaveTheirList)
{
  ASSERT_TRUE(run("LandMonster(10.0, 1.0, 10.0); BirdMonster(20.0, 10.0, 20.0);"));
  Creature* walker = creature(LandMonster_list[0]);
  const float full = walker->kind().maxHealth;
  EXPECT_EQ(walker->health, full);
  walker->hurt(full * 0.5f);
  EXPECT_EQ(LandMonster_list.num, 1);
  walker->hurt(full);
  EXPECT_EQ(LandMonster_list.num, 0);
  EXPECT_EQ(BirdMonster_list.num, 1);
  EXPECT_EQ(static_cast<GameObj*>(static_cast<PluginObject*>(walker))->proximityBin, -1);
  delete_gameobj();
}

// Water on every cell with x from 120 on: a walker heading into it turns
// back, and after a while of wandering it has never stood in water.
TEST_F(GameobjWorld, WalkersKeepOutOfWater)
{
  using namespace HeightmapData;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 120; x < HMAP_SIZE; x++) water[z][x].amount = 1.f;
  ASSERT_TRUE(run("LandMonster(116.0, 1.0, 50.0); LandMonster(60.0, 1.0, 50.0);"));
  creature(LandMonster_list[0])->heading = 1.5707963f;  // east, into the water
  for (int i = 0; i < 600; i++) {
    ticks(1);
    for (void* c : LandMonster_list) {
      const vec4f at = creature(c)->pos;
      ASSERT_LT(at[0], 120.f) << "tick " << i;
    }
  }
  EXPECT_EQ(LandMonster_list.num, 2);
}

TEST_F(GameobjWorld, ANewWorldsCreaturesFollowItsSeed)
{
  auto placed = [&](int seed) {
    remove_all_gameobj();
    std::string script = "place_world_objects({seed = " + std::to_string(seed) +
                         ", castle = {x = 128, z = 128}, portals = [{x = 20, z = 30, target = 2}, {x = 40, z = 30}]});";
    EXPECT_TRUE(run(script.c_str()));
    EXPECT_EQ(WorldPortal_list.num, 2);
    std::vector<float> at;
    auto add = [&](auto& list) {
      for (void* c : list) {
        at.push_back(creature(c)->pos[0]);
        at.push_back(creature(c)->pos[2]);
        const vec4f d = creature(c)->pos - make4f(128.5f, 0.f, 128.5f, 0.f);
        EXPECT_GE(d[0] * d[0] + d[2] * d[2], 32.f * 32.f);
      }
    };
    add(LandMonster_list);
    add(BirdMonster_list);
    add(WyvernMonster_list);
    return at;
  };
  const std::vector<float> first = placed(5);
  EXPECT_EQ(LandMonster_list.num, 3);
  EXPECT_EQ(BirdMonster_list.num, 2);
  EXPECT_EQ(WyvernMonster_list.num, 1);
  EXPECT_EQ(CastleObject_list.num, 1);
  ASSERT_EQ(WorldPortal_list.num, 2);
  EXPECT_EQ(static_cast<WorldPortal*>(WorldPortal_list[0])->target, 2);
  EXPECT_EQ(static_cast<WorldPortal*>(WorldPortal_list[1])->target, -1);
  EXPECT_GT(TreeObject_list.num, 0);
  EXPECT_EQ(placed(5), first);
  EXPECT_NE(placed(6), first);

  // A broken entry places nothing at all.
  remove_all_gameobj();
  EXPECT_FALSE(run("place_world_objects({seed = 1, castle = {x = 1, z = 2}, portals = [{z = 1}]});"));
  EXPECT_EQ(CastleObject_list.num, 0);
  EXPECT_EQ(LandMonster_list.num, 0);
}

TEST_F(GameobjWorld, ATowerBurnsACreatureInRangeAndLeavesOneOutOfRange)
{
  // The near one is still, so the shots meet it; the far one sits well out.
  ASSERT_TRUE(run("GuardTower(100.0, 1.0, 100.0); LandMonster(112.0, 1.0, 100.0); LandMonster(100.0, 1.0, 170.0);"));
  Creature* near = creature(LandMonster_list[0]);
  Creature* far = creature(LandMonster_list[1]);
  WeakPtr<PluginObject> near_ref(near);
  const float full = far->kind().maxHealth;
  int shots = 0;
  for (int i = 0; i < 200 && near_ref.get(); i++) {
    near->turnTimer = 10.f;  // no wandering off
    near->heading = 0.f;
    near->pos = make4f(112.f, 1.f, 100.f, 1.f);
    if (GuardTowerMissile_list.num > 0 && i % 5 == 0) shots++;
    ticks(1);
  }
  EXPECT_EQ(near_ref.get(), nullptr) << "the creature in range lives on";
  EXPECT_GT(shots, 0);
  EXPECT_EQ(LandMonster_list.num, 1);
  EXPECT_EQ(LandMonster_list[0], static_cast<void*>(far));
  EXPECT_EQ(far->health, full);

  // With nothing in range the tower stays quiet.
  ticks(100);
  EXPECT_EQ(GuardTowerMissile_list.num, 0);
  EXPECT_EQ(far->health, full);
}

// A tower made with only its position (the script class makes it as the
// guard tower spell does) shoots as soon as a creature comes near.
TEST_F(GameobjWorld, ATowerNeedsOnlyItsPosition)
{
  ASSERT_TRUE(run("GuardTower(60.0, 1.0, 60.0); BirdMonster(70.0, 11.0, 60.0);"));
  ticks(1);
  ASSERT_EQ(GuardTowerMissile_list.num, 1);
  EXPECT_GT(static_cast<GuardTowerMissile*>(GuardTowerMissile_list[0])->vel[0], 0.f);
}
}  // namespace
