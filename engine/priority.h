// The process's scheduling priority: the configured level, and the idle
// priority while the main window is inactive.
//
// Levels: 0 normal, 1 above normal, 2 or more high. On Linux these are nice
// values below the one the process started with; an ordinary process may
// lower its priority but not raise it again, so every change stays within what
// the system allows: a refused raise keeps the nearest allowed value, and the
// idle priority is taken only when the stored level can be restored after it.
// Nothing here ever fails the program (a refusal is logged once). The level is
// applied to the calling thread, which must be the main thread; threads
// started later inherit it.
#pragma once

void set_process_priority(int level);   // stores the level and applies it
int get_process_priority();
void apply_process_priority();           // applies the stored level again
void set_idle_priority(bool idle);       // window inactive: lowest priority
