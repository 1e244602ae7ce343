#include "world/erosion.h"

#include <cinttypes>
#include <cmath>

#include "engine/debug.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "world/genServices.h"
#include "world/heightmapData.h"

namespace HeightmapData
{

namespace
{

const int k_max_path = 1024;     // steps after which a droplet is cut
const unsigned k_splash_every = 16384;

// The parameters as one run of droplets uses them; reloaded after onPeriod.
struct Params
{
  float Kq, Kw, Kr, Kd, Ki, minSlope, g, depositBlend, reactionTime;
  const ErosionReaction* reactions;
  int num_reactions;
  bool run_reactions;
  // With no reactions to run (for a finite time) a colour ends as it starts
  // whenever the blend weight is 0.
  bool colour_passes_through_empty_deposit;

  void load(const ErosionParams& p)
  {
    Kq = p.Kq;
    Kw = p.Kw;
    Kr = p.Kr;
    Kd = p.Kd;
    Ki = p.Ki;
    minSlope = p.minSlope;
    g = p.g;
    depositBlend = p.depositBlend;
    reactionTime = p.reactionTime;
    reactions = p.reactions.data;
    num_reactions = p.reactions.num;
    // Without reactions every rate is 0 and a run changes no colour (it
    // would add 0 times a finite time to each channel).
    run_reactions = reactionTime > 0.0f && (num_reactions > 0 || !std::isfinite(reactionTime));
    colour_passes_through_empty_deposit = !run_reactions && std::isfinite(depositBlend);
  }
};

// True floor for the droplet's cell (positions stay far inside int range).
inline int floor_int(float v)
{
  int i = _mm_cvttss_si32(_mm_set_ss(v));
  return float(i) > v ? i - 1 : i;
}

inline int cell_at(int x, int z) { return ((z & 255) << 8) | (x & 255); }

// Colour unpacking and packing as color_to_vec4f / vec4f_to_color do it (each
// byte divided by 255; saturate, times 255, round to nearest, pack), inline:
// erosion converts a colour for every cell a droplet touches.
struct ByteToUnit
{
  float v[256];
  constexpr ByteToUnit() : v()
  {
    for (int b = 0; b < 256; b++) v[b] = float(b) / 255.0f;
  }
};
constexpr ByteToUnit byte_to_unit;

inline vec4f unpack_color(uint32_t c)
{
  const float* t = byte_to_unit.v;
  return _mm_setr_ps(t[(c >> 16) & 255], t[(c >> 8) & 255], t[c & 255], t[c >> 24]);
}

inline bool all_finite(vec4f v)
{
  vec4f z = _mm_mul_ps(v, _mm_setzero_ps());  // NaN where v is infinite or NaN
  return _mm_movemask_ps(_mm_cmpord_ps(z, z)) == 15;
}

inline uint32_t pack_color(vec4f c)
{
  __m128i i = _mm_cvtps_epi32(_mm_mul_ps(_mm_min_ps(_mm_max_ps(c, _mm_setzero_ps()), _mm_set1_ps(1.0f)),
                                         _mm_set1_ps(255.0f)));
  // Lanes (r, g, b, a) of 0..255 to bytes, then to 0xAARRGGBB.
  i = _mm_packus_epi16(_mm_packs_epi32(i, i), i);
  uint32_t rgba = uint32_t(_mm_cvtsi128_si32(i));  // bytes r, g, b, a from the lowest
  return (rgba & 0xFF000000u) | ((rgba & 0xFFu) << 16) | (rgba & 0xFF00u) | ((rgba >> 16) & 0xFFu);
}

// x^e for e >= 1 by repeated squaring (bounded work for any exponent).
inline float int_pow(float x, int32_t e)
{
  float r = 1.0f;
  for (;;) {
    if (e & 1) r *= x;
    e >>= 1;
    if (!e) return r;
    x *= x;
  }
}

// Runs the colour reactions on c for the parameters' reaction time, in at most
// ten steps, each as long as the time until the first falling channel reaches
// 0 (never past it) or the whole remaining time.
void run_reactions(vec4f& c, const Params& p)
{
  float T = p.reactionTime;
  int iterations = 0;
  do {
    vec4f rate = v_zero();
    for (int r = 0; r < p.num_reactions; r++) {
      const ErosionReaction& re = p.reactions[r];
      float prod = 1.0f;
      for (int j = 0; j < 4; j++)
        if (re.exponents[j] > 0) prod *= int_pow(c[j], re.exponents[j]);
      rate = rate + v_ldu(re.change) * v_splat(prod);
    }
    float step = T;
    for (int k = 0; k < 4; k++)
      if (rate[k] < 0.0f) {
        float until_zero = -c[k] / rate[k];
        if (until_zero < step) step = until_zero;
      }
    T -= step;
    c = c + rate * v_splat(step);
    iterations++;
  } while (T > 0.0f && iterations < 10);
}

// The deposit rule for one cell. Forced inline: most droplet steps deposit,
// four cells at a time.
__attribute__((always_inline)) inline void deposit_cell(int cell, float a, vec4f drop_color, const Params& p)
{
  hmap[cell] += a;
  Surface& s = surface[cell];
  if (surface_type(s.bits) != ST_GRASS) {
    s.bits = with_surface_type(s.bits, ST_NONE);
    s.topColor = 0;
  }
  // Shortcut, same result: a deposit of 0 blends by weight 0, and without
  // reactions the colour then packs back to the bytes it came from.
  if (a == 0.0f && p.colour_passes_through_empty_deposit && all_finite(drop_color)) return;
  vec4f c = unpack_color(s.color);
  float k = 1.0f - expf(-a * p.depositBlend);
  c = c + (drop_color - c) * v_splat(k);
  if (p.run_reactions) run_reactions(c, p);
  s.color = pack_color(c);
}

// Deposits a at the four corners of cell (cx, cz), weighted bilinearly by the
// droplet's fractions in that cell.
inline void deposit_corners(int cx, int cz, float fx, float fz, float a, vec4f drop_color, const Params& p)
{
  deposit_cell(cell_at(cx, cz), a * (1.0f - fx) * (1.0f - fz), drop_color, p);
  deposit_cell(cell_at(cx + 1, cz), a * fx * (1.0f - fz), drop_color, p);
  deposit_cell(cell_at(cx, cz + 1), a * (1.0f - fx) * fz, drop_color, p);
  deposit_cell(cell_at(cx + 1, cz + 1), a * fx * fz, drop_color, p);
}

// Erodes a around (px, pz) over the 4 x 4 cells round cell (cx, cz), with a
// weight falling off to 0 at distance 2; the droplet takes on the colour of
// what it picks up in proportion to its load s (the load before this step).
// The weights of the 16 cells are worked out four at a time first; then the
// cells within reach (weight not <= 0) are visited in order, z outer, x inner.
inline void erode_around(float px, float pz, int cx, int cz, float a, float s, vec4f& drop_color)
{
  alignas(16) float weight[16];
  unsigned reached = 0;
  const vec4f ex = _mm_cvtepi32_ps(_mm_setr_epi32(cx - 1, cx, cx + 1, cx + 2)) - v_splat(px);
  for (int r = 0; r < 4; r++) {
    float ez = float(cz - 1 + r) - pz;
    vec4f b = v_splat(1.0f) - (ex * ex + v_splat(ez * ez)) * v_splat(0.25f);
    v_st(weight + 4 * r, b * v_splat(0.15915494f) * v_splat(a));
    reached |= unsigned(_mm_movemask_ps(_mm_cmpnle_ps(b, _mm_setzero_ps()))) << (4 * r);
  }
  while (reached) {
    int k = __builtin_ctz(reached);
    reached &= reached - 1;
    float e = weight[k];
    int cell = cell_at(cx - 1 + (k & 3), cz - 1 + (k >> 2));
    hmap[cell] -= e;
    Surface& sf = surface[cell];
    sf.bits = with_surface_type(sf.bits, ST_NONE);
    sf.topColor = 0;
    // An empty droplet that picks up nothing (e and s both 0) would make
    // this 0 / 0; it takes the cell's colour as it does for any e > 0.
    float den = e + s;
    float f = den != 0.0f ? s / den : 0.0f;
    drop_color = drop_color * v_splat(f) + unpack_color(sf.color) * v_splat(1.0f - f);
  }
}

inline void read_corners(int cx, int cz, float& h00, float& h10, float& h01, float& h11)
{
  h00 = hmap[cell_at(cx, cz)];
  h10 = hmap[cell_at(cx + 1, cz)];
  h01 = hmap[cell_at(cx, cz + 1)];
  h11 = hmap[cell_at(cx + 1, cz + 1)];
}

}  // namespace

void genDropletErosion(unsigned count, ErosionParams& params)
{
  int64_t start = get_ref_time();
  uint32_t period = uint32_t(params.periodStep);
  uint64_t total_steps = 0, long_paths = 0, random_dirs = 0;
  Params p;
  p.load(params);

  for (unsigned i = 0; i < count; i++) {
    if (i > 0 && i % k_splash_every == 0) show_splash("Calculating erosion", (float(i) + 0.5f) / float(count));

    int sx = int(rnd_u32() & 255);
    int sz = int(rnd_u32() & 255);
    float px = float(sx), pz = float(sz);
    int cx = sx, cz = sz;
    float fx = 0.0f, fz = 0.0f;
    float h00, h10, h01, h11;
    read_corners(cx, cz, h00, h10, h01, h11);
    float h = h00;
    float dx = 0.0f, dz = 0.0f, v = 0.0f, w = 1.0f, s = 0.0f;
    vec4f drop_color = v_zero();
    int steps = 0;

    for (;;) {
      // Downhill from the corners stored when the droplet entered its cell.
      float gx = (h00 + h01) - (h10 + h11);
      float gz = (h00 + h10) - (h01 + h11);
      dx = gx + (dx - gx) * p.Ki;
      dz = gz + (dz - gz) * p.Ki;
      float len = sqrtf(dx * dx + dz * dz);
      if (len > 1.1920929e-07f) {
        dx = dx / len;
        dz = dz / len;
      } else {
        float angle = rnd_float() * 6.2831855f;
        sincosf(angle, &dz, &dx);
        random_dirs++;
      }

      // One unit on; the new cell's corners are kept as read now.
      float npx = px + dx, npz = pz + dz;
      int ncx = floor_int(npx), ncz = floor_int(npz);
      float nfx = npx - float(ncx), nfz = npz - float(ncz);
      float n00, n10, n01, n11;
      read_corners(ncx, ncz, n00, n10, n01, n11);
      float nh = ((1.0f - nfx) * n00 + nfx * n10) * (1.0f - nfz) + ((1.0f - nfx) * n01 + nfx * n11) * nfz;

      // A pit: fill it from the load, or end here with all of it.
      if (nh >= h) {
        float fill = (nh - h) + 0.001f;
        if (fill >= s) {
          deposit_corners(cx, cz, fx, fz, s, drop_color, p);
          break;
        }
        deposit_corners(cx, cz, fx, fz, fill, drop_color, p);
        h += fill;
        s -= fill;
        v = 0.0f;
      }

      float dh = h - nh;
      float capacity = (dh > p.minSlope ? dh : p.minSlope) * v * w * p.Kq;
      if (s < capacity) {
        float want = (capacity - s) * p.Kr;
        float most = 0.99f * dh;
        float a = want < most ? want : most;
        erode_around(px, pz, cx, cz, a, s, drop_color);
        s += a;
        dh -= a;
      } else {
        float a = (s - capacity) * p.Kd;
        deposit_corners(cx, cz, fx, fz, a, drop_color, p);
        s -= a;
        dh += a;
      }

      // A negative gravity parameter could make this negative: stop instead
      // of turning the speed into NaN.
      float v2 = v * v + 2.0f * p.g * dh;
      v = sqrtf(v2 > 0.0f ? v2 : 0.0f);
      w = w * (1.0f - p.Kw);
      steps++;

      px = npx;
      pz = npz;
      cx = ncx;
      cz = ncz;
      fx = nfx;
      fz = nfz;
      h00 = n00;
      h10 = n10;
      h01 = n01;
      h11 = n11;
      h = nh;
      if (steps >= k_max_path) break;
    }

    if (steps >= k_max_path) {
      debug("droplet #%d path is too long!", int(i));
      long_paths++;
    }
    total_steps += uint64_t(steps);
    if (--period == 0) {
      period = uint32_t(params.periodStep);
      params.onPeriod();
      p.load(params);
    }
  }

  // With no droplets (or no measurable time) the rates are 0, not NaN or inf.
  int64_t elapsed = get_ref_time() - start;
  float seconds = get_time_sec(elapsed);
  double rate = seconds > 0.0f ? double(count) / double(seconds) : 0.0;
  double average = count ? double(total_steps) / double(count) : 0.0;
  debug("computed %7u erosion droplets in %6u ms, %.0f droplets/s", count, unsigned(get_time_msec(elapsed)), rate);
  debug("  %.2f average path length, %" PRIu64 " long paths cut, %" PRIu64 " random directions picked", average,
        long_paths, random_dirs);
}

}  // namespace HeightmapData
