// What the world script's natives need from outside the scripting layer: the
// sky's sun direction (world renderer), named sound events (game shell) and
// the land height that the gameobj plug-in computes.
//
// Scripting only declares these; their owners define them, and test programs
// supply their own doubles. The plug-in function is a variable that stays
// null until the game shell binds the plug-in, so callers test it first.
// Main thread only.
#pragma once

#include "engine/vec4f.h"

// ---- world renderer (sky) ----

// Takes the normalised dir (zero stays zero) as the sun direction and
// evaluates the sky; smooth false applies it at once, true blends over a tick.
void set_sun_direction(vec4f dir, bool smooth);

// ---- game shell ----

// Plays the named sound event of the sound script; the channel handle, 0 when
// nothing played.
unsigned play_sound_event(const char* name);

// ---- bound from the gameobj plug-in by the game shell (null until bound) ----

// Land height at the horizontal world position (x, z).
extern float (*get_land_height)(float x, float z);
