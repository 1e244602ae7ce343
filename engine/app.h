// The application shell of `game`: start-up, the fixed-step main loop,
// shut-down and the window's event handling. Owns the process from entry to
// exit. Main thread only.
#pragma once

int app_main(int argc, char** argv);
