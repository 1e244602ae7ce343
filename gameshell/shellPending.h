// Steps of the game's start-up, tick, frame and shut-down that belong to
// modules still to be written: effects. The game shell calls them by these
// names; the *_placeholder.cpp files hold stand-in bodies until each module
// exists, and each module moves its declarations into its own header.
// Main thread only.
#pragma once

#include "engine/vec4f.h"

// ---- effects ----
void init_common_fx();
void update_common_fx(float dt);
void init_shadow_shaders();

