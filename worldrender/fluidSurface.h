// Fluid surfaces: the heights at which the water and lava meshes are drawn,
// and the drifting foam texture coordinates.
//
// Once per world tick the signed fluid amount of every cell (water above 0,
// lava below) becomes a water surface and a lava surface; a dry cell next to
// fluid gets a surface too (the mean of its wet neighbours' surfaces, never
// above its own ground), so shores close. FLUID_NO_SURFACE (-FLT_MAX) marks a
// cell without one. At high quality a field of two texture-coordinate pairs
// per cell is carried along by the water's velocity, each pair renewed once
// every 40 ticks, 20 ticks apart, so the draws can cross-fade between them.
// Surfaces and field are double-buffered: each frame blends the last two
// ticks by the frame fraction. The module owns its state; the land renderer
// reads it. Main thread only.
#pragma once

#include <cfloat>

#include "world/heightmapData.h"

enum { FOAM_CYCLE = 40 };
static const float FLUID_NO_SURFACE = -FLT_MAX;

// (water surface, lava surface) of one cell.
struct FluidSurfaceCell
{
  float water, lava;
};

// Two texture-coordinate pairs (ua, va) and (ub, vb) of one cell.
struct FoamCell
{
  float ua, va, ub, vb;
};

// The surface table and the foam field; index [cur] names the latest tick's
// buffer, the other one holds the tick before.
extern FluidSurfaceCell fluid_surface[2][HeightmapData::HMAP_CELLS];
extern int fluid_surface_cur;
extern FoamCell foam_field[2][HeightmapData::HMAP_CELLS];
extern int foam_field_cur;
// Ticks into the foam cycle, 0..39; stepped only at high quality.
extern int foam_counter;

// The surfaces shown this frame (filled by calc_display_fluid_surfaces).
extern FluidSurfaceCell display_fluid_surface[HeightmapData::HMAP_CELLS];

// Amount beyond which a cell counts as wet: 0.01 at high quality, else 0.1.
float fluid_surface_eps();

// Start-up: every cell of both field buffers holds (x, z, z, x), the table has
// no surfaces and the counter is 0.
void init_fluid_surfaces();
// The first step of every world tick (dt: the tick length). Also sets the land
// renderer's refresh flag.
void update_fluid_surfaces(float dt);
// After a world is loaded or generated: no surfaces in either buffer, latest
// buffer index 0, and a land refresh.
void reset_fluid_surfaces();

// Surfaces for frame fraction f: a fluid present in both ticks moves from the
// previous to the latest value, one that comes or goes jumps.
void calc_display_fluid_surfaces(float f);

// The surface of one cell and fluid from the tick surfaces (exposed for tests).
inline float blend_fluid_surface(float prev, float cur, float f)
{
  if (prev == FLUID_NO_SURFACE) return cur;
  if (cur == FLUID_NO_SURFACE) return prev;
  return prev + (cur - prev) * f;
}

// Cross-fade weight of the first foam pair at frame fraction f.
float foam_fade_weight(float f);
