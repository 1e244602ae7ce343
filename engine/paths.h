// Program and user-data paths, file times and a case-insensitive file look-up.
//
// `app_path` is the program's folder with a trailing "/", filled once at
// start-up by init_app_path() (empty when it cannot be found: relative paths
// then resolve against the working directory). Paths use "/"; a "\" written
// by data made for other systems is read as "/". Results that do not fit in
// 260 bytes end the program through TempString's "l<BS" assertion.
// Main thread only (app_path is written once before anything else runs).
#pragma once

#include <cstdint>

#include "engine/utils.h"

extern char app_path[260];

// Fills app_path from /proc/self/exe; false (and app_path empty) on failure.
bool init_app_path();

// The program file's full path; false when it cannot be read or does not
// fit in size - 1 bytes.
bool get_exe_filename(char* buffer, int size);
// The same cut after the last "/", which stays; same failures.
bool get_exe_path(char* buffer, int size);

// Absolute paths ("/...") are normalised; others are joined to app_path
// first. "." and ".." segments and repeated slashes are resolved lexically
// (".." at the root stays at the root); a trailing "/" is kept. Null or empty
// gives app_path.
TempString<260> make_full_path(const char* path);

// $XDG_DATA_HOME (else ~/.local/share) followed by "/"; app_path when there
// is no home folder. The folder is not created.
TempString<260> get_appdata_path();
TempString<260> get_appdata_path(const char* name);

// The file's modification time in seconds; 0 when it cannot be examined.
int64_t get_file_time(const char* path);

// Data files were named on a file system that ignores case. Returns the path
// as it exists on disk, matching each missing component without regard to
// case; the path unchanged when it exists as written or has no match.
TempString<260> find_file_nocase(const char* path);
