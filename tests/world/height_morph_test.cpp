// The height morph of the tick and of the frame, and the land-moving sounds
// placed per octant round the camera cell.
#include <cmath>
#include <vector>

#include "engine/random.h"
#include "world/worldServices.h"
#include "world_test_util.h"

using namespace HeightmapData;
using world_doubles::calls_named;

static const float DT = 0.05f;

// Sets one run of four cells (x a multiple of 4) to heights h and targets T.
static void set_run(int x, int z, const float h[4], const float T[4])
{
  for (int k = 0; k < 4; k++) {
    hmap[cell_index(x + k, z)] = h[k];
    target_hmap[cell_index(x + k, z)] = T[k];
  }
}

TEST_F(WorldTest, CellsMoveByTheStepRuleWithoutOvershoot)
{
  // Per lane: 10 below rises by 10 * 0.01 + 0.05; 0.04 below lands on the
  // target; 10 above sinks alike; a settled cell stays.
  const float h[4] = {0.f, 1.f, 10.f, 3.f};
  const float T[4] = {10.f, 1.04f, 0.f, 3.f};
  set_run(8, 9, h, T);
  std::vector<float> morphed(HMAP_CELLS);
  morphHmap(DT, morphed.data());
  std::vector<float> at_zero(HMAP_CELLS);
  morphHmap(0.f, at_zero.data());

  updateHmap(DT);
  const float expected[4] = {0.15f, 1.04f, 9.85f, 3.f};
  for (int k = 0; k < 4; k++) {
    int i = cell_index(8 + k, 9);
    EXPECT_FLOAT_EQ(hmap[i], expected[k]) << k;
    EXPECT_EQ(morphed[i], hmap[i]) << "the frame morph at one tick equals the tick";
    EXPECT_EQ(at_zero[i], h[k]);
  }
  EXPECT_EQ(hmap[cell_index(9, 9)], 1.04f);
}

TEST_F(WorldTest, SettledRunsKeepTheirSmallDifferencesUntilOneCellMoves)
{
  const float h[4] = {1.f, 2.f, 3.f, 4.f};
  const float T[4] = {1.0005f, 2.0009f, 2.9995f, 4.f};
  set_run(40, 40, h, T);
  for (int k = 0; k < 5; k++) updateHmap(DT);
  for (int k = 0; k < 4; k++) EXPECT_EQ(hmap[cell_index(40 + k, 40)], h[k]);

  std::vector<float> morphed(HMAP_CELLS);
  morphHmap(DT, morphed.data());  // the frame morph has no threshold
  EXPECT_EQ(morphed[cell_index(40, 40)], T[0]);

  target_hmap[cell_index(43, 40)] = 5.f;
  updateHmap(DT);
  for (int k = 0; k < 3; k++) EXPECT_EQ(hmap[cell_index(40 + k, 40)], T[k]);
  EXPECT_FLOAT_EQ(hmap[cell_index(43, 40)], 4.f + 1.f * 0.01f + 0.05f);
}

TEST_F(WorldTest, MovingRunsAreHeardFromTheirOctantRoundTheCamera)
{
  struct Case
  {
    const char* name;
    float cam_x, cam_z;  // scene camera position
    int run_x, run_z;    // first cell of the moving run
    int group;
    float pos_x, pos_z;  // the run's position unwrapped round the camera cell
  };
  const Case cases[] = {
      {"dx 200 counts as -56", 0.f, 0.f, 200, 0, 1, -56.f, 0.f},
      {"dx 128 stays", 0.f, 0.f, 128, 0, 0, 128.f, 0.f},
      {"dx -128 stays", 127.6f, 0.f, 0, 0, 1, 0.f, 0.f},
      {"behind and mostly along z", 0.f, 0.f, 4, 250, 6, 4.f, -6.f},
      {"camera cell wraps to 255", -0.6f, 300.4f, 0, 40, 6, 256.f, 40.f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    world_doubles::reset();
    scene_camera_pos = make4f(c.cam_x, 50.f, c.cam_z, 1.f);
    const float h[4] = {1.f, 7.f, 2.f, 0.f};
    const float T[4] = {1.f, 7.f, 2.f, 8.f};  // weight 8, highest cell 7
    set_run(c.run_x, c.run_z, h, T);
    game_rnd_seed = 0;
    updateHmap(DT);

    for (int g = 0; g < 8; g++) EXPECT_EQ(land_sound[g].channel, g == c.group ? 100u : 0u) << g;
    EXPECT_EQ(world_doubles::event_requests, std::vector<int>{27});
    auto params = calls_named("set_sound_3d_params");
    ASSERT_EQ(params.size(), 1u);
    EXPECT_FLOAT_EQ(params[0].a, powf(8.f, 0.33333f) * 10.f);
    EXPECT_LT(params[0].a, 20.f);
    EXPECT_EQ(params[0].b, 256.f);
    auto pos = calls_named("set_sound_3d_pos");
    ASSERT_EQ(pos.size(), 1u);
    EXPECT_FLOAT_EQ(pos[0].pos[0], c.pos_x);
    EXPECT_FLOAT_EQ(pos[0].pos[1], 7.f);
    EXPECT_FLOAT_EQ(pos[0].pos[2], c.pos_z);
    EXPECT_EQ(pos[0].pos[3], 1.f);
    auto start = calls_named("set_relative_sound_pos");
    ASSERT_EQ(start.size(), 1u);
    EXPECT_FLOAT_EQ(start[0].a, 335903614.f / 4294967296.f);
    auto slide = calls_named("slide_sound_volume");
    ASSERT_EQ(slide.size(), 1u);
    EXPECT_EQ(slide[0].a, 1.0f);
    EXPECT_EQ(slide[0].ms, 50);
    EXPECT_EQ(calls_named("play_sound").size(), 1u);
    auto fades = calls_named("fade_out_and_stop_sound");
    EXPECT_EQ(fades.size(), 7u);
    for (const auto& f : fades) EXPECT_EQ(f.ms, 50);
  }
}

TEST_F(WorldTest, AQuietGroupFadesAndAPlayingChannelIsReused)
{
  const float h[4] = {0.f, 0.f, 0.f, 0.f};
  const float T[4] = {100.f, 0.f, 0.f, 0.f};
  set_run(8, 0, h, T);  // group 0 from the camera at the origin
  updateHmap(DT);
  ASSERT_EQ(land_sound[0].channel, 100u);

  // Quiet: the stored channel is asked to fade over 50 ms and kept.
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] = target_hmap[i];
  world_doubles::sound_calls.clear();
  updateHmap(DT);
  auto fades = calls_named("fade_out_and_stop_sound");
  ASSERT_EQ(fades.size(), 8u);
  EXPECT_EQ(fades[0].channel, 100u);
  EXPECT_EQ(fades[0].ms, 50);
  EXPECT_EQ(land_sound[0].channel, 100u);

  // Moving again while the fade still plays: reused, no new start.
  target_hmap[cell_index(8, 0)] = 200.f;
  world_doubles::sound_calls.clear();
  updateHmap(DT);
  EXPECT_EQ(land_sound[0].channel, 100u);
  EXPECT_EQ(world_doubles::event_requests.size(), 1u);
  EXPECT_TRUE(calls_named("slide_sound_volume").empty());
  EXPECT_TRUE(calls_named("play_sound").empty());
  EXPECT_EQ(calls_named("set_sound_3d_pos").size(), 1u);

  // Once it has stopped, a fresh channel starts.
  world_doubles::playing.clear();
  updateHmap(DT);
  EXPECT_EQ(land_sound[0].channel, 101u);
  EXPECT_EQ(calls_named("play_sound").size(), 1u);

  world_doubles::sound_calls.clear();
  stopSounds();
  fades = calls_named("fade_out_and_stop_sound");
  ASSERT_EQ(fades.size(), 8u);
  EXPECT_EQ(fades[0].channel, 101u);
  EXPECT_EQ(fades[0].ms, 10);
  EXPECT_EQ(land_sound[0].channel, 101u) << "stopping keeps the handles";
}

TEST_F(WorldTest, NoChannelFromTheSoundEventsMeansAskingAgainNextTick)
{
  world_doubles::next_channel = 0;
  target_hmap[cell_index(4, 4)] = 100.f;
  updateHmap(DT);
  updateHmap(DT);
  EXPECT_EQ(world_doubles::event_requests.size(), 2u);
  EXPECT_EQ(land_sound[0].channel, 0u);
}
