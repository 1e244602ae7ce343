// The fluid step: flow, foam, evaporation, lava hardening, meetings of water
// and lava, and a fingerprint that pins the step's exact float results.
#include <cmath>
#include <cstring>

#include "engine/random.h"
#include "world/fluidSim.h"
#include "world/noise.h"
#include "world_test_util.h"

using namespace HeightmapData;
using world_doubles::vapour_calls;

static const float DT = 0.05f;

static float total_fluid()
{
  double s = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) s += fluid(x, z).amount;
  return float(s);
}

TEST_F(WorldTest, SingleWaterCellSpreadsAQuarterOfItsLossToEachNeighbour)
{
  // At the corner of the grid, so the flow must wrap to reach x = 0 and z = 255.
  fluid(255, 0).amount = 1.0f;
  WaterRow* before = water;
  simWater(DT);
  EXPECT_NE(water, before);
  EXPECT_EQ(tmpw, before);

  EXPECT_FLOAT_EQ(fluid(255, 0).amount, 0.6f);
  for (auto n : {std::make_pair(254, 0), {0, 0}, {255, 255}, {255, 1}}) {
    SCOPED_TRACE(testing::Message() << n.first << "," << n.second);
    EXPECT_FLOAT_EQ(fluid(n.first, n.second).amount, 0.1f);
  }
  EXPECT_EQ(fluid(255, 0).u, 0.5f);    // +x face, toward x = 0
  EXPECT_EQ(fluid(254, 0).u, -0.5f);   // -x face
  EXPECT_EQ(fluid(255, 0).w, 0.5f);    // +z face
  EXPECT_EQ(fluid(255, 255).w, -0.5f); // -z face
  EXPECT_FLOAT_EQ(total_fluid(), 1.0f);
  EXPECT_EQ(fluid(255, 0).foam, 1.0f);  // 3.2 * (0.5^2 + 0.5^2), capped
  EXPECT_EQ(fluid(100, 100).amount, 0.f);
}

TEST_F(WorldTest, FoamRisesOnADryGridBecauseDryFacesCountAsBlocked)
{
  simWater(DT);
  for (int i = 0; i < HMAP_CELLS; i += 251) {
    const Water& c = water[i >> 8][i & 255];
    ASSERT_EQ(c.amount, 0.f);
    ASSERT_EQ(c.u, 0.f);
    ASSERT_EQ(c.w, 0.f);
    ASSERT_FLOAT_EQ(c.foam, 0.02f);
  }
  for (int k = 0; k < 200; k++) simWater(DT);
  EXPECT_NEAR(fluid(17, 3).foam, 0.08f, 1e-6f);
  EXPECT_EQ(total_fluid(), 0.f);
}

TEST_F(WorldTest, StillWaterEvaporatesOnlyBelowHalfAUnit)
{
  struct Case
  {
    float depth, after_one_step;
  };
  const Case cases[] = {
      {0.3f, 0.3f + (0.3f * 0.9985f - 0.3f)},
      {0.01001f, 0.01001f + (0.01001f * 0.9985f - 0.01001f)},
      {0.0099f, 0.f},
      {0.5f, 0.5f},
      {2.0f, 2.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    reset();
    hmap[cell_index(8, 8)] = -3.f;  // a pit: the water cannot flow out
    fluid(8, 8).amount = c.depth;
    simWater(DT);
    EXPECT_EQ(fluid(8, 8).amount, c.after_one_step);
  }

  // 0.01001 falls below 0.01 after one step and vanishes in the next.
  reset();
  hmap[cell_index(8, 8)] = -3.f;
  fluid(8, 8).amount = 0.01001f;
  simWater(DT);
  simWater(DT);
  EXPECT_EQ(fluid(8, 8).amount, 0.f);
}

TEST_F(WorldTest, LavaHardensIntoAshColouredLand)
{
  // 0.002 is a film: it hardens at once.
  fluid(30, 30).amount = -0.002f;
  simWater(DT);
  EXPECT_EQ(fluid(30, 30).amount, 0.f);
  EXPECT_FLOAT_EQ(hmap[cell_index(30, 30)], 0.002f);
  EXPECT_EQ(hmap[cell_index(30, 30)], target_hmap[cell_index(30, 30)]);
  EXPECT_EQ(surface_type(surface[cell_index(30, 30)].bits), ST_NONE);  // weight 0.2 only

  // 2.0 in a pit hardens by 0.01: fully ash, then the colours are smoothed
  // toward the grey neighbours in the same step.
  int c = cell_index(60, 60);
  hmap[c] = target_hmap[c] = -5.f;
  fluid(60, 60).amount = -2.0f;
  simWater(DT);
  EXPECT_FLOAT_EQ(fluid(60, 60).amount, -1.99f);
  EXPECT_FLOAT_EQ(hmap[c], -4.99f);
  EXPECT_EQ(hmap[c], target_hmap[c]);
  EXPECT_EQ(surface_type(surface[c].bits), ST_ASH);
  EXPECT_EQ(surface[c].color, 0x0D090909u);
  for (int n : {cell_index(59, 60), cell_index(61, 60), cell_index(60, 59), cell_index(60, 61)}) {
    EXPECT_EQ(surface[n].color, 0xFB7E7E7Eu);
    EXPECT_EQ(surface[n].topColor, 0x02000000u);
    EXPECT_EQ(surface_type(surface[n].bits), ST_NONE);
  }
}

TEST_F(WorldTest, ThinLavaStopsFlowingWhileThickLavaFlows)
{
  struct Case
  {
    float depth;
    bool flows;
  };
  const Case cases[] = {{0.02f, false}, {1.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    reset();
    for (int z = 0; z < 256; z++)
      for (int x = 0; x < 256; x++) {
        hmap[cell_index(x, z)] = float(x) * 0.5f;  // a steady slope
        if (x >= 100 && x < 120 && z >= 100 && z < 120) fluid(x, z).amount = -c.depth;
      }
    simWater(DT);
    bool any_velocity = false;
    for (int z = 0; z < 256; z++)
      for (int x = 0; x < 256; x++) any_velocity |= fluid(x, z).u != 0.f || fluid(x, z).w != 0.f;
    EXPECT_EQ(any_velocity, c.flows);
    if (!c.flows) {
      EXPECT_EQ(fluid(99, 110).amount, 0.f);
      EXPECT_FLOAT_EQ(fluid(100, 110).amount, -0.02f + 0.02f * 0.005f);
    }
  }
}

TEST_F(WorldTest, WaterMeetingLavaHardensIntoLandWithOneVapourCall)
{
  for (int quality : {1, 0}) {
    SCOPED_TRACE(quality);
    reset();
    vapour_calls.clear();
    gfx_quality = quality;
    fluid(50, 50).amount = 1.0f;
    fluid(51, 50).amount = -0.3f;
    simWater(DT);
    int c = cell_index(51, 50);
    EXPECT_GT(hmap[c], 0.3f * 0.005f);  // more than its own hardening
    EXPECT_EQ(hmap[c], target_hmap[c]);
    if (quality == 1) {
      ASSERT_EQ(vapour_calls.size(), 1u);
      EXPECT_EQ(vapour_calls[0].x, 51);
      EXPECT_EQ(vapour_calls[0].z, 50);
      EXPECT_GT(vapour_calls[0].amount, 0.f);
    } else {
      EXPECT_TRUE(vapour_calls.empty());
    }
  }
}

TEST_F(WorldTest, HigherLandReceivesNothingWhateverTheVelocity)
{
  fluid(20, 20) = Water{1.0f, 10.f, 10.f, 0.f};
  hmap[cell_index(21, 20)] = 5.f;
  hmap[cell_index(20, 21)] = 5.f;
  simWater(DT);
  EXPECT_EQ(fluid(21, 20).amount, 0.f);
  EXPECT_EQ(fluid(20, 21).amount, 0.f);
  EXPECT_GT(fluid(19, 20).amount, 0.f);
}

// ---- whole-grid runs ---------------------------------------------------------------

struct FixedNoise
{
  uint8_t saved[512];
  FixedNoise()
  {
    memcpy(saved, noise_perm, sizeof(saved));
    for (int i = 0; i < 512; i++) noise_perm[i] = uint8_t((i * 167 + 13) & 255);
  }
  ~FixedNoise() { memcpy(noise_perm, saved, sizeof(saved)); }
};

// Rolling land under a mix of fluid: `lava_share` of the cells hold lava of
// up to `lava_depth`, the rest mostly water of up to 3 units.
static void make_wet_world(uint64_t seed, float lava_share, float lava_depth)
{
  game_rnd_seed = seed;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      int i = cell_index(x, z);
      hmap[i] = target_hmap[i] = float((x * 7 + z * 13) % 31) * 0.2f + rnd_float() * 0.5f;
      float r = rnd_float();
      float amount = r < lava_share ? -lava_depth * rnd_float() : (r < 0.9f ? r * 3.f : 0.f);
      fluid(x, z) = Water{amount, 0.f, 0.f, 0.f};
    }
}

static uint64_t world_fingerprint()
{
  uint64_t h = fnv1a(hmap, sizeof(hmap));
  h = fnv1a(target_hmap, sizeof(target_hmap), h);
  h = fnv1a(surface, sizeof(surface), h);
  return fnv1a(water, sizeof(Water) * HMAP_CELLS, h);
}

static bool all_finite()
{
  for (int i = 0; i < HMAP_CELLS; i++) {
    const Water& c = water[i >> 8][i & 255];
    if (!std::isfinite(hmap[i]) || !std::isfinite(target_hmap[i]) || !std::isfinite(c.amount) ||
        !std::isfinite(c.u) || !std::isfinite(c.w) || !std::isfinite(c.foam))
      return false;
  }
  return true;
}

TEST_F(WorldTest, StepResultsAreBitIdenticalToTheReference)
{
  // Pins every float of 100 steps: any change of evaluation order, folding or
  // contraction shows up here.
  struct Case
  {
    const char* name;
    float lava_share, lava_depth;
    uint64_t fingerprint;
    int vapour_calls;
  };
  const Case cases[] = {
      {"lakes and deep lava", 0.1f, 1.0f, 0x80c36ce99869f696ull, 25552},
      {"thin lava sheets", 0.3f, 0.15f, 0xc01a02bb634e261eull, 39689},
  };
  FixedNoise noise;
  const bool has_avx2 = __builtin_cpu_supports("avx2");
  for (bool wide : {false, true})
  for (bool grouped : {true, false})
  for (const Case& c : cases) {
    // The outflow pass by groups of cells and one cell at a time, and the
    // velocity pass four or eight cells at a time, give the same bits.
    if (wide && !has_avx2) continue;
    SCOPED_TRACE(testing::Message() << c.name << (grouped ? ", grouped" : ", one cell at a time")
                                    << (wide ? ", eight-wide velocities" : ", four-wide velocities"));
    fluidGroupedOutflow = grouped;
    fluidWideAdvection = wide;
    reset();
    make_wet_world(2024, c.lava_share, c.lava_depth);
    int vapour = 0;
    for (int k = 0; k < 100; k++) {
      simWater(DT);
      vapour += int(vapour_calls.size());
      vapour_calls.clear();
    }
    ASSERT_TRUE(all_finite());
    EXPECT_EQ(world_fingerprint(), c.fingerprint);
    EXPECT_EQ(vapour, c.vapour_calls);
  }
  fluidGroupedOutflow = true;
  fluidWideAdvection = has_avx2;
}

TEST_F(WorldTest, ExtremeLoadableValuesStayFinite)
{
  FixedNoise noise;
  game_rnd_seed = 5;
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = target_hmap[i] = rnd_float_signed() * 1e9f;
    water[i >> 8][i & 255] = Water{rnd_float_signed() * 1e9f, rnd_float_signed() * 1e9f,
                                   rnd_float_signed() * 1e9f, rnd_float()};
  }
  for (int k = 0; k < 40; k++) simWater(DT);
  EXPECT_TRUE(all_finite());
  EXPECT_EQ(world_fingerprint(), 0x2f97e2d80afb070cull);
}
