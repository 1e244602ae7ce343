// The world script's terrain and world natives: each forwarding native does
// exactly what the direct call does (arguments in script order, no extra
// draws), the circle brushes, the services the natives reach (sun, sound,
// plug-in height, splash) and the noise natives.
#include "natives_fixture.h"

#include "scripting/bitMap.h"
#include "scripting/worldGenClasses.h"

#include "scripting/worldNativesServices.h"

#include "engine/font.h"
#include "world/hmGen.h"
#include "world/houses.h"
#include "world/noise.h"

// The world grid's doubles, compiled once into test_scripting.
#include "world/world_services_doubles.cpp"

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

// ---- doubles of scripting/worldNativesServices.h ----

namespace natives_doubles
{
std::vector<SunCall> sun_calls;
std::vector<std::string> sound_events;
unsigned sound_channel = 0;
float land_height = 0.f;
int land_height_calls = 0;

static float answer_land_height(float, float)
{
  land_height_calls++;
  return land_height;
}

void reset()
{
  sun_calls.clear();
  sound_events.clear();
  sound_channel = 0;
  land_height = 0.f;
  land_height_calls = 0;
  bind_land_height(true);
}

void bind_land_height(bool bound) { get_land_height = bound ? answer_land_height : nullptr; }
}  // namespace natives_doubles

void set_sun_direction(vec4f dir, bool smooth) { natives_doubles::sun_calls.push_back({dir, smooth}); }

unsigned play_sound_event(const char* name)
{
  natives_doubles::sound_events.push_back(name);
  return natives_doubles::sound_channel;
}

float (*get_land_height)(float x, float z) = nullptr;

namespace
{

using namespace HeightmapData;

// Everything a terrain native may change.
struct WorldSnapshot
{
  std::vector<float> heights;
  std::vector<Surface> surfaces;
  std::vector<float> fluid;
  std::vector<uint8_t> perm;
  uint64_t seed;

  static WorldSnapshot take()
  {
    WorldSnapshot s;
    s.heights.assign(hmap, hmap + HMAP_CELLS);
    s.surfaces.assign(surface, surface + HMAP_CELLS);
    for (int i = 0; i < HMAP_CELLS; i++) s.fluid.push_back(water[cell_z(i)][cell_x(i)].amount);
    s.perm.assign(noise_perm, noise_perm + 512);
    s.seed = game_rnd_seed;
    return s;
  }
};

// A fixed, uneven world with some water and marks.
void prepare_world()
{
  world_doubles::reset();
  natives_doubles::reset();
  HeightmapData::reset();
  game_rnd_seed = 777;
  reseed_noise();
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = 10.f + 5.f * sinf(float(cell_x(i)) * 0.1f) + 3.f * cosf(float(cell_z(i)) * 0.07f);
    water[cell_z(i)][cell_x(i)].amount = (i % 7 == 0) ? 1.f : 0.f;
  }
  mark_rect(20, 20, 30, 30, MARK_HOUSE, MARK_HOUSE);
  game_rnd_seed = 0xC0FFEEull;
}

// The native data of a script ramp instance.
ColorRamp* script_color_ramp(NativesVM& t, const char* expr)
{
  sqbind::StackRestore restore(t.vm);
  sqbind::SqObject v = t.eval(expr);
  sq_pushobject(t.vm, v.o);
  SQUserPointer p = nullptr;
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(t.vm, -1, &p, sqbind::class_tag<SqColorRamp>())));
  return (ColorRamp*)p;
}

TEST(TerrainNatives, ForwardersMatchTheDirectCalls)
{
  NativesVM t;
  ASSERT_TRUE(t.run("::ramp <- ColorRamp.linear(0xFF0000FF, 0x80FF0000);"));
  ColorRamp* ramp = script_color_ramp(t, "ramp");
  struct Case
  {
    const char* code;
    std::function<void()> direct;
  } cases[] = {
    {"place_house(100, 50, -1)", [] { placeHouse(100, 50, -1, hmap, false); }},
    {"place_house(10.9, -3, 4)", [] { placeHouse(10, -3, 4, hmap, false); }},
    {"add_fast_noise(1, 5, ramp, GT_SAND, 200, 0.6)", [&] { addFastNoise(1, 5, ramp, GT_SAND, 200, 0.6f); }},
    {"add_fast_noise(0, 2, null, -1, 255, 0.5)", [] { addFastNoise(0, 2, nullptr, -1, 255, 0.5f); }},
    {"add_simplex_noise(0, 10, 8, 3, 0.5)", [] { addSimplexNoise(0, 10, 8, 3, 0.5f); }},
    {"gen_fault(30, 40, 1, 0.5, 12, 0.3, 4, ramp, GT_ROCK)",
     [&] { genFault(Point2{30, 40}, Point2{1, 0.5f}, 12, 0.3f, 4, ramp, GT_ROCK, 255, hmap); }},
    {"gen_crater(128, 64, 20, 0.3)", [] { genCrater(Point2{128, 64}, 20, 0.3f, hmap); }},
    {"add_voronoi_hills(16, 0, 8, 0.7)", [] { addVoronoiHills(16, 0, 8, 0.7f); }},
    {"gen_voronoi_faults(8, 0, 10, 2, 2, 3, 5)", [] { genVoronoiFaults(8, 0, 10, 2, 2, 3, 5); }},
    {"recenter_hmap()", [] { recenterHt(); }},
    {"flatten_circle(10, 20, 6, 3, 0.8, 2)", [] { flatten_circle(10, 20, 6, 3, 0.8f, 2, hmap); }},
    {"mark_rect(250, 3, 260, 7, 0x105, 0xFF)", [] { mark_rect(250, 3, 260, 7, 0x105, 0xFF); }},
    {"mark_circle(40.5, 60, 5, 2, 2)", [] { mark_circle(40.5f, 60, 5, 2, 2); }},
    {"mark_water(0.5, MARK_WATER, MARK_WATER)", [] { mark_water(0.5f, MARK_WATER, MARK_WATER); }},
    {"reseed_noise()", [] { reseed_noise(); }},
  };
  for (const Case& c : cases) {
    prepare_world();
    ASSERT_TRUE(t.run(c.code)) << c.code;
    WorldSnapshot by_script = WorldSnapshot::take();
    prepare_world();
    c.direct();
    WorldSnapshot direct = WorldSnapshot::take();
    EXPECT_TRUE(by_script.heights == direct.heights) << c.code;
    EXPECT_EQ(memcmp(by_script.surfaces.data(), direct.surfaces.data(), sizeof(Surface) * HMAP_CELLS), 0) << c.code;
    EXPECT_TRUE(by_script.fluid == direct.fluid) << c.code;
    EXPECT_TRUE(by_script.perm == direct.perm) << c.code;
    EXPECT_EQ(by_script.seed, direct.seed) << c.code << ": draws differ";
  }
}

TEST(TerrainNatives, QueriesReturnWhatTheDirectCallsReturn)
{
  NativesVM t;
  prepare_world();
  natives_doubles::land_height = 42.f;
  struct Case
  {
    const char* expr;
    std::function<double()> direct;
  } cases[] = {
    {"test_rect_mark(20, 20, 30, 30, MARK_HOUSE, MARK_HOUSE)", [] { return 1.0; }},
    {"test_rect_mark(20, 20, 31, 30, MARK_HOUSE, MARK_HOUSE)", [] { return 0.0; }},
    {"test_circle_mark(25, 25, 4, 0xFF, MARK_HOUSE)", [] { return 1.0; }},
    {"noise1(3.3)", [] { return noise1(3.3f); }},
    {"tiled_noise2(1.5, 2.25, 16)", [] { return tiled_noise2(1.5f, 2.25f, 16); }},
    {"get_average_circle_height(7.5, 3, 2.5)",
     [] { return get_average_circle_height(7.5f, 3, 2.5f, hmap); }},
    {"fractal_noise1(0.3, 4, null, 0.5)", [] { return fractal_noise1(0.3f, 4, nullptr, 0.5f); }},
  };
  for (const Case& c : cases) {
    sqbind::SqObject v = t.eval(c.expr);
    double got = sq_isbool(v.o) ? double(sq_objtobool(&v.o)) : double(sq_objtofloat(&v.o));
    EXPECT_EQ(got, c.direct()) << c.expr;
  }
  // The half range comes back, and the range is centred.
  prepare_world();
  float lo, hi;
  calcHtRange(lo, hi);
  EXPECT_EQ(t.evalFloat("recenter_hmap()"), (hi - lo) * 0.5f);
}

// Cells of a zero grid that a circle brush changed.
std::vector<int> changed_cells(const std::vector<float>& grid)
{
  std::vector<int> r;
  for (int i = 0; i < HMAP_CELLS; i++)
    if (grid[i] != 0.f) r.push_back(i);
  return r;
}

// Cells within r of (x, z) on the wrapping grid, strictly inside.
std::vector<int> cells_inside(float x, float z, float r)
{
  std::vector<int> r_cells;
  for (int i = 0; i < HMAP_CELLS; i++) {
    float dx = wrap_world_coord(float(cell_x(i)) - x), dz = wrap_world_coord(float(cell_z(i)) - z);
    if (dx * dx + dz * dz < r * r) r_cells.push_back(i);
  }
  return r_cells;
}

TEST(CircleBrushes, TouchOnlyCellsStrictlyInsideAndWrap)
{
  struct Case
  {
    float x, z, r;
  } cases[] = {
    {1, 10, 3},       // exactly 3 away is left out
    {200.5f, 0.25f, 4.2f},
    {255.75f, 255.5f, 2},
    {64, 64, 1},      // only the centre
    {64.5f, 64.5f, 0.5f},  // no cell at all
  };
  for (const Case& c : cases) {
    std::vector<float> grid(HMAP_CELLS, 0.f);
    circle_brush(c.x, c.z, c.r, 1.f, 1.f, grid.data());
    EXPECT_EQ(changed_cells(grid), cells_inside(c.x, c.z, c.r)) << c.x << "," << c.z << " r " << c.r;
  }
  // Row 10 of the circle round (1, 10) with r = 3: cells 255, 0, 1, 2, 3.
  std::vector<float> grid(HMAP_CELLS, 0.f);
  circle_brush(1, 10, 3, 1, 1, grid.data());
  for (int x : {255, 0, 1, 2, 3}) EXPECT_NE(grid[cell_index(x, 10)], 0.f) << x;
  for (int x : {254, 4}) EXPECT_EQ(grid[cell_index(x, 10)], 0.f) << x;
}

TEST(CircleBrushes, FalloffAndDegenerateRadii)
{
  std::vector<float> grid(HMAP_CELLS, 1.f);
  // Exponent 1: the centre gets all of amount, a cell at d2 = 4 of r^2 = 16 three quarters.
  circle_brush(50, 50, 4, 2, 1, grid.data());
  EXPECT_EQ(grid[cell_index(50, 50)], 3.f);
  EXPECT_EQ(grid[cell_index(52, 50)], 2.5f);
  EXPECT_EQ(grid[cell_index(54, 50)], 1.f);

  // Strength 1 puts the centre exactly on target; elsewhere part of the way.
  std::fill(grid.begin(), grid.end(), 0.5f);
  flatten_circle(50, 50, 4, 3, 1, 1, grid.data());
  EXPECT_EQ(grid[cell_index(50, 50)], 3.f);
  EXPECT_EQ(grid[cell_index(52, 50)], 0.75f * 1 * (3 - 0.5f) + 0.5f);
  EXPECT_EQ(grid[cell_index(54, 50)], 0.5f);

  // No radius, no change.
  std::vector<float> before = grid;
  for (float r : {0.f, -3.f, NAN}) {
    circle_brush(50, 50, r, 5, 1, grid.data());
    flatten_circle(50, 50, r, 9, 1, 1, grid.data());
  }
  EXPECT_TRUE(grid == before);
}

TEST(CircleBrushes, AverageHeightStartsWithThePluginSample)
{
  natives_doubles::reset();
  natives_doubles::land_height = 10.f;
  std::vector<float> grid(HMAP_CELLS, 1.f);
  grid[cell_index(5, 5)] = 4.f;
  // r < 0 and r = 0: the plug-in's height alone.
  EXPECT_EQ(get_average_circle_height(5, 5, -2, grid.data()), 10.f);
  EXPECT_EQ(get_average_circle_height(5, 5, 0, grid.data()), 10.f);
  // r = 1.5 round a cell centre: the 3 x 3 block and the sample.
  EXPECT_EQ(get_average_circle_height(5, 5, 1.5f, grid.data()), float((10.0 + 4 + 8) / 10));
  EXPECT_EQ(natives_doubles::land_height_calls, 3);
  // Without a plug-in the grid's own height stands in.
  natives_doubles::bind_land_height(false);
  EXPECT_EQ(get_average_circle_height(5.5f, 5, 0, grid.data()), 2.5f);
  natives_doubles::bind_land_height(true);
}

TEST(TerrainNatives, SunPlayerSoundAndSplash)
{
  NativesVM t;
  natives_doubles::reset();

  ASSERT_TRUE(t.run("set_sun_dir(make4f(1, 2, 3, 0))"));
  ASSERT_EQ(natives_doubles::sun_calls.size(), 1u);
  expect_vec_near(natives_doubles::sun_calls[0].dir, 1, 2, 3, 0, 0, "sun");
  EXPECT_FALSE(natives_doubles::sun_calls[0].smooth);

  script_player_pos = make4f(0, 0, 0, 1);
  ASSERT_TRUE(t.run("set_player_pos(make4f(1, 2, 3, 4))"));
  expect_vec_near(script_player_pos, 1, 2, 3, 4, 0, "player");

  // Channel handles are 32-bit values, sign-extended like every 32-bit result.
  natives_doubles::sound_channel = 0xFFFFFF00u;
  EXPECT_EQ(t.evalInt("play_sound_event(\"use_portal\")"), int32_t(0xFFFFFF00u));
  natives_doubles::sound_channel = 0;
  EXPECT_EQ(t.evalInt("play_sound_event(\"nothing\")"), 0);
  EXPECT_EQ(natives_doubles::sound_events, (std::vector<std::string>{"use_portal", "nothing"}));

  ASSERT_TRUE(t.run("show_splash(\"Raising mountains\", 0.5)"));
  EXPECT_STREQ(splash_text.buffer, "Raising mountains");
  EXPECT_EQ(splash_progress, 0.5f);
  // A text longer than the splash holds is cut, not fatal.
  ASSERT_TRUE(t.run("local s = \"\"; for (local i = 0; i < 300; i++) s += \"x\"; show_splash(s, -1)"));
  EXPECT_EQ(strlen(splash_text.buffer), 255u);
}

TEST(TerrainNatives, DebugObjectPrintsOneLine)
{
  NativesVM t;
  EXPECT_EQ(capture_stdout([&] { ASSERT_TRUE(t.run("debug_object(\"hello\")")); }), "hello\n");
  EXPECT_EQ(capture_stdout([&] { ASSERT_TRUE(t.run("debug_object(5)")); }), "(null)\n");
}

TEST(TerrainNatives, FractalNoiseOctavesAndCurves)
{
  NativesVM t;
  game_rnd_seed = 99;
  // Octaves: coordinates 2c + 0.5, period doubled, amplitude p, p^2.
  float x = 1.25f, z = 3.5f;
  float expected = tiled_noise2(x, z, 16.f);
  expected += 0.5f * tiled_noise2(2.f * x + 0.5f, 2.f * z + 0.5f, 32.f);
  expected += 0.25f * tiled_noise2(2.f * (2.f * x + 0.5f) + 0.5f, 2.f * (2.f * z + 0.5f) + 0.5f, 64.f);
  EXPECT_EQ(t.evalFloat("tiled_fractal_noise2(1.25, 3.5, 16, 3, null, 0.5)"), expected);
  EXPECT_EQ(t.evalFloat("tiled_fractal_noise2(1.25, 3.5, 16, 1, null, 0.5)"), tiled_noise2(x, z, 16.f));
  EXPECT_EQ(t.evalFloat("tiled_fractal_noise2(1.25, 3.5, 16, 0, null, 0.5)"), tiled_noise2(x, z, 16.f));
  // A constant curve replaces every octave's noise.
  EXPECT_EQ(t.evalFloat("tiled_fractal_noise2(1.25, 3.5, 16, 3, FloatRamp.constRamp(0.25), 0.5)"),
            0.25f + 0.5f * 0.25f + 0.25f * 0.25f);
  EXPECT_EQ(t.evalFloat("fractal_noise1(0.7, 3, FloatRamp.constRamp(2), 0.5)"), 2.f + 1.f + 0.5f);
  // A rising curve maps noise -1..1 onto its samples.
  float n = tiled_noise2(x, z, 16.f);
  EXPECT_NEAR(t.evalFloat("tiled_fractal_noise2(1.25, 3.5, 16, 1, FloatRamp.linear(0, 2), 0.5)"), n + 1.f, 1e-5f);
  // Noise natives draw nothing.
  EXPECT_EQ(game_rnd_seed, 99u);
}

}  // namespace

TEST(TerrainNatives, GeneratorPreconditionsAreScriptErrorsNotFatal)
{
  NativesVM t;
  const char* range = "height range must satisfy 0 <= min_ht <= max_ht";
  const char* tile = "tile must be a positive power of two";
  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
      {"add_fast_noise(-1.0, 2.0, null, 0, 255, 0.5)", range},
      {"add_fast_noise(3.0, 2.0, null, 0, 255, 0.5)", range},
      {"add_simplex_noise(-1.0, 2.0, 64, 4, 0.5)", range},
      {"add_simplex_noise(0.0, 2.0, 48, 4, 0.5)", tile},
      {"add_voronoi_hills(0, 0.0, 1.0, 4.0)", tile},
      {"gen_voronoi_faults(-64, 0.0, 1.0, 1.0, 4, 2, 1.0)", tile},
  };
  for (const Case& c : cases) EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
  // The VM goes on working afterwards.
  EXPECT_EQ(t.errorOf("add_simplex_noise(0.0, 2.0, 64, 1, 0.5)"), "");
}

// A radius, rectangle or count far beyond what the 256 x 256 wrapping world
// holds once froze the game for minutes; now it is a script error at once,
// and the sizes the world scripts use still run.
TEST(TerrainNatives, WorkIsBoundedByWhatTheWorldHolds)
{
  NativesVM t;
  register_bit_map(t.vm);
  register_droplet_erosion(t.vm);
  const char* calls[] = {
      "flatten_circle(0.0, 0.0, 1e9, 1.0, 1.0, 1.0)",
      "flatten_circle(0.0, 0.0, 1e30 * 1e30, 1.0, 1.0, 1.0)",
      "get_average_circle_height(0.0, 0.0, 3e8)",
      "gen_crater(1.0, 1.0, 5e7, 0.3)",
      "gen_crater(1.0, 1.0, -5e7, 0.3)",
      "HmapMask(0.0).processRect(-1e9, 0.0, 1e9, 3.0, function(x, z, v) { return v; })",
      "HmapMask(0.0).processRect(0.0, -3e9, 3.0, 3e9, function(x, z, v) { return v; })",
      "BitMap(function(x, z) { return true; }).placePoints(100000, function(x, z) {})",
      "BitMap(function(x, z) { return true; }).placeCircles(array(5000, 1.0), function(x, z, r) {})",
      "gen_droplet_erosion(2000000000, null)",
      "gen_droplet_erosion(-1, null)",
      "add_simplex_noise(0.0, 2.0, 64, 100000000, 0.5)",
      "fractal_noise1(0.5, 2000000000, null, 0.5)",
      "tiled_fractal_noise2(0.5, 0.5, 4, 2000000000, null, 0.5)",
      "HmapMask.fromSimplexNoise(1.0, 4.0, 2000000000, null, 0.5)",
  };
  for (const char* c : calls) {
    SCOPED_TRACE(c);
    EXPECT_NE(t.errorOf(c).find("out of range"), std::string::npos) << t.errorOf(c);
  }
  const char* sane[] = {
      "flatten_circle(10.0, 10.0, 300.0, 1.0, 1.0, 1.0)",
      "get_average_circle_height(0.0, 0.0, 1000.0)",
      "gen_crater(1.0, 1.0, 11.0, 0.3)",
      "HmapMask(0.0).processRect(-600.0, 0.0, 400.0, 3.0, function(x, z, v) { return v + 1; })",
      "BitMap(function(x, z) { return true; }).placePoints(20, function(x, z) {})",
      "gen_droplet_erosion(15000, null)",
      "fractal_noise1(0.5, 32, null, 0.5)",
  };
  for (const char* c : sane) EXPECT_EQ(t.errorOf(c), "") << c;
}
