// Steps of the game's start-up, tick, frame and shut-down that belong to
// modules still to be written: key bindings. The game shell calls them by
// these names; the *_placeholder.cpp files hold stand-in bodies until each
// module exists, and each module moves its declarations into its own header.
// Main thread only.
#pragma once

#include "engine/vec4f.h"

// ---- key bindings: buttons 0 forward, 1 back, 2 left, 3 right, 4 up, 5 down, 6 turbo ----
void init_controls();
bool button_state(int button);  // held
bool button_down(int button);   // went down this tick

