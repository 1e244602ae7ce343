// Droplet erosion: the deposit rule with its colour reactions, the period
// callback, the statistics lines and the guards against hostile parameters.
#include <cmath>
#include <string>

#include "engine/random.h"
#include "world/erosion.h"
#include "world/hmGen.h"
#include "world_test_util.h"

using namespace HeightmapData;

extern float splash_progress;  // kept by the splash screen

// The start cell the next droplet will pick, without using up the draws.
static void next_start_cell(int& x, int& z)
{
  uint64_t saved = game_rnd_seed;
  x = int(rnd_u32() & 255);
  z = int(rnd_u32() & 255);
  game_rnd_seed = saved;
}

static ErosionReaction reaction(float c0, float c1, float c2, float c3, int e0, int e1, int e2, int e3)
{
  ErosionReaction r;
  r.change[0] = c0, r.change[1] = c1, r.change[2] = c2, r.change[3] = c3;
  r.exponents[0] = e0, r.exponents[1] = e1, r.exponents[2] = e2, r.exponents[3] = e3;
  return r;
}

TEST_F(WorldTest, DropletInAFlatHollowDepositsNothingButRunsTheDepositRule)
{
  // On flat land a droplet draws a random direction, finds the next point as
  // high as its start and ends in that pit, depositing 0 at the four corners
  // of its start cell: their heights stay, non-grass cells lose their surface
  // type and top colour, and the reactions run on their colours.
  struct Case
  {
    const char* name;
    bool red_to_green;
    float reaction_time;
    uint32_t corner_color;
  } cases[] = {
      {"no reactions", false, 100.0f, 0xFF800000u},
      {"red into green", true, 100.0f, 0xFF008000u},  // all red moves in the first step and ends at 0
      {"no reaction time", true, 0.0f, 0xFF800000u},
  };
  for (const Case& c : cases) {
    reset();
    game_rnd_seed = 1234;
    int x, z;
    next_start_cell(x, z);
    for (int i = 0; i < HMAP_CELLS; i++) {
      surface[i].color = 0xFF800000u;
      surface[i].topColor = 0x11223344u;
      surface[i].bits = with_surface_type(surface[i].bits, ST_SNOW);
    }
    const int grass = cell_index(x + 1, z + 1);
    surface[grass].bits = with_surface_type(surface[grass].bits, ST_GRASS);

    ErosionParams params;
    params.reactionTime = c.reaction_time;
    if (c.red_to_green) params.reactions.push_back(reaction(-0.01f, 0.01f, 0, 0, 1, 0, 0, 0));
    testing::internal::CaptureStdout();
    genDropletErosion(1, params);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find(" 1 random directions picked"), std::string::npos) << log;

    for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(hmap[i], 0.0f) << c.name;
    const int corners[4] = {cell_index(x, z), cell_index(x + 1, z), cell_index(x, z + 1), grass};
    for (int k = 0; k < 4; k++) {
      const Surface& s = surface[corners[k]];
      EXPECT_EQ(s.color, c.corner_color) << c.name << " corner " << k;
      EXPECT_EQ(surface_type(s.bits), k == 3 ? ST_GRASS : ST_NONE) << c.name << " corner " << k;
      EXPECT_EQ(s.topColor, k == 3 ? 0x11223344u : 0u) << c.name << " corner " << k;
    }
    const Surface& other = surface[cell_index(x + 2, z)];
    EXPECT_EQ(other.color, 0xFF800000u);
    EXPECT_EQ(surface_type(other.bits), ST_SNOW);
  }
}

TEST_F(WorldTest, NoDropletsChangeNothingAndStillLogTheStatistics)
{
  game_rnd_seed = 3;
  addFastNoise(0.0f, 10.0f, nullptr, -1, 255, 0.6f);
  auto before = world_snapshot();
  uint64_t seed = game_rnd_seed;
  ErosionParams params;
  testing::internal::CaptureStdout();
  genDropletErosion(0, params);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(world_snapshot(), before);
  EXPECT_EQ(game_rnd_seed, seed);
  EXPECT_NE(log.find("computed       0 erosion droplets in "), std::string::npos) << log;
  EXPECT_NE(log.find(" 0 droplets/s\n  0.00 average path length, 0 long paths cut, 0 random directions picked\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("nan"), std::string::npos) << log;
  EXPECT_EQ(log.find("inf"), std::string::npos) << log;
}

namespace
{
struct CountingParams : ErosionParams
{
  int calls = 0;
  int onPeriod() override
  {
    calls++;
    return 0;
  }
};
}  // namespace

TEST_F(WorldTest, OnPeriodIsCalledEveryPeriodStepDroplets)
{
  const int cases[][2] = {{10, 2}, {1, 25}, {25, 1}, {26, 0}, {0, 0}, {-5, 0}};
  for (auto& c : cases) {
    CountingParams params;
    params.periodStep = c[0];
    testing::internal::CaptureStdout();
    genDropletErosion(25, params);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(params.calls, c[1]) << "periodStep " << c[0];
  }
}

TEST_F(WorldTest, ErosionOnGeneratedLandStaysFiniteAndReportsProgress)
{
  // Hostile parameters included: no erosion factor (a droplet that picks up
  // nothing with no load), negative gravity, all water lost at once.
  struct Case
  {
    const char* name;
    float Kr, g, Kw;
    unsigned count;
    bool erodes;  // droplets that never gain speed or water carry nothing
  } cases[] = {
      {"defaults", 0.9f, 20.0f, 0.001f, 20000, true},
      {"no erosion", 0.0f, 20.0f, 0.001f, 3000, false},
      {"negative gravity", 0.9f, -20.0f, 0.001f, 3000, false},
      {"dry droplets", 0.9f, 20.0f, 1.0f, 3000, false},
  };
  for (const Case& c : cases) {
    reset();
    game_rnd_seed = 77;
    addFastNoise(0.0f, 20.0f, nullptr, -1, 255, 0.6f);
    std::vector<float> target(target_hmap, target_hmap + HMAP_CELLS);
    std::vector<float> before(hmap, hmap + HMAP_CELLS);
    ErosionParams params;
    params.Kr = c.Kr;
    params.g = c.g;
    params.Kw = c.Kw;
    splash_progress = -1.0f;
    testing::internal::CaptureStdout();
    genDropletErosion(c.count, params);
    std::string log = testing::internal::GetCapturedStdout();
    int changed = 0;
    for (int i = 0; i < HMAP_CELLS; i++) {
      ASSERT_TRUE(std::isfinite(hmap[i])) << c.name << " " << i;
      ASSERT_EQ(target_hmap[i], target[i]) << c.name;
      changed += hmap[i] != before[i];
      // With nothing eroded every deposit is 0 and no colour may change
      // (a 0 / 0 colour mix would turn cells black).
      if (c.Kr == 0.0f) {
        ASSERT_EQ(surface[i].color, 0xFF808080u) << c.name << " " << i;
      }
    }
    EXPECT_EQ(changed > 1000, c.erodes) << c.name << " " << changed;
    EXPECT_EQ(log.find("nan"), std::string::npos) << c.name;
    EXPECT_EQ(splash_progress, c.count > 16384 ? (16384.0f + 0.5f) / float(c.count) : -1.0f) << c.name;
  }
}

namespace
{
// A callback that changes the parameters, as a script's may.
struct ShiftingParams : ErosionParams
{
  int onPeriod() override
  {
    Kq *= 0.8f;
    Ki = 0.5f - Ki;
    depositBlend += 1.0f;
    return 0;
  }
};

// The log without the timing figures of the first statistics line.
std::string without_timing(const std::string& log)
{
  std::string out;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    if (line.compare(0, 9, "computed ") != 0) out += line + "\n";
    pos = end + 1;
  }
  return out;
}
}  // namespace

TEST_F(WorldTest, DropletsRunAheadGiveTheSameBitsAsDropletsRunInTurn)
{
  // Land with flat tops makes droplets draw random directions (so guesses of
  // the random state are wrong now and then); a small period changes the
  // parameters between stretches; windows from 1 droplet up; one run crosses
  // the splash; choosing the way stretch by stretch mixes droplets run ahead
  // and stretches run in turn.
  struct Case
  {
    const char* name;
    unsigned count;
    int window;
    int period;
    float flat_above;  // heights above this are cut flat (huge: none)
    bool reactions;
    bool choose;
  } cases[] = {
      {"window of one", 600, 1, 10240, 1e30f, false, false},
      {"window of two, short period", 900, 2, 7, 1e30f, true, false},
      {"window of three, flat tops", 1500, 3, 10240, 6.0f, false, false},
      {"window of 32, flat tops, period", 3000, 32, 250, 8.0f, true, false},
      {"window of 64, flat land", 700, 64, 10240, -1.0f, false, false},
      {"window of 32 past the splash", 16500, 32, 10240, 1e30f, false, false},
      {"ways chosen, flat tops, period", 12000, 16, 1500, 8.0f, true, true},
  };
  const int saved_window = erosion_run_ahead;
  const bool saved_choose = erosion_choose_way;
  for (const Case& c : cases) {
    std::vector<unsigned char> result[2];
    uint64_t seed_after[2];
    std::string log[2];
    for (int pass = 0; pass < 2; pass++) {
      reset();
      game_rnd_seed = 99;
      addFastNoise(0.0f, 12.0f, nullptr, -1, 255, 0.6f);
      for (int i = 0; i < HMAP_CELLS; i++) {
        if (hmap[i] > c.flat_above) hmap[i] = c.flat_above < 0.0f ? 0.0f : c.flat_above;
        surface[i].color = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
        surface[i].bits = with_surface_type(surface[i].bits, i % 3 ? ST_GRASS : ST_SNOW);
      }
      ShiftingParams params;
      params.periodStep = c.period;
      if (c.reactions) params.reactions.push_back(reaction(-0.01f, 0.005f, 0.005f, 0, 1, 1, 0, 0));
      erosion_run_ahead = pass == 0 ? 0 : c.window;
      erosion_choose_way = c.choose;
      testing::internal::CaptureStdout();
      genDropletErosion(c.count, params);
      log[pass] = without_timing(testing::internal::GetCapturedStdout());
      result[pass] = world_snapshot();
      seed_after[pass] = game_rnd_seed;
    }
    erosion_run_ahead = saved_window;
    erosion_choose_way = saved_choose;
    EXPECT_TRUE(result[0] == result[1]) << c.name;
    EXPECT_EQ(seed_after[0], seed_after[1]) << c.name;
    EXPECT_EQ(log[0], log[1]) << c.name;
    if (c.flat_above < 10.0f) {
      EXPECT_EQ(log[0].find(" 0 random directions"), std::string::npos) << c.name << log[0];
    }
  }
  erosion_run_ahead = saved_window;
  erosion_choose_way = saved_choose;
}
