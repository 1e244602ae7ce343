// Test doubles of everything the world script VM reaches outside scripting,
// for the scripting test program (which links neither the renderer nor the
// game shell): the resets, sounds, player, universe and modes of
// scripting/hmGenScriptServices.h. (The natives' services and the world
// grid's are doubled beside the natives' tests.)
//
// Every call is counted; the plug-in variables start null and tests bind
// what they need. reset_world_script_doubles() restores that state.
#pragma once

#include "scripting/hmGenScriptServices.h"

#include <string>
#include <vector>

// Stands in for the plug-in's player class.
class Player
{
public:
  vec4f pos;
  int initCalls = 0;
};

struct WorldScriptDoubleCalls
{
  int grabSceneImage = 0, resetFluidSurfaces = 0, resetCommonFx = 0;
  int stopWorldSounds = 0, bindUniverse = 0, fetchUniverse = 0, releaseUniverse = 0;
  int refreshUniverseScreen = 0, removeAllGameobj = 0, createPlayer = 0, bindGameobj = 0;
  std::vector<int> soundEvents;  // ids given to play_sound_event(int)
  // The order of the world-script services called, by name.
  std::vector<std::string> order;
};
extern WorldScriptDoubleCalls world_script_calls;

// The doubles' own mode object, for cur_game_mode / universe_mode.
extern GameMode* const test_universe_mode;
extern GameMode* const test_play_mode;

// A plug-in binding for the tests: counts remove_all_gameobj, makes Player
// objects (owned here) for create_player, and binds nothing in bind_gameobj.
void bind_test_plugin();
// Forgets the counters, the players, the universe and the mode; unbinds the
// plug-in variables.
void reset_world_script_doubles();
