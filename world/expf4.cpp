#include "world/expf4.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <initializer_list>

namespace HeightmapData
{

namespace
{

// The method: x * 32 / ln 2 = k + r with k whole and |r| <= 1/2; then
// exp(x) = 2^(k / 32) * 2^(r / 32), the first from a table of the 32 steps of
// 2^(j / 32) with k / 32's whole part added to the exponent bits, the second a
// cubic in r. The products that feed a sum are fused as in the library (one
// rounding each); the constants are the library's own.
constexpr double k_inv_ln2_n = 0x1.71547652b82fep+0 * 32;
constexpr double k_shift = 0x1.8p+52;  // adding it rounds to a whole number
constexpr double k_c0 = 0x1.c6af84b912394p-5 / 32 / 32 / 32;
constexpr double k_c1 = 0x1.ebfce50fac4f3p-3 / 32 / 32;
constexpr double k_c2 = 0x1.62e42ff0c52d6p-1 / 32;

// Bits of 2^(j / 32) (rounded to double), less j << 47, so that adding k << 47
// puts k / 32's whole part into the exponent.
struct Table
{
  alignas(32) int64_t bits[32];
  Table()
  {
    for (int j = 0; j < 32; j++) {
      double v = double(exp2l((long double)j / 32));
      uint64_t u;
      memcpy(&u, &v, sizeof u);
      bits[j] = int64_t(u - (uint64_t(j) << 47));
    }
  }
};
const Table k_table;

__attribute__((target("avx2,fma"))) void expf4_avx2(const float x[4], float out[4])
{
  __m128 xf = _mm_loadu_ps(x);
  // |x| >= 88 (the library's own limit for its short path), inf or NaN.
  __m128 ax = _mm_and_ps(xf, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
  if (_mm_movemask_ps(_mm_cmpnlt_ps(ax, _mm_set1_ps(88.0f)))) {
    for (int j = 0; j < 4; j++) out[j] = expf(x[j]);
    return;
  }
  __m256d xd = _mm256_cvtps_pd(xf);
  __m256d inv = _mm256_set1_pd(k_inv_ln2_n), shift = _mm256_set1_pd(k_shift);
  __m256d kd = _mm256_fmadd_pd(inv, xd, shift);
  __m256i ki = _mm256_castpd_si256(kd);
  kd = _mm256_sub_pd(kd, shift);
  __m256d r = _mm256_fmsub_pd(inv, xd, kd);
  // The table is read lane by lane: gathers are slow on many processors.
  alignas(32) int64_t k[4];
  _mm256_store_si256((__m256i*)k, ki);
  const int64_t* tab = k_table.bits;
  __m256i t = _mm256_setr_epi64x(tab[k[0] & 31], tab[k[1] & 31], tab[k[2] & 31], tab[k[3] & 31]);
  t = _mm256_add_epi64(t, _mm256_slli_epi64(ki, 47));
  __m256d s = _mm256_castsi256_pd(t);
  __m256d z = _mm256_fmadd_pd(_mm256_set1_pd(k_c0), r, _mm256_set1_pd(k_c1));
  __m256d r2 = _mm256_mul_pd(r, r);
  __m256d y = _mm256_fmadd_pd(_mm256_set1_pd(k_c2), r, _mm256_set1_pd(1.0));
  y = _mm256_fmadd_pd(z, r2, y);
  y = _mm256_mul_pd(y, s);
  _mm_storeu_ps(out, _mm256_cvtpd_ps(y));
}

// The side-by-side way only where the library takes its FMA way too, and only
// if it agrees with the library on a spread of values in the short path's
// range (about 66,000 bit patterns below 88 in magnitude, both signs; well
// under a millisecond, once).
bool choose_side_by_side()
{
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return false;
  for (uint32_t bits = 0; bits < 0x42b00000u; bits += 134219) {
    for (uint32_t sign : {0u, 0x80000000u}) {
      float in[4], got[4];
      for (int j = 0; j < 4; j++) {
        uint32_t b = (bits + uint32_t(j) * 977u) | sign;
        memcpy(&in[j], &b, sizeof b);
      }
      expf4_avx2(in, got);
      for (int j = 0; j < 4; j++) {
        float want = expf(in[j]);
        if (memcmp(&got[j], &want, sizeof want) != 0) return false;
      }
    }
  }
  return true;
}

}  // namespace

bool expf4_side_by_side()
{
  static const bool yes = choose_side_by_side();
  return yes;
}

void expf4(const float x[4], float out[4])
{
  if (expf4_side_by_side()) {
    expf4_avx2(x, out);
    return;
  }
  for (int j = 0; j < 4; j++) out[j] = expf(x[j]);
}

}  // namespace HeightmapData
