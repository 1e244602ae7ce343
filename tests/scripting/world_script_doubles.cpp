#include "world_script_doubles.h"

#include <memory>

WorldScriptDoubleCalls world_script_calls;

// Stands in for the game shell's mode class: only its objects' identity matters.
class GameMode
{
};

namespace
{
GameMode universe_mode_object, play_mode_object, main_menu_mode_object;
std::vector<std::unique_ptr<Player>> players;

void note(const char* what) { world_script_calls.order.push_back(what); }

void test_remove_all_gameobj()
{
  world_script_calls.removeAllGameobj++;
  note("remove_all_gameobj");
}

Player* test_create_player(vec4f pos)
{
  world_script_calls.createPlayer++;
  note("create_player");
  players.emplace_back(new Player);
  players.back()->pos = pos;
  return players.back().get();
}

void test_bind_gameobj(HSQUIRRELVM) { world_script_calls.bindGameobj++; }
}  // namespace

GameMode* const test_universe_mode = &universe_mode_object;
GameMode* const test_play_mode = &play_mode_object;

// ---- scripting/hmGenScriptServices.h ----

void grab_scene_image()
{
  world_script_calls.grabSceneImage++;
  note("grab_scene_image");
}
void reset_fluid_surfaces()
{
  world_script_calls.resetFluidSurfaces++;
  note("reset_fluid_surfaces");
}
void reset_common_fx()
{
  world_script_calls.resetCommonFx++;
  note("reset_common_fx");
}
void stop_world_sounds()
{
  world_script_calls.stopWorldSounds++;
  note("stop_world_sounds");
}
unsigned play_sound_event(int id)
{
  world_script_calls.soundEvents.push_back(id);
  note("play_sound_event");
  return 0;
}

Player* local_player = nullptr;
void init_new_player(Player* player)
{
  player->initCalls++;
  note("init_new_player");
}

sqbind::SqObject universe;
sqbind::SqObject cur_game_info;
void bind_universe(HSQUIRRELVM) { world_script_calls.bindUniverse++; }
// As the game shell does: the scripts find the universe at root["universe"].
static void set_root_slot(HSQUIRRELVM vm, const char* name, const sqbind::SqObject* value)
{
  if (!vm) return;
  sqbind::StackRestore restore(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  if (value)
    sq_pushobject(vm, value->o);
  else
    sq_pushnull(vm);
  sq_newslot(vm, -3, SQFalse);
}

void fetch_universe_data()
{
  world_script_calls.fetchUniverse++;
  note("fetch_universe_data");
  set_root_slot(universe.vm, "universe", &universe);
}
void release_universe_data()
{
  world_script_calls.releaseUniverse++;
  HSQUIRRELVM vm = universe.vm ? universe.vm : cur_game_info.vm;
  set_root_slot(vm, "universe", nullptr);
  set_root_slot(vm, "cur_world", nullptr);
  universe.reset();
  cur_game_info.reset();
}

GameMode* cur_game_mode = nullptr;
GameMode* universe_mode = test_universe_mode;
GameMode* main_menu_mode = &main_menu_mode_object;
void refresh_universe_screen()
{
  world_script_calls.refreshUniverseScreen++;
  note("refresh_universe_screen");
}

void (*remove_all_gameobj)() = nullptr;
Player* (*create_player)(vec4f pos) = nullptr;
void (*bind_gameobj)(HSQUIRRELVM vm) = nullptr;

// ---- control ----

void bind_test_plugin()
{
  remove_all_gameobj = test_remove_all_gameobj;
  create_player = test_create_player;
  bind_gameobj = test_bind_gameobj;
}

void reset_world_script_doubles()
{
  world_script_calls = WorldScriptDoubleCalls();
  local_player = nullptr;
  players.clear();
  universe.reset();
  cur_game_info.reset();
  cur_game_mode = nullptr;
  remove_all_gameobj = nullptr;
  create_player = nullptr;
  bind_gameobj = nullptr;
}
