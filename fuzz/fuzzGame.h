// The game shell for the fuzz targets of its own readers (save slots, world
// files, the plug-in's objects, the developer server): the real gameobj
// plug-in, a world script VM with the universe and plug-in natives, slot 0
// of a private application-data folder as the current game, and a world in
// memory with a castle and a player. Programs that use it link the whole
// game (fuzz/CMakeLists.txt) instead of the shell's test doubles.
#pragma once

#include "fuzz/fuzzSupport.h"

#include <string>

// Once per process; later calls do nothing.
void fuzz_game_init();
// After an input: objects queued for deletion are deleted and the on-screen
// error is dropped. A slot's lock stays with the process, as in a running
// game: taking it again for every input scanned the slot's folder each time.
void fuzz_game_after_input();
// <application data>/Quillmere/saves/0/<file>
std::string fuzz_slot_path(const char* file);
