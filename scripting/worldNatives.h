// The world script's native library of general use: the rules every native
// follows, the vector helpers, the random numbers, the colour conversions and
// the integer constants of the world script.
//
// Call rules (the sqbind glue applies them): arguments are read from the last
// to the first; an integer parameter takes a number (a float truncated toward
// zero) and keeps its low 32 bits; a float parameter takes any number; a class
// parameter takes an instance of that class (or null where the native takes a
// pointer); anything else raises "sq_get*() failed (type error)" or
// "getInst: invalid argument type". 32-bit results are pushed sign-extended,
// so colours with alpha >= 0x80 reach scripts as negative integers (scripts
// compare them masked with & 0xFFFFFFFF).
//
// Random numbers: every random native makes exactly one step of the shared
// game_rnd_seed, so the order of script calls decides every later value.
// hi is the high 32 bits of the new state and u = hi * 2^-32, taken in double
// precision and rounded to float only when handed to the script (a u very
// close to 1 may reach the script as 1.0).
//
// New vec4f results are pushed into the VM that called; arrays are made in the
// world script VM. No state of its own. Main thread only.
#pragma once

#include "scripting/sqbindCall.h"

#include "engine/vec4f.h"

#include <xmmintrin.h>

struct ColorRamp;
struct FloatRamp;
// Tag types of the script classes "ColorRamp" and "FloatRamp": their instances
// hold the engine's ColorRamp and FloatRamp as their native data.
struct SqColorRamp;
struct SqFloatRamp;

// ---- shared by the natives ----

// Round to nearest, ties to even (out of the int range: INT_MIN).
inline int script_round(double v) { return _mm_cvtsd_si32(_mm_set_sd(v)); }
// floor and ceil as the natives take them: round(v -+ 0.49999988), which
// differ from the true ones only within about 1.2e-7 below (above) an integer.
// The sum is taken in double: in float, v - 0.49999988 rounds to a tie for
// odd integers from 4 on (7 - 0.49999988 becomes 6.5), and the floor of 7
// would come out as 6.
inline int script_floor(float v) { return script_round(double(v) - 0.49999988); }
inline int script_ceil(float v) { return script_round(double(v) + 0.49999988); }

// Work bounds of the natives. The world is 256 x 256 cells and wraps, so a
// brush or rectangle larger than a few periods, more octaves than a float can
// resolve or more placements and droplets than its cells can use only stall
// the game; natives refuse them with a script error ("<what> out of range").
enum
{
  SCRIPT_MAX_RADIUS = 1024,       // circles and craters
  SCRIPT_MAX_SPAN = 1024,         // cells along each side of a rectangle
  SCRIPT_MAX_OCTAVES = 32,
  SCRIPT_MAX_PLACEMENTS = 256,    // points or circles placed at once
  SCRIPT_MAX_DROPLETS = 1 << 20,  // sixteen per cell
};
// Throws unless value <= limit (a NaN passes: the natives skip it as before).
void check_script_bound(double value, double limit, const char* what);

// The world script VM where natives make their arrays and run their callbacks;
// vm itself while there is no world script VM.
HSQUIRRELVM world_vm_or(HSQUIRRELVM vm);

// The engine ramp inside a script ramp instance's native data (null stays null).
inline const ColorRamp* color_ramp_of(const SqColorRamp* r) { return reinterpret_cast<const ColorRamp*>(r); }
inline const FloatRamp* float_ramp_of(const SqFloatRamp* r) { return reinterpret_cast<const FloatRamp*>(r); }

// The curve rule of the noise natives: the noise itself without a curve,
// otherwise the curve's samples at t = (noise + 1) * 0.5 * 256 (sample 0 at
// t <= 0, sample 256 at t >= 256, linear in between).
float apply_noise_curve(const FloatRamp* curve, float noise);

// ---- colour conversions (exported to the plug-in) ----

// Hue in degrees (any value, wrapped), saturation and value unclamped;
// (v, v, v, a) when s is 0.
vec4f hsv2rgba(float h, float s, float v, float a);
// (h in [0, 360), s, v, 0); the input's fourth lane is not used; black gives 0.
vec4f rgb2hsv(vec4f rgba);
// CIE LCh (lightness 0..100, chroma, hue in degrees) to sRGB, unclamped.
vec4f lch2rgba(float L, float C, float h, float a);

// ---- registration into a script VM ----

// Class "vec4f" with "make4f", "cross", "norm3", "norm3a", "dot3", "len3",
// "len3Sq", "getx", "gety", "getz"; then "hmrnd", "hmfrnd", "hmsrnd", "irnd",
// "frnd", "srnd", "rndf", "lerpcolor", "lch2rgba", "hsv2rgba", "wrap",
// "set_rnd_seed", "randomize_rnd_seed", "mix3colors", "mix4colors", "tocolor",
// "make_dir_2d", "make_dir_xz", "round". The world VM and the effect VM call it.
void register_vec4f_random_color_natives(HSQUIRRELVM vm);
// Constants (constant table, not root): "HMAP_SIZE", "HMAP_SIZE_SHIFT",
// "GT_NONE", "GT_HOUSE", "GT_ROCK", "GT_SAND", "GT_SOIL", "ST_OPEN", "ST_NONE",
// "ST_GRASS", "ST_ASH", "ST_SNOW", "ST_ROAD", "MARK_OBJ", "MARK_PLACE",
// "MARK_HOUSE", "MARK_WATER", "MARK_PLACEMENT". Scripts compiled afterwards
// see them.
void register_world_constants(HSQUIRRELVM vm);
