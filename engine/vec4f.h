// vec4f: four floats (x, y, z, w) in one 16-byte aligned SSE register, used for
// positions and directions (x, y, z; w free), rectangles (x0, y0, x1, y1),
// colours (r, g, b, a in 0..1) and packed parameters. vec4f is __m128, so the
// GCC vector operators (+ - * / and += etc., also with a float on one side)
// and element access v[i] work on it directly. Also Point2, Matrix44 and the
// helpers for positions on the 256-cell wrapping world.
//
// Every helper is an inline pure function; expressions keep the written order
// of operations, so results are the same on every build.
//
// Index
//   construction   make4f, v_splat, v_splat_mem, v_ld, v_ldu, v_zero, v_make_xy
//   access         v_extract_x/y/z/w, v_splat_x/y/z/w, v_extract_xi/yi/zi (raw bits),
//                  bits_to_float, float_to_bits
//   stores         v_stream_xy, v_stream_xyz, stream_u32 (non-temporal), v_st, v_stu
//   arithmetic     v_add, v_sub, v_mul, v_div, v_add_s, v_sub_s, v_mul_s, v_abs, v_neg,
//                  v_xor, v_swap_halves (z, w, x, y)
//   limits         v_min, v_max, v_saturate, v_sel
//   conversion     v_cvt_i2f, v_cvt_f2i (truncating), v_cvt_f2i_round (ties to even)
//   roots          v_sqrt, v_rsqrt_est (about 12 bits)
//   comparisons    v_cmp_le, v_cmp_lt, v_cmp_neq, v_cmp_ge, v_cmp_gt, v_cmp_eq, v_any, v_all
//   reductions     v_hsum4, v_dot3, v_length3_sq, v_length3, v_norm3_fast (all broadcast)
//   products       v_cross3
//   interpolation  v_lerp, v_lerp_v, v_smooth_lerp, lerp, smooth_lerp
//   rectangles     v_rect_union, v_rect_overlap
//   world wrap     wrap_world_coord, wrap_world_pos, wrap_world_offset, nearest_world_image
//   Point2         {x, z}
//   Matrix44       rows of vec4f (row-vector convention: point times matrix),
//                  identity, matrix_mul / operator*, v_transform, v_transform_point
#pragma once

#include <xmmintrin.h>
#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

typedef __m128 vec4f;
typedef __m128i vec4i;

// ---- construction ----
inline vec4f make4f(float x, float y, float z, float w) { return _mm_setr_ps(x, y, z, w); }
inline vec4f v_splat(float f) { return _mm_set1_ps(f); }
inline vec4f v_splat_mem(const float* p) { return _mm_load1_ps(p); }
inline vec4f v_ld(const float* p) { return _mm_load_ps(p); }  // p 16-byte aligned
inline vec4f v_ldu(const float* p) { return _mm_loadu_ps(p); }
inline vec4f v_zero() { return _mm_setzero_ps(); }
inline vec4f v_make_xy(float x, float y) { return _mm_setr_ps(x, y, 0.f, 0.f); }

// ---- access ----
inline float v_extract_x(vec4f v) { return _mm_cvtss_f32(v); }
inline float v_extract_y(vec4f v) { return v[1]; }
inline float v_extract_z(vec4f v) { return v[2]; }
inline float v_extract_w(vec4f v) { return v[3]; }
inline vec4f v_splat_x(vec4f v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0)); }
inline vec4f v_splat_y(vec4f v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)); }
inline vec4f v_splat_z(vec4f v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)); }
inline vec4f v_splat_w(vec4f v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)); }
inline int v_extract_xi(vec4f v) { return _mm_cvtsi128_si32(_mm_castps_si128(v)); }
inline int v_extract_yi(vec4f v) { return _mm_cvtsi128_si32(_mm_castps_si128(v_splat_y(v))); }
inline int v_extract_zi(vec4f v) { return _mm_cvtsi128_si32(_mm_castps_si128(v_splat_z(v))); }
inline float bits_to_float(uint32_t bits)
{
  float f;
  memcpy(&f, &bits, 4);
  return f;
}
inline uint32_t float_to_bits(float f)
{
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

// ---- stores ----
// Non-temporal stores for vertex streams that the CPU will not read back.
inline void stream_u32(void* p, uint32_t v) { _mm_stream_si32((int*)p, (int)v); }
inline void v_stream_xy(void* p, vec4f v)
{
  stream_u32(p, (uint32_t)v_extract_xi(v));
  stream_u32((char*)p + 4, (uint32_t)v_extract_yi(v));
}
inline void v_stream_xyz(void* p, vec4f v)
{
  v_stream_xy(p, v);
  stream_u32((char*)p + 8, (uint32_t)v_extract_zi(v));
}
inline void v_st(float* p, vec4f v) { _mm_store_ps(p, v); }  // p 16-byte aligned
inline void v_stu(float* p, vec4f v) { _mm_storeu_ps(p, v); }

// ---- arithmetic ----
inline vec4f v_add(vec4f a, vec4f b) { return _mm_add_ps(a, b); }
inline vec4f v_sub(vec4f a, vec4f b) { return _mm_sub_ps(a, b); }
inline vec4f v_mul(vec4f a, vec4f b) { return _mm_mul_ps(a, b); }
inline vec4f v_div(vec4f a, vec4f b) { return _mm_div_ps(a, b); }
inline vec4f v_add_s(vec4f a, float s) { return _mm_add_ps(a, _mm_set1_ps(s)); }
inline vec4f v_sub_s(vec4f a, float s) { return _mm_sub_ps(a, _mm_set1_ps(s)); }
inline vec4f v_mul_s(vec4f a, float s) { return _mm_mul_ps(a, _mm_set1_ps(s)); }
inline vec4f v_abs(vec4f a) { return _mm_andnot_ps(_mm_set1_ps(-0.f), a); }
inline vec4f v_neg(vec4f a) { return _mm_xor_ps(_mm_set1_ps(-0.f), a); }
inline vec4f v_xor(vec4f a, vec4f b) { return _mm_xor_ps(a, b); }
inline vec4f v_swap_halves(vec4f a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 0, 3, 2)); }

// ---- limits ----
inline vec4f v_min(vec4f a, vec4f b) { return _mm_min_ps(a, b); }
inline vec4f v_max(vec4f a, vec4f b) { return _mm_max_ps(a, b); }
// Each lane clamped to [0, 1]; a NaN lane becomes 0.
inline vec4f v_saturate(vec4f a) { return _mm_min_ps(_mm_max_ps(a, _mm_setzero_ps()), _mm_set1_ps(1.f)); }
// (mask and a) or (not mask and b), mask lanes all ones or zero.
inline vec4f v_sel(vec4f mask, vec4f a, vec4f b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// ---- conversion ----
inline vec4f v_cvt_i2f(vec4i a) { return _mm_cvtepi32_ps(a); }
inline vec4i v_cvt_f2i(vec4f a) { return _mm_cvttps_epi32(a); }
inline vec4i v_cvt_f2i_round(vec4f a) { return _mm_cvtps_epi32(a); }  // MXCSR default: ties to even

// ---- roots ----
inline vec4f v_sqrt(vec4f a) { return _mm_sqrt_ps(a); }
inline vec4f v_rsqrt_est(vec4f a) { return _mm_rsqrt_ps(a); }

// ---- comparisons (lane masks) ----
inline vec4f v_cmp_le(vec4f a, vec4f b) { return _mm_cmple_ps(a, b); }
inline vec4f v_cmp_lt(vec4f a, vec4f b) { return _mm_cmplt_ps(a, b); }
inline vec4f v_cmp_neq(vec4f a, vec4f b) { return _mm_cmpneq_ps(a, b); }
inline vec4f v_cmp_ge(vec4f a, vec4f b) { return _mm_cmpge_ps(a, b); }
inline vec4f v_cmp_gt(vec4f a, vec4f b) { return _mm_cmpgt_ps(a, b); }
inline vec4f v_cmp_eq(vec4f a, vec4f b) { return _mm_cmpeq_ps(a, b); }
inline bool v_any(vec4f mask) { return _mm_movemask_ps(mask) != 0; }
inline bool v_all(vec4f mask) { return _mm_movemask_ps(mask) == 15; }

// ---- reductions (results in all four lanes) ----
// (x + z) + (y + w), the same in every lane.
inline vec4f v_hsum4(vec4f a)
{
  vec4f t = _mm_add_ps(a, v_swap_halves(a));
  return _mm_add_ps(t, _mm_shuffle_ps(t, t, _MM_SHUFFLE(2, 3, 0, 1)));
}
// a.x * b.x + a.y * b.y + a.z * b.z, added left to right.
inline vec4f v_dot3(vec4f a, vec4f b)
{
  vec4f m = _mm_mul_ps(a, b);
  return _mm_set1_ps(m[0] + m[1] + m[2]);
}
inline vec4f v_length3_sq(vec4f a) { return v_dot3(a, a); }
inline vec4f v_length3(vec4f a) { return _mm_sqrt_ps(v_dot3(a, a)); }
// All four lanes scaled by the estimated reciprocal length of (x, y, z).
inline vec4f v_norm3_fast(vec4f a) { return _mm_mul_ps(a, _mm_rsqrt_ps(v_dot3(a, a))); }

// ---- products ----
inline vec4f v_cross3(vec4f a, vec4f b)
{
  vec4f a_yzx = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
  vec4f b_zxy = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 1, 0, 2));
  vec4f a_zxy = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2));
  vec4f b_yzx = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
  vec4f c = _mm_sub_ps(_mm_mul_ps(a_yzx, b_zxy), _mm_mul_ps(a_zxy, b_yzx));
  return _mm_and_ps(c, _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0)));
}

// ---- interpolation ----
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float smooth_lerp(float a, float b, float t) { return a + (b - a) * (((3.f - 2.f * t) * t) * t); }
inline vec4f v_lerp(vec4f a, vec4f b, float t) { return a + (b - a) * _mm_set1_ps(t); }
inline vec4f v_lerp_v(vec4f a, vec4f b, vec4f t) { return a + (b - a) * t; }
inline vec4f v_smooth_lerp(vec4f a, vec4f b, float t)
{
  return a + (b - a) * _mm_set1_ps(((3.f - 2.f * t) * t) * t);
}

// ---- rectangles (x0, y0, x1, y1) ----
inline vec4f v_rect_union(vec4f a, vec4f b)
{
  vec4f lo = _mm_min_ps(a, b), hi = _mm_max_ps(a, b);
  return _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 2, 1, 0));
}
inline bool v_rect_overlap(vec4f a, vec4f b)
{
  return b[0] <= a[2] && b[1] <= a[3] && b[2] > a[0] && b[3] > a[1];
}

// ---- the 256-cell wrapping world (x and z wrap; y and w are left alone) ----
// Brings one coordinate into (-128, 128].
inline float wrap_world_coord(float v)
{
  float q = v / 256.f;
  float f = (q - truncf(q)) * 256.f;
  if (f > 128.f) f -= 256.f;
  if (f <= -128.f) f += 256.f;
  return f;
}
inline vec4f wrap_world_pos(vec4f p)
{
  p[0] = wrap_world_coord(p[0]);
  p[2] = wrap_world_coord(p[2]);
  return p;
}
// The whole-period correction of a - b: wrap(a - b) - (a - b) in x and z, 0 in y and w.
inline vec4f wrap_world_offset(vec4f a, vec4f b)
{
  vec4f d = a - b;
  return make4f(wrap_world_coord(d[0]) - d[0], 0.f, wrap_world_coord(d[2]) - d[2], 0.f);
}
// The copy of a that lies nearest to b.
inline vec4f nearest_world_image(vec4f a, vec4f b)
{
  vec4f d = a - b;
  vec4f r = a;
  r[0] = b[0] + wrap_world_coord(d[0]);
  r[2] = b[2] + wrap_world_coord(d[2]);
  return r;
}

// ---- Point2: a position or direction on the world grid ----
struct Point2
{
  float x, z;
};

// ---- Matrix44: row-vector convention, a point times the matrix ----
struct Matrix44
{
  union
  {
    vec4f row[4];
    float m[4][4];
  };

  static Matrix44 identity()
  {
    Matrix44 r;
    r.row[0] = make4f(1, 0, 0, 0);
    r.row[1] = make4f(0, 1, 0, 0);
    r.row[2] = make4f(0, 0, 1, 0);
    r.row[3] = make4f(0, 0, 0, 1);
    return r;
  }
};

// v.x * row0 + v.y * row1 + v.z * row2 + v.w * row3, added left to right.
inline vec4f v_transform(vec4f v, const Matrix44& m)
{
  return v_splat_x(v) * m.row[0] + v_splat_y(v) * m.row[1] + v_splat_z(v) * m.row[2] + v_splat_w(v) * m.row[3];
}
// (x, y, z, 1) times the matrix.
inline vec4f v_transform_point(vec4f v, const Matrix44& m)
{
  return v_splat_x(v) * m.row[0] + v_splat_y(v) * m.row[1] + v_splat_z(v) * m.row[2] + m.row[3];
}
inline Matrix44 matrix_mul(const Matrix44& a, const Matrix44& b)
{
  Matrix44 r;
  for (int i = 0; i < 4; i++) r.row[i] = v_transform(a.row[i], b);
  return r;
}
inline Matrix44 operator*(const Matrix44& a, const Matrix44& b) { return matrix_mul(a, b); }
