// The script classes "ColorRamp" and "FloatRamp": the engine's 257-sample
// colour and float curves (engine/ramps.h) as script values, registered in
// the world script VM (palettes, noise curves, land colours) and in the effect
// script VM (particle colour, size and roll over a particle's life).
//
// A script instance owns one heap SqColorRamp or SqFloatRamp, freed when the
// instance is released. Natives take ramps as SqColorRamp* / SqFloatRamp*
// (null allowed), which are the engine's ramps (the ramp is the base at the
// same address). Colour arguments of the ramp classes follow the colour rule:
// an integer is 0xAARRGGBB, anything else goes through the vector rule of
// get_vec4f_arg. Main thread only.
#pragma once

#include "scripting/sqbindCall.h"

#include "engine/ramps.h"

struct SqColorRamp : ColorRamp
{
};

struct SqFloatRamp : FloatRamp
{
};

// Registers the classes "ColorRamp" and "FloatRamp": constructor(fn), get(t),
// dump(name) and the static functions fadeInOut, constRamp and linear.
void register_ramp_classes(HSQUIRRELVM vm);
