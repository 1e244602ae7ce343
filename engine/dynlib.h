// Dynamic libraries by file name (the gameobj plug-in) over dlopen. Symbols
// are resolved at load time and stay local to the library. Failures return
// null or false; library_error() gives the system's reason for the last one.
// Main thread only.
#pragma once

void* load_library(const char* name);
void* get_proc_address(void* module, const char* name);
bool free_library(void* module);   // true when released
const char* library_error();      // "" when the last call succeeded
