// HmapMask: the world script's float field over the world grid, one float per
// cell of the 256 x 256 wrapping grid (cell (x, z) at index z * 256 + x, every
// coordinate wrapped with & 255), with no header, bounds or cache.
//
// A mask lives on the program's heap (malloc, zero-filled) and belongs to the
// script instance that holds it: the class's release hook frees it. Natives
// that make a mask return it as a new "HmapMask" instance pushed into the VM
// that called them; arrays they return are made in the world script VM; the
// callbacks of processRect, processAll and apply_*_mask run in the world
// script VM (the constructor calls back in the VM that constructs).
// Scripts build masks from numbers, callbacks, noise, the current heights,
// slopes or fluid, and Voronoi cells, and hand them to apply_height_mask,
// apply_water_mask and recolor_by_height. The Voronoi factories draw 256
// numbers each from game_rnd_seed; nothing else here draws.
// Main thread only, while the world script runs.
#pragma once

#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"

struct SqColorRamp;
struct SqFloatRamp;

struct HmapMask
{
  float cells[HeightmapData::HMAP_CELLS];

  float& at(int x, int z) { return cells[HeightmapData::cell_index(x, z)]; }
  float at(int x, int z) const { return cells[HeightmapData::cell_index(x, z)]; }

  // ---- script methods ----
  // The value at cell (x & 255, z & 255).
  float getraw(int x, int z) const;
  // Bilinear sample at the real position (x, z), wrapping.
  float get(float x, float z) const;
  // A new array [min, max] of the cells (made in the world script VM).
  sqbind::SqObject calcMinMax(HSQUIRRELVM vm) const;
  // value := fn(x, z, value) for the cells whose integer coordinates lie in
  // [x0, x1] x [z0, z1] (z outer, x inner; x and z passed unwrapped).
  void processRect(float x0, float z0, float x1, float z1, sqbind::SqObject fn);
  // The same over the whole grid, z outer 0..255, x inner 0..255.
  void processAll(sqbind::SqObject fn);
};

// A new zero-filled mask on the program's heap; null when out of memory.
HmapMask* alloc_hmap_mask();
// Pushes mask as a new "HmapMask" instance that owns it (null pushes null).
void push_hmap_mask(HSQUIRRELVM vm, HmapMask* mask);
// The mask of the argument at idx: null for null; anything but an "HmapMask"
// instance with a mask throws "getInst: invalid argument type".
HmapMask* get_hmap_mask_arg(HSQUIRRELVM vm, SQInteger idx);

// ---- static factories of the class (each returns a new mask, null when out
// of memory) ----

HmapMask* hmap_mask_fast_noise(float amplitude, float roughness);
HmapMask* hmap_mask_from_height();
// 8 / |(Gx, 8, Gz)| from the Sobel gradients of the heights: 1 on level ground.
HmapMask* hmap_mask_from_slope();
// The fluid amount of each cell of the current fluid grid (lava negative).
HmapMask* hmap_mask_from_water();
HmapMask* hmap_mask_from_simplex_noise(float scale, float frequency, int octaves, SqFloatRamp* curve,
                                       float persistence);
// tile must be a power of two above 0, else the script error
// "tile must be power of 2 in fromVoronoiHills()" before anything is drawn.
HmapMask* hmap_mask_from_voronoi_hills(int tile, float min_height, float max_height, float radius);
// Same tile rule, with "... in fromVoronoiFaults()".
HmapMask* hmap_mask_from_voronoi_faults(int tile, float min_height, float max_height, float warp,
                                        int warp_frequency, int warp_octaves, float steepness);

// ---- root natives ----

// Heights: + mask, fn(h, mask value) or fn(h); both null is the script error
// "no mask and no func in apply_height_mask()".
void apply_height_mask(HmapMask* mask, sqbind::SqObject fn);
// The same on the current fluid amounts ("... in apply_water_mask()").
void apply_water_mask(HmapMask* mask, sqbind::SqObject fn);
// Recolours every surface cell from the ramp by the height of the mask (the
// heights when null) normalised to its range; ground GT_SOIL, surface ST_NONE,
// house tile and marks kept. A constant source takes sample 0 everywhere.
void recolor_by_height(SqColorRamp& ramp, HmapMask* mask);

// ---- registration into a script VM ----

// Class "HmapMask": constructor(fill), getraw, get, calcMinMax, processRect,
// processAll and the statics fastNoise, fromHeight, fromSlope, fromWater,
// fromSimplexNoise, fromVoronoiHills, fromVoronoiFaults; root natives
// "apply_height_mask" and "apply_water_mask".
void register_hmap_mask(HSQUIRRELVM vm);
// Root native "recolor_by_height".
void register_recolor_by_height(HSQUIRRELVM vm);
