// Shadow balls: the soft shadows of objects on the deferred (high quality)
// path. Every shadowing object submits spheres; each sphere is moved away
// from the sun, culled, and binned into a grid of 16 x 9 screen tiles. The
// tiles are then drawn as instanced quads, whose pixel shader ("dr_shadow.sh")
// multiplies the shadow target by the shade of that tile's spheres: records
// of 8 spheres for the full chunks of a tile, then at most one record each of
// 4, 2 and 1 sphere for the rest, so no shader reads an empty slot.
//
// Per frame: start_render_shadows, submissions (render_shadow_ball, or
// InstRender::renderShadowBalls), end_render_shadows with the shadow target
// bound. Exists only at gfx_quality 1. Main thread only; needs the device.
#pragma once

#include "engine/dynArray.h"
#include "engine/vec4f.h"

enum { SHADOW_TILES_X = 16, SHADOW_TILES_Y = 9, SHADOW_BALLS_PER_CHUNK = 8 };

struct ShadowSphere
{
  float x, y, z, r;
};

struct ShadowBallChunk
{
  ShadowSphere spheres[SHADOW_BALLS_PER_CHUNK];
};

struct ShadowTile
{
  int first;      // index of the tile's first chunk, -1 for none
  int current;    // chunk being filled, -1 for none
  int fullCount;  // chunks before current (all full)
  int inCurrent;  // spheres in current, 0-8
};

extern ShadowTile shadow_tiles[SHADOW_TILES_X * SHADOW_TILES_Y];
extern DynArray<ShadowBallChunk> shadow_chunks;
extern DynArray<int> shadow_chunk_links;  // next chunk of the same tile, -1 at the end
extern DynArray<ShadowSphere> shadow_submitted;

// Only at gfx_quality 1: init_shadows, then the four "dr_shadow.sh" variants.
void init_shadow_shaders();
void init_shadows();
void close_shadows();

void start_render_shadows();
// centre: a world point (x, y, z, 1).
void render_shadow_ball(vec4f centre, float radius);
void end_render_shadows();
// Crosses at the submitted spheres and at their shadow-casting places.
void render_shadows_debug();

// Records drawn by the last end_render_shadows, by pass (8, 4, 2, 1 spheres).
extern int shadow_pass_records[4];
