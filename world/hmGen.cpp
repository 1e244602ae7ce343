#include "world/hmGen.h"

#include <cmath>

#include "engine/color.h"
#include "engine/debug.h"
#include "engine/ramps.h"
#include "engine/random.h"
#include "world/genWorkers.h"
#include "world/heightmapData.h"
#include "world/tempData.h"

// Round to nearest, ties to even (the default SSE rounding mode).
static inline int round_nearest(float v) { return _mm_cvtss_si32(_mm_set_ss(v)); }

static inline bool is_pow2_tile(int tile) { return (tile & (tile - 1)) == 0 && tile > 0; }

static inline int tile_log2_of(int tile)
{
  int l = 0;
  while ((1 << l) < tile) l++;
  return l;
}

// The height table index of a Voronoi feature point's id.
static inline int feature_hash(int id)
{
  return noise_perm[noise_perm[(id >> 16) & 255] + (id & 255)];
}

// ---- helpers ------------------------------------------------------------------

void lerp_packed_color(uint32_t& color, vec4f target, float t)
{
  color = vec4f_to_color(v_lerp(color_to_vec4f(D3dColor(color)), target, t));
}

Point2 wrap_map_delta(Point2 d) { return Point2{wrap_world_coord(d.x), wrap_world_coord(d.z)}; }

void point2_normalize(Point2& p)
{
  float len = sqrtf(p.x * p.x + p.z * p.z);
  if (len > 0.0f) {
    p.x = p.x / len;
    p.z = p.z / len;
  }
}

float fractal_tiled_noise2(float x, float z, float period, int octaves, float persistence)
{
  float sum = tiled_noise2(x, z, period);
  float amplitude = persistence;
  for (int o = 1; o < octaves; o++) {
    x = x * 2.0f + 0.5f;
    z = z * 2.0f + 0.5f;
    period = period * 2.0f;
    sum += tiled_noise2(x, z, period) * amplitude;
    amplitude *= persistence;
  }
  return sum;
}

// fractal_tiled_noise2(coord[x], coord[z], period, octaves, persistence) for
// every cell into out[z * 256 + x], with the same terms in the same order.
static void fractal_tiled_noise2_grid(float* out, const float coord[256], float period, int octaves,
                                      float persistence)
{
  float amplitude = persistence;
  sweep_tiled_noise2_octaves(coord, period, octaves, [&](int o, int i, float n) {
    if (o == 0) {
      out[i] = n;
      return;
    }
    if (i == 0 && o > 1) amplitude *= persistence;
    out[i] += n * amplitude;
  });
}

// Blends a cell's land colour toward a ramp sample: the sample's r, g, b as a
// packed colour with the given alpha byte, its alpha as the weight (unclamped).
static inline void blend_ramp_color(uint32_t& color, vec4f sample, int alpha)
{
  uint32_t packed = (uint32_t(vec4f_to_color(sample)) & 0x00FFFFFFu) | (uint32_t(alpha & 255) << 24);
  lerp_packed_color(color, color_to_vec4f(D3dColor(packed)), sample[3]);
}

static inline void set_ground_type(HeightmapData::Surface& s, int ground_type)
{
  s.bits = (s.bits & ~uint32_t(HeightmapData::SURF_GROUND_MASK)) | uint32_t(ground_type & 15);
}

namespace HeightmapData
{

// ---- fast noise --------------------------------------------------------------------

void makeFastNoise(float* buf, float amplitude, float roughness)
{
  buf[0] = buf[128] = buf[128 * 256] = buf[128 * 256 + 128] = -0.5f;

  // In place: a coarse cell reads its own corner and the corners to its +x and
  // +z, which later cells of the level overwrite only where the grid wraps.
  // So the values of row 0 and of each row's first cell are kept from before
  // the level and read there instead.
  float row0[256];
  float a = amplitude;
  for (int s = 128; s >= 2; s >>= 1) {
    int h = s >> 1;
    for (int x = 0; x < 256; x += s) row0[x] = buf[x];
    for (int z = 0; z < 256; z += s) {
      float* row = buf + z * 256;
      const float* next = z + s < 256 ? buf + (z + s) * 256 : row0;
      float first = row[0];
      float next_first = next[0];
      for (int x = 0; x < 256; x += s) {
        bool last = x + s >= 256;
        float A = row[x];
        float B = last ? first : row[x + s];
        float C = next[x];
        float D = last ? next_first : next[x + s];
        row[x] = (9.0f * A + 3.0f * B + 3.0f * C + D) / 16.0f + a * rnd_float();
        row[x + h] = (9.0f * B + 3.0f * A + 3.0f * D + C) / 16.0f + a * rnd_float();
        row[256 * h + x] = (9.0f * C + 3.0f * A + 3.0f * D + B) / 16.0f + a * rnd_float();
        row[256 * h + x + h] = (9.0f * D + 3.0f * B + 3.0f * C + A) / 16.0f + a * rnd_float();
      }
    }
    a *= roughness;
  }
}

void addFastNoise(float min_ht, float max_ht, ColorRamp* ramp, int ground_type, int alpha, float roughness)
{
  ASSERT(min_ht<=max_ht);
  ASSERT(min_ht>=0);

  TempData<float> noise(HMAP_CELLS, TempData<float>::ZERO);
  makeFastNoise(noise.data, 1.0f, roughness);

  for (int i = 0; i < HMAP_CELLS; i++) {
    float v = noise.data[i];
    if (ramp) blend_ramp_color(surface[i].color, ramp->get(v), alpha);
    if (ground_type != GT_NONE) set_ground_type(surface[i], ground_type);
    hmap[i] += v * (max_ht - min_ht) + min_ht;
  }
}

// ---- simplex noise --------------------------------------------------------------

void addSimplexNoise(float min_ht, float max_ht, int tile, int octaves, float persistence)
{
  ASSERT(min_ht<=max_ht);
  ASSERT(min_ht>=0);
  ASSERT((tile&(tile-1))==0 && tile>0);

  // fractal_tiled_noise2 at (x * tile / 256, z * tile / 256), octave by octave.
  float period = float(tile);
  float coord[256];
  for (int i = 0; i < 256; i++) coord[i] = float(i) * float(tile) / 256.0f;
  static float sum[HMAP_CELLS];
  fractal_tiled_noise2_grid(sum, coord, period, octaves, persistence);
  for (int i = 0; i < HMAP_CELLS; i++) {
    float v = sum[i] * 0.286f + 0.5f;
    if (v < 0.0f) v = 0.0f;
    hmap[i] += v * (max_ht - min_ht) + min_ht;
  }
}

// ---- Voronoi hills and faults --------------------------------------------------------

static void draw_heights(float* H, float min_ht, float max_ht)
{
  for (int k = 0; k < 256; k++) H[k] = min_ht + (max_ht - min_ht) * rnd_float();
}

void addVoronoiHills(int tile, float min_ht, float max_ht, float radius)
{
  ASSERT((tile&(tile-1))==0 && tile>0);
  int tile_log2 = tile_log2_of(tile);

  float H[256];
  draw_heights(H, min_ht, max_ht);

  // A radius of 0 divides by zero here, but only into -inf or NaN offers,
  // which never compare above 0: such hills add nothing.
  float r2 = radius * radius;
  // Every cell on its own: rows in parallel.
  auto row = [&](int z) {
    for (int x = 0; x < 256; x++) {
      Point2 pts[9];
      int ids[9];
      tiled_voronoi_noise2_all9(float(x) * float(tile) / 256.0f, float(z) * float(tile) / 256.0f, tile_log2, pts,
                                ids);
      float best = 0.0f;
      for (int k = 0; k < 9; k++) {
        float f = 1.0f - (pts[k].x * pts[k].x + pts[k].z * pts[k].z) / r2;
        if (f > 0.0f) {
          float offer = H[feature_hash(ids[k])] * f;
          if (offer > best) best = offer;
        }
      }
      hmap[z * 256 + x] += best;
    }
  };
  parallel_rows(row);
}

void genVoronoiFaults(int tile, float min_ht, float max_ht, float warp, int noise_scale, int octaves, float slope)
{
  ASSERT((tile&(tile-1))==0 && tile>0);
  int tile_log2 = tile_log2_of(tile);

  float H[256];
  draw_heights(H, min_ht, max_ht);

  float cs = float(tile) / 256.0f;
  float P = float(tile) * float(noise_scale);
  float ns = P / 256.0f;
  float k = slope / cs;

  // The warp noise e1 = fractal_tiled_noise2(x * ns, z * ns, ...) of every
  // cell; its second coordinate's e2 swaps x and z, so it is e1 transposed.
  float coord[256];
  for (int i = 0; i < 256; i++) coord[i] = float(i) * ns;
  static float warp_noise[HMAP_CELLS];
  fractal_tiled_noise2_grid(warp_noise, coord, P, octaves, 0.5f);

  // Every cell on its own: rows in parallel.
  auto row = [&](int z) {
    for (int x = 0; x < 256; x++) {
      float e1 = warp_noise[z * 256 + x];
      float e2 = warp_noise[x * 256 + z];
      float d[4];
      int ids[4];
      tiled_voronoi_noise2_near4(float(x) * cs + warp * e1, float(z) * cs + warp * e2, tile_log2, d, ids, nullptr);
      float h0 = H[feature_hash(ids[0])];
      float h1 = H[feature_hash(ids[1])];
      float dh = h0 - h1;
      float t = (sqrtf(d[1]) - sqrtf(d[0])) * k / fmaxf(fabsf(dh), 0.1f);
      float h = t > 1.0f ? h0 : (h0 + h1 + dh * t) / 2.0f;
      hmap[z * 256 + x] += h;
    }
  };
  parallel_rows(row);
}

// ---- single fault -------------------------------------------------------------------

void genFault(Point2 pos, Point2 dir, float height, float level, float warp, ColorRamp* ramp, int ground_type,
              int alpha, float* buf)
{
  Point2 n = dir;
  point2_normalize(n);

  float o = pos.x + pos.z + 256.0f * rnd_float();

  // Wobble profiles along the fault, one entry per cell of p + 128.
  float A[257], B[257];
  for (int i = 0; i <= 256; i++) {
    float u = o + 0.005f * float(i);
    A[i] = fractal_noise1(u, 4, nullptr, 0.5f);
    B[i] = fractal_noise1(16.0f * u, 3, nullptr, 0.5f);
  }

  float lo0 = -0.25f * height;
  float hi0 = 0.75f * height;
  float base0 = (level - 0.75f) * height;

  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      Point2 d = wrap_map_delta(Point2{float(x) - pos.x, float(z) - pos.z});
      float s = n.x * d.x + n.z * d.z;  // across the fault
      float p = n.x * d.z - n.z * d.x;  // along it
      float q = (s / 64.0f) * (s / 64.0f) + (p / 128.0f) * (p / 128.0f);
      if (q >= 1.0f) continue;
      float w = 1.0f - q;
      float fall = ((3.0f - 2.0f * w) * w) * w;

      int j = fast_floor(p);
      float f = p - float(j);
      int i = (j + 128) & 255;
      float a = A[i] * (1.0f - f) + A[i + 1] * f;
      float b = B[i] * (1.0f - f) + B[i + 1] * f;

      float v = (s + (a + b / 16.0f) * warp) * (4.0f - 0.7f * (1.0f - b));
      float lo = fall * lo0;
      float hi = fall * hi0;
      if (v > hi)
        v = hi;
      else if (v < lo)
        v = lo;
      else if (hi != lo) {
        // The cliff face.
        Surface& sf = surface[z * 256 + x];
        if (ramp) blend_ramp_color(sf.color, ramp->get((v - lo) / (hi - lo)), alpha);
        if (ground_type != GT_NONE) set_ground_type(sf, ground_type);
      }
      buf[z * 256 + x] += v + fall * base0;
    }
}

// ---- crater ----------------------------------------------------------------------------

void genCrater(Point2 centre, float radius, float depth, float* buf)
{
  const float R = radius, D = depth;
  float R2 = R * R;

  // Mean ground height inside the circle.
  double sum = 0.0;
  int count = 0;
  {
    int x0 = round_nearest(centre.x - R + 0.49999988f), x1 = round_nearest(centre.x + R - 0.49999988f);
    int z0 = round_nearest(centre.z - R + 0.49999988f), z1 = round_nearest(centre.z + R - 0.49999988f);
    for (int z = z0; z <= z1; z++)
      for (int x = x0; x <= x1; x++) {
        float ex = float(x) - centre.x, ez = float(z) - centre.z;
        if (ex * ex + ez * ez < R2) {
          sum += double(buf[((z & 255) << 8) | (x & 255)]);
          count++;
        }
      }
  }
  float mean = count ? float(sum / double(count))
                     : buf[((round_nearest(centre.z) & 255) << 8) | (round_nearest(centre.x) & 255)];
  float rim = mean - 1.5f * D;

  float R2in = (R - 1.5f) * (R - 1.5f);
  float R2out = (R + 1.5f) * (R + 1.5f);
  float R2max = 4.0f * R * R;
  int x0 = round_nearest(centre.x - 2.0f * R + 0.49999988f), x1 = round_nearest(centre.x + 2.0f * R - 0.49999988f);
  int z0 = round_nearest(centre.z - 2.0f * R + 0.49999988f), z1 = round_nearest(centre.z + 2.0f * R - 0.49999988f);
  for (int z = z0; z <= z1; z++)
    for (int x = x0; x <= x1; x++) {
      float ex = float(x) - centre.x, ez = float(z) - centre.z;
      float d2 = ex * ex + ez * ez;
      if (!(d2 < R2max)) continue;
      float d = sqrtf(d2);
      float t = d - R;
      float& cell = buf[((z & 255) << 8) | (x & 255)];
      if (d2 < R2) {
        float h = mean - sqrtf(R2 - d2) * D;
        if (d2 > R2in) {
          float e = 2.0f * t / 3.0f;
          h = h + (rim - h) * (1.0f - e * e);
        }
        if (cell > h) cell = h;
      } else {
        float h = mean - D * t;
        if (d2 < R2out) {
          float e = 2.0f * t / 3.0f;
          h = h + (rim - h) * (1.0f - e * e);
        }
        if (cell > h) {
          float wgt = 1.0f - t / R;
          cell = cell + (h - cell) * (wgt * wgt);
        }
      }
    }
}

}  // namespace HeightmapData
