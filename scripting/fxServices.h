// What the effect script needs from outside scripting: the world renderer's
// two particle pools. (Its reload also empties every common effect through
// reset_common_fx, declared with the world script's needs in
// hmGenScriptServices.h.)
//
// Scripting only declares these; the world renderer defines them, and test
// programs supply their own doubles. Main thread only.
#pragma once

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/vec4f.h"

// Adds one particle to the alpha-blended pool: position, velocity and
// acceleration; life and start delay in seconds; base size and colour; the
// sprite's centre and size in the effect atlas (texels); base roll and the
// factor of the roll ramp; colour, size and roll over the normalised age
// (each ramp may be null).
void add_blend_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                        float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                        ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim);
// The same for the additive (glow) pool.
void add_glow_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                       float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                       ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim);
