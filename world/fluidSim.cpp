// Water and lava on the world grid: the cell rules and the fluid step.
//
// One grid holds both fluids: a positive amount is water, a negative one lava.
// Where they meet, the smaller quantity hardens into land of ash colour. The
// step is semi-Lagrangian: face velocities are carried along the flow by a
// bilinear back-trace and driven by the level difference across each face;
// then each cell sends fluid out through its outgoing faces.
//
// Every float expression keeps its written form and order (no folding, no
// reassociation): saved worlds and the look of the game rely on bit-identical
// results, also where four cells are computed in one SSE register.
#include "world/fluidSim.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "engine/color.h"
#include "engine/config.h"
#include "world/noise.h"
#include "world/worldServices.h"

namespace HeightmapData
{
UpdateStatsTracker fluidSimTiming("fluid sim");
}

using namespace HeightmapData;

// ---- cell rules -----------------------------------------------------------------

static inline uint32_t blend_color(uint32_t packed, vec4f target, float t)
{
  vec4f c = color_to_vec4f(D3dColor(packed));
  return vec4f_to_color(c + (target - c) * v_splat(t)).u;
}

static inline void raise_cell(int cell, float h)
{
  hmap[cell] += h;
  target_hmap[cell] += h;
  float t = std::min(1.0f, h * 100.0f);
  Surface& s = surface[cell];
  s.topColor = blend_color(s.topColor, ash_color1, t);
  if (t >= 0.5f) s.bits = with_surface_type(s.bits, ST_ASH);
  s.color = blend_color(s.color, ash_color0, t);
}

static inline void vapour(int cell, float level, float amount)
{
  if (gfx_quality == 1 && spawn_water_vapor_fx) spawn_water_vapor_fx(cell_x(cell), cell_z(cell), level, amount);
}

static inline Water& cell_fluid(int cell) { return water[cell >> HMAP_SIZE_SHIFT][cell & HMAP_MASK]; }

static inline __attribute__((always_inline)) void pour_lava(int cell, float q)
{
  Water& c = cell_fluid(cell);
  float a = c.amount;
  if (q > 0.f) {
    if (a > 0.f) {
      float s = q;
      if (q > a) {
        s = a;
        c.u = 0.f;
        c.w = 0.f;
      }
      raise_cell(cell, s);
      vapour(cell, std::fabs(a - q) + hmap[cell], s);
    }
    c.amount = a - q;
  } else if (a < q) {
    c.amount = a - q;
  } else if (a < 0.f) {
    c.amount = 0.f;
  }
}

static inline __attribute__((always_inline)) void pour_water(int cell, float q)
{
  Water& c = cell_fluid(cell);
  float a = c.amount;
  if (q > 0.f) {
    if (a < 0.f) {
      float s = q;
      if (q > -a) s = -a;
      raise_cell(cell, s);
      vapour(cell, std::fabs(a + q) + hmap[cell], s);
    }
    c.amount = a + q;
  } else if (a > -q) {
    c.amount = a + q;
  } else if (a > 0.f) {
    c.amount = 0.f;
  }
}

void raise_cell_with_ash(int cell, float h) { raise_cell(cell & (HMAP_CELLS - 1), h); }
void add_cell_lava(int cell, float q) { pour_lava(cell & (HMAP_CELLS - 1), q); }
void add_cell_water(int cell, float q) { pour_water(cell & (HMAP_CELLS - 1), q); }

// ---- the step ---------------------------------------------------------------------

namespace
{

// Factors of one step of length dt.
struct StepFactors
{
  float dt, K, dampW, dampL, dz, foamDecay, harden, outflow;

  explicit StepFactors(float t)
  {
    dt = t;
    K = t * 10.f;
    dampW = std::max(0.f, 1.f - t * 0.03f);
    dampL = std::max(0.f, 1.f - t * 0.3f);
    dz = K * 0.1f;
    foamDecay = std::max(0.f, 1.f - t * 5.f);
    harden = std::min(1.f, t * 0.1f);
    outflow = t * 4.f;
  }
};

inline int idx(int x, int z) { return ((z & HMAP_MASK) << HMAP_SIZE_SHIFT) | (x & HMAP_MASK); }

// ---- pass 1: new face velocities, foam and a copy of the amount ----
// Reads only the source grid and writes only the destination, so cells are
// independent: four neighbouring cells of a row go through together. Each SSE
// operation used (add, sub, mul, div, min, compares, selects, conversions
// under the default rounding mode) gives every lane exactly the result of the
// same scalar expression, so the four-lane form changes no result.

const int PAD = 8;                    // row arrays hold x = -1 at PAD - 1 and x = 256 at PAD + 256
const int ROW_LEN = HMAP_SIZE + 2 * PAD;

// One source row with its land heights, as separate arrays, wrapped by one cell at each end.
struct SourceRow
{
  alignas(32) float amount[ROW_LEN];
  alignas(32) float u[ROW_LEN];
  alignas(32) float w[ROW_LEN];
  alignas(32) float foam[ROW_LEN];
  alignas(32) float h[ROW_LEN];
};

void load_row(SourceRow& r, const Water* src, int z)
{
  const Water* row = src + ((z & HMAP_MASK) << HMAP_SIZE_SHIFT);
  const float* hrow = hmap + ((z & HMAP_MASK) << HMAP_SIZE_SHIFT);
  for (int x = 0; x < HMAP_SIZE; x += 4) {
    vec4f r0 = v_ld(&row[x].amount), r1 = v_ld(&row[x + 1].amount);
    vec4f r2 = v_ld(&row[x + 2].amount), r3 = v_ld(&row[x + 3].amount);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    v_st(r.amount + PAD + x, r0);
    v_st(r.u + PAD + x, r1);
    v_st(r.w + PAD + x, r2);
    v_st(r.foam + PAD + x, r3);
    v_st(r.h + PAD + x, v_ld(hrow + x));
  }
  for (float* a : {r.amount, r.u, r.w, r.foam, r.h}) {
    a[PAD - 1] = a[PAD + HMAP_SIZE - 1];
    a[PAD + HMAP_SIZE] = a[PAD];
  }
}

// Loads the records at four indices and returns their velocity field
// (FIELD 1: u, 2: w) and their foam as lanes.
template <int FIELD>
inline void gather4(const Water* src, const int32_t* idx, vec4f& vel, vec4f& foam)
{
  vec4f r0 = v_ld(&src[idx[0]].amount), r1 = v_ld(&src[idx[1]].amount);
  vec4f r2 = v_ld(&src[idx[2]].amount), r3 = v_ld(&src[idx[3]].amount);
  vec4f t0 = _mm_unpacklo_ps(r0, r1);  // a0 a1 u0 u1
  vec4f t1 = _mm_unpackhi_ps(r0, r1);  // w0 w1 f0 f1
  vec4f t2 = _mm_unpacklo_ps(r2, r3);
  vec4f t3 = _mm_unpackhi_ps(r2, r3);
  vel = FIELD == 1 ? _mm_movehl_ps(t2, t0) : _mm_movelh_ps(t1, t3);
  foam = _mm_movehl_ps(t3, t1);
}

// Bilinear samples of a velocity field and of the foam at four points.
template <int FIELD>
inline void sample_bilinear4(const Water* src, vec4f px, vec4f pz, vec4f& vel, vec4f& foam)
{
  const vec4f bias = v_splat(0.49999988f);
  const vec4i mask = _mm_set1_epi32(HMAP_MASK), one = _mm_set1_epi32(1);
  vec4i x0 = v_cvt_f2i_round(px - bias), z0 = v_cvt_f2i_round(pz - bias);
  vec4f fx = px - v_cvt_i2f(x0), fz = pz - v_cvt_i2f(z0);
  vec4i xa = _mm_and_si128(x0, mask), xb = _mm_and_si128(_mm_add_epi32(x0, one), mask);
  vec4i za = _mm_slli_epi32(_mm_and_si128(z0, mask), HMAP_SIZE_SHIFT);
  vec4i zb = _mm_slli_epi32(_mm_and_si128(_mm_add_epi32(z0, one), mask), HMAP_SIZE_SHIFT);
  alignas(16) int32_t i00[4], i10[4], i01[4], i11[4];
  _mm_store_si128((vec4i*)i00, _mm_or_si128(za, xa));
  _mm_store_si128((vec4i*)i10, _mm_or_si128(za, xb));
  _mm_store_si128((vec4i*)i01, _mm_or_si128(zb, xa));
  _mm_store_si128((vec4i*)i11, _mm_or_si128(zb, xb));
  vec4f v00, v10, v01, v11, f00, f10, f01, f11;
  gather4<FIELD>(src, i00, v00, f00);
  gather4<FIELD>(src, i10, v10, f10);
  gather4<FIELD>(src, i01, v01, f01);
  gather4<FIELD>(src, i11, v11, f11);
  vec4f v0 = v00 + (v10 - v00) * fx, v1 = v01 + (v11 - v01) * fx;
  vel = v0 + (v1 - v0) * fz;
  vec4f g0 = f00 + (f10 - f00) * fx, g1 = f01 + (f11 - f01) * fx;
  foam = g0 + (g1 - g0) * fz;
}

inline vec4f lava_depth4(vec4f amount) { return _mm_and_ps(v_cmp_lt(amount, v_zero()), v_neg(amount)); }

// The new velocity of four faces from their carried samples and head terms.
// Water (amount_a + amount_b >= 0): damped sample plus head. Lava: a dead
// zone on the head (returned in `head`, for the foam), stronger damping, and
// a gate so that thin lava stops: g = gate_factor * (sum of lava depths),
// gate_factor = (n / 255) * 0.85 + 1 - 0.85 from the cell's fixed noise n.
inline vec4f face_velocity4(const StepFactors& f, vec4f sample, vec4f& head, vec4f amount_a, vec4f amount_b,
                            vec4f gate_factor)
{
  vec4f is_water = v_cmp_ge(amount_a + amount_b, v_zero());
  vec4f vw = sample * v_splat(f.dampW) + head;
  if (v_all(is_water)) return vw;

  vec4f d = head;
  vec4f below = v_cmp_lt(d, v_splat(-f.dz)), above = v_cmp_gt(d, v_splat(f.dz));
  d = _mm_or_ps(_mm_and_ps(below, d + v_splat(f.dz)), _mm_and_ps(above, d - v_splat(f.dz)));
  vec4f vl = sample * v_splat(f.dampL) + d * v_splat(0.3f);
  vec4f g = gate_factor * (lava_depth4(amount_a) + lava_depth4(amount_b));
  vec4f scaled = vl * (g - v_splat(0.05f)) * v_splat(6.6666665f);
  vl = v_sel(v_cmp_lt(g, v_splat(0.2f)), scaled, vl);
  vl = _mm_andnot_ps(v_cmp_lt(g, v_splat(0.05f)), vl);
  head = v_sel(is_water, head, d);
  return v_sel(is_water, vw, vl);
}

// Stops a face whose upwind side has no fluid above the other side's land;
// a stopped face adds 0.01 to the cell's foam.
inline vec4f block_face4(vec4f v, vec4f a_i, vec4f h_i, vec4f a_n, vec4f h_n, vec4f& bonus)
{
  vec4f out_i = v_min((a_i + h_i) - h_n, a_i);
  vec4f out_n = v_min((a_n + h_n) - h_i, a_n);
  vec4f zero = v_zero();
  vec4f blocked = _mm_or_ps(_mm_and_ps(v_cmp_ge(v, zero), v_cmp_le(out_i, zero)),
                            _mm_and_ps(v_cmp_lt(v, zero), v_cmp_le(out_n, zero)));
  bonus = bonus + _mm_and_ps(blocked, v_splat(0.01f));
  return _mm_andnot_ps(blocked, v);
}

// Pass 1 for the four cells x..x+3 of row z (rows: z - 1, z, z + 1).
void advect4(const StepFactors& f, const Water* src, Water* dst, const SourceRow& prv, const SourceRow& cur,
             const SourceRow& nxt, const float* gate_factor, int z, int x)
{
  const vec4f K = v_splat(f.K), dt = v_splat(f.dt);
  const vec4f Z = v_splat(float(z));
  const int o = PAD + x;
  vec4f A_i = v_ld(cur.amount + o), A_x = v_ldu(cur.amount + o + 1), A_z = v_ld(nxt.amount + o);
  vec4f a_i = v_abs(A_i), a_x = v_abs(A_x), a_z = v_abs(A_z);
  vec4f h_i = v_ld(cur.h + o), h_x = v_ldu(cur.h + o + 1), h_z = v_ld(nxt.h + o);
  vec4f U_i = v_ld(cur.u + o), W_i = v_ld(cur.w + o);
  vec4f X = v_cvt_i2f(_mm_setr_epi32(x, x + 1, x + 2, x + 3));
  vec4f gate = v_ld(gate_factor + x);
  vec4f bonus = v_zero();

  vec4f dV = ((a_i + h_i) - h_x - a_x) * K;
  vec4f wbar = (W_i + v_ldu(cur.w + o + 1) + v_ld(prv.w + o) + v_ldu(prv.w + o + 1)) / v_splat(4.f);
  vec4f sample, Fx;
  sample_bilinear4<1>(src, X - U_i * dt, Z - wbar * dt, sample, Fx);
  vec4f u = face_velocity4(f, sample, dV, A_i, A_x, gate);
  u = block_face4(u, a_i, h_i, a_x, h_x, bonus);

  vec4f dW = ((a_i + h_i) - h_z - a_z) * K;
  vec4f ubar = (v_ldu(cur.u + o - 1) + U_i + v_ld(nxt.u + o) + v_ldu(nxt.u + o - 1)) / v_splat(4.f);
  vec4f Fz;
  sample_bilinear4<2>(src, X - ubar * dt, Z - W_i * dt, sample, Fz);
  vec4f w = face_velocity4(f, sample, dW, A_i, A_z, gate);
  w = block_face4(w, a_i, h_i, a_z, h_z, bonus);

  vec4f around = v_splat(2.f) * (Fx + Fz) + v_ldu(cur.foam + o + 1) + v_ldu(cur.foam + o - 1) + v_ld(nxt.foam + o) +
                 v_ld(prv.foam + o);
  vec4f foam = v_min(around * v_splat(0.125f) * v_splat(f.foamDecay) + v_splat(3.2f) * (dV * dV + dW * dW) + bonus,
                     v_splat(1.f));

  vec4f r0 = A_i, r1 = u, r2 = w, r3 = foam;
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  Water* out = dst + (z << HMAP_SIZE_SHIFT) + x;
  v_st(&out[0].amount, r0);
  v_st(&out[1].amount, r1);
  v_st(&out[2].amount, r2);
  v_st(&out[3].amount, r3);
}

// The gate factor of the lava rule for each noise value n:
// (n / 255) * 0.85 + 1 - 0.85.
struct GateFactors
{
  float of_noise[256];
  GateFactors()
  {
    for (int n = 0; n < 256; n += 4)
      v_st(of_noise + n,
           (v_cvt_i2f(_mm_setr_epi32(n, n + 1, n + 2, n + 3)) / v_splat(255.f)) * v_splat(0.85f) + v_splat(1.f) -
               v_splat(0.85f));
  }
};
const GateFactors gate_factors;

// The fixed per-cell gate factors of row z, from the cells' noise.
void row_gate_factors(float* gate_factor, int z)
{
  for (int x = 0; x < HMAP_SIZE; x++) gate_factor[x] = gate_factors.of_noise[noise_perm[z + noise_perm[x]]];
}

// ---- pass 1, eight cells at a time (AVX2) ----
// The same expressions as advect4, lane for lane, on eight cells. Where every
// back-traced point of the eight lies within a cell of its own one (so the
// bilinear corners are the cell, its -x/-z neighbours and their +x/+z ones,
// which the three source rows hold), the corners are picked from the rows by
// selects instead of loaded record by record. Otherwise the group goes
// through advect4. Selects, loads and the AVX forms of the arithmetic and
// compares give the same bits as the SSE forms.

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

typedef __m256 vec8f;
typedef __m256i vec8i;

inline vec8f w_splat(float v) { return _mm256_set1_ps(v); }
inline vec8f w_ld(const float* p) { return _mm256_load_ps(p); }
inline vec8f w_ldu(const float* p) { return _mm256_loadu_ps(p); }
inline vec8f w_abs(vec8f a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.f), a); }
inline vec8f w_lt(vec8f a, vec8f b) { return _mm256_cmp_ps(a, b, _CMP_LT_OS); }
inline vec8f w_le(vec8f a, vec8f b) { return _mm256_cmp_ps(a, b, _CMP_LE_OS); }
inline vec8f w_gt(vec8f a, vec8f b) { return _mm256_cmp_ps(a, b, _CMP_GT_OS); }
inline vec8f w_ge(vec8f a, vec8f b) { return _mm256_cmp_ps(a, b, _CMP_GE_OS); }
// mask ? a : b
inline vec8f w_sel(vec8f mask, vec8f a, vec8f b) { return _mm256_blendv_ps(b, a, mask); }

// Bilinear sample of one field of the three rows at (x + dx + fx, z + dz + fz)
// for dx, dz of 0 or -1 (masks mx, mz set where -1); at = the field's row
// arrays at the group's first cell.
inline vec8f sample_rows8(const float* prv, const float* cur, const float* nxt, vec8f mx, vec8f mz, vec8f fx,
                          vec8f fz)
{
  vec8f c0m = w_ldu(cur - 1), c0 = w_ldu(cur), c0p = w_ldu(cur + 1);
  vec8f r0m = w_sel(mz, w_ldu(prv - 1), c0m), r0c = w_sel(mz, w_ldu(prv), c0), r0p = w_sel(mz, w_ldu(prv + 1), c0p);
  vec8f r1m = w_sel(mz, c0m, w_ldu(nxt - 1)), r1c = w_sel(mz, c0, w_ldu(nxt)), r1p = w_sel(mz, c0p, w_ldu(nxt + 1));
  vec8f v00 = w_sel(mx, r0m, r0c), v10 = w_sel(mx, r0c, r0p);
  vec8f v01 = w_sel(mx, r1m, r1c), v11 = w_sel(mx, r1c, r1p);
  vec8f v0 = v00 + (v10 - v00) * fx, v1 = v01 + (v11 - v01) * fx;
  return v0 + (v1 - v0) * fz;
}

inline vec8f lava_depth8(vec8f amount)
{
  return _mm256_and_ps(w_lt(amount, _mm256_setzero_ps()), _mm256_xor_ps(_mm256_set1_ps(-0.f), amount));
}

// face_velocity4 on eight faces.
inline vec8f face_velocity8(const StepFactors& f, vec8f sample, vec8f& head, vec8f amount_a, vec8f amount_b,
                            vec8f gate_factor)
{
  vec8f is_water = w_ge(amount_a + amount_b, _mm256_setzero_ps());
  vec8f vw = sample * w_splat(f.dampW) + head;
  if (_mm256_movemask_ps(is_water) == 255) return vw;

  vec8f d = head;
  vec8f below = w_lt(d, w_splat(-f.dz)), above = w_gt(d, w_splat(f.dz));
  d = _mm256_or_ps(_mm256_and_ps(below, d + w_splat(f.dz)), _mm256_and_ps(above, d - w_splat(f.dz)));
  vec8f vl = sample * w_splat(f.dampL) + d * w_splat(0.3f);
  vec8f g = gate_factor * (lava_depth8(amount_a) + lava_depth8(amount_b));
  vec8f scaled = vl * (g - w_splat(0.05f)) * w_splat(6.6666665f);
  vl = w_sel(w_lt(g, w_splat(0.2f)), scaled, vl);
  vl = _mm256_andnot_ps(w_lt(g, w_splat(0.05f)), vl);
  head = w_sel(is_water, head, d);
  return w_sel(is_water, vw, vl);
}

// block_face4 on eight faces.
inline vec8f block_face8(vec8f v, vec8f a_i, vec8f h_i, vec8f a_n, vec8f h_n, vec8f& bonus)
{
  vec8f out_i = _mm256_min_ps((a_i + h_i) - h_n, a_i);
  vec8f out_n = _mm256_min_ps((a_n + h_n) - h_i, a_n);
  vec8f zero = _mm256_setzero_ps();
  vec8f blocked = _mm256_or_ps(_mm256_and_ps(w_ge(v, zero), w_le(out_i, zero)),
                               _mm256_and_ps(w_lt(v, zero), w_le(out_n, zero)));
  bonus = bonus + _mm256_and_ps(blocked, w_splat(0.01f));
  return _mm256_andnot_ps(blocked, v);
}

// Integer cell of p by the lattice rule (nearest integer to p - 0.49999988),
// its fraction, and whether it is the cell c or c - 1 (mask set for c - 1).
inline bool near_cell8(vec8f p, vec8i c, vec8f& frac, vec8f& minus_one)
{
  vec8i i = _mm256_cvtps_epi32(p - w_splat(0.49999988f));
  frac = p - _mm256_cvtepi32_ps(i);
  vec8i d = _mm256_sub_epi32(i, c);  // 0 or -1 when near
  minus_one = _mm256_castsi256_ps(_mm256_cmpeq_epi32(d, _mm256_set1_epi32(-1)));
  vec8i off = _mm256_andnot_si256(_mm256_set1_epi32(1), _mm256_add_epi32(d, _mm256_set1_epi32(1)));
  return _mm256_testz_si256(off, off);
}

// Pass 1 for the eight cells x..x+7 of row z; false, having written nothing,
// where some back-traced point leaves the cell's neighbourhood.
inline bool advect8(const StepFactors& f, Water* dst, const SourceRow& prv, const SourceRow& cur,
                    const SourceRow& nxt, const float* gate_factor, int z, int x)
{
  const vec8f K = w_splat(f.K), dt = w_splat(f.dt);
  const int o = PAD + x;
  vec8i Xi = _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  vec8i Zi = _mm256_set1_epi32(z);
  vec8f X = _mm256_cvtepi32_ps(Xi), Z = w_splat(float(z));
  vec8f U_i = w_ld(cur.u + o), W_i = w_ld(cur.w + o);

  vec8f wbar = (W_i + w_ldu(cur.w + o + 1) + w_ld(prv.w + o) + w_ldu(prv.w + o + 1)) / w_splat(4.f);
  vec8f ubar = (w_ldu(cur.u + o - 1) + U_i + w_ld(nxt.u + o) + w_ldu(nxt.u + o - 1)) / w_splat(4.f);
  vec8f fxu, mxu, fzu, mzu, fxw, mxw, fzw, mzw;
  bool near = near_cell8(X - U_i * dt, Xi, fxu, mxu);
  near &= near_cell8(Z - wbar * dt, Zi, fzu, mzu);
  near &= near_cell8(X - ubar * dt, Xi, fxw, mxw);
  near &= near_cell8(Z - W_i * dt, Zi, fzw, mzw);
  if (!near) return false;

  vec8f A_i = w_ld(cur.amount + o), A_x = w_ldu(cur.amount + o + 1), A_z = w_ld(nxt.amount + o);
  vec8f a_i = w_abs(A_i), a_x = w_abs(A_x), a_z = w_abs(A_z);
  vec8f h_i = w_ld(cur.h + o), h_x = w_ldu(cur.h + o + 1), h_z = w_ld(nxt.h + o);
  vec8f gate = w_ld(gate_factor + x);
  vec8f bonus = _mm256_setzero_ps();

  vec8f dV = ((a_i + h_i) - h_x - a_x) * K;
  vec8f sample = sample_rows8(prv.u + o, cur.u + o, nxt.u + o, mxu, mzu, fxu, fzu);
  vec8f Fx = sample_rows8(prv.foam + o, cur.foam + o, nxt.foam + o, mxu, mzu, fxu, fzu);
  vec8f u = face_velocity8(f, sample, dV, A_i, A_x, gate);
  u = block_face8(u, a_i, h_i, a_x, h_x, bonus);

  vec8f dW = ((a_i + h_i) - h_z - a_z) * K;
  sample = sample_rows8(prv.w + o, cur.w + o, nxt.w + o, mxw, mzw, fxw, fzw);
  vec8f Fz = sample_rows8(prv.foam + o, cur.foam + o, nxt.foam + o, mxw, mzw, fxw, fzw);
  vec8f w = face_velocity8(f, sample, dW, A_i, A_z, gate);
  w = block_face8(w, a_i, h_i, a_z, h_z, bonus);

  vec8f around = w_splat(2.f) * (Fx + Fz) + w_ldu(cur.foam + o + 1) + w_ldu(cur.foam + o - 1) + w_ld(nxt.foam + o) +
                 w_ld(prv.foam + o);
  vec8f foam = _mm256_min_ps(
      around * w_splat(0.125f) * w_splat(f.foamDecay) + w_splat(3.2f) * (dV * dV + dW * dW) + bonus, w_splat(1.f));

  // Lanes to records: (amount, u, w, foam) of cells k and k + 4 in the two halves.
  vec8f t0 = _mm256_unpacklo_ps(A_i, u), t1 = _mm256_unpackhi_ps(A_i, u);
  vec8f t2 = _mm256_unpacklo_ps(w, foam), t3 = _mm256_unpackhi_ps(w, foam);
  vec8f s0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0)), s1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  vec8f s2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0)), s3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  float* out = &dst[(z << HMAP_SIZE_SHIFT) + x].amount;
  _mm256_store_ps(out, _mm256_permute2f128_ps(s0, s1, 0x20));
  _mm256_store_ps(out + 8, _mm256_permute2f128_ps(s2, s3, 0x20));
  _mm256_store_ps(out + 16, _mm256_permute2f128_ps(s0, s1, 0x31));
  _mm256_store_ps(out + 24, _mm256_permute2f128_ps(s2, s3, 0x31));
  return true;
}

void advect_faces8(const StepFactors& f, const Water* src, Water* dst)
{
  SourceRow rows[3];
  alignas(32) float gate_factor[HMAP_SIZE];
  load_row(rows[0], src, -1);
  load_row(rows[1], src, 0);
  for (int z = 0; z < HMAP_SIZE; z++) {
    const SourceRow& prv = rows[(z + 0) % 3];
    const SourceRow& cur = rows[(z + 1) % 3];
    SourceRow& nxt = rows[(z + 2) % 3];
    load_row(nxt, src, z + 1);
    row_gate_factors(gate_factor, z);
    for (int x = 0; x < HMAP_SIZE; x += 8)
      if (!advect8(f, dst, prv, cur, nxt, gate_factor, z, x)) {
        advect4(f, src, dst, prv, cur, nxt, gate_factor, z, x);
        advect4(f, src, dst, prv, cur, nxt, gate_factor, z, x + 4);
      }
  }
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

void advect_faces(const StepFactors& f, const Water* src, Water* dst)
{
  SourceRow rows[3];
  alignas(32) float gate_factor[HMAP_SIZE];
  load_row(rows[0], src, -1);
  load_row(rows[1], src, 0);
  for (int z = 0; z < HMAP_SIZE; z++) {
    const SourceRow& prv = rows[(z + 0) % 3];
    const SourceRow& cur = rows[(z + 1) % 3];
    SourceRow& nxt = rows[(z + 2) % 3];
    load_row(nxt, src, z + 1);
    row_gate_factors(gate_factor, z);
    for (int x = 0; x < HMAP_SIZE; x += 4) advect4(f, src, dst, prv, cur, nxt, gate_factor, z, x);
  }
}

// Moves one colour of the cell and its four neighbours toward their weighted mean.
template <uint32_t Surface::*C>
void smooth_color(int i, int xm, int zm, int xp, int zp)
{
  vec4f ci = color_to_vec4f(D3dColor(surface[i].*C));
  vec4f cxm = color_to_vec4f(D3dColor(surface[xm].*C));
  vec4f czm = color_to_vec4f(D3dColor(surface[zm].*C));
  vec4f cxp = color_to_vec4f(D3dColor(surface[xp].*C));
  vec4f czp = color_to_vec4f(D3dColor(surface[zp].*C));
  vec4f avg = (v_splat(4.f) * ci + cxm + czm + cxp + czp) * v_splat(0.125f);
  surface[i].*C = vec4f_to_color(ci + (avg - ci) * v_splat(0.1f)).u;
  surface[xm].*C = vec4f_to_color(cxm + (avg - cxm) * v_splat(0.03f)).u;
  surface[zm].*C = vec4f_to_color(czm + (avg - czm) * v_splat(0.03f)).u;
  surface[xp].*C = vec4f_to_color(cxp + (avg - cxp) * v_splat(0.03f)).u;
  surface[zp].*C = vec4f_to_color(czp + (avg - czp) * v_splat(0.03f)).u;
}

// Pass 2 for one wet cell: evaporation or hardening, then outflow into the
// four neighbours by the cell rules. Later cells see what earlier ones did.
inline void flow_out(const StepFactors& f, Water* dst, int x, int z, float A)
{
  int i = idx(x, z);
  int xm = idx(x - 1, z), zm = idx(x, z - 1), xp = idx(x + 1, z), zp = idx(x, z + 1);
  float B;
  if (A < 0.f) {
    float s = -A > 0.003f ? -A * f.harden : -A;
    dst[i].amount += s;
    raise_cell(i, s);
    smooth_color<&Surface::color>(i, xm, zm, xp, zp);
    smooth_color<&Surface::topColor>(i, xm, zm, xp, zp);
    B = -A - s;
  } else if (A < 0.5f) {
    if (A >= 0.01f) {
      dst[i].amount += A * f.dampW - A;
      B = A * f.dampW;
    } else {
      dst[i].amount -= A;
      B = 0.f;
    }
  } else {
    B = A;
  }

  // Outgoing velocities toward -x, -z, +x, +z; a face counts only when it
  // points out of the cell and the fluid level is not below the land beyond it.
  float L = hmap[i] + B;
  vec4f v = make4f(-dst[xm].u, -dst[zm].w, dst[i].u, dst[i].w);
  vec4f land = make4f(hmap[xm], hmap[zm], hmap[xp], hmap[zp]);
  v = _mm_and_ps(_mm_and_ps(v_cmp_ge(v, v_zero()), v_cmp_le(land, v_splat(L))), v);
  float F = v[0] + v[1] + v[2] + v[3];
  float V = F * f.outflow;
  if (!(V > 0.001f)) return;
  V = std::min(V, B);

  // Shares in neighbour order; a zero share changes nothing under either rule.
  alignas(16) float share[4];
  v_st(share, v * v_splat(V) / v_splat(F));
  const int target[4] = {xm, zm, xp, zp};
  if (A < 0.f) {
    dst[i].amount += V;
    for (int k = 0; k < 4; k++)
      if (share[k] != 0.f) pour_lava(target[k], share[k]);
  } else {
    dst[i].amount -= V;
    vec4f a = make4f(dst[xm].amount, dst[zm].amount, dst[xp].amount, dst[zp].amount);
    if (v_all(v_cmp_ge(a, v_zero()))) {
      // No lava around: each neighbour just gains its share (a zero share
      // leaves it as it is), which is the water rule without a meeting.
      alignas(16) float after[4];
      vec4f s = v_ld(share);
      v_st(after, v_sel(v_cmp_neq(s, v_zero()), a + s, a));
      for (int k = 0; k < 4; k++) dst[target[k]].amount = after[k];
    } else {
      for (int k = 0; k < 4; k++)
        if (share[k] != 0.f) pour_water(target[k], share[k]);
    }
  }
}

// Lanes (first, v0, v1, v2) and (v1, v2, v3, last): a row shifted by one cell.
inline vec4f shift_right(vec4f v, float first)
{
  return _mm_or_ps(_mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)), _mm_set_ss(first));
}
inline vec4f shift_left(vec4f v, float last)
{
  return _mm_or_ps(_mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(v), 4)), _mm_setr_ps(0.f, 0.f, 0.f, last));
}

inline vec4f amounts4(const Water* p) { return make4f(p[0].amount, p[1].amount, p[2].amount, p[3].amount); }

// Pass 2 for the four cells x..x+3 of row z, none of them lava, in one go:
// every amount gets the same additions in the same order as from flow_out
// cell after cell. Within the group a cell's amount first receives the +x
// share of its left neighbour, then loses its own evaporation and outflow,
// then receives the -x share of its right neighbour; every other cell that
// the group pours into gets a single share from it. Nothing hardens here, so
// the land heights stay as they are and every cell's outflow can be worked
// out up front. Returns false, having written nothing, when some share would
// land on lava: the one-cell rules then take the group.
inline bool flow_out4(const StepFactors& f, Water* dst, int x, int z, vec4f A)
{
  const int row = z << HMAP_SIZE_SHIFT, i = row + x;
  const int up = ((z - 1) & HMAP_MASK) << HMAP_SIZE_SHIFT, down = ((z + 1) & HMAP_MASK) << HMAP_SIZE_SHIFT;
  const int left = row + ((x - 1) & HMAP_MASK), right = row + ((x + 4) & HMAP_MASK);

  // The amount of the first cell was just written by the group before: read
  // it alone (a wider read of a value still on its way to memory waits for
  // it), and the velocities from reads that start after it: (u, w, foam) and
  // the next cell's amount; the last record is read whole (a read past it
  // could leave the grid) and turned to the same order.
  vec4f amt = amounts4(dst + i);
  vec4f last = v_ld(&dst[i + 3].amount);
  vec4f u = v_ldu(&dst[i].u), w = v_ldu(&dst[i + 1].u), r2 = v_ldu(&dst[i + 2].u);
  vec4f r3 = _mm_shuffle_ps(last, last, _MM_SHUFFLE(0, 3, 2, 1));
  _MM_TRANSPOSE4_PS(u, w, r2, r3);
  const vec4f zero = v_zero();

  // Evaporation and the budget B.
  vec4f wet = v_cmp_neq(A, zero);
  vec4f shallow = _mm_and_ps(wet, v_cmp_lt(A, v_splat(0.5f)));
  vec4f lasting = v_cmp_ge(A, v_splat(0.01f));
  vec4f Bw = A * v_splat(f.dampW);
  vec4f B = v_sel(shallow, _mm_and_ps(lasting, Bw), A);

  // Outgoing velocities toward -x, -z, +x, +z where the level reaches the land beyond.
  vec4f h = v_ldu(hmap + i);
  vec4f L = h + B;
  vec4f v_xm = v_neg(shift_right(u, dst[left].u));
  vec4f v_zm = v_neg(make4f(dst[up + x].w, dst[up + x + 1].w, dst[up + x + 2].w, dst[up + x + 3].w));
  vec4f land_xm = shift_right(h, hmap[left]), land_xp = shift_left(h, hmap[right]);
  vec4f land_zm = v_ldu(hmap + up + x), land_zp = v_ldu(hmap + down + x);
  auto out = [&](vec4f v, vec4f land) { return _mm_and_ps(_mm_and_ps(v_cmp_ge(v, zero), v_cmp_le(land, L)), v); };
  v_xm = out(v_xm, land_xm);
  v_zm = out(v_zm, land_zm);
  vec4f v_xp = out(u, land_xp), v_zp = out(w, land_zp);
  vec4f F = v_xm + v_zm + v_xp + v_zp;
  vec4f V = F * v_splat(f.outflow);
  vec4f flows = _mm_and_ps(wet, v_cmp_gt(V, v_splat(0.001f)));
  V = v_min(B, V);
  auto share = [&](vec4f v) { return _mm_and_ps(flows, v * V / F); };
  vec4f s_xm = share(v_xm), s_zm = share(v_zm), s_xp = share(v_xp), s_zp = share(v_zp);

  // A share is a plain addition unless the cell it lands on holds lava.
  vec4f meets = zero;
  auto pour = [&](vec4f a, vec4f s) {
    vec4f given = v_cmp_neq(s, zero);
    meets = _mm_or_ps(meets, _mm_and_ps(given, v_cmp_lt(a, zero)));
    return v_sel(given, a + s, a);
  };
  amt = pour(amt, shift_right(s_xp, 0.f));
  amt = v_sel(_mm_and_ps(shallow, lasting), amt + (Bw - A), v_sel(_mm_andnot_ps(lasting, shallow), amt - A, amt));
  amt = v_sel(flows, amt - V, amt);
  amt = pour(amt, shift_left(s_xm, 0.f));
  vec4f ends = pour(make4f(dst[left].amount, 0.f, 0.f, dst[right].amount),
                    _mm_setr_ps(v_extract_x(s_xm), 0.f, 0.f, v_extract_w(s_xp)));
  vec4f above = pour(amounts4(dst + up + x), s_zm);
  vec4f below = pour(amounts4(dst + down + x), s_zp);
  if (v_any(meets)) { return false; }

  alignas(16) float r[4];
  v_st(r, amt);
  for (int k = 0; k < 4; k++) dst[i + k].amount = r[k];
  dst[left].amount = v_extract_x(ends);
  dst[right].amount = v_extract_w(ends);
  v_st(r, above);
  for (int k = 0; k < 4; k++) dst[up + x + k].amount = r[k];
  v_st(r, below);
  for (int k = 0; k < 4; k++) dst[down + x + k].amount = r[k];
  return true;
}

}  // namespace

bool HeightmapData::fluidGroupedOutflow = true;
// The processor's features may not be known yet while globals are set up.
static bool processor_has_avx2()
{
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool HeightmapData::fluidWideAdvection = processor_has_avx2();


void HeightmapData::simWater(float dt)
{
  ScopedUpdateStats timing(fluidSimTiming);
  std::swap(water, tmpw);
  const Water* src = &tmpw[0][0];
  Water* dst = &water[0][0];
  StepFactors f(dt);

  if (fluidWideAdvection)
    advect_faces8(f, src, dst);
  else
    advect_faces(f, src, dst);

  // Pass 2, in index order; dry cells send nothing.
  for (int z = 0; z < HMAP_SIZE; z++) {
    const Water* row = src + (z << HMAP_SIZE_SHIFT);
    if (!fluidGroupedOutflow) {
      for (int x = 0; x < HMAP_SIZE; x++)
        if (row[x].amount != 0.f) flow_out(f, dst, x, z, row[x].amount);
      continue;
    }
    for (int x = 0; x < HMAP_SIZE; x += 4) {
      vec4f A = amounts4(row + x);
      int wet = _mm_movemask_ps(v_cmp_neq(A, v_zero()));
      if (!wet) continue;
      if (!v_any(v_cmp_lt(A, v_zero())) && flow_out4(f, dst, x, z, A)) continue;
      for (int k = 0; k < 4; k++)
        if (wet & (1 << k)) flow_out(f, dst, x + k, z, row[x + k].amount);
    }
  }
}
