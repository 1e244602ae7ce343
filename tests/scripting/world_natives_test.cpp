// The world script's general natives: call rules and their error texts, the
// 32-bit integer boundary, vectors, random numbers and their draw counts,
// colours and the constants.
#include "natives_fixture.h"

#include "engine/color.h"
#include "engine/timer.h"
#include "world/noise.h"

#include <cmath>

namespace
{

const char* TYPE_ERROR = "sq_get*() failed (type error)";
const char* INST_ERROR = "getInst: invalid argument type";

TEST(WorldNatives, WrongArgumentsRaiseTheFixedTexts)
{
  NativesVM t;
  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
    // numbers, strings and missing arguments
    {"rndf(\"a\", 1)", TYPE_ERROR},
    {"rndf(1)", TYPE_ERROR},
    {"set_rnd_seed(\"7\")", TYPE_ERROR},
    {"make4f()", TYPE_ERROR},
    {"make4f(1, 2, \"z\", 4)", TYPE_ERROR},
    {"show_splash(5, 0.5)", TYPE_ERROR},
    {"lerpcolor(0, 1, null)", TYPE_ERROR},
    // class arguments: wrong class, a number, and null where a vector is needed
    {"dot3(1, make4f(1))", INST_ERROR},
    {"dot3(make4f(1), null)", INST_ERROR},
    {"norm3(HmapMask(0))", INST_ERROR},
    {"set_sun_dir([1, 2, 3, 4])", INST_ERROR},
    {"fractal_noise1(0.5, 2, make4f(1), 0.5)", INST_ERROR},
    {"tocolor(\"red\")", INST_ERROR},
    {"mix3colors(\"a\", 1, 0, 1, 0, 1)", INST_ERROR},
    // vec4f lanes
    {"make4f(1)[4]", "vec4f index out of range"},
    {"make4f(1)[-1] = 2", "vec4f index out of range"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
  // Null is a valid "no curve" for a pointer parameter.
  EXPECT_EQ(t.errorOf("fractal_noise1(0.5, 2, null, 0.5)"), "");
}

TEST(WorldNatives, IntegersAreTruncatedAndReadAsLow32Bits)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    int index;
  } cases[] = {
    {"get_noise_hash1(3.9)", 3},          // a float truncates toward zero
    {"get_noise_hash1(-0.9)", 0},         // ... also below zero
    {"get_noise_hash1(0x100000005)", 5},  // bits above 31 are dropped
    {"get_noise_hash1(-1)", 255},
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalInt(c.expr), noise_perm[c.index]) << c.expr;
  EXPECT_EQ(t.evalInt("get_noise_hash2(-1, 258)"), noise_perm[noise_perm[2] + 255]);

  // Seeds are 32-bit integers, sign-extended.
  struct Seed
  {
    const char* code;
    uint64_t state;
  } seeds[] = {
    {"set_rnd_seed(0)", 0},
    {"set_rnd_seed(-1)", 0xFFFFFFFFFFFFFFFFull},
    {"set_rnd_seed(0xFFFFFFFF)", 0xFFFFFFFFFFFFFFFFull},
    {"set_rnd_seed(0x7FFFFFFF)", 0x7FFFFFFFull},
    {"set_rnd_seed(0x80000000)", 0xFFFFFFFF80000000ull},
    {"set_rnd_seed(0x100000002)", 2},
  };
  for (const Seed& s : seeds) {
    game_rnd_seed = 12345;
    ASSERT_TRUE(t.run(s.code)) << s.code;
    EXPECT_EQ(game_rnd_seed, s.state) << s.code;
  }
}

TEST(WorldNatives, RandomNativesStepTheSeedOnceEach)
{
  NativesVM t;
  const uint64_t start = 0x0123456789ABCDEFull;
  const uint64_t next = stepped_seed(start, 1);
  const uint32_t hi = uint32_t(next >> 32);
  const double u = double(hi) / 4294967296.0;
  struct Case
  {
    const char* expr;
    double expected;
  } cases[] = {
    {"hmrnd()", double(hi & 255)},
    {"irnd()", double(hi & 0x7FFFFFFF)},
    {"frnd()", double(float(u))},
    {"hmfrnd()", double(float(u * 256))},
    {"srnd()", double(float(2 * u - 1))},
    {"hmsrnd()", double(float((2 * u - 1) * 128))},
    {"rndf(10, 20)", double(float(10 + 10 * u))},
  };
  for (const Case& c : cases) {
    game_rnd_seed = start;
    EXPECT_EQ(t.evalNumber(c.expr), c.expected) << c.expr;
    EXPECT_EQ(game_rnd_seed, next) << c.expr << " must make exactly one draw";
  }

  // A call that fails on its arguments draws nothing.
  game_rnd_seed = start;
  EXPECT_EQ(t.errorOf("rndf(1, \"x\")"), TYPE_ERROR);
  EXPECT_EQ(game_rnd_seed, start);

  // Several calls in one script draw in order.
  game_rnd_seed = start;
  ASSERT_TRUE(t.run("hmrnd(); frnd(); rndf(0, 1); irnd();"));
  EXPECT_EQ(game_rnd_seed, stepped_seed(start, 4));
}

TEST(WorldNatives, KnownSequenceFromSeedZero)
{
  NativesVM t;
  ASSERT_TRUE(t.run("set_rnd_seed(0); ::a <- irnd(); ::b <- hmrnd();"));
  EXPECT_EQ(t.evalInt("a"), 335903614);
  EXPECT_EQ(t.evalInt("b"), 17);
}

TEST(WorldNatives, UnitDrawCloseToOneReachesTheScriptAsOne)
{
  NativesVM t;
  // The state whose next step has high bits 0xFFFFFFFF: s = (target - C) * A^-1.
  const uint64_t A = 6364136223846793005ull, C = 1442695040888963407ull;
  uint64_t inv = A;  // Newton iteration for the inverse modulo 2^64
  for (int i = 0; i < 6; i++) inv *= 2 - A * inv;
  const uint64_t before = (0xFFFFFFFF00000000ull - C) * inv;
  ASSERT_EQ(stepped_seed(before, 1) >> 32, 0xFFFFFFFFull);

  game_rnd_seed = before;
  EXPECT_EQ(t.evalFloat("frnd()"), 1.0f);
  game_rnd_seed = before;
  EXPECT_EQ(t.evalFloat("hmfrnd()"), 256.0f);
  game_rnd_seed = before;
  EXPECT_EQ(t.evalFloat("hmsrnd()"), 128.0f);
}

int64_t fixed_clock() { return 0x1234567890ll; }

TEST(WorldNatives, RandomizeTakesTheReferenceTime)
{
  NativesVM t;
  set_ref_time_source(fixed_clock);
  ASSERT_TRUE(t.run("randomize_rnd_seed()"));
  set_ref_time_source(nullptr);
  EXPECT_EQ(game_rnd_seed, 0x1234567890ull);
}

TEST(WorldNatives, WrapKeepsHalfOpenRange)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    float expected;
  } cases[] = {
    {"wrap(128)", 128}, {"wrap(-128)", 128}, {"wrap(129)", -127}, {"wrap(384)", 128},
    {"wrap(-1)", -1},   {"wrap(256)", 0},    {"wrap(-300.5)", -44.5f},
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalFloat(c.expr), c.expected) << c.expr;
}

TEST(WorldNatives, VectorHelpers)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    float x, y, z, w;
  } cases[] = {
    // make4f takes four lanes only with exactly four arguments
    {"make4f(1, 2)", 1, 1, 1, 1},
    {"make4f(1, 2, 3)", 1, 1, 1, 1},
    {"make4f(1, 2, 3, 4)", 1, 2, 3, 4},
    {"make4f(1, 2, 3, 4, 5)", 1, 1, 1, 1},
    // products and lengths broadcast to all lanes; w never takes part
    {"dot3(make4f(1, 2, 3, 100), make4f(4, 5, 6, 100))", 32, 32, 32, 32},
    {"cross(make4f(1, 0, 0, 7), make4f(0, 1, 0, 7))", 0, 0, 1, 0},
    {"len3Sq(make4f(3, 4, 12, 9))", 169, 169, 169, 169},
    {"len3(make4f(3, 4, 12, 9))", 13, 13, 13, 13},
    {"norm3(make4f(3, 0, 4, 10))", 0.6f, 0, 0.8f, 2},
    {"norm3(make4f(0, 0, 0, 5))", 0, 0, 0, 0},
    {"norm3a(make4f(0, 0, 0, 5))", 0, 0, 0, 0},
    {"-make4f(1, -2, 0, 3)", -1, 2, 0, -3},
  };
  for (const Case& c : cases) expect_vec_near(t.evalVec(c.expr), c.x, c.y, c.z, c.w, 1e-6f, c.expr);
  expect_vec_near(t.evalVec("norm3a(make4f(0, 3, 4, 0))"), 0, 0.6f, 0.8f, 0, 1e-3f, "norm3a");
  EXPECT_EQ(t.evalFloat("gety(make4f(1, 2, 3, 4))"), 2.f);
  EXPECT_EQ(t.evalFloat("getz(make4f(1, 2, 3, 4))"), 3.f);
}

TEST(WorldNatives, DirectionsFromTurns)
{
  NativesVM t;
  expect_vec_near(t.evalVec("make_dir_xz(0)"), 1, 0, 0, 0, 0, "0 turns");
  expect_vec_near(t.evalVec("make_dir_xz(0.25)"), 0, 0, 1, 0, 1e-7f, "quarter");
  expect_vec_near(t.evalVec("make_dir_xz(-0.5)"), -1, 0, 0, 0, 1e-7f, "half back");
  // (u, v, turns): cos(t) u + sin(t) v
  expect_vec_near(t.evalVec("make_dir_2d(make4f(1, 0, 0, 0), make4f(0, 2, 0, 0), 0.25)"), 0, 2, 0, 0, 1e-6f,
                  "2d quarter");
  expect_vec_near(t.evalVec("make_dir_2d(make4f(0, 0, 1, 1), make4f(1, 0, 0, 0), 0.125)"), 0.70710677f, 0,
                  0.70710677f, 0.70710677f, 1e-6f, "2d eighth");
  // Arguments are read from the last: a bad angle is reported before a bad vector.
  EXPECT_EQ(t.errorOf("make_dir_2d(0.25, make4f(1), 0.5)"), INST_ERROR);
  EXPECT_EQ(t.errorOf("make_dir_2d(0.25, make4f(1), make4f(1))"), TYPE_ERROR);
}

TEST(WorldNatives, HsvAndLchColours)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    float r, g, b, a;
  } cases[] = {
    {"hsv2rgba(0, 1, 1, 1)", 1, 0, 0, 1},
    {"hsv2rgba(360, 1, 1, 1)", 1, 0, 0, 1},
    {"hsv2rgba(-240, 1, 1, 0.5)", 0, 1, 0, 0.5f},
    {"hsv2rgba(120, 1, 0.5, 1)", 0, 0.5f, 0, 1},
    {"hsv2rgba(240, 0.5, 1, 1)", 0.5f, 0.5f, 1, 1},
    {"hsv2rgba(300, 1, 1, 1)", 1, 0, 1, 1},
    {"hsv2rgba(77, 0, 0.25, 0.75)", 0.25f, 0.25f, 0.25f, 0.75f},
    {"lch2rgba(0, 0, 0, 1)", 0, 0, 0, 1},
    {"lch2rgba(100, 0, 0, 1)", 1, 1, 1, 1},
    {"lch2rgba(50, 0, 123, 0.5)", 0.4663f, 0.4663f, 0.4663f, 0.5f},
  };
  for (const Case& c : cases) expect_vec_near(t.evalVec(c.expr), c.r, c.g, c.b, c.a, 2e-4f, c.expr);
  // Unclamped: lch outside the sRGB gamut gives lanes beyond [0, 1].
  vec4f red = t.evalVec("lch2rgba(50, 120, 40, 1)");
  EXPECT_GT(red[0], 1.f);
  EXPECT_LT(red[1], 0.f);
}

TEST(WorldNatives, RgbToHsv)
{
  struct Case
  {
    vec4f in;
    float h, s, v;
  } cases[] = {
    {make4f(0, 0, 0, 1), 0, 0, 0},
    {make4f(0.5f, 0.5f, 0.5f, 1), 0, 0, 0.5f},
    {make4f(1, 0, 0, 0), 0, 1, 1},
    {make4f(1, 0, 0.5f, 0), 330, 1, 1},
    {make4f(0.25f, 1, 0, 0), 105, 1, 1},
    {make4f(0, 0.5f, 1, 0), 210, 1, 1},
  };
  for (const Case& c : cases) expect_vec_near(rgb2hsv(c.in), c.h, c.s, c.v, 0, 1e-4f, "rgb2hsv");
  // Round trip through hsv2rgba for a few colours.
  for (float h : {10.f, 95.f, 200.f, 290.f}) {
    vec4f rgb = hsv2rgba(h, 0.6f, 0.8f, 1.f);
    expect_vec_near(rgb2hsv(rgb), h, 0.6f, 0.8f, 0, 1e-3f, "round trip");
  }
}

TEST(WorldNatives, ColourIntegersKeepTheir32BitValue)
{
  NativesVM t;
  // Packed colours come back as 32-bit values, sign-extended; scripts compare
  // them masked.
  struct Case
  {
    const char* expr;
    int64_t value;
  } cases[] = {
    {"tocolor(0xFF00FF00)", int32_t(0xFF00FF00u)},
    {"tocolor(0x1FF00FF00)", int32_t(0xFF00FF00u)},
    {"tocolor(0x00123456)", 0x00123456},
    {"tocolor(1.0)", -1},
    {"tocolor(1.5)", -1},
    {"tocolor(make4f(1, 0, 0, 1))", int32_t(0xFFFF0000u)},
    {"tocolor([0, 0, 1, 0.5])", int32_t(0x800000FFu)},  // 127.5 rounds to even: 128
    {"tocolor(0xFF00FF00) & 0xFFFFFFFF", 0xFF00FF00ll},
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalInt(c.expr), c.value) << c.expr;
}

TEST(WorldNatives, ColourMixing)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    float r, g, b, a;
  } cases[] = {
    {"lerpcolor(0xFF000000, 0xFFFFFFFF, 0.5)", 0.5f, 0.5f, 0.5f, 1},
    {"lerpcolor(make4f(0), [1, 2, 3, 4], 0.25)", 0.25f, 0.5f, 0.75f, 1},
    {"lerpcolor(0, 1.0, 2)", 2, 2, 2, 2},  // t is not clamped
    {"mix3colors(0xFFFF0000, 0.5, 0xFF00FF00, 0.25, 0xFF0000FF, 2)", 0.5f, 0.25f, 2, 2.75f},
    {"mix4colors(1.0, 1, 1.0, 1, 1.0, 1, make4f(1, 0, 0, 0), 1)", 4, 3, 3, 3},
  };
  for (const Case& c : cases) expect_vec_near(t.evalVec(c.expr), c.r, c.g, c.b, c.a, 1e-6f, c.expr);
}

TEST(WorldNatives, RoundTiesToEven)
{
  NativesVM t;
  struct Case
  {
    const char* expr;
    int64_t value;
  } cases[] = {{"round(2.5)", 2}, {"round(3.5)", 4}, {"round(-2.5)", -2}, {"round(-2.6)", -3}, {"round(7)", 7}};
  for (const Case& c : cases) EXPECT_EQ(t.evalInt(c.expr), c.value) << c.expr;
}

TEST(WorldNatives, ConstantsLiveInTheConstantTable)
{
  NativesVM t;
  struct Case
  {
    const char* name;
    int64_t value;
  } cases[] = {
    {"HMAP_SIZE", 256}, {"HMAP_SIZE_SHIFT", 8}, {"GT_NONE", -1},  {"GT_SOIL", 3},     {"ST_OPEN", 0},
    {"ST_NONE", 0},     {"ST_ROAD", 4},         {"MARK_OBJ", 1},  {"MARK_WATER", 8},  {"MARK_PLACEMENT", 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t.evalInt(c.name), c.value) << c.name;
    std::string in_root = std::string("\"") + c.name + "\" in getroottable()";
    EXPECT_FALSE(t.evalBool(in_root.c_str())) << c.name;
  }
}

}  // namespace
