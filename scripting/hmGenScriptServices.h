// What the world script VM needs from outside scripting: the renderer's and
// the effects' resets around a new world, the world sounds, the game shell's
// player, universe and game modes, and the gameobj plug-in's functions.
//
// Scripting only declares these; the renderer, the audio layer and the game
// shell define them, and test programs supply their own doubles. The plug-in
// functions are variables that stay null until the plug-in is bound, so every
// caller tests them for null first. Main thread only.
#pragma once

#include "scripting/sqbind.h"

#include "engine/vec4f.h"

class Player;
class GameMode;

// ---- renderer and effects ----

// Copies the back buffer into the scene image behind the loading screen.
void grab_scene_image();
// Forgets the fluid surfaces of the last frames (after a world is made or loaded).
void reset_fluid_surfaces();
// Empties both particle pools, frees every trail and clears the lightning bolts.
void reset_common_fx();

// ---- sound ----

// Stops the land sounds and every tracked positional sound.
void stop_world_sounds();
// Plays sound event `id` (1 greets a newly made world); the channel, or 0.
unsigned play_sound_event(int id);

// ---- game shell ----

// The player object, null when there is none.
extern Player* local_player;
// The no-argument call that every new player gets right after create_player.
void init_new_player(Player* player);

// The universe table (null when no game is loaded) and the saved game's
// description; both live in the world VM.
extern sqbind::SqObject universe;
extern sqbind::SqObject cur_game_info;
// Registers the root natives "save_game" and "leave_world" in vm.
void bind_universe(HSQUIRRELVM vm);
// Reads "worlds" from `universe` and stores root["universe"]; throws
// sqbind::SquirrelError when the table has no "worlds".
void fetch_universe_data();
// Drops root["universe"] and root["cur_world"] and releases the universe handles.
void release_universe_data();

extern GameMode* cur_game_mode;
extern GameMode* universe_mode;
extern GameMode* main_menu_mode;
// The plug-in's universe screen, when it exists, rebuilds itself for a
// regenerated universe.
void refresh_universe_screen();

// ---- bound from the gameobj plug-in by the game shell (null until bound) ----

extern void (*remove_all_gameobj)();
extern Player* (*create_player)(vec4f pos);
// Registers the plug-in's script classes and natives in the world VM.
extern void (*bind_gameobj)(HSQUIRRELVM vm);
