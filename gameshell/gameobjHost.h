// The host of the gameobj plug-in: loads "gameobj.so" from the program's
// folder, binds it and unbinds it before it is freed.
//
// Binding fills the 99 function variables of gameobjFuncs.h by name, moves
// every live object of the 53 lists over to the new library's class tables
// (each object keeps its memory; only the code behind it changes), keeps the
// 85 class tables for the next binding and lets the plug-in link its GUI.
// Unbinding empties the variables, releases the plug-in's screens, deletes
// what the GUI queued and empties the plug-in's styles; the object lists and
// the kept class tables are left alone. A plug-in that does not match the
// game is fatal: "invalid gameobj.dll", "no \"<name>\" function in
// gameobj.dll", "gameobj classes changed, need restart", "cannot find object
// vtable", and "can't load gameobj.dll" when the file does not load.
//
// Objects queued in deleted_gameobjs are deleted (the plug-in's
// delete_gameobj) before a library is unbound, while their code still exists.
// Main thread only.
#pragma once

#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"

// The library file beside the program.
#define GAMEOBJ_LIBRARY_NAME "gameobj.so"

extern void* gameobj_dll_handle;
// The class tables of the last bound library, by class index; null before the
// first binding. Unbinding keeps them to recognise the objects it made.
extern void* gameobj_vtable_table[NUM_GAMEOBJ_CLASSES];

// Binds a loaded library; fatal on any mismatch (see the banner).
void bind_gameobj_dll(void* library);
// Empties the variables and drops the plug-in's GUI; the library stays loaded.
void unbind_gameobj_dll();

// The named function of the bound library; fatal when it has none.
void* resolve_gameobj_func(GetGameobjFuncByName get_func, const char* name);
// The index (1-84) of a class table in gameobj_vtable_table; fatal when absent.
int find_gameobj_vtable_index(const void* vtable);

// Loads and binds the library at path (null: GAMEOBJ_LIBRARY_NAME beside the
// program), unloading the current one first; fatal when it does not load.
void load_gameobj_library(const char* path);
// Deletes queued objects, unbinds and frees the library; nothing when none is loaded.
void unload_gameobj();

// Start-up: loads the plug-in. source_dir and main_source name the plug-in's
// sources, which the rebuild watches.
void load_gameobj(const char* source_dir, const char* main_source);
// Shut-down: unloads the plug-in.
void free_gameobj();
// The once-a-second reload step (force: reload even without a new library);
// true when a library was loaded and swapped in.
bool reload_gameobj(bool force);

// The no-argument call every new player gets right after create_player.
void init_new_player(Player* player);
// The open universe screen rebuilds itself for a regenerated universe.
void refresh_universe_screen();
