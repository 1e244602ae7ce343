// The world script VM: one Squirrel VM, filled from "gen/main.nut" and the
// files it includes, that generates the universe and every world and later
// answers the world's events, tooltips and context menus for the plug-in's
// objects.
//
// The game calls the script through nine entry points bound by name from its
// root table ("generate_world", "generate_universe", "get_world_tooltip",
// "get_world_ctx_menu", "process_event", "update_script",
// "activate_current_world", "set_pal_color", "get_savegame_globals"); a name
// the scripts lack leaves its handle null. No script error ever leaves these
// operations: each is shown as the on-screen error message under one of two
// headers, "Error in world gen script:\n%s" for start-up, generation, reload
// and plug-in rebinding, "Error in world script:\n%s" for the run-time entry
// points. A world is always completed (target heights, fluid copy, player),
// even when its script failed half-way.
//
// Hot reload: once a second the game shell asks reload_world_script_if_changed
// to re-run every script file when any of them changed, or to re-read
// "gen/palettes.csv" when only that changed, and then to regenerate the
// current world or universe. Main thread only.
#pragma once

#include "scripting/sqVMReload.h"
#include "scripting/sqbindCall.h"

#include "engine/vec4f.h"

// The world VM and the script files run in it.
extern SqReloadableVM world_script_vm;

// ---- life of the VM ----

// Creates the VM (fatal "error creating world gen script VM" when it cannot),
// registers the script API, the universe natives and the plug-in's classes,
// runs "gen/main.nut", binds the entry points and loads the palettes. A
// script error is shown; start-up goes on with what the scripts defined.
void init_world_script();
// Releases the universe data and the entry points, then closes the VM.
void shutdown_world_script();
// Binds the nine entry points again from the root table.
void bind_world_entry_points();
// Calls the plug-in's bind_gameobj on the world VM again after a plug-in reload.
void rebind_world_plugin_natives();
// The once-a-second poll: re-runs all script files when any changed, reloads
// the palettes when their file changed, and then regenerates the universe (in
// universe mode) or the world "game".
void reload_world_script_if_changed();

// ---- generation ----

// Builds a new world: removes every game object, resets the effects, sounds
// and grid, runs the script's generate_world(name), then completes the world
// (target heights, fluid, fluid surfaces, and the player at the script's start
// position when there is none). name may be null (treated like "main_menu"
// for the sounds).
void generate_world(const char* name);
// Runs the script's generate_universe() into `universe`, names the game in
// `cur_game_info` and fetches the universe data for the game shell.
void generate_universe();

// ---- run-time entry points (also called by the plug-in) ----

void world_script_event(const sqbind::SqObject& obj);
void world_script_str_event(const char* text);
// A null object when the script has no answer or fails.
sqbind::SqObject get_world_tooltip(const sqbind::SqObject& obj);
sqbind::SqObject get_world_ctx_menu(const sqbind::SqObject& obj);
sqbind::SqObject get_savegame_globals();
// Missing "update_script" / "activate_current_world" are not errors.
void update_world_script(float dt);
void activate_current_world();
void set_world_pal_color(const char* name, unsigned int color);
// The script function's result by the VM's truth rules; def when f is null
// or the call fails.
bool call_bool_func(sqbind::SqFunc<bool>& f, bool def);
// root[name] by truth (1 or 0); def, with an error message, when it is missing.
int get_world_script_bool(const char* name, int def);
