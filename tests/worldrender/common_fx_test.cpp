// The common effects: particle pools (ordering, lifetimes, growth, the
// records a frame writes), trails (store limits, reuse, the ring, the seam),
// lightning bolts (fixed-seed geometry, the envelope, unguarded divisions),
// and the effects pass read back from the device in both target modes.
#include "worldrender/commonFx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "engine/random.h"
#include "object_render_fixture.h"
#include "worldrender/lightning.h"
#include "worldrender/scenePasses.h"
#include "worldrender/trails.h"

namespace
{
struct Record
{
  float pos[3], size, roll;
  uint32_t color;
  float uv[2], hu, hv;
};
static_assert(sizeof(Record) == PARTICLE_RECORD_SIZE, "particle record");

const vec4f ZERO = {0.f, 0.f, 0.f, 0.f};

void add_glow(vec4f pos, vec4f vel, float life, float delay, ColorRamp* c = nullptr, FloatRamp* s = nullptr,
              FloatRamp* r = nullptr, vec4f accel = ZERO)
{
  add_glow_particle(pos, vel, accel, life, delay, 2.f, D3dColor(0x80FF4020u), 64.f, 0.f, 64.f, 0.5f, 2.f, c, s, r);
}

// A camera at the origin looking along +z.
void camera_at_origin()
{
  cur_view_itm = Matrix44::identity();
  cur_view_tm = Matrix44::identity();
  cur_glob_tm = scene_projection(1.f, 4.f / 3.f);
  set_vs_constants(0, &cur_glob_tm.m[0][0], 4);
  set_vs_constants(4, &cur_view_itm.m[0][0], 4);
}

// The records the glow pool writes for a frame at (t, f), read back from
// the writer's locked memory.
std::vector<Record> frame_records(float t, float f)
{
  std::vector<Record> out;
  common_vb_writer.begin([](int, int) {}, 0);
  write_particle_instances(glow_particles, t, f);
  const Record* r = (const Record*)common_vb_writer.startPtr;
  out.assign(r, r + common_vb_writer.count);
  common_vb_writer.flush(true);
  return out;
}

class CommonFxTest : public ObjectRenderTest<0>
{
 protected:
  void SetUp() override
  {
    ObjectRenderTest<0>::SetUp();
    reset_common_fx();
    camera_at_origin();
  }
};

TEST_F(CommonFxTest, ParticlesMoveOneTickAheadAndFreeTheirSlotWhenTheirLifeEnds)
{
  // No delay: one whole tick is stepped at once (velocity 20: 1 unit).
  add_glow(make4f(0, 0, 10, 1), make4f(20, 0, 0, 0), 0.2f, 0.f);
  const Particle& p = glow_particles.parts[0];
  EXPECT_FLOAT_EQ(p.pos[0], 1.f);
  EXPECT_FLOAT_EQ(p.prevPos[0], 0.f);
  // Drawn half-way through the tick: half-way between.
  std::vector<Record> r = frame_records(0.025f, 0.5f);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_FLOAT_EQ(r[0].pos[0], 0.5f);

  // Freed in the update where its age reaches its life, never drawn older.
  for (int i = 0; i < 3; ++i) update_particle_pool(glow_particles, 0.05f);
  EXPECT_EQ(live_particles(glow_particles), 1);
  EXPECT_TRUE(frame_records(0.05f, 1.f).size() == 1u);
  update_particle_pool(glow_particles, 0.05f);
  EXPECT_EQ(live_particles(glow_particles), 0);
  EXPECT_EQ(glow_particles.freeHead, 0);
  EXPECT_TRUE(frame_records(0.f, 0.f).empty());

  // The freed slot is taken again before the array grows.
  add_glow(make4f(0, 0, 10, 1), ZERO, 1.f, 0.f);
  EXPECT_EQ(glow_particles.parts.num, 1);
  EXPECT_EQ(glow_particles.freeHead, -1);

  // No life, no particle: nothing would ever free its slot.
  for (float life : {0.f, -1.f, NAN}) add_glow(make4f(0, 0, 10, 1), ZERO, life, 0.f);
  EXPECT_EQ(glow_particles.parts.num, 1);
  EXPECT_EQ(live_particles(glow_particles), 1);
}

TEST_F(CommonFxTest, DelayedParticlesWaitAndAppearWithinTheirTick)
{
  // A delay of a tick or more: not moved at creation, not drawn while hidden.
  add_glow(make4f(0, 0, 10, 1), make4f(20, 0, 0, 0), 1.f, 0.06f);
  const Particle& p = glow_particles.parts[0];
  EXPECT_FLOAT_EQ(p.pos[0], 0.f);
  EXPECT_FLOAT_EQ(p.age, -0.06f);
  EXPECT_TRUE(frame_records(0.05f, 1.f).empty());
  // One tick later (age -0.01) it is still hidden, but its position runs a
  // tick ahead: the 0.04 s after its delay are stepped.
  update_particle_pool(glow_particles, 0.05f);
  EXPECT_NEAR(p.pos[0], 0.8f, 1e-5f);
  EXPECT_FLOAT_EQ(p.prevPos[0], 0.f);
  EXPECT_TRUE(frame_records(0.f, 0.f).empty());
  // Visible from t = 0.01 on, blended over the visible part of the tick:
  // weight 0 at its first instant (no division by a zero fraction), half at
  // t = 0.03.
  std::vector<Record> r = frame_records(0.01f, 0.2f);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NEAR(r[0].pos[0], 0.f, 1e-5f);
  r = frame_records(0.03f, 0.6f);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NEAR(r[0].pos[0], 0.4f, 1e-5f);
  update_particle_pool(glow_particles, 0.05f);
  EXPECT_NEAR(p.pos[0], 1.8f, 1e-5f);
  for (float t : {0.f, 0.025f, 0.05f})
    for (const Record& rec : frame_records(t, t * 20.f)) EXPECT_TRUE(std::isfinite(rec.pos[0]) && std::isfinite(rec.size));
}

TEST_F(CommonFxTest, RecordsWrapRoundTheCameraAndFollowTheRamps)
{
  // Without ramps: the base colour, size and roll for the whole life.
  add_glow(make4f(200, 70, 10, 1), ZERO, 1.f, 0.f);
  for (float t : {0.f, 0.5f}) {
    update_particle_pool(glow_particles, t);
    std::vector<Record> r = frame_records(0.01f, 0.2f);
    ASSERT_EQ(r.size(), 1u);
    // 200 units along x is 56 units on the other side; the height is kept.
    EXPECT_FLOAT_EQ(r[0].pos[0], -56.f);
    EXPECT_FLOAT_EQ(r[0].pos[1], 70.f);
    EXPECT_EQ(r[0].color, 0x80FF4020u);
    EXPECT_FLOAT_EQ(r[0].size, 2.f);
    EXPECT_FLOAT_EQ(r[0].roll, 0.5f);
    EXPECT_FLOAT_EQ(r[0].uv[0], 96.f / 512.f);
    EXPECT_FLOAT_EQ(r[0].uv[1], 32.f / 256.f);
    EXPECT_FLOAT_EQ(r[0].hu, 32.f / 512.f);
    EXPECT_FLOAT_EQ(r[0].hv, -32.f / 256.f);
  }
  // With ramps: read at the normalised age (half-way: sample 128).
  reset_common_fx();
  ColorRamp half;
  half.fill(make4f(1.f, 0.5f, 0.f, 2.f));
  FloatRamp grow(0.f, 2.f), turn(0.f, 1.f);
  add_glow(make4f(0, 0, 10, 1), ZERO, 1.f, 0.f, &half, &grow, &turn);
  update_particle_pool(glow_particles, 0.45f);
  std::vector<Record> r = frame_records(0.05f, 1.f);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].color, 0xFFFF2000u);  // alpha 0x80 * 2 saturates, green halved, blue 0
  EXPECT_FLOAT_EQ(r[0].size, 2.f * 1.f);
  EXPECT_FLOAT_EQ(r[0].roll, 0.5f + 2.f * 0.5f);
}

TEST_F(CommonFxTest, PoolsKeepTheirReserveAndGrowPastIt)
{
  EXPECT_GE(glow_particles.parts.capacity, PARTICLE_RESERVE);
  for (int i = 0; i < PARTICLE_RESERVE + 1; ++i) add_glow(make4f(0, 0, 10, 1), ZERO, 1.f, 0.f);
  EXPECT_EQ(live_particles(glow_particles), PARTICLE_RESERVE + 1);
  // More records than one buffer holds are streamed in several fills.
  common_vb_writer.begin(dyn_vb_draw_triangles, 4);
  int flushed = 0;
  common_vb_writer.renderFunc = [](int, int) {};
  write_particle_instances(glow_particles, 0.f, 0.f);
  flushed = common_vb_writer.count;
  common_vb_writer.flush(true);
  EXPECT_EQ(flushed, (PARTICLE_RESERVE + 1) % (COMMON_VB_SIZE / PARTICLE_RECORD_SIZE));
  reset_common_fx();
  EXPECT_EQ(glow_particles.parts.num, 0);
  EXPECT_GE(glow_particles.parts.capacity, PARTICLE_RESERVE);
}

// ---- trails ----

TEST_F(CommonFxTest, TrailStoreLimitsAndReuse)
{
  const vec4f side = make4f(0, 0.5f, 0, 0);
  std::vector<int> ids;
  for (int i = 0; i < MAX_TRAILS; ++i) ids.push_back(add_trail_fx(make4f(1, 1, 1, 1), ZERO, side, 1.f, 0xFFFFFFFFu));
  EXPECT_EQ(ids.front(), 0);
  EXPECT_EQ(ids.back(), MAX_TRAILS - 1);
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, side, 1.f, 0u), -1);  // the 4001st
  kill_trail_fx(17);
  EXPECT_FALSE(trails[17].isAlive());
  EXPECT_EQ(add_trail_fx(ZERO, ZERO, side, 1.f, 0u), 17);
  // Ids out of range and slots not live are ignored.
  kill_trail_fx(-1);
  kill_trail_fx(MAX_TRAILS);
  stop_trail_fx(MAX_TRAILS + 5);
  set_trail_tc(-3, 1, 1, 1, 1, 1);
  reset_common_fx();
  EXPECT_EQ(live_trails(), 0);
  add_trail_point(3, ZERO, ZERO, side);
  EXPECT_FALSE(trails[3].isAlive());
  EXPECT_EQ(trail_free_head, 0);
}

TEST_F(CommonFxTest, TrailRingStopAndSeam)
{
  const vec4f side = make4f(0, 0.5f, 0, 0);
  const int id = add_trail_fx(make4f(250, 0, 5, 1), ZERO, side, 1.f, 0xFFFFFFFFu);
  // Points cross the seam at x = 256: each is placed next to the previous.
  for (int i = 1; i < 20; ++i) add_trail_point(id, make4f(float((250 + i) % 256), 0, 5, 1), ZERO, side);
  Trail& tr = trails[id];
  EXPECT_EQ(tr.count, TRAIL_POINTS);  // the 17th point and later replace the oldest
  for (int k = 1; k < tr.count; ++k) {
    const float newer = tr.points[(tr.head + k - 1) & 15].pos[0], older = tr.points[(tr.head + k) & 15].pos[0];
    EXPECT_NEAR(newer - older, 1.f, 1e-4f) << k;
  }
  // The update brings the newest point into the base tile, the rest with it.
  EXPECT_TRUE(update_trail(tr, 0.05f));
  EXPECT_FLOAT_EQ(tr.points[tr.head].pos[0], float((250 + 19) % 256));
  EXPECT_NEAR(tr.points[(tr.head + 1) & 15].pos[0], float((250 + 19) % 256) - 1.f, 1e-4f);

  // A stopped trail of 5 points is gone after 5 updates, its id free again.
  reset_common_fx();
  const int s = add_trail_fx(ZERO, ZERO, side, 1.f, 0xFFFFFFFFu);
  for (int i = 0; i < 4; ++i) add_trail_point(s, make4f(float(i), 0, 0, 1), ZERO, side);
  stop_trail_fx(s);
  for (int i = 0; i < 4; ++i) {
    update_all_trails(0.05f);
    EXPECT_TRUE(trails[s].isAlive()) << i;
  }
  update_all_trails(0.05f);
  EXPECT_FALSE(trails[s].isAlive());
  EXPECT_EQ(trail_free_head, s);
}

TEST_F(CommonFxTest, TrailTrianglesHeadSpriteAndStrip)
{
  const vec4f side = make4f(0, 0.5f, 0, 0);
  struct Case
  {
    int points;
    float width;
    int triangles;
  } cases[] = {{1, 1.f, 2}, {1, 0.f, 0}, {1, -1.f, 0}, {2, 1.f, 4}, {5, 0.f, 8}, {16, 1.f, 32}};
  for (const Case& c : cases) {
    reset_common_fx();
    const int id = add_trail_fx(make4f(0, 0, 10, 1), ZERO, side, c.width, 0xFFFFFFFFu);
    for (int i = 1; i < c.points; ++i) add_trail_point(id, make4f(float(i), 0, 10, 1), ZERO, side);
    common_vb_writer.begin([](int, int) {}, 4);
    render_trail_strips(trails[id], 0.5f);
    EXPECT_EQ(common_vb_writer.count, c.triangles) << c.points << " points, width " << c.width;
    EXPECT_EQ(common_vb_writer.bytesWritten(), c.triangles * 3 * EFFECT_VERTEX_SIZE);
    common_vb_writer.flush(true);
  }
}

// ---- lightning ----

TEST_F(CommonFxTest, LightningGeometryForAFixedSeed)
{
  const vec4f a = make4f(10, 5, 10, 1), b = make4f(20, 5, 10, 1);
  // Amplitude 0: the base path exactly; tangent 0: the straight segment
  // (at t squared along it).
  game_rnd_seed = 1234;
  add_lightning_fx(a, b, ZERO, 0.5f, 4.f, 0.f, 1.f, 0xFFFFFFFFu, 11);
  ASSERT_EQ(lightning_bolts.size(), 1u);
  const LightningBolt& straight = lightning_bolts[0];
  ASSERT_EQ(straight.points.size(), 11u);
  for (size_t i = 0; i < 11; ++i) {
    const float t = float(i) / 10.f;
    EXPECT_NEAR(straight.points[i].pos[0], 10.f + 10.f * t * t, 1e-4f);
    EXPECT_FLOAT_EQ(straight.points[i].pos[1], 5.f);
  }
  EXPECT_EQ(straight.points.front().color, 0u);
  EXPECT_EQ(straight.points.back().color, 0u);
  EXPECT_EQ(straight.points[5].color, 0xFFFFFFFFu);
  // u advances by length / (16 widths).
  EXPECT_NEAR(straight.points[10].u - straight.points[0].u, 10.f * 0.0625f / 0.5f, 1e-4f);

  // Four draws per bolt: the same seed gives the same bolt, the next differs.
  game_rnd_seed = 1234;
  add_lightning_fx(a, b, make4f(0, 8, 0, 0), 0.5f, 4.f, 1.f, 1.f, 0xFFFFFFFFu, 11);
  game_rnd_seed = 1234;
  add_lightning_fx(a, b, make4f(0, 8, 0, 0), 0.5f, 4.f, 1.f, 1.f, 0xFFFFFFFFu, 11);
  add_lightning_fx(a, b, make4f(0, 8, 0, 0), 0.5f, 4.f, 1.f, 1.f, 0xFFFFFFFFu, 11);
  ASSERT_EQ(lightning_bolts.size(), 4u);
  bool same = true, differ = false;
  for (size_t i = 0; i < 11; ++i) {
    same = same && v_all(v_cmp_eq(lightning_bolts[1].points[i].pos, lightning_bolts[2].points[i].pos));
    differ = differ || !v_all(v_cmp_eq(lightning_bolts[2].points[i].pos, lightning_bolts[3].points[i].pos));
  }
  EXPECT_TRUE(same);
  EXPECT_TRUE(differ);
  // The ends stay put whatever the noise.
  EXPECT_FLOAT_EQ(lightning_bolts[3].points[0].pos[0], 10.f);
  EXPECT_FLOAT_EQ(lightning_bolts[3].points[10].pos[0], 20.f);

  // An end more than 128 units away along x is its nearest image; fewer than
  // 3 points become 3.
  reset_lightning();
  add_lightning_fx(make4f(250, 0, 0, 1), make4f(5, 0, 0, 1), ZERO, 0.5f, 4.f, 0.f, 1.f, 0xFFFFFFFFu, 1);
  ASSERT_EQ(lightning_bolts[0].points.size(), 3u);
  EXPECT_FLOAT_EQ(lightning_bolts[0].points[2].pos[0], 261.f);
}

TEST_F(CommonFxTest, LightningEnvelopeLifeAndUnguardedDivisions)
{
  // At half its life the whole bolt is lit, at the end nothing.
  for (int k = 1; k < 10; ++k) EXPECT_FLOAT_EQ(lightning_envelope(0.5f, float(k) / 10.f), 1.f) << k;
  for (int k = 0; k <= 10; ++k) EXPECT_FLOAT_EQ(lightning_envelope(1.f, float(k) / 10.f), 0.f) << k;
  // Early on only the start is lit.
  EXPECT_GT(lightning_envelope(0.1f, 0.1f), 0.f);
  EXPECT_EQ(lightning_envelope(0.1f, 0.9f), 0.f);

  // Width, wavelength or life of 0 (or less, or not a number): no bolt.
  const vec4f a = make4f(0, 0, 0, 1), b = make4f(5, 0, 0, 1);
  add_lightning_fx(a, b, ZERO, 0.f, 4.f, 1.f, 1.f, 0xFFFFFFFFu, 5);
  add_lightning_fx(a, b, ZERO, 0.5f, 0.f, 1.f, 1.f, 0xFFFFFFFFu, 5);
  add_lightning_fx(a, b, ZERO, 0.5f, 4.f, 1.f, 0.f, 0xFFFFFFFFu, 5);
  add_lightning_fx(a, b, ZERO, 0.5f, 4.f, 1.f, -1.f, 0xFFFFFFFFu, 5);
  add_lightning_fx(a, b, ZERO, NAN, 4.f, 1.f, 1.f, 0xFFFFFFFFu, 5);
  EXPECT_TRUE(lightning_bolts.empty());

  // A bolt lives until the tick in which its age reaches its life; removal
  // moves the last bolt into the freed place.
  add_lightning_fx(a, b, ZERO, 0.5f, 4.f, 1.f, 0.1f, 0x11111111u, 5);
  add_lightning_fx(a, b, ZERO, 0.5f, 4.f, 1.f, 0.3f, 0x22222222u, 5);
  update_lightning(0.05f);
  EXPECT_EQ(lightning_bolts.size(), 2u);
  update_lightning(0.05f);
  ASSERT_EQ(lightning_bolts.size(), 1u);
  EXPECT_EQ(lightning_bolts[0].points[1].color, 0x22222222u);

  // Drawing a bolt seen exactly along its own line (no side) writes finite
  // vertices.
  reset_lightning();
  add_lightning_fx(make4f(0, 0, 5, 1), make4f(0, 0, 9, 1), ZERO, 0.5f, 4.f, 0.f, 1.f, 0xFFFFFFFFu, 4);
  common_vb_writer.begin([](int, int) {}, 4);
  render_lightning(0.f);
  EXPECT_EQ(common_vb_writer.count, 6);
  const float* v = (const float*)common_vb_writer.startPtr;
  for (int i = 0; i < 18; ++i) EXPECT_TRUE(std::isfinite(v[i * 6]) && std::isfinite(v[i * 6 + 1])) << i;
  common_vb_writer.flush(true);
}
}  // namespace

// ---- the effects pass on the device ----

namespace
{
template <int QUALITY>
class EffectsPassTest : public ObjectRenderTest<QUALITY>
{
 protected:
  using Base = ObjectRenderTest<QUALITY>;
  static void SetUpTestSuite()
  {
    Base::open_assets();
    for (const char* name : {"blendfx.dds", "glowfx.dds", "lightning.dds"})
      ASSERT_TRUE(write_flat_dds(Base::assets.path(name).c_str(), 4, 0xFFFFFFFFu));
    init_post_effects();
    scene_image = create_screen_render_texture();
    init_common_fx();
  }
  static void TearDownTestSuite()
  {
    close_common_fx();
    release_texture(scene_image);
    scene_image = nullptr;
    close_post_effects();
    Base::close_assets();
  }
  void SetUp() override
  {
    Base::SetUp();
    reset_common_fx();
    camera_at_origin();
  }

  // The scene image filled with one colour, the pass run, the pixels read.
  std::vector<uint32_t> run_pass(uint32_t scene_color)
  {
    set_render_target(scene_image, 0, true);
    clear_view(scene_color);
    set_zenable(true);
    render_common_fx(0.025f, 0.5f);
    std::vector<uint32_t> px;
    for (int y = 0; y < GlDeviceTest::HEIGHT; ++y)
      for (int x = 0; x < GlDeviceTest::WIDTH; ++x) px.push_back(GlDeviceTest::texture_pixel(scene_image, x, y));
    set_back_buffer_target();
    return px;
  }

  // Both target modes: the floating-point effect image and the pair of
  // 8-bit targets.
  template <class Fn>
  void in_both_modes(Fn fn)
  {
    fn("single target");
    Texture saved = effect_image;
    effect_image = nullptr;
    init_common_fx();
    fn("two targets");
    effect_image = saved;
    init_common_fx();
  }
};

typedef ::testing::Types<std::integral_constant<int, 0>, std::integral_constant<int, 1>> Qualities;
template <class Q>
class EffectsPass : public EffectsPassTest<Q::value>
{
};
TYPED_TEST_SUITE(EffectsPass, Qualities);

TYPED_TEST(EffectsPass, LeavesTheSceneAsItIsWhenNothingIsShown)
{
  this->in_both_modes([this](const char* mode) {
    for (uint32_t v : this->run_pass(0xFF336699u)) ASSERT_EQ(v, 0xFF336699u) << mode;
    // A particle still waiting for its delay: the whole pass runs, over an
    // empty effect image.
    add_glow_particle(make4f(0, 0, 10, 1), ZERO, ZERO, 1.f, 0.5f, 1.f, 0xFF00FF00u, 0, 0, 4, 0, 0, nullptr, nullptr,
                      nullptr);
    for (uint32_t v : this->run_pass(0xFF336699u)) ASSERT_EQ(v, 0xFF336699u) << mode;
    reset_common_fx();
  });
}

TYPED_TEST(EffectsPass, LiveEffectsChangeTheSceneWhereTheyAre)
{
  this->in_both_modes([this](const char* mode) {
    reset_common_fx();
    // A glow particle straight ahead lights the middle of the image only.
    add_glow_particle(make4f(0, 0, 10, 1), ZERO, ZERO, 1.f, 0.f, 1.f, 0xFF00FF00u, 0, 0, 4, 0, 0, nullptr, nullptr,
                      nullptr);
    std::vector<uint32_t> px = this->run_pass(0xFF000000u);
    const int w = GlDeviceTest::WIDTH, h = GlDeviceTest::HEIGHT;
    EXPECT_GT((px[(h / 2) * w + w / 2] >> 8) & 255, 200u) << mode;
    EXPECT_EQ(px[0], 0xFF000000u) << mode;
    EXPECT_EQ(common_fx_stats.particles, 1) << mode;

    // A blended particle covers what is behind it.
    reset_common_fx();
    add_blend_particle(make4f(0, 0, 10, 1), ZERO, ZERO, 1.f, 0.f, 1.f, 0xFFFF0000u, 0, 0, 4, 0, 0, nullptr, nullptr,
                       nullptr);
    px = this->run_pass(0xFF0000FFu);
    EXPECT_EQ(px[(h / 2) * w + w / 2] & 0x00FFFFFFu, 0x00FF0000u) << mode;
    EXPECT_EQ(px[0], 0xFF0000FFu) << mode;

    // A trail and a bolt light pixels too.
    reset_common_fx();
    const int id = add_trail_fx(make4f(-3, 0, 10, 1), ZERO, make4f(0, 1, 0, 0), 0.f, 0xFFFFFFFFu);
    for (int i = 1; i < 6; ++i) add_trail_point(id, make4f(-3.f + float(i), 0, 10, 1), ZERO, make4f(0, 1, 0, 0));
    set_trail_ramp(id, &default_trail_ramp);
    std::vector<uint32_t> lit = this->run_pass(0xFF000000u);
    int changed = 0;
    for (uint32_t v : lit) changed += v != 0xFF000000u;
    EXPECT_GT(changed, 0) << mode;

    reset_common_fx();
    add_lightning_fx(make4f(-3, -2, 10, 1), make4f(3, 2, 10, 1), ZERO, 0.3f, 2.f, 0.5f, 1.f, 0xFFFFFFFFu, 12);
    update_lightning(0.45f);
    lit = this->run_pass(0xFF000000u);
    changed = 0;
    for (uint32_t v : lit) changed += v != 0xFF000000u;
    EXPECT_GT(changed, 0) << mode;
  });
}
}  // namespace
