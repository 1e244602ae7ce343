// Our gameobj plug-in, loaded and bound by the host as the game does: the
// duties the game relies on, its saved objects, its script natives and a
// reload under live objects.
#include "gameshell/gameModes.h"
#include "gameshell/gameobjHost.h"

#include "engine/streams.h"
#include "scripting/sqbind.h"
#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstring>
#include <set>

namespace
{
const char* const plugin_path = QM_GAMEOBJ_PLUGIN;

class GameobjPlugin : public ::testing::Test
{
protected:
  void SetUp() override { load_gameobj_library(plugin_path); }
  void TearDown() override
  {
    remove_all_gameobj();
    close_game_menu();
    unload_gameobj();
    destroy_queued_gui_elements();
  }

  static vec4f pos_of(void* obj)
  {
    vec4f p;
    return *as_gameobj(static_cast<BaseObject*>(obj))->getPos(&p);
  }
};

TEST_F(GameobjPlugin, GivesDistinctClassTables)
{
  std::set<void*> tables(gameobj_vtable_table, gameobj_vtable_table + NUM_GAMEOBJ_CLASSES);
  EXPECT_EQ(tables.size(), size_t(NUM_GAMEOBJ_CLASSES));
  EXPECT_EQ(tables.count(nullptr), 0u);
}

TEST_F(GameobjPlugin, CreatePlayerGivesALivePlayerThatRemoveAllTakesAway)
{
  local_player = create_player(make4f(1.f, 2.f, 3.f, 1.f));
  ASSERT_NE(local_player, nullptr);
  ASSERT_EQ(Player_list.num, 1);
  EXPECT_EQ(Player_list[0], local_player);
  EXPECT_EQ(static_cast<BaseObject*>(static_cast<void*>(local_player))->flags, 0u);
  EXPECT_FLOAT_EQ(pos_of(local_player)[2], 3.f);

  remove_all_gameobj();
  EXPECT_EQ(local_player, nullptr);
  EXPECT_EQ(Player_list.num, 0);
  EXPECT_EQ(deleted_gameobjs.num, 0);
}

TEST_F(GameobjPlugin, DeleteGameobjDeletesEveryQueuedObject)
{
  BaseObject* a = static_cast<BaseObject*>(static_cast<void*>(create_player(v_zero())));
  BaseObject* b = static_cast<BaseObject*>(static_cast<void*>(create_player(v_zero())));
  WeakPtr<BaseObject> ra(a), rb(b);
  a->destroy();
  b->destroy();
  EXPECT_EQ(deleted_gameobjs.num, 2);
  EXPECT_EQ(Player_list.num, 0);  // a destroyed object leaves its list
  delete_gameobj();
  EXPECT_EQ(deleted_gameobjs.num, 0);
  EXPECT_EQ(ra.get(), nullptr);
  EXPECT_EQ(rb.get(), nullptr);
}

TEST_F(GameobjPlugin, ClosingTheMenuTwiceOrWithNoneOpenIsSafe)
{
  close_game_menu();
  close_game_menu();
  open_main_menu();
  EXPECT_NE(main_menu_screen, nullptr);
  should_close_game_menu = true;
  close_game_menu();
  close_game_menu();
  EXPECT_EQ(main_menu_screen, nullptr);
  EXPECT_FALSE(should_close_game_menu);
  destroy_queued_gui_elements();
}

TEST_F(GameobjPlugin, SavedObjectsIncludeThePlayerAndLoadBack)
{
  local_player = create_player(make4f(10.f, 20.f, 30.f, 1.f));
  MemoryOutputBuffer out;
  save_gameobjs(out);
  remove_all_gameobj();

  MemoryInputStream in(out.bytes.data, out.bytes.num);
  load_gameobjs(in);
  ASSERT_EQ(Player_list.num, 1);
  vec4f p = pos_of(Player_list[0]);
  EXPECT_FLOAT_EQ(p[0], 10.f);
  EXPECT_FLOAT_EQ(p[1], 20.f);
  EXPECT_FLOAT_EQ(p[2], 30.f);
  EXPECT_EQ(in.tell(), out.bytes.num);
}

TEST_F(GameobjPlugin, TheWorldScriptPlacesCastlesAndPortals)
{
  HSQUIRRELVM vm = open_script_vm(1024);
  bind_gameobj(vm);
  const char* script = "place_castle(10, 20); place_portal(30, 40, 2);";
  ASSERT_TRUE(compile_script_buffer(vm, script, SQInteger(strlen(script)), "test"));
  sq_pushroottable(vm);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue)));
  sq_pop(vm, 1);
  close_script_vm(vm);

  ASSERT_EQ(CastleObject_list.num, 1);
  ASSERT_EQ(WorldPortal_list.num, 1);
  EXPECT_FLOAT_EQ(pos_of(CastleObject_list[0])[0], 10.5f);
  EXPECT_FLOAT_EQ(pos_of(WorldPortal_list[0])[2], 40.5f);
}

// Flat, dry land at height 0: the player flies no lower than 1.5.
TEST_F(GameobjPlugin, APlayerFlyingIntoAPortalStartsTheWarp)
{
  std::fill(std::begin(HeightmapData::hmap), std::end(HeightmapData::hmap), 0.f);
  HSQUIRRELVM vm = open_script_vm(1024);
  bind_gameobj(vm);
  const char* script = "place_portal(30, 40, 2); place_portal(0, 100, 3);";
  ASSERT_TRUE(compile_script_buffer(vm, script, SQInteger(strlen(script)), "test"));
  sq_pushroottable(vm);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue)));
  sq_pop(vm, 1);
  close_script_vm(vm);

  struct Case
  {
    const char* what;
    vec4f from, step;
    bool warps;
  } cases[] = {
      {"short of the portal", make4f(30.5f, 2.f, 30.f, 1.f), make4f(0.f, 0.f, 6.f, 0.f), false},
      {"into the portal", make4f(30.5f, 2.f, 30.f, 1.f), make4f(0.f, 0.f, 9.f, 0.f), true},
      {"down onto it", make4f(31.f, 30.f, 41.f, 1.f), make4f(0.f, -25.f, 0.f, 0.f), true},
      {"high over it", make4f(31.f, 30.f, 30.f, 1.f), make4f(0.f, 0.f, 10.f, 0.f), false},
      {"across the world's edge", make4f(254.f, 2.f, 100.5f, 1.f), make4f(1.f, 0.f, 0.f, 0.f), true},
  };
  Matrix44 camera;
  for (const Case& c : cases) {
    set_game_mode(play_mode);
    void* player = create_player(c.from);
    vec4f step = c.step;
    as_gameobj(static_cast<BaseObject*>(player))->move(0.1f, 1.f, &step, &camera, 0);
    EXPECT_EQ(cur_game_mode == warp_mode, c.warps) << c.what;
    as_gameobj(static_cast<BaseObject*>(player))->destroy();
    delete_gameobj();
  }
  set_game_mode(nullptr);
}

TEST_F(GameobjPlugin, AReloadKeepsLiveObjectsAndUnloadsTheOldCopy)
{
  local_player = create_player(make4f(5.f, 6.f, 7.f, 1.f));
  load_gameobj_library(plugin_path);
  ASSERT_EQ(Player_list.num, 1);
  EXPECT_STREQ(static_cast<BaseObject*>(static_cast<void*>(Player_list[0]))->getClassName(), "Player");
  EXPECT_FLOAT_EQ(pos_of(Player_list[0])[1], 6.f);

  remove_all_gameobj();
  unload_gameobj();
  EXPECT_EQ(dlopen(plugin_path, RTLD_NOW | RTLD_NOLOAD), nullptr);
  load_gameobj_library(plugin_path);
}
}  // namespace
