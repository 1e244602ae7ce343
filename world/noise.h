// Coherent noise for world generation, the fluid simulation and effects.
//
// Every function reads the global permutation `noise_perm` (its second half
// repeats the first, so `noise_perm[a] + b` with a, b in 0..255 never needs a
// wrap); the cellular noise also reads `noise_random_table`, the feature point
// of lattice cell hash h being (table[2h], table[2h + 1]). Both tables start
// with fixed contents and change only through reseed_noise(), which draws from
// game_rnd_seed. The functions keep no state and, but for the grid sweeps
// (which also use the generation workers), never allocate.
// Exported to the gameobj plug-in by name. Main thread only: reseed_noise()
// must not run while anyone is between reads of the tables.
#pragma once

#include <memory>

#include <cstdint>
#include <xmmintrin.h>

#include "engine/vec4f.h"  // Point2

struct FloatRamp;

extern uint8_t noise_perm[512];
extern float noise_random_table[512];

// The lattice index of v: round-to-nearest of (v - 0.49999988). Equals floor(v)
// except within about 1.2e-7 below an integer, where it gives that integer (the
// fraction v - index is then a tiny negative number). Shared by the noise, the
// generators, the fluid simulation and the script natives so that they all
// land on the same cells.
inline int fast_floor(float v)
{
  return _mm_cvtss_si32(_mm_set_ss(v - 0.49999988f));
}

// Rebuilds both tables from game_rnd_seed: 4 x 256 swaps, then 512 floats
// (1,536 draws).
void reseed_noise();

// 1-D simplex noise, about -1..1; 0 at every integer.
float noise1(float x);

// Octaves of noise1, the first of weight 1, then persistence, persistence^2...;
// x goes to 2x + 0.5 for every octave. With a ramp, each octave's value n is
// replaced by ramp.get((n + 1) * 0.5) before weighting.
float fractal_noise1(float x, int octaves, const FloatRamp* ramp, float persistence);

// 4-D simplex noise, about -1..1.
float noise4(float x, float y, float z, float w);

// 2-D noise periodic in x and y with the given period (> 0), about -1..1:
// the plane wrapped onto a 4-D torus of the same feature size for any period.
float tiled_noise2(float x, float y, float period);

// tiled_noise2 in two halves, for sweeps over a grid: the point on its circle
// of one coordinate at a period, then the noise of an x and a y point of the
// same period; tiled_noise2(x, y, p) is exactly
// tiled_noise2_at(tiled_noise2_axis(x, p), tiled_noise2_axis(y, p)).
struct TiledNoiseAxis
{
  float c, s;  // radius times cosine and sine of the angle
};
TiledNoiseAxis tiled_noise2_axis(float v, float period);
inline float tiled_noise2_at(TiledNoiseAxis x, TiledNoiseAxis y) { return noise4(x.c, y.c, x.s, y.s); }

// tiled_noise2_at(axis[x], axis[z]) for every cell into out[z * 256 + x],
// rows spread over the generation workers.
void tiled_noise2_grid(const TiledNoiseAxis axis[256], float* out);

// Octaves of tiled_noise2 over the 256 x 256 grid, one whole octave after
// the other: octave 0 at (coord[x], coord[z]) and `period`, each further one
// at 2v + 0.5 of the coordinates before and twice the period (at least one
// octave). Calls emit(octave, cell index z * 256 + x, value) in that order,
// working out each column's and row's circle point once per octave. A sum
// per cell built in emit takes its terms in the same order as a loop over
// the octaves cell by cell.
template <class Emit>
void sweep_tiled_noise2_octaves(const float coord[256], float period, int octaves, Emit&& emit)
{
  float v[256];
  TiledNoiseAxis axis[256];
  std::unique_ptr<float[]> noise(new float[256 * 256]);
  for (int i = 0; i < 256; i++) v[i] = coord[i];
  for (int o = 0; o == 0 || o < octaves; o++) {
    for (int i = 0; i < 256; i++) axis[i] = tiled_noise2_axis(v[i], period);
    tiled_noise2_grid(axis, noise.get());
    for (int i = 0; i < 256 * 256; i++) emit(o, i, noise[i]);
    for (int i = 0; i < 256; i++) v[i] = v[i] * 2.0f + 0.5f;
    period = period * 2.0f;
  }
}

// Square-lattice gradient noise periodic with `tile` (a power of 2, <= 256).
// Kept for the plug-in; the game itself does not call it.
float old_tiled_noise2(float x, float y, int tile);

// Cellular noise on a lattice that repeats every 2^tile_log2 cells. The
// outputs (each may be null) describe the feature points of the 3 x 3 lattice
// cells round (x, y), visited row by row (dy outer, dx inner, -1..1): offsets
// from the input point and ids (cy * 65536 + cx, wrapped lattice cell).

// The four nearest points by squared distance, nearest first; of equally near
// points the one visited first ranks first. dist receives squared distances.
void tiled_voronoi_noise2_near4(float x, float y, int tile_log2, float* dist, int* ids, Point2* points);
// All nine points in visiting order.
void tiled_voronoi_noise2_all9(float x, float y, int tile_log2, Point2* points, int* ids);
