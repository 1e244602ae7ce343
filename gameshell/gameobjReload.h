// Rebuilding and reloading the gameobj plug-in while the game runs.
//
// At start-up the library is loaded and the plug-in's sources are recorded
// with their modification times: the main source, every ".cpp" file beside
// it, and, depth first, every file their `#include "..."` lines name (taken
// relative to the folder above the source folder, where the project's
// includes are rooted; each file once). Once a second the game asks for a
// reload: when a recorded file's time differs (older, newer or deleted), the
// sources are scanned again and "rebuild_dll.sh" of the source folder is
// started in that folder; its output is echoed line by line as it arrives,
// lines holding the word "error"/"errors" go to the on-screen error message,
// and a failed build says so there. When "gameobj_new.so" exists beside the
// program and no build runs, it replaces "gameobj.so", which is loaded and
// bound again (live objects move over to it). A failed swap leaves whatever
// "gameobj.so" holds loaded. The game never waits for the build.
// Main thread only.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"
#include "engine/utils.h"

#define GAMEOBJ_NEW_LIBRARY_NAME "gameobj_new.so"
#define GAMEOBJ_REBUILD_SCRIPT "rebuild_dll.sh"

struct GameobjDep
{
  TempString<260> path;  // full path
  int64_t time;          // modification time in nanoseconds when recorded, 0 when missing
};

extern DynArray<GameobjDep> gameobj_deps;
extern TempString<260> gameobj_source_dir;
extern TempString<260> gameobj_main_source;

// Records the file at a path relative to the program (or absolute) and,
// recursively, every file it includes. A file that cannot be opened is left
// out.
void scan_dll_deps(const char* path);
// True when any recorded file's time differs from its record.
bool dll_deps_changed();
// The record's index for a full path (compared without regard to case), or -1.
int find_dll_dep(const char* full_path);
// The line holds "error" or "errors", in any case, as a whole word.
bool is_error_word(const char* line);
// True while a rebuild runs or was just started; drains its output.
bool update_dll_rebuild();
// True while a build process is running.
bool gameobj_rebuild_running();
