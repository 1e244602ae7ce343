// Vector helpers, colour conversion, ramps, the world wrap and the shared
// random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/random.h"
#include "engine/vec4f.h"

static void expect_vec(vec4f v, float x, float y, float z, float w, const char* what = "")
{
  EXPECT_EQ(v[0], x) << what;
  EXPECT_EQ(v[1], y) << what;
  EXPECT_EQ(v[2], z) << what;
  EXPECT_EQ(v[3], w) << what;
}

// ---- vec4f ----

TEST(Vec4f, LaneOperations)
{
  vec4f a = make4f(1, -2, 3, -4), b = make4f(4, 3, -2, 1);
  expect_vec(v_min(a, b), 1, -2, -2, -4, "min");
  expect_vec(v_max(a, b), 4, 3, 3, 1, "max");
  expect_vec(v_abs(a), 1, 2, 3, 4, "abs");
  expect_vec(v_swap_halves(a), 3, -4, 1, -2, "swap halves");
  expect_vec(v_saturate(make4f(-1, 0.5f, 2, NAN)), 0, 0.5f, 1, 0, "saturate");
  expect_vec(v_sel(v_cmp_le(a, b), a, b), 1, -2, -2, -4, "select");
  expect_vec(v_splat_z(a), 3, 3, 3, 3, "splat z");
  expect_vec(v_cross3(make4f(1, 0, 0, 9), make4f(0, 1, 0, 9)), 0, 0, 1, 0, "cross");
  expect_vec(v_dot3(a, b), 4 - 6 - 6, -8, -8, -8, "dot3");
  expect_vec(v_hsum4(a), -2, -2, -2, -2, "sum");
  expect_vec(v_length3(make4f(3, 4, 0, 7)), 5, 5, 5, 5, "length");
  EXPECT_EQ(bits_to_float(uint32_t(v_extract_yi(a))), -2.f);
  alignas(16) int32_t t[4];
  _mm_store_si128((__m128i*)t, v_cvt_f2i(make4f(1.7f, -1.7f, 2.5f, -0.5f)));
  EXPECT_EQ(t[0], 1);
  EXPECT_EQ(t[1], -1);
  EXPECT_EQ(t[2], 2);
  EXPECT_EQ(t[3], 0);
  // GCC vector operators and element access keep working on vec4f.
  vec4f c = a * 2.f + b;
  c[3] = 0;
  expect_vec(c, 6, -1, 4, 0, "operators");
}

TEST(Vec4f, InterpolationAndRectangles)
{
  expect_vec(v_lerp(make4f(0, 10, 0, 0), make4f(4, 20, 0, 0), 0.25f), 1, 12.5f, 0, 0, "lerp");
  EXPECT_EQ(smooth_lerp(0.f, 1.f, 0.5f), 0.5f);
  EXPECT_EQ(smooth_lerp(2.f, 4.f, 1.f), 4.f);
  expect_vec(v_rect_union(make4f(0, 1, 5, 6), make4f(-1, 2, 3, 8)), -1, 1, 5, 8, "union");

  struct Case
  {
    vec4f a, b;
    bool overlap;
  };
  const Case cases[] = {
      {make4f(0, 0, 10, 10), make4f(5, 5, 15, 15), true},
      {make4f(0, 0, 10, 10), make4f(10, 10, 20, 20), true},   // b's corner on a's far edges counts
      {make4f(0, 0, 10, 10), make4f(-10, 0, 0, 10), false},  // b.x1 == a.x0 does not
      {make4f(0, 0, 10, 10), make4f(11, 0, 20, 10), false},
  };
  for (const Case& c : cases) EXPECT_EQ(v_rect_overlap(c.a, c.b), c.overlap);
}

TEST(Matrix44, RowVectorConvention)
{
  Matrix44 t = Matrix44::identity();
  t.row[3] = make4f(10, 20, 30, 1);  // translation in the last row
  Matrix44 s = Matrix44::identity();
  s.row[0] = make4f(2, 0, 0, 0);
  expect_vec(v_transform_point(make4f(1, 1, 1, 0), t), 11, 21, 31, 1);
  // Scale first, then translate.
  expect_vec(v_transform_point(make4f(1, 1, 1, 0), s * t), 12, 21, 31, 1);
  expect_vec(v_transform(make4f(1, 1, 1, 0), Matrix44::identity() * s), 2, 1, 1, 0);
}

// ---- World wrap ----

TEST(WorldWrap, CoordinatesComeIntoHalfOpenRange)
{
  const float cases[][2] = {
      {200, -56}, {-128, 128}, {128, 128}, {0, 0}, {-200, 56}, {256, 0}, {384, 128}, {-384, 128}, {129.5f, -126.5f},
  };
  for (const auto& c : cases) {
    vec4f p = wrap_world_pos(make4f(c[0], 7, c[0], 9));
    expect_vec(p, c[1], 7, c[1], 9, std::to_string(c[0]).c_str());
  }
}

TEST(WorldWrap, OffsetAndNearestImage)
{
  vec4f a = make4f(250, 1, 3, 2), b = make4f(5, 4, 10, 6);
  expect_vec(wrap_world_offset(a, b), -256, 0, 0, 0);
  expect_vec(nearest_world_image(a, b), -6, 1, 3, 2);
}

// ---- Colours ----

TEST(Color, ConversionBothWays)
{
  expect_vec(color_to_vec4f(D3dColor(0xFF00FF00u)), 0, 1, 0, 1, "green");
  vec4f c = color_to_vec4f(D3dColor(0x80402010u));
  EXPECT_EQ(c[0], 64.f / 255.f);
  EXPECT_EQ(c[3], 128.f / 255.f);  // alpha byte taken as unsigned

  struct Case
  {
    vec4f v;
    uint32_t want;
  };
  const Case cases[] = {
      {make4f(1.2f, -0.1f, 0.5f, 1), 0xFFFF0080u},  // 127.5 rounds to the even 128
      {make4f(0, 1, 0, 1), 0xFF00FF00u},
      {make4f(NAN, 0, 0, 1), 0xFF000000u},
  };
  for (const Case& k : cases) EXPECT_EQ(uint32_t(vec4f_to_color(k.v)), k.want) << std::hex << k.want;

  for (uint32_t u : {0u, 0x12345678u, 0xFFFFFFFFu, 0x80FF0001u})
    EXPECT_EQ(uint32_t(vec4f_to_color(color_to_vec4f(D3dColor(u)))), u);
  EXPECT_EQ(uint32_t(D3dColor()), 0u);
}

// ---- Ramps ----

TEST(Ramps, ReadsClampAndInterpolate)
{
  FloatRamp f;
  f.fillLinear(0.f, 256.f);
  struct Case
  {
    float t, want;
  };
  const Case cases[] = {{-0.5f, 0}, {0, 0}, {1, 256}, {3, 256}, {0.5f, 128}, {1.5f / 256.f, 1.5f}, {NAN, 0}};
  for (const Case& c : cases) EXPECT_EQ(f.get(c.t), c.want) << c.t;

  ColorRamp r(D3dColor(0xFF000000u), D3dColor(0xFFFFFFFFu), D3dColor(0x00FF0000u), 0.25f, 0.25f);
  expect_vec(r.get(-0.5f), 0, 0, 0, 1, "t<0");
  expect_vec(r.get(1.f), 1, 0, 0, 0, "t=1");
  expect_vec(r.get(0.5f), 1, 1, 1, 1, "middle is B");
  EXPECT_EQ(r.get(0.5f)[0], r.samples[128][0]);
  // Smooth fade: s = 0.5 at t = 0.125 gives the midpoint.
  EXPECT_EQ(r.samples[32][0], 0.5f);
}

TEST(Ramps, ZeroFadesGiveBEverywhere)
{
  vec4f A = make4f(1, 0, 0, 1), B = make4f(0, 1, 0, 1), C = make4f(0, 0, 1, 1);
  ColorRamp r;
  r.fill(A, B, C, 0.f, 0.f);
  FloatRamp f;
  f.fill(1.f, 2.f, 3.f, 0.f, 0.f);
  for (int i = 0; i < 257; i++) {
    expect_vec(r.samples[i], 0, 1, 0, 1);
    EXPECT_EQ(f.samples[i], 2.f);
  }
  // Full fades reach the end colours exactly.
  f.fill(1.f, 2.f, 3.f, 0.5f, 0.5f);
  EXPECT_EQ(f.samples[0], 1.f);
  EXPECT_EQ(f.samples[128], 2.f);
  EXPECT_EQ(f.samples[256], 3.f);
}

TEST(Ramps, DumpWritesSourceText)
{
  FloatRamp f;
  f.fill(0.5f);
  ColorRamp c;
  c.fill(make4f(1, 0.25f, 0, 1));
  testing::internal::CaptureStdout();
  f.dump("fr");
  c.dump("cr");
  std::string out = testing::internal::GetCapturedStdout();

  std::string want = "\nstatic FloatRamp fr=\n{\n ";
  for (int i = 0; i < 257; i++) want += (i + 1) % 8 ? " 0.5," : " 0.5,\n ";
  want += "\n};\n\n";
  want += "\nstatic ColorRamp cr=\n{\n ";
  for (int i = 0; i < 257; i++) want += (i + 1) % 4 ? " make4f(1, 0.25, 0, 1)," : " make4f(1, 0.25, 0, 1),\n ";
  want += "\n};\n\n";
  EXPECT_EQ(out, want);
}

// ---- Random ----

TEST(Random, SequenceFromKnownState)
{
  game_rnd_seed = 0;
  EXPECT_EQ(rnd_u32(), 335903614u);
  EXPECT_EQ(game_rnd_seed, 1442695040888963407ull);

  game_rnd_seed = 0;
  EXPECT_EQ(rnd_float(), float(335903614.0 / 4294967296.0));
  game_rnd_seed = 0;
  EXPECT_EQ(rnd_float_signed(), 2.f * float(335903614.0 / 4294967296.0) - 1.f);

  // The high word 0xFFFFFFFF must still give a value below 1.
  const uint64_t a = 6364136223846793005ull, c = 1442695040888963407ull;
  const uint64_t target = 0xFFFFFFFF00000000ull;
  // Solve state * a + c == target for the state (a is odd, so invertible mod 2^64).
  uint64_t inv = a;
  for (int i = 0; i < 6; i++) inv *= 2 - a * inv;
  game_rnd_seed = (target - c) * inv;
  float top = rnd_float();
  EXPECT_EQ(game_rnd_seed, target);
  EXPECT_LT(top, 1.f);
  EXPECT_GE(rnd_float(), 0.f);
}
