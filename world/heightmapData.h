// The world grid: one 256 x 256 grid of cells that wraps at both edges.
//
// HeightmapData is a namespace of plain global arrays, fixed for the whole run
// and exported by name to the game-object plug-in, which reads and writes them
// directly. Cell (x, z) has the linear index z * 256 + x; every coordinate
// wraps with & 255. The fluid grids are double-buffered: `water` is the current
// grid and `tmpw` the other one; the fluid step swaps the two pointers, so
// always reach the current fluid through `water` at the time of the access.
// Main thread only; no locks.
//
// Sections of this header:
//   1. constants, records and cell-index helpers
//   2. the arrays
//   3. whole-grid operations and the world-data block   (heightmapData.cpp)
//   4. cell rules: fluid turning into land             (fluidSim.cpp)
//   5. fluid step                                       (fluidSim.cpp)
//   6. height morph and land sounds                     (heightMorph.cpp)
//   7. queries, cell marks and the ray test             (hmapQuery.cpp)
#pragma once

#include <cstdint>

#include "engine/vec4f.h"

class InputStream;
class OutputStream;

namespace HeightmapData
{

// ---- 1. constants, records and cell-index helpers ---------------------------

enum
{
  HMAP_SIZE = 256,
  HMAP_SIZE_SHIFT = 8,
  HMAP_MASK = HMAP_SIZE - 1,
  HMAP_CELLS = HMAP_SIZE * HMAP_SIZE,
};

// Ground type, bits 0-3 of Surface::bits.
enum
{
  GT_NONE = -1,
  GT_HOUSE = 0,
  GT_ROCK = 1,
  GT_SAND = 2,
  GT_SOIL = 3,
};

// Surface type, bits 4-7 of Surface::bits.
enum
{
  ST_NONE = 0,
  ST_OPEN = 0,
  ST_GRASS = 1,
  ST_ASH = 2,
  ST_SNOW = 3,
  ST_ROAD = 4,
};

// Mark bits, bits 24-31 of Surface::bits.
enum
{
  MARK_OBJ = 1,
  MARK_PLACE = 2,
  MARK_HOUSE = 4,
  MARK_WATER = 8,
  MARK_PLACEMENT = MARK_OBJ | MARK_PLACE | MARK_HOUSE,
};

// Field positions inside Surface::bits.
enum
{
  SURF_GROUND_SHIFT = 0,
  SURF_GROUND_MASK = 0xFu,
  SURF_TYPE_SHIFT = 4,
  SURF_TYPE_MASK = 0xF0u,
  SURF_TILE_SHIFT = 8,
  SURF_TILE_MASK = 0x700u,
  SURF_MATERIAL_SHIFT = 11,
  SURF_MATERIAL_MASK = 0xFFF800u,
  SURF_MARK_SHIFT = 24,
  SURF_MARK_MASK = 0xFF000000u,
};

// Colours and types of one cell (12 bytes; saved as is in the world-data block).
struct Surface
{
  uint32_t color;     // land colour, 0xAARRGGBB
  uint32_t topColor;  // colour laid over the land, 0xAARRGGBB
  uint32_t bits;      // ground type, surface type, house tile, mark byte
};
static_assert(sizeof(Surface) == 12, "Surface is a 12-byte record of the world-data block");

// Fluid of one cell (16 bytes; saved as is in the world-data block).
struct Water
{
  float amount;  // depth: > 0 water, < 0 lava (magnitude is the depth), 0 dry
  float u;       // velocity across the face toward +x (shared with cell x + 1)
  float w;       // velocity across the face toward +z (shared with cell z + 1)
  float foam;    // 0 to 1
};
static_assert(sizeof(Water) == 16, "Water is a 16-byte record of the world-data block");

typedef Water WaterRow[HMAP_SIZE];

// One land-moving sound, for one octant round the camera cell.
struct LandSoundGroup
{
  vec4f sums;        // (sum x*w, sum height*w, sum z*w, sum w), rebuilt every tick
  unsigned channel;  // sound channel handle, 0 for none; kept from tick to tick
};

inline int cell_index(int x, int z) { return ((z & HMAP_MASK) << HMAP_SIZE_SHIFT) | (x & HMAP_MASK); }
inline int cell_x(int i) { return i & HMAP_MASK; }
inline int cell_z(int i) { return (i >> HMAP_SIZE_SHIFT) & HMAP_MASK; }

inline int ground_type(uint32_t bits) { return int(bits & SURF_GROUND_MASK); }
inline int surface_type(uint32_t bits) { return int((bits & SURF_TYPE_MASK) >> SURF_TYPE_SHIFT); }
inline uint32_t with_surface_type(uint32_t bits, int st)
{
  return (bits & ~uint32_t(SURF_TYPE_MASK)) | ((uint32_t(st) << SURF_TYPE_SHIFT) & SURF_TYPE_MASK);
}
inline uint32_t cell_marks(uint32_t bits) { return bits >> SURF_MARK_SHIFT; }

// ---- 2. the arrays -----------------------------------------------------------

extern float hmap[HMAP_CELLS];          // current land height
extern float target_hmap[HMAP_CELLS];   // height the morph moves hmap toward
extern Surface surface[HMAP_CELLS];
extern WaterRow* water;                 // current fluid grid, water[z][x]
extern WaterRow* tmpw;                  // the other fluid grid
extern LandSoundGroup land_sound[8];

// Blend targets for land made from fluid: `color` toward ash_color0,
// `topColor` toward ash_color1 (r, g, b, a in 0..1).
extern const vec4f ash_color0;
extern const vec4f ash_color1;

// ---- 3. whole-grid operations and the world-data block -------------------------

// Size of the world-data block: hmap, target_hmap, surface, current fluid grid.
enum { WORLD_DATA_SIZE = 0x240000 };

// Flat, dry default world: heights 0, surface (0xFF808080, 0, GT_ROCK), current
// fluid grid zeroed (the other grid is left alone), land sounds stopped and forgotten.
void reset();

// Writes the world-data block (four bulk writes); throws OutputStream::Exception.
void saveWorldData(OutputStream& out);

// Reads and validates the whole block before changing anything: on any failure
// (short stream; a height, target or fluid value that is NaN, infinite or
// beyond 1e9; a house tile whose material is none of the 19 building pieces)
// it throws InputStream::Exception and the world in memory is exactly as it
// was. On
// success both fluid grids hold the loaded fluid, `water` is the first array,
// and the land sounds are stopped and forgotten.
void loadWorldData(InputStream& in);

// ---- 5. fluid step -------------------------------------------------------------

// One step of the water and lava simulation of length dt seconds.
void simWater(float dt);

// ---- 6. height morph and land sounds ---------------------------------------------

// One tick: moves hmap toward target_hmap and drives the land-moving sounds
// around the scene camera.
void updateHmap(float dt);
// out[0..65535] = the heights t seconds after the last tick; changes nothing.
void morphHmap(float t, float* out);
// Fades the eight land sounds out over 10 ms; handles and sums are kept.
void stopSounds();
// For the plug-in: forwards to spawn_water_vapor_fx at high graphics quality.
void water_vapor_fx(int x, int z, float level, float amount);

// ---- 7. queries ------------------------------------------------------------------

void calcHtRange(float& lo, float& hi);
// Shifts hmap so its range is centred on 0; returns half the range.
float recenterHt();
// Highest surface (land, plus |fluid| when withFluid) over the square of
// half-size r round centre, minus centre.y, in all four components.
vec4f calcSquareDepth(vec4f centre, float r, bool withFluid);
// Adds amount to every cell of the current fluid grid; no water/lava rule.
void addWaterEverywhere(float amount);

}  // namespace HeightmapData

// For the plug-in only; the game never reads or writes it. Defined with the
// height morph (heightMorph.cpp); no other layer defines it.
extern float water_vapor_accum;

// ---- 4. cell rules: fluid turning into land ------------------------------------
// The fluid step applies the same rules inline, with identical results.

// Raises one cell (linear index) by h in hmap and target_hmap and blends its
// colours toward the ash colours by min(1, 100 h); ST_ASH from a weight of 0.5.
void raise_cell_with_ash(int cell, float h);
// Adds q of lava (q < 0 takes lava away); lava meeting water hardens the smaller quantity.
void add_cell_lava(int cell, float q);
// Adds q of water (q < 0 takes water away); water meeting lava hardens the smaller quantity.
void add_cell_water(int cell, float q);

// ---- 7. cell marks and the ray test ----------------------------------------------
// Marks are bits 24-31 of Surface::bits. Setters take (value, mask) and write
// marks = (marks & ~mask) | value (low 8 bits of both); tests take (mask, value)
// and require (marks & mask) == value on every cell, comparing all 32 bits.
// Rectangles have inclusive corners in unwrapped coordinates (empty when
// x0 > x1 or z0 > z1). A circle of r <= 1 is the one cell nearest the centre;
// otherwise every integer point strictly inside.

void mark_rect(int x0, int z0, int x1, int z1, unsigned value, unsigned mask);
void mark_circle(float x, float z, float r, unsigned value, unsigned mask);
// Marks every cell whose current fluid amount > threshold.
void mark_water(float threshold, unsigned value, unsigned mask);
bool test_rect_mark(int x0, int z0, int x1, int z1, unsigned mask, unsigned value);
bool test_circle_mark(float x, float z, float r, unsigned mask, unsigned value);

// Samples the land along origin + t * dir for t in [0, dist], between 1 and 2
// horizontal units apart; on a hit sets dist to t and returns true. False for a
// negative or NaN dist or a horizontal reach below 1 (no sample taken).
bool trace_hmap_ray(vec4f origin, vec4f dir, float& dist);
