// The world's objects saved with it: every kind round-trips to the same
// bytes, damaged data is refused with the world left as it was, serial ids
// stay unique, and saved script graphs find the loaded objects again.
#include "gameobj_world_fixture.h"

#include "gameobj/creatures.h"
#include "gameobj/objects.h"

#include "scripting/scriptSave.h"
#include "scripting/sqbindCall.h"

#include <cmath>
#include <set>
#include <vector>

namespace
{
const int HEADER = 8;

// Offsets of the records of a saved list of objects (current form).
std::vector<int> record_offsets(const std::string& bytes)
{
  std::vector<int> at;
  uint32_t count;
  memcpy(&count, &bytes[4], 4);
  int p = HEADER;
  for (uint32_t i = 0; i < count; i++) {
    at.push_back(p);
    uint32_t state;
    memcpy(&state, &bytes[p + 17], 4);
    p += 21 + int(state);
  }
  at.push_back(p);
  return at;
}

template <class T>
std::string patched(std::string s, int at, T v)
{
  memcpy(&s[at], &v, sizeof(T));
  return s;
}

// Every list's objects, in order: what a failed load must not change.
std::vector<void*> all_objects()
{
  std::vector<void*> all;
#define GATHER(cls) all.insert(all.end(), cls##_list.begin(), cls##_list.end());
  GAMEOBJ_LIST_CLASSES(GATHER)
#undef GATHER
  return all;
}

const char* const one_of_each = R"(
local names = ["Player", "WaterSource", "LavaSource", "NaturalVolcano", "SpellObject", "ThunderstormObject",
  "Fireball", "Waterball", "FaultMissile", "HouseMissile", "MeteorMissile", "ThunderstormMissile", "HillMissile",
  "PitMissile", "VolcanoMissile", "WaterSourceMissile", "WaterSinkMissile", "FireballSpell", "WaterballSpell",
  "FaultSpell", "HouseSpell", "MeteorSpell", "HillSpell", "PitSpell", "VolcanoSpell", "WaterSourceSpell",
  "WaterSinkSpell", "ThunderstormSpell", "HealingSpell", "LightningSpell", "WyvernMonster", "BurnEffect",
  "TreeObject", "StoneCup1Object", "Stone1StaticObject", "Menhir1StaticObject", "Menhir2StaticObject",
  "HumanoidStaticObject", "ManaGatherer", "CastleObject", "CastleMissile", "CastleSpell", "ManaBall",
  "WorldPortal", "UsePortalSpell", "BirdMonster", "LandMonster", "TimeTrigger", "Sensor", "GuardTower",
  "GuardTowerMissile", "GuardTowerSpell", "LightPillarEffect"];
objects <- {};
foreach (i, name in names) objects[name] <- getroottable()[name](10.0 + i * 3.0, 2.0, 20.0 + i);
)";

TEST_F(GameobjWorld, OneObjectOfEveryKindSavesLoadsAndSavesAgainToTheSameBytes)
{
  ASSERT_TRUE(run(one_of_each));
  // The player's home is saved as a reference to the castle.
  static_cast<Player*>(Player_list[0])->onNewPlayer();
  const std::string first = saved_objects();
  std::vector<uint32_t> ids;
  for (void* o : all_objects()) ids.push_back(static_cast<BaseObject*>(o)->serialId);
  ASSERT_EQ(ids.size(), size_t(NUM_GAMEOBJ_LISTS));

  remove_all_gameobj();
  load_objects_from(first);
  std::vector<uint32_t> loaded_ids;
  for (void* o : all_objects()) loaded_ids.push_back(static_cast<BaseObject*>(o)->serialId);
  EXPECT_EQ(loaded_ids, ids);
#define ONE_EACH(cls) EXPECT_EQ(cls##_list.num, 1) << #cls;
  GAMEOBJ_LIST_CLASSES(ONE_EACH)
#undef ONE_EACH
  Player* player = static_cast<Player*>(Player_list[0]);
  EXPECT_EQ(player->castle.get(), static_cast<CastleObject*>(CastleObject_list[0]));
  EXPECT_EQ(static_cast<CastleObject*>(CastleObject_list[0])->player.get(), player);
  EXPECT_EQ(saved_objects(), first);
}

TEST_F(GameobjWorld, DamagedObjectDataIsRefusedAndTheWorldLeftAsItWas)
{
  ASSERT_TRUE(run("local p = Player(5.0, 3.0, 6.0); local c = CastleObject(30.0, 1.0, 30.0);"
                  "local w = WorldPortal(50.0, 1.0, 50.0); TreeObject(70.0, 1.0, 70.0);"));
  static_cast<Player*>(Player_list[0])->onNewPlayer();
  const std::string good = saved_objects();
  const std::vector<int> rec = record_offsets(good);
  ASSERT_EQ(rec.size(), 5u);
  // In list order: the player, the tree, the castle, the portal.
  const int player = rec[0], castle = rec[2], portal = rec[3];
  ASSERT_EQ(uint8_t(good[player]), 1);
  ASSERT_EQ(uint8_t(good[castle]), 40);
  const int state = player + 21;        // health, mana, castle reference
  uint32_t castle_id;
  memcpy(&castle_id, &good[castle + 1], 4);

  struct Case
  {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"wrong magic", patched(good, 0, uint32_t(0x12345678))},
      {"huge count", patched(good, 4, uint32_t(0xFFFFFFFF))},
      {"count beyond the records", patched(good, 4, uint32_t(5))},
      {"cut in a record's head", good.substr(0, size_t(castle + 7))},
      {"cut in a record's state", good.substr(0, size_t(state + 5))},
      {"class index 0", patched(good, castle, uint8_t(0))},
      {"class index past the lists", patched(good, castle, uint8_t(54))},
      {"class index 255", patched(good, castle, uint8_t(255))},
      {"position not a number", patched(good, castle + 5, NAN)},
      {"position infinite", patched(good, castle + 13, INFINITY)},
      {"state longer than the kind's", patched(good, player + 17, uint32_t(13))},
      {"state shorter than the kind's", patched(good, player + 17, uint32_t(8))},
      {"state length huge", patched(good, player + 17, uint32_t(0x7FFFFFF0))},
      {"health not a number", patched(good, state, NAN)},
      {"health below zero", patched(good, state, -5.f)},
      {"mana past its top", patched(good, state + 4, 1e9f)},
      {"serial id 0", patched(good, castle + 1, uint32_t(0))},
      {"two objects with one serial id", patched(good, player + 1, castle_id)},
      {"a castle's state where a portal's should be", patched(good, portal, uint8_t(40))},
  };
  // A live world: the failed loads must leave it untouched.
  remove_all_gameobj();
  ASSERT_TRUE(run("CastleObject(99.0, 1.0, 99.0); LandMonster(90.0, 1.0, 90.0);"));
  const std::vector<void*> before = all_objects();
  for (const Case& c : cases) {
    MemoryInputStream in(c.bytes.data(), int(c.bytes.size()));
    EXPECT_THROW(load_gameobjs(in), InputStream::Exception) << c.what;
    EXPECT_EQ(all_objects(), before) << c.what;
    EXPECT_EQ(deleted_gameobjs.num, 0) << c.what;
  }
  remove_all_gameobj();
  load_objects_from(good);
  EXPECT_EQ(saved_objects(), good);
}

// The earlier form: a count of 21-byte records (kind, serial id, position,
// one integer) of players, castles and portals; trees grow again.
TEST_F(GameobjWorld, TheEarlierFormStillLoads)
{
  std::string bytes;
  auto put = [&](auto v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof(v)); };
  auto record = [&](uint8_t kind, uint32_t id, float x, int32_t extra) {
    put(kind);
    put(id);
    put(x);
    put(2.f);
    put(x + 1.f);
    put(extra);
  };
  put(uint32_t(0x314F4751));
  put(uint32_t(3));
  record(0, 7, 10.f, 0);
  record(1, 8, 40.f, 0);
  record(2, 9, 80.f, 4);
  load_objects_from(bytes);
  ASSERT_EQ(Player_list.num, 1);
  ASSERT_EQ(CastleObject_list.num, 1);
  ASSERT_EQ(WorldPortal_list.num, 1);
  EXPECT_EQ(static_cast<WorldPortal*>(WorldPortal_list[0])->target, 4);
  EXPECT_EQ(static_cast<BaseObject*>(static_cast<void*>(WorldPortal_list[0]))->serialId, 9u);
  EXPECT_FLOAT_EQ(static_cast<Player*>(Player_list[0])->pos[2], 11.f);
  EXPECT_GT(TreeObject_list.num, 0);

  for (uint8_t bad_kind : {uint8_t(3), uint8_t(200)}) {
    std::string damaged = bytes;
    damaged[HEADER] = char(bad_kind);
    MemoryInputStream in(damaged.data(), int(damaged.size()));
    EXPECT_THROW(load_gameobjs(in), InputStream::Exception) << int(bad_kind);
  }
}

TEST_F(GameobjWorld, NewObjectsNeverShareASerialIdWithLoadedOnes)
{
  for (uint32_t top : {0xFFFFFFFEu, 0xFFFFFFFFu}) {
    remove_all_gameobj();
    ASSERT_TRUE(run("CastleObject(1.0, 2.0, 3.0); CastleObject(4.0, 2.0, 3.0);"));
    std::string bytes = saved_objects();
    const std::vector<int> rec = record_offsets(bytes);
    bytes = patched(patched(bytes, rec[0] + 1, top), rec[1] + 1, uint32_t(1));
    remove_all_gameobj();
    load_objects_from(bytes);
    ASSERT_EQ(CastleObject_list.num, 2);

    for (int i = 0; i < 4; i++) create_player(v_zero());
    ASSERT_TRUE(run("LandMonster(1.0, 1.0, 1.0);"));
    std::set<uint32_t> ids;
    for (void* o : all_objects()) ids.insert(static_cast<BaseObject*>(o)->serialId);
    EXPECT_EQ(ids.size(), all_objects().size()) << std::hex << top;
    EXPECT_EQ(ids.count(0u), 0u) << std::hex << top;
  }
}

// A script table that holds objects is saved as a graph naming them by
// serial id; loaded again after the world, it holds the loaded objects.
TEST_F(GameobjWorld, SavedScriptGraphsFindTheLoadedObjects)
{
  ASSERT_TRUE(run("kept <- {monster = LandMonster(60.0, 1.0, 60.0), tower = GuardTower(64.0, 1.0, 60.0)};"));
  const std::string objects = saved_objects();
  MemoryOutputBuffer graph;
  {
    sq_pushroottable(vm);
    sqbind::SqObject kept = sqbind::get_slot(vm, sqbind::SqObject::fromStack(vm, -1).o, "kept");
    sq_poptop(vm);
    save_script_data(kept, graph);
    save_script_refs(graph);
  }
  ASSERT_TRUE(run("kept = null;"));
  remove_all_gameobj();
  load_objects_from(objects);

  MemoryInputStream in(graph.bytes.data, graph.bytes.num);
  sqbind::SqObject loaded = load_script_data(in, vm);
  saved_object_list.clear();

  // The script reaches the loaded monster: destroying it from native code
  // leaves the script's instance holding no object.
  SQUserPointer monster = nullptr;
  sq_pushobject(vm, loaded.o);
  sq_pushstring(vm, "monster", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(vm, -1, &monster, sqbind::class_tag<BaseObject>())));
  sq_pop(vm, 2);
  ASSERT_EQ(LandMonster_list.num, 1);
  EXPECT_EQ(monster, static_cast<void*>(LandMonster_list[0]));

  static_cast<BaseObject*>(monster)->destroy();
  delete_gameobj();
  sq_pushobject(vm, loaded.o);
  sq_pushstring(vm, "monster", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  monster = &monster;
  sq_getinstanceup(vm, -1, &monster, sqbind::class_tag<BaseObject>());
  sq_pop(vm, 2);
  EXPECT_EQ(monster, nullptr);
}
}  // namespace

namespace
{
// A reload of the plug-in under a live world: the objects go on with the new
// code, the classes bound again still make objects, and scripts' instances
// still hold theirs.
TEST_F(GameobjWorld, ObjectsAndTheirScriptClassesOutliveAPlugInReload)
{
  ASSERT_TRUE(run("kept <- LandMonster(30.0, 1.0, 30.0); GuardTower(40.0, 1.0, 30.0); TreeObject(60.0, 1.0, 60.0);"));
  void* monster = LandMonster_list[0];
  load_gameobj_library(QM_GAMEOBJ_PLUGIN);
  bind_gameobj(vm);
  ticks(10);
  ASSERT_TRUE(run("BirdMonster(35.0, 10.0, 30.0);"));
  EXPECT_EQ(BirdMonster_list.num, 1);
  ticks(40);
  // The tower has been shooting at the monster.
  if (LandMonster_list.num) {
    Creature* c = static_cast<Creature*>(static_cast<PluginObject*>(static_cast<GameObj*>(LandMonster_list[0])));
    EXPECT_LT(c->health, c->kind().maxHealth);
  }

  SQUserPointer held = nullptr;
  sq_pushroottable(vm);
  sq_pushstring(vm, "kept", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  sq_getinstanceup(vm, -1, &held, sqbind::class_tag<BaseObject>());
  sq_pop(vm, 2);
  EXPECT_EQ(held, LandMonster_list.num ? monster : nullptr);

  const std::string bytes = saved_objects();
  remove_all_gameobj();
  load_objects_from(bytes);
  EXPECT_EQ(saved_objects(), bytes);
}
}  // namespace
