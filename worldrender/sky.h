// The sky: colours that follow the sun's height, computed by the script
// "sky.nut" in its own reloadable VM, blended per tick and per frame, and a
// quad drawn behind the world wherever the scene left the stencil at 0.
//
// Whenever the sun direction changes the script's get_sky_colors(zenith) is
// asked for ten colours (zenith: degrees between the sun and straight up,
// 0 overhead, 90 on the horizon, up to 180). They and two colours derived
// from them are the 12 sky registers every world shader reads: PS c1-c12 (and
// VS c31-c42), with (sun direction, sun constant) in PS c0 (and VS c30).
// Register k + 1 holds colour k:
//   0  horizon       sky colour at the horizon; the colour of distant fog
//   1  zenith_add    added to the horizon colour toward the zenith
//   2  falloff       per-channel fall-off of zenith_add: the sky at
//                    elevation h (the view direction's y) is
//                    horizon + zenith_add * exp(-falloff / h)
//   3  sun_light     direct sunlight on lit surfaces (may exceed 1)
//   4  light_mix     x: strength of the sky light on surfaces (lit by
//                    register 12 from above), y: strength of the light bounced
//                    up from the ground
//   5  glow          colour of the haze round the sun
//   6  glow_shape    x: tightness of the haze (a power of the cosine of the
//                    angle to the sun), y: share of it spread over the sky
//   7  fog_tint      per-channel weights of the fog density (blue light is
//                    scattered more, so its weight is higher)
//   8  fog           x: density per 1000 units of distance (times fog_tint),
//                    y: fall-off with height (per unit above 0), z: the most
//                    the fog may cover (0 = no fog, 1 = all)
//   9  disc          x: brightness of the sun's disc, y: its angular radius
//                    in radians (0: no disc), z: brightness of the stars
//   10 (derived)     the sky at elevation 0.2: horizon + zenith_add * exp(-falloff / 0.2)
//   11 (derived)     the sky at the zenith:    horizon + zenith_add * exp(-falloff)
// All w components are 0. A script error, or a script without
// get_sky_colors, gives the built-in default colours.
//
// A smooth direction change blends over the frames of the tick it was asked
// in; a hard one (world load, world generation) cuts at once. A reload of
// "sky.nut" re-evaluates at the current direction and cuts to the result; a
// reload that fails to compile leaves the script's old functions in place, so
// the sky keeps its colours, and the error is shown on screen.
//
// The sun direction points from the world toward the sun. The sun constant
// (cos 20 degrees) goes with the sun direction into the
// shaders; a world file may restore another value (set_sky_sun_constant).
// Main thread only; init_sky needs the device.
#pragma once

#include "engine/vec4f.h"
#include "scripting/sqVMReload.h"
#include "scripting/worldNativesServices.h"  // set_sun_direction

enum { SKY_COLORS = 10, SKY_REGISTERS = 12 };

// Unit length, or all zero; w is 0.
extern vec4f sky_sun_dir_target;  // latest requested (what a world file saves)
extern vec4f sky_sun_dir_prev;    // at the last tick
extern vec4f sky_sun_dir;         // this frame
extern float sky_sun_constant;

extern vec4f sky_colors_target[SKY_COLORS];
extern vec4f sky_colors_prev[SKY_COLORS];
// The current ten colours followed by the two derived ones.
extern vec4f sky_registers[SKY_REGISTERS];

extern SqReloadableVM sky_script_vm;

// Start-up, after the device: fatal "error creating sky script VM" or
// "error in sky script" when the VM cannot be made or "sky.nut" fails to run.
void init_sky();
void close_sky();

// void set_sun_direction(vec4f dir, bool smooth): see worldNativesServices.h.

// Once per tick (dt is not used): the blend of the coming tick starts here.
void save_prev_sky_state(float dt);
// Once per frame before drawing; f = fraction of the tick elapsed (0..1).
void interpolate_sky(float f);
// The sky quad just in front of the camera (cur_view_itm) with the current
// registers; the caller sets the stencil, depth and target state.
void render_sky();
// From the once-a-second hot-reload poll.
void reload_sky_script_if_changed();

// (current sun direction x, y, z, sun constant): PS c0 / VS c30.
vec4f sky_sun_register();
// A world file's sun constant; a value that is not finite is ignored.
void set_sky_sun_constant(float c);

// ---- pieces of the above, for the scene passes and tests ----

// dir / |dir|, w 0; zero, or a direction that is not finite, gives zero.
vec4f normalize_sun_dir(vec4f dir);
// acos(dir.y) in degrees (dir.y clamped to [-1, 1]).
float sun_zenith_degrees(vec4f dir);
// Asks the script for the target colours at dir; on a script error shows
// "Error in sky script:\n<text>" on screen and takes the defaults.
void eval_sky_colors(vec4f dir);
// Registers 10 and 11 from the current colours 0, 1 and 2.
void calc_derived_sky_colors();
// The colours used when the script gives none.
extern const float sky_default_colors[SKY_COLORS][3];
