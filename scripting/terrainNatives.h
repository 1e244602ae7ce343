// The world script's terrain and world natives: house placement, noise,
// faults, craters, Voronoi terrain, re-centring, circle brushes, cell marks,
// noise sampling and hashes, the sun direction, the player's start position,
// sound events, the splash screen and a debug print. Most forward to the world
// subsystem with the world's own height buffer (HeightmapData::hmap) filled in.
//
// The three circle brushes are also exported to the plug-in, which calls them
// on any 256 x 256 float grid. A circle visits the cells x from ceil(x - r) to
// floor(x + r) and z likewise (the natives' rounding rules), taking part when
// (cx - x)^2 + (cz - z)^2 < r^2, at grid index (cz & 255) << 8 | (cx & 255),
// so it wraps round the world.
// Main thread only, while the world script runs.
#pragma once

#include "scripting/sqbindCall.h"

#include "engine/vec4f.h"

// Where world generation creates the player once the script has run: set to
// (0, 0, 0, 1) before the script's generate_world, overwritten by the native
// "set_player_pos".
extern vec4f script_player_pos;

// grid += (1 - (d2 / r^2)^exponent) * amount on the circle; nothing for r <= 0.
void circle_brush(float x, float z, float r, float amount, float exponent, float* grid);
// grid := (1 - (d2 / r^2)^exponent) * strength * (target - grid) + grid on the
// circle; nothing for r <= 0.
void flatten_circle(float x, float z, float r, float target, float strength, float exponent, float* grid);
// The mean of the plug-in's land height at (x, z) and the grid values on the
// circle (a negative r counts as 0), summed in double precision. Without a
// bound plug-in the grid's own bilinear height at (x, z) stands in for it.
float get_average_circle_height(float x, float z, float r, float* grid);

// "place_house", "add_fast_noise", "add_simplex_noise", "gen_fault",
// "gen_crater", "add_voronoi_hills", "gen_voronoi_faults", "recenter_hmap",
// "set_sun_dir", "flatten_circle", "get_average_circle_height", "mark_rect",
// "mark_circle", "mark_water", "test_rect_mark", "test_circle_mark",
// "reseed_noise", "noise1", "tiled_noise2", "fractal_noise1",
// "tiled_fractal_noise2", "get_noise_hash1", "get_noise_hash2",
// "set_player_pos", "play_sound_event", "show_splash", "debug_object": the
// world-generation natives in their registration order, all but
// "gen_droplet_erosion", which the world VM registers itself.
void register_terrain_natives(HSQUIRRELVM vm);
