// The noise library: the permutation and feature-point tables, reseeding, the
// simplex noises, tiling and the cellular noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/ramps.h"
#include "engine/random.h"
#include "world/noise.h"

// Advances a copy of the generator state n draws.
static uint64_t lcg_advance(uint64_t s, int n)
{
  for (int i = 0; i < n; i++) s = s * 6364136223846793005ull + 1442695040888963407ull;
  return s;
}

// Keeps the global tables and the seed as they were before each test.
struct NoiseTest : ::testing::Test
{
  uint8_t perm[512];
  float table[512];
  uint64_t seed;
  void SetUp() override
  {
    memcpy(perm, noise_perm, sizeof(perm));
    memcpy(table, noise_random_table, sizeof(table));
    seed = game_rnd_seed;
  }
  void TearDown() override
  {
    memcpy(noise_perm, perm, sizeof(perm));
    memcpy(noise_random_table, table, sizeof(table));
    game_rnd_seed = seed;
  }
};

static void expect_valid_tables()
{
  bool seen[256] = {};
  for (int i = 0; i < 256; i++) {
    EXPECT_FALSE(seen[noise_perm[i]]) << "value " << int(noise_perm[i]) << " twice";
    seen[noise_perm[i]] = true;
    EXPECT_EQ(noise_perm[256 + i], noise_perm[i]) << i;
  }
  for (int i = 0; i < 512; i++) {
    EXPECT_GE(noise_random_table[i], 0.0f);
    EXPECT_LT(noise_random_table[i], 1.0f);
  }
}

TEST_F(NoiseTest, StartingTablesAreTheFixedOnes)
{
  const uint8_t head[16] = {66, 17, 77, 210, 212, 206, 97, 118, 99, 183, 134, 81, 129, 127, 176, 174};
  EXPECT_EQ(memcmp(noise_perm, head, 16), 0);
  const float first[8] = {0.118245f, 0.024383f, 0.053721f, 0.372283f, 0.504675f, 0.786130f, 0.836937f, 0.165074f};
  const float last[4] = {0.287880f, 0.570170f, 0.871197f, 0.490898f};
  for (int i = 0; i < 8; i++) EXPECT_EQ(noise_random_table[i], first[i]);
  for (int i = 0; i < 4; i++) EXPECT_EQ(noise_random_table[508 + i], last[i]);
  expect_valid_tables();
}

TEST_F(NoiseTest, ReseedDraws1536NumbersAndKeepsAValidPermutation)
{
  for (uint64_t s : {0ull, 1ull, 0x0123456789ABCDEFull}) {
    game_rnd_seed = s;
    reseed_noise();
    EXPECT_EQ(game_rnd_seed, lcg_advance(s, 1536));
    expect_valid_tables();
  }
  // The floats are the last 512 draws, in order.
  game_rnd_seed = lcg_advance(0x0123456789ABCDEFull, 1024);
  EXPECT_EQ(noise_random_table[0], rnd_float());
  EXPECT_EQ(noise_random_table[1], rnd_float());
}

TEST_F(NoiseTest, Noise1IsZeroAtEveryInteger)
{
  for (float x : {0.0f, 1.0f, -1.0f, 7.0f, -255.0f, 256.0f, 1000.0f, -65536.0f}) EXPECT_EQ(noise1(x), 0.0f) << x;
  EXPECT_NE(noise1(0.5f) + noise1(1.3f) + noise1(-2.7f), 0.0f);
}

TEST_F(NoiseTest, FractalNoise1SumsOctavesThroughTheRamp)
{
  FloatRamp linear(0.0f, 1.0f);  // sample = t: R(n) = (n + 1) / 2
  const float x = 0.37f;
  float n0 = noise1(x), n1 = noise1(x * 2.0f + 0.5f);
  struct Case
  {
    int octaves;
    const FloatRamp* ramp;
    float persistence;
    float expected;
  } cases[] = {
      {1, nullptr, 0.5f, n0},
      {0, nullptr, 0.5f, n0},  // one octave or less: the first alone
      {-3, nullptr, 0.5f, n0},
      {2, nullptr, 0.5f, n0 + n1 * 0.5f},
      {1, &linear, 0.5f, linear.get((n0 + 1.0f) * 0.5f)},
      {2, &linear, 0.25f, linear.get((n0 + 1.0f) * 0.5f) + linear.get((n1 + 1.0f) * 0.5f) * 0.25f},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fractal_noise1(x, c.octaves, c.ramp, c.persistence), c.expected) << c.octaves;
}

TEST_F(NoiseTest, NoiseValuesStayInTheirRange)
{
  game_rnd_seed = 99;
  float lo = 0, hi = 0;
  for (int i = 0; i < 20000; i++) {
    float x = rnd_float_signed() * 300.0f, y = rnd_float_signed() * 300.0f;
    float z = rnd_float_signed() * 300.0f, w = rnd_float_signed() * 300.0f;
    for (float v : {noise1(x), noise4(x, y, z, w), tiled_noise2(x, y, 16.0f), old_tiled_noise2(x, y, 16)}) {
      ASSERT_TRUE(std::isfinite(v));
      lo = fminf(lo, v);
      hi = fmaxf(hi, v);
    }
  }
  EXPECT_GT(lo, -1.1f);
  EXPECT_LT(hi, 1.1f);
  EXPECT_LT(lo, -0.5f);  // and they do use the range
  EXPECT_GT(hi, 0.5f);
}

TEST_F(NoiseTest, TiledNoiseRepeatsWithItsPeriod)
{
  // (Away from x or y = 0, where a coordinate of the 4-D point is exactly 0:
  // the 4-D simplex noise has small seams on its lattice faces, and the float
  // angle 2 pi is not exactly a full turn.)
  for (float period : {1.0f, 3.5f, 16.0f, 256.0f})
    for (float x : {0.3f, 2.75f, -5.1f})
      for (float y : {1.9f, -0.6f}) {
        float v = tiled_noise2(x, y, period);
        EXPECT_NEAR(tiled_noise2(x + period, y, period), v, 2e-4f) << period << " " << x << " " << y;
        EXPECT_NEAR(tiled_noise2(x, y + period, period), v, 2e-4f) << period << " " << x << " " << y;
      }
  // The old square-lattice noise repeats exactly.
  for (int tile : {1, 4, 32, 256})
    for (float x : {0.25f, 3.5f, 17.125f})
      EXPECT_EQ(old_tiled_noise2(x + float(tile), x * 0.5f, tile), old_tiled_noise2(x, x * 0.5f, tile)) << tile;
}

TEST_F(NoiseTest, TiledNoiseIsTheFourDNoiseOnTwoCircles)
{
  // Bit for bit: angles and radius in double rounded to float, the library's
  // double sine and cosine rounded to float, products in float.
  game_rnd_seed = 2024;
  for (int n = 0; n < 200000; n++) {
    float period = n % 3 == 0 ? float(1 << (n % 9)) : rnd_float() * 300.0f + 0.01f;
    float x = rnd_float_signed() * (n % 5 == 0 ? 5000.0f : 64.0f), y = rnd_float_signed() * 64.0f;
    float ax = float(double(x) * 6.283185307179586 / double(period));
    float ay = float(double(y) * 6.283185307179586 / double(period));
    float r = float(double(period) / 6.283185307179586);
    float want = noise4(r * float(cos(double(ax))), r * float(cos(double(ay))), r * float(sin(double(ax))),
                        r * float(sin(double(ay))));
    float got = tiled_noise2(x, y, period);
    ASSERT_EQ(memcmp(&got, &want, sizeof(float)), 0) << x << " " << y << " " << period;
  }
}

TEST_F(NoiseTest, TiledNoiseWithPeriodZeroIsFinite)
{
  float v = tiled_noise2(3.0f, 4.0f, 0.0f);
  EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(v, noise4(0.0f, 0.0f, 0.0f, 0.0f));
}

// Feature points all at the middle of their cells, seen from the middle of
// lattice cell 0: the nine offsets are exactly (dx, dy).
static void centre_all_feature_points()
{
  for (int i = 0; i < 512; i++) noise_random_table[i] = 0.5f;
}

TEST_F(NoiseTest, Near4WithOneLatticeCellSeesThatPointNineTimesNearestFirst)
{
  centre_all_feature_points();
  float dist[4];
  int ids[4];
  Point2 pts[4];
  tiled_voronoi_noise2_near4(0.5f, 0.5f, 0, dist, ids, pts);
  // Centre first, then the three of the four edge neighbours visited first
  // (ties keep visiting order: dy = -1 before dy = 0, dx = -1 before dx = 1).
  const float want[4][3] = {{0, 0, 0}, {1, 0, -1}, {1, -1, 0}, {1, 1, 0}};
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(dist[k], want[k][0]) << k;
    EXPECT_EQ(pts[k].x, want[k][1]) << k;
    EXPECT_EQ(pts[k].z, want[k][2]) << k;
    EXPECT_EQ(ids[k], 0) << k;
  }
  // Any output may be left out.
  tiled_voronoi_noise2_near4(0.5f, 0.5f, 0, nullptr, nullptr, nullptr);
  tiled_voronoi_noise2_all9(0.5f, 0.5f, 0, nullptr, nullptr);
}

TEST_F(NoiseTest, CellularNoiseVisitsRowsOfTheWrappedLattice)
{
  centre_all_feature_points();
  Point2 pts[9];
  int ids[9];
  // Lattice of 4 x 4 cells; the input lies in cell (3, 0), so x wraps to 0
  // and y to 3.
  tiled_voronoi_noise2_all9(3.25f, 0.75f, 2, pts, ids);
  const int want_ids[9] = {3 * 65536 + 2, 3 * 65536 + 3, 3 * 65536 + 0, 2, 3, 0, 65536 + 2, 65536 + 3, 65536 + 0};
  for (int k = 0; k < 9; k++) {
    int dx = k % 3 - 1, dy = k / 3 - 1;
    EXPECT_EQ(ids[k], want_ids[k]) << k;
    EXPECT_EQ(pts[k].x, 0.5f + float(dx) - 0.25f) << k;
    EXPECT_EQ(pts[k].z, 0.5f + float(dy) - 0.75f) << k;
  }
  // near4 keeps the four nearest of the same points in ascending order; the
  // two at 0.625 keep their visiting order.
  float dist[4];
  int near_ids[4];
  tiled_voronoi_noise2_near4(3.25f, 0.75f, 2, dist, near_ids, nullptr);
  const float want_dist[4] = {0.125f, 0.625f, 0.625f, 1.125f};
  const int want_near[4] = {3, 2, 65536 + 3, 65536 + 2};
  for (int k = 0; k < 4; k++) {
    EXPECT_EQ(dist[k], want_dist[k]) << k;
    EXPECT_EQ(near_ids[k], want_near[k]) << k;
  }
}
