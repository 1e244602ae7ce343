// PLACEHOLDER: stand-ins for what the world script VM needs from the world
// renderer, the audio layer, the game shell and the plug-in binding
// (scripting/hmGenScriptServices.h), so that the `game` program links before
// those subsystems exist: the resets do nothing, no sound plays, there is no
// player, universe or game mode yet, and the plug-in stays unbound. Delete
// each definition here as the real one is written.
#include "scripting/hmGenScriptServices.h"

void grab_scene_image() {}
void reset_common_fx() {}

void stop_world_sounds() {}
unsigned play_sound_event(int) { return 0; }

Player* local_player = nullptr;
void init_new_player(Player*) {}

sqbind::SqObject universe;
sqbind::SqObject cur_game_info;
void bind_universe(HSQUIRRELVM) {}
void fetch_universe_data() {}
void release_universe_data()
{
  universe.reset();
  cur_game_info.reset();
}

GameMode* cur_game_mode = nullptr;
GameMode* universe_mode = nullptr;
void refresh_universe_screen() {}

void (*remove_all_gameobj)() = nullptr;
Player* (*create_player)(vec4f pos) = nullptr;
void (*bind_gameobj)(HSQUIRRELVM vm) = nullptr;
