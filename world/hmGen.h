// Terrain generators: the operations the world-generation script shapes a new
// world with. Each makes one pass over a 256 x 256 height buffer (index
// z * 256 + x, coordinates wrapping with & 255); the add* and genVoronoiFaults
// operations add to HeightmapData::hmap, the others change the buffer they are
// given. addFastNoise and genFault also recolour HeightmapData::surface (colour
// and ground type only). None touches target_hmap: the caller copies the
// finished heights there.
//
// Random draws come from game_rnd_seed: makeFastNoise 87,376 (one per value
// written), addVoronoiHills and genVoronoiFaults 256 each, genFault one, the
// rest none; the same seed, noise tables and call order give the same world.
// Precondition violations ("min_ht<=max_ht", "min_ht>=0", the power-of-two
// tile) are failed assertions, checked before any cell changes.
// Main thread only, during world generation.
//
// House placement lives in houses.h, droplet erosion in erosion.h.
#pragma once

#include <cstdint>

#include "engine/vec4f.h"  // Point2
#include "world/noise.h"

struct ColorRamp;

// ---- helpers shared by the generators ----------------------------------------

// Moves a packed 0xAARRGGBB colour toward `target` (r, g, b, a in 0..1) by t,
// all four channels, clamped, rounded to nearest and packed back.
void lerp_packed_color(uint32_t& color, vec4f target, float t);

// The shortest offset on the 256-cell torus, each coordinate in (-128, 128]
// (the half-way point is +128).
Point2 wrap_map_delta(Point2 d);

inline float point2_dot(Point2 a, Point2 b) { return a.x * b.x + a.z * b.z; }
inline void point2_sub(Point2& a, Point2 b)
{
  a.x -= b.x;
  a.z -= b.z;
}
// Unit length; a zero vector stays zero.
void point2_normalize(Point2& p);
// (x, z) -> (-z, x).
inline Point2 point2_perp(Point2 p) { return Point2{-p.z, p.x}; }

// The sum of `octaves` octaves of tiled_noise2 (at least one): the first at
// (x, z) with `period`, each further one with the period doubled, the
// coordinates mapped c -> 2c + 0.5 and the amplitude multiplied by persistence.
float fractal_tiled_noise2(float x, float z, float period, int octaves, float persistence);

namespace HeightmapData
{

// Fills buf (65,536 floats) by random subdivision on the torus: seven levels
// from step 128 to 2, each smoothing the coarser grid by a quarter step and
// adding a non-negative random offset of the level's amplitude (amplitude,
// then times roughness per level). Writes every cell; 87,376 draws.
void makeFastNoise(float* buf, float amplitude, float roughness);

// hmap += fast noise (amplitude 1) scaled to [min_ht, max_ht]. With a ramp the
// land colour blends toward the ramp colour at the noise value (its alpha as
// the weight, the `alpha` byte as the colour's alpha); a ground_type other than
// -1 sets every cell's ground type.
void addFastNoise(float min_ht, float max_ht, ColorRamp* ramp, int ground_type, int alpha, float roughness);

// hmap += fractal tiled simplex noise with `tile` lattice cells across the
// world (a power of two), mapped to [min_ht, max_ht] (no upper clamp).
void addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float persistence);

// hmap += the highest of the paraboloid hills of the nearby Voronoi feature
// points, each of its own random height in [min_ht, max_ht]; radius in
// lattice cells.
void addVoronoiHills(int tile, float min_ht, float max_ht, float radius);

// hmap += plateaus of random height, one per (noise-warped) Voronoi cell,
// joined by ramps of about `slope` height units per world cell.
void genVoronoiFaults(int tile, float min_ht, float max_ht, float warp, int noise_scale, int octaves, float slope);

// A straight fault through pos with normal dir, a step of `height` placed by
// `level` (0 lowers the far side, 1 raises the near side), fading out toward
// an ellipse of half-axes 64 (across) and 128 (along). Only the cliff face is
// recoloured (ramp, alpha) and retyped (ground_type unless -1).
void genFault(Point2 pos, Point2 dir, float height, float level, float warp, ColorRamp* ramp, int ground_type,
              int alpha, float* buf);

// A crater of radius R and bowl depth R * depth below the mean ground in the
// circle, with a rim; only ever lowers buf.
void genCrater(Point2 centre, float radius, float depth, float* buf);

}  // namespace HeightmapData
