// A watcher on the program's folder tree (inotify): reads the notifications
// of files written or moved into place (editors save by renaming a temporary
// file) and drops them. Hot reload does not depend on it: it compares file
// times once a second. Subfolders, including linked ones such as "data", are
// watched too, and folders created later are added as they appear.
// Non-blocking; main thread only.
#pragma once

void start_dir_watch();   // watches app_path and polls once
void poll_dir_watch();    // once per frame
void stop_dir_watch();

// What is watched now: the number of folders, and whether `folder` (a path
// ending with "/") is one of them.
int dir_watch_folder_count();
bool dir_watch_watches(const char* folder);
