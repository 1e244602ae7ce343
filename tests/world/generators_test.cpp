// The terrain generators: random-draw counts, coverage, the documented
// shapes of faults and craters, their preconditions, and the shared helpers.
#include <cmath>
#include <functional>
#include <vector>

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/random.h"
#include "world/hmGen.h"
#include "world/tempData.h"
#include "world_test_util.h"

using namespace HeightmapData;

static uint64_t lcg_advance(uint64_t s, int n)
{
  for (int i = 0; i < n; i++) s = s * 6364136223846793005ull + 1442695040888963407ull;
  return s;
}

static std::vector<float> heights() { return std::vector<float>(hmap, hmap + HMAP_CELLS); }

TEST_F(WorldTest, GeneratorsDrawTheirCountOfRandomNumbers)
{
  struct Case
  {
    const char* name;
    std::function<void()> run;
    int draws;
  } cases[] = {
      {"makeFastNoise", [] { makeFastNoise(hmap, 1.0f, 0.5f); }, 87376},  // 16 + 64 + ... + 65,536
      {"addFastNoise", [] { addFastNoise(0.0f, 1.0f, nullptr, -1, 255, 0.5f); }, 87376},
      {"addSimplexNoise", [] { addSimplexNoise(0.0f, 1.0f, 4, 2, 0.5f); }, 0},
      {"addVoronoiHills", [] { addVoronoiHills(8, 0.0f, 3.0f, 0.8f); }, 256},
      {"genVoronoiFaults", [] { genVoronoiFaults(4, 0.0f, 3.0f, 0.5f, 2, 2, 1.0f); }, 256},
      {"genFault", [] { genFault({128, 128}, {1, 0}, 4.0f, 0.5f, 2.0f, nullptr, -1, 255, hmap); }, 1},
      {"genCrater", [] { genCrater({40, 40}, 10.0f, 0.5f, hmap); }, 0},
  };
  for (const Case& c : cases) {
    const uint64_t seed = 0x9E3779B97F4A7C15ull;
    game_rnd_seed = seed;
    c.run();
    EXPECT_EQ(game_rnd_seed, lcg_advance(seed, c.draws)) << c.name;
  }
}

TEST_F(WorldTest, FastNoiseWritesEveryCellAndRepeatsFromTheSameSeed)
{
  TempData<float> a(HMAP_CELLS), b(HMAP_CELLS);
  for (int i = 0; i < HMAP_CELLS; i++) a[i] = b[i] = NAN;
  game_rnd_seed = 5;
  makeFastNoise(a.data, 1.0f, 0.5f);
  game_rnd_seed = 5;
  makeFastNoise(b.data, 1.0f, 0.5f);
  float lo = 1e9f, hi = -1e9f;
  for (int i = 0; i < HMAP_CELLS; i++) {
    ASSERT_TRUE(std::isfinite(a[i])) << i;
    ASSERT_EQ(a[i], b[i]) << i;
    lo = fminf(lo, a[i]);
    hi = fmaxf(hi, a[i]);
  }
  // Amplitude 1, roughness 0.5: the values end near 0..1.
  EXPECT_GT(lo, -0.5f);
  EXPECT_LT(hi, 1.5f);
  EXPECT_GT(hi - lo, 0.3f);
}

TEST_F(WorldTest, FastNoiseWrapsSmoothlyAcrossTheWorldEdge)
{
  // Every cell is a quarter-point blend of its neighbours on the torus, so the
  // step across the edge looks like any other step.
  game_rnd_seed = 11;
  makeFastNoise(hmap, 1.0f, 0.5f);
  double inner = 0, edge = 0;
  for (int z = 0; z < 256; z++) {
    edge += fabs(hmap[z * 256 + 255] - hmap[z * 256]);
    inner += fabs(hmap[z * 256 + 127] - hmap[z * 256 + 128]);
  }
  EXPECT_LT(edge, 3 * inner);
}

TEST_F(WorldTest, AddFastNoiseWithoutRampOrTypeChangesOnlyHeights)
{
  auto before = world_snapshot();
  std::vector<Surface> surf(surface, surface + HMAP_CELLS);
  addFastNoise(1.0f, 3.0f, nullptr, GT_NONE, 255, 0.5f);
  EXPECT_EQ(memcmp(surf.data(), surface, sizeof(surface)), 0);
  EXPECT_NE(world_snapshot(), before);
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_GE(hmap[i], 0.5f);  // min_ht 1 plus noise above -0.5
}

TEST_F(WorldTest, AddFastNoiseColoursThroughTheRampAndSetsGroundType)
{
  ColorRamp ramp;
  ramp.fill(make4f(1.0f, 0.0f, 0.0f, 1.0f));  // opaque red everywhere: full weight
  addFastNoise(0.0f, 1.0f, &ramp, GT_SAND, 0x40, 0.5f);
  for (int i = 0; i < HMAP_CELLS; i += 251) {
    EXPECT_EQ(surface[i].color, 0x40FF0000u) << i;
    EXPECT_EQ(ground_type(surface[i].bits), GT_SAND) << i;
  }
}

TEST_F(WorldTest, SimplexNoiseWithEqualBoundsAddsExactlyThatHeight)
{
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] = float(i % 7);
  addSimplexNoise(2.5f, 2.5f, 8, 3, 0.5f);
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(hmap[i], float(i % 7) + 2.5f) << i;
}

TEST_F(WorldTest, SimplexNoiseJoinsSeamlesslyAtTheWorldEdge)
{
  addSimplexNoise(0.0f, 10.0f, 4, 4, 0.5f);
  double inner = 0, edge = 0;
  for (int z = 0; z < 256; z++) {
    edge += fabs(hmap[z * 256 + 255] - hmap[z * 256]);
    inner += fabs(hmap[z * 256 + 100] - hmap[z * 256 + 101]);
  }
  EXPECT_LT(edge, 2 * inner + 1.0);
}

TEST_F(WorldTest, VoronoiHillsOfRadiusZeroAddNothing)
{
  addVoronoiHills(8, 1.0f, 2.0f, 0.0f);
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(hmap[i], 0.0f) << i;
  addVoronoiHills(8, 1.0f, 2.0f, 0.7f);
  float hi = 0;
  for (int i = 0; i < HMAP_CELLS; i++) {
    ASSERT_GE(hmap[i], 0.0f);
    hi = fmaxf(hi, hmap[i]);
  }
  EXPECT_GT(hi, 0.5f);
  EXPECT_LE(hi, 2.0f);
}

TEST_F(WorldTest, VoronoiFaultsStayWithinThePlateauHeights)
{
  for (int noise_scale : {2, 0}) {  // 0: no warp period, still finite
    reset();
    genVoronoiFaults(8, 1.0f, 3.0f, 0.5f, noise_scale, 2, 0.5f);
    for (int i = 0; i < HMAP_CELLS; i++) {
      ASSERT_GE(hmap[i], 1.0f) << noise_scale << " " << i;
      ASSERT_LE(hmap[i], 3.0f) << noise_scale << " " << i;
    }
  }
}

// ---- faults ---------------------------------------------------------------

TEST_F(WorldTest, FaultLeavesEveryCellOutsideItsEllipseAlone)
{
  // Centred near the corner, so the ellipse wraps in both directions.
  const Point2 pos = {250.0f, 10.0f}, dir = {3.0f, 4.0f};
  genFault(pos, dir, 6.0f, 0.5f, 1.0f, nullptr, GT_SOIL, 255, hmap);
  Point2 n = {0.6f, 0.8f};
  int inside = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      Point2 d = wrap_map_delta({float(x) - pos.x, float(z) - pos.z});
      float s = n.x * d.x + n.z * d.z, p = n.x * d.z - n.z * d.x;
      float q = (s / 64) * (s / 64) + (p / 128) * (p / 128);
      if (q >= 1.0f) {
        ASSERT_EQ(hmap[z * 256 + x], 0.0f) << x << "," << z;
        ASSERT_EQ(surface[z * 256 + x].bits, 1u) << x << "," << z;
      } else if (q < 0.99f) {
        inside += hmap[z * 256 + x] != 0.0f;
      }
    }
  EXPECT_GT(inside, 20000);
}

TEST_F(WorldTest, FaultIsAStepPlacedByLevel)
{
  // Across the fault (along dir = +x), far enough from the cliff: the side
  // of dir gains fall * height * level, the other side fall * height * (level - 1).
  const float height = 4.0f;
  for (float level : {0.0f, 0.5f, 1.0f}) {
    reset();
    genFault({128, 128}, {1, 0}, height, level, 0.0f, nullptr, -1, 255, hmap);
    for (float s : {-30.0f, 30.0f}) {
      float q = (s / 64) * (s / 64), w = 1 - q, fall = (3 - 2 * w) * w * w;
      float want = fall * height * (s > 0 ? level : level - 1.0f);
      EXPECT_NEAR(hmap[128 * 256 + 128 + int(s)], want, 1e-4f) << level << " " << s;
    }
  }
}

TEST_F(WorldTest, FaultWithZeroDirectionChangesEveryCellAlike)
{
  // s = p = 0 everywhere: all inside with fall 1; with no warp v = 0 lies on
  // the cliff face, so every cell is coloured and typed as well.
  ColorRamp ramp;
  ramp.fill(make4f(0.0f, 0.0f, 1.0f, 1.0f));
  genFault({30, 40}, {0, 0}, 4.0f, 0.5f, 0.0f, &ramp, GT_SAND, 255, hmap);
  for (int i = 0; i < HMAP_CELLS; i++) {
    ASSERT_EQ(hmap[i], (0.5f - 0.75f) * 4.0f) << i;
    ASSERT_EQ(ground_type(surface[i].bits), GT_SAND) << i;
    ASSERT_EQ(surface[i].color, 0xFF0000FFu) << i;
  }
  // With warp the change still is the same everywhere, whatever the profile.
  reset();
  genFault({30, 40}, {0, 0}, 4.0f, 0.5f, 3.0f, nullptr, -1, 255, hmap);
  for (int i = 1; i < HMAP_CELLS; i++) ASSERT_EQ(hmap[i], hmap[0]) << i;
}

// ---- craters --------------------------------------------------------------

TEST_F(WorldTest, CraterNeverRaisesACell)
{
  struct Case
  {
    Point2 centre;
    float radius, depth;
  } cases[] = {
      {{128.0f, 128.0f}, 12.0f, 0.5f},
      {{3.5f, 250.25f}, 20.0f, 1.0f},  // wraps at both edges
      {{60.0f, 60.0f}, 80.0f, 0.2f},   // 4R > 256: cells visited more than once
      {{10.0f, 10.0f}, 0.0f, 1.0f},    // no cell inside: nothing happens
      {{10.0f, 10.0f}, 1.0f, -2.0f},
  };
  for (const Case& c : cases) {
    reset();
    game_rnd_seed = 3;
    addFastNoise(0.0f, 5.0f, nullptr, -1, 255, 0.6f);
    auto before = heights();
    genCrater(c.centre, c.radius, c.depth, hmap);
    for (int i = 0; i < HMAP_CELLS; i++) {
      ASSERT_TRUE(std::isfinite(hmap[i])) << c.radius << " " << i;
      ASSERT_LE(hmap[i], before[i]) << c.radius << " " << i;
    }
  }
}

TEST_F(WorldTest, CraterOnFlatGroundIsABowlWithARim)
{
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] = 2.0f;
  genCrater({100.0f, 100.0f}, 10.0f, 0.5f, hmap);
  EXPECT_EQ(hmap[100 * 256 + 100], 2.0f - 10.0f * 0.5f);      // R * D deep
  EXPECT_FLOAT_EQ(hmap[100 * 256 + 110], 2.0f - 1.5f * 0.5f);  // on the rim: mean - 1.5 D
  EXPECT_EQ(hmap[100 * 256 + 121], 2.0f);                      // beyond 2R: untouched
}

// ---- preconditions --------------------------------------------------------

using GeneratorsDeathTest = WorldTest;

TEST_F(GeneratorsDeathTest, BadArgumentsStopWithTheAssertion)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(addSimplexNoise(0, 1, 3, 1, 0.5f), ::testing::ExitedWithCode(100),
              "hmGen.cpp\\([0-9]+\\): failed ASSERT\\(\\(tile&\\(tile-1\\)\\)==0 && tile>0\\)");
  EXPECT_EXIT(addSimplexNoise(0, 1, 0, 1, 0.5f), ::testing::ExitedWithCode(100), "tile>0");
  EXPECT_EXIT(addVoronoiHills(3, 0, 1, 1), ::testing::ExitedWithCode(100), "tile>0");
  EXPECT_EXIT(genVoronoiFaults(0, 0, 1, 1, 1, 1, 1), ::testing::ExitedWithCode(100), "tile>0");
  EXPECT_EXIT(addFastNoise(2, 1, nullptr, -1, 255, 0.5f), ::testing::ExitedWithCode(100),
              "failed ASSERT\\(min_ht<=max_ht\\)");
  EXPECT_EXIT(addSimplexNoise(-1, 1, 4, 1, 0.5f), ::testing::ExitedWithCode(100), "failed ASSERT\\(min_ht>=0\\)");
}

// ---- helpers --------------------------------------------------------------

TEST(GenHelpers, WrapMapDeltaGivesTheShortestOffset)
{
  const float cases[][2] = {
      {128, 128}, {-128, 128}, {0, 0}, {200, -56}, {-200, 56}, {384, 128}, {-127.5f, -127.5f}, {255, -1}, {513, 1},
  };
  for (auto& c : cases) {
    Point2 r = wrap_map_delta({c[0], -c[0]});
    EXPECT_EQ(r.x, c[1]) << c[0];
    EXPECT_EQ(r.z, wrap_map_delta({-c[0], 0}).x) << c[0];
  }
}

TEST(GenHelpers, LerpPackedColorMovesAllFourChannels)
{
  struct Case
  {
    uint32_t from;
    vec4f to;
    float t;
    uint32_t expected;
  } cases[] = {
      {0xFF808080u, make4f(0, 0, 0, 0), 0.0f, 0xFF808080u},
      {0xFF808080u, make4f(1, 0, 0, 0), 1.0f, 0x00FF0000u},
      {0x00000000u, make4f(1, 1, 1, 1), 0.5f, 0x80808080u},  // 127.5 rounds to even 128
      {0xFF000000u, make4f(1, 1, 1, 1), 2.0f, 0xFFFFFFFFu},  // beyond the target: clamped
      {0xFFFFFFFFu, make4f(0, 0, 0, 0), -1.0f, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    uint32_t col = c.from;
    lerp_packed_color(col, c.to, c.t);
    EXPECT_EQ(col, c.expected) << std::hex << c.from << " t=" << c.t;
  }
}

TEST(GenHelpers, Point2Arithmetic)
{
  Point2 p = {3, 4};
  point2_normalize(p);
  EXPECT_FLOAT_EQ(p.x, 0.6f);
  EXPECT_FLOAT_EQ(p.z, 0.8f);
  Point2 zero = {0, 0};
  point2_normalize(zero);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
  Point2 q = point2_perp({1, 2});
  EXPECT_EQ(q.x, -2.0f);
  EXPECT_EQ(q.z, 1.0f);
  EXPECT_EQ(point2_dot({1, 2}, {3, -4}), -5.0f);
  point2_sub(q, {1, 1});
  EXPECT_EQ(q.x, -3.0f);
}
