// HmapMask: construction, cell access and bilinear sampling with wrap,
// min/max, the per-cell callbacks, the factories with their draw counts, and
// the natives that write masks and colours into the world.
#include "natives_fixture.h"

#include "engine/color.h"
#include "world/hmGen.h"
#include "world/noise.h"

#include <cmath>
#include <cstring>

namespace
{

using namespace HeightmapData;

const char* TYPE_ERROR = "sq_get*() failed (type error)";
const char* INST_ERROR = "getInst: invalid argument type";

// A flat, dry, unmarked world and a fixed seed.
void clear_world()
{
  HeightmapData::reset();
  memset(hmap, 0, sizeof(hmap));
  game_rnd_seed = 4242;
}

TEST(HmapMask, ConstructionAndCellAccess)
{
  NativesVM t;
  ASSERT_TRUE(t.run("::half <- HmapMask(0.5); ::three <- HmapMask(3); "
                    "::idx <- HmapMask(function(x, z) { return x + z * 1000; });"));
  HmapMask* half = t.evalMask("half");
  ASSERT_NE(half, nullptr);
  for (int i = 0; i < HMAP_CELLS; i += 97) EXPECT_EQ(half->cells[i], 0.5f);
  EXPECT_EQ(t.evalMask("three")->cells[65535], 3.f);

  struct Case
  {
    const char* expr;
    float value;
  } cases[] = {
    {"idx.getraw(3, 2)", 2003},
    {"idx.getraw(-1, 256)", 255},          // wraps to cell (255, 0)
    {"idx.getraw(2.9, 0x100000001)", 1002},  // floats truncate, low 32 bits count
    {"idx.get(1.25, 2.5)", 2501.25f},
    {"idx.get(7, 9)", 9007},
    {"idx.get(255.5, 0)", 127.5f},          // halfway between cells 255 and 0
    {"idx.get(-0.5, 0)", 127.5f},
    {"idx.get(0, 255.5)", 127500},          // rows 255 and 0
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalFloat(c.expr), c.value) << c.expr;

  // A callback that fails stops construction with its error.
  EXPECT_EQ(t.errorOf("HmapMask(function(x, z) { if (x == 7) throw \"bad cell\"; return 0; })"),
            "bad cell");
  EXPECT_EQ(t.errorOf("idx.getraw(\"a\", 0)"), TYPE_ERROR);
  EXPECT_EQ(t.errorOf("HmapMask.getraw.call(make4f(1), 0, 0)"), "invalid 'this' in C++ method call");
}

TEST(HmapMask, MinMaxArray)
{
  NativesVM t;
  ASSERT_TRUE(t.run("::m <- HmapMask(-2.5); ::mm <- m.calcMinMax();"));
  EXPECT_EQ(t.evalInt("mm.len()"), 2);
  EXPECT_EQ(t.evalFloat("mm[0]"), -2.5f);
  EXPECT_EQ(t.evalFloat("mm[1]"), -2.5f);
  ASSERT_TRUE(t.run("::m <- HmapMask(function(x, z) { return (x == 9 && z == 200) ? -7 : (x == 255 && z == 255) "
                    "? 11.5 : x * 0.01; }); ::mm <- m.calcMinMax();"));
  EXPECT_EQ(t.evalFloat("mm[0]"), -7.f);
  EXPECT_EQ(t.evalFloat("mm[1]"), 11.5f);
}

TEST(HmapMask, ProcessRectVisitsTheCoveredIntegers)
{
  NativesVM t;
  struct Case
  {
    const char* bounds;
    const char* visits;  // "x,z;" per call, in order
  } cases[] = {
    {"0.2, 0, 2.0, 0", "1,0;2,0;"},               // 0.2 rounds up to 1
    {"254, 7, 257, 7", "254,7;255,7;256,7;257,7;"},  // unwrapped coordinates
    {"3, -1, 3.9, 0.5", "3,-1;3,0;"},
    {"7, 5, 7, 5", "7,5;"},                        // integer bounds are inside
    {"5, 5, 4.5, 9", ""},                          // empty range
  };
  for (const Case& c : cases) {
    std::string code = std::string("::m <- HmapMask(1); ::seen <- \"\"; m.processRect(") + c.bounds +
                       ", function(x, z, v) { ::seen += x + \",\" + z + \";\"; return v + 1; });";
    ASSERT_TRUE(t.run(code.c_str())) << c.bounds;
    sqbind::SqObject seen = t.eval("seen");
    EXPECT_STREQ(sq_objtostring(&seen.o), c.visits) << c.bounds;
  }
  // Wrapped cells are the ones written.
  ASSERT_TRUE(t.run("::m <- HmapMask(1); m.processRect(254, 7, 257, 7, function(x, z, v) { return v + x; });"));
  HmapMask* m = t.evalMask("m");
  EXPECT_EQ(m->at(254, 7), 255.f);
  EXPECT_EQ(m->at(0, 7), 257.f);
  EXPECT_EQ(m->at(1, 7), 258.f);
  EXPECT_EQ(m->at(2, 7), 1.f);
}

TEST(HmapMask, ProcessAllRunsRowByRow)
{
  NativesVM t;
  ASSERT_TRUE(t.run("::m <- HmapMask(2); ::n <- 0; ::first <- null; ::last <- null;"
                    "m.processAll(function(x, z, v) { if (n == 0) first = [x, z]; last = [x, z]; n++; "
                    "return v * 0.5 + n; });"));
  EXPECT_EQ(t.evalInt("n"), 65536);
  EXPECT_EQ(t.evalInt("first[0] * 1000 + first[1]"), 0);
  EXPECT_EQ(t.evalInt("last[0] * 1000 + last[1]"), 255255);
  HmapMask* m = t.evalMask("m");
  EXPECT_EQ(m->at(1, 0), 3.f);      // second call
  EXPECT_EQ(m->at(0, 1), 258.f);    // 257th call
  EXPECT_EQ(t.errorOf("m.processAll(function(x, z, v) { return \"no number\"; })"), TYPE_ERROR);
}

TEST(HmapMask, ApplyToHeightsAndFluid)
{
  NativesVM t;
  clear_world();
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = float(i % 10);
    water[cell_z(i)][cell_x(i)].amount = (i & 1) ? -0.5f : 2.f;  // lava and water
  }
  ASSERT_TRUE(t.run("::m <- HmapMask(function(x, z) { return x; });"));
  ASSERT_TRUE(t.run("apply_height_mask(m, null)"));
  EXPECT_EQ(hmap[cell_index(3, 4)], float((4 * 256 + 3) % 10) + 3);
  ASSERT_TRUE(t.run("apply_height_mask(m, function(h, v) { return h - v; })"));
  EXPECT_EQ(hmap[cell_index(3, 4)], float((4 * 256 + 3) % 10));
  ASSERT_TRUE(t.run("apply_height_mask(null, function(h) { return h * 2; })"));
  EXPECT_EQ(hmap[cell_index(3, 4)], 2.f * float((4 * 256 + 3) % 10));

  ASSERT_TRUE(t.run("apply_water_mask(null, function(a) { return a < 0 ? a : 0; })"));
  EXPECT_EQ(water[0][5].amount, -0.5f);  // lava stays negative
  EXPECT_EQ(water[0][6].amount, 0.f);
  ASSERT_TRUE(t.run("apply_water_mask(m, null)"));
  EXPECT_EQ(water[0][5].amount, -0.5f + 5);
  EXPECT_EQ(water[0][6].amount, 6.f);
  ASSERT_TRUE(t.run("apply_water_mask(m, function(a, v) { return v; })"));
  EXPECT_EQ(water[9][200].amount, 200.f);

  EXPECT_EQ(t.errorOf("apply_height_mask(null, null)"), "no mask and no func in apply_height_mask()");
  EXPECT_EQ(t.errorOf("apply_water_mask(null, null)"), "no mask and no func in apply_water_mask()");
  EXPECT_EQ(t.errorOf("apply_height_mask(make4f(1), null)"), INST_ERROR);
}

TEST(HmapMask, CopiesOfTheWorld)
{
  NativesVM t;
  clear_world();
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = float(cell_x(i)) * 0.5f;
    water[cell_z(i)][cell_x(i)].amount = float(cell_z(i)) - 100.f;
  }
  HmapMask* h = t.evalMask("HmapMask.fromHeight()");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(memcmp(h->cells, hmap, sizeof(hmap)), 0);
  HmapMask* w = t.evalMask("HmapMask.fromWater()");
  EXPECT_EQ(w->at(17, 3), -97.f);
  EXPECT_EQ(w->at(0, 250), 150.f);

  // Slope: 1 on level ground; 1 / sqrt(1 + a^2) on a plane rising a per cell
  // (a = 0.5 here, away from the wrap seam).
  HmapMask* s = t.evalMask("HmapMask.fromSlope()");
  EXPECT_FLOAT_EQ(s->at(100, 30), 1.f / sqrtf(1.25f));
  clear_world();
  s = t.evalMask("HmapMask.fromSlope()");
  for (int i = 0; i < HMAP_CELLS; i += 101) EXPECT_EQ(s->cells[i], 1.f);
  EXPECT_EQ(game_rnd_seed, 4242u) << "copies draw nothing";
}

TEST(HmapMask, NoiseFactories)
{
  NativesVM t;
  clear_world();
  // fastNoise is the world's fast noise, with its 87,376 draws.
  std::vector<float> expected(HMAP_CELLS, 0.f);
  makeFastNoise(expected.data(), 3, 0.5f);
  game_rnd_seed = 4242;
  HmapMask* f = t.evalMask("HmapMask.fastNoise(3, 0.5)");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(memcmp(f->cells, expected.data(), sizeof(f->cells)), 0);
  EXPECT_EQ(game_rnd_seed, stepped_seed(4242, 87376));

  // Simplex noise: one octave is the tiled noise at x * f / 256, period f.
  HmapMask* n = t.evalMask("HmapMask.fromSimplexNoise(2, 8, 1, null, 0.5)");
  EXPECT_EQ(n->at(37, 201), tiled_noise2(37.f * (8.f / 256.f), 201.f * (8.f / 256.f), 8.f) * 2.f);
  // Two octaves: the second at 2u + 0.5, period 2f, weight p.
  n = t.evalMask("HmapMask.fromSimplexNoise(1, 8, 2, null, 0.25)");
  float u = 37.f * (8.f / 256.f), v = 201.f * (8.f / 256.f);
  EXPECT_EQ(n->at(37, 201), tiled_noise2(u, v, 8.f) + 0.25f * tiled_noise2(2.f * u + 0.5f, 2.f * v + 0.5f, 16.f));
  // A constant curve replaces every octave.
  n = t.evalMask("HmapMask.fromSimplexNoise(2, 8, 3, FloatRamp.constRamp(1), 0.5)");
  EXPECT_EQ(n->at(5, 6), (1.f + 0.5f + 0.25f) * 2.f);
  EXPECT_EQ(game_rnd_seed, stepped_seed(4242, 87376)) << "simplex noise draws nothing";
}

TEST(HmapMask, VoronoiFactoriesCheckTheTileFirst)
{
  NativesVM t;
  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
    {"HmapMask.fromVoronoiHills(3, 0, 1, 1)", "tile must be power of 2 in fromVoronoiHills()"},
    {"HmapMask.fromVoronoiHills(0, 0, 1, 1)", "tile must be power of 2 in fromVoronoiHills()"},
    {"HmapMask.fromVoronoiHills(-4, 0, 1, 1)", "tile must be power of 2 in fromVoronoiHills()"},
    {"HmapMask.fromVoronoiHills(0x100000000, 0, 1, 1)", "tile must be power of 2 in fromVoronoiHills()"},
    {"HmapMask.fromVoronoiFaults(12, 0, 1, 1, 1, 1, 1)", "tile must be power of 2 in fromVoronoiFaults()"},
    {"HmapMask.fromVoronoiFaults(0, 0, 1, 1, 1, 1, 1)", "tile must be power of 2 in fromVoronoiFaults()"},
  };
  for (const Case& c : cases) {
    game_rnd_seed = 31;
    EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
    EXPECT_EQ(game_rnd_seed, 31u) << c.code << " must not draw";
  }
}

TEST(HmapMask, VoronoiHillsMatchTheWorldsHills)
{
  NativesVM t;
  // With r = 2 the mask's 1 / r^2 is exact, so it equals the hills the world
  // adds to a flat map from the same seed.
  clear_world();
  addVoronoiHills(8, 1, 6, 2);
  std::vector<float> world(hmap, hmap + HMAP_CELLS);
  uint64_t after = game_rnd_seed;
  EXPECT_EQ(after, stepped_seed(4242, 256));

  game_rnd_seed = 4242;
  HmapMask* m = t.evalMask("HmapMask.fromVoronoiHills(8, 1, 6, 2)");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(memcmp(m->cells, world.data(), sizeof(m->cells)), 0);
  EXPECT_EQ(game_rnd_seed, after);

  // Hills of negative height never rise: all zero.
  m = t.evalMask("HmapMask.fromVoronoiHills(16, -5, -1, 3)");
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(m->cells[i], 0.f) << i;
  // A zero radius gives no hills and no NaN.
  m = t.evalMask("HmapMask.fromVoronoiHills(16, 1, 2, 0)");
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(m->cells[i], 0.f) << i;
}

TEST(HmapMask, VoronoiFaultsMatchTheWorldsFaults)
{
  NativesVM t;
  clear_world();
  genVoronoiFaults(8, 0, 10, 1.5f, 2, 3, 4);
  std::vector<float> world(hmap, hmap + HMAP_CELLS);
  uint64_t after = game_rnd_seed;

  game_rnd_seed = 4242;
  HmapMask* m = t.evalMask("HmapMask.fromVoronoiFaults(8, 0, 10, 1.5, 2, 3, 4)");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(game_rnd_seed, after);
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_NEAR(m->cells[i], world[i], 1e-5f) << i;

  // Equal heights in neighbouring cells: the gap counts as 0.1, so every cell
  // is that height (a zero gap would make 0 / 0 where two cells are equally near).
  m = t.evalMask("HmapMask.fromVoronoiFaults(4, 3, 3, 0, 1, 1, 2)");
  for (int i = 0; i < HMAP_CELLS; i++) ASSERT_EQ(m->cells[i], 3.f) << i;
}

TEST(HmapMask, RecolorByHeight)
{
  NativesVM t;
  clear_world();
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = float(cell_x(i));
    surface[i].bits = 0xAB000000u | (5u << 11) | (3u << 8) | (ST_SNOW << 4) | GT_SAND;
    surface[i].topColor = 0x12345678;
  }
  ASSERT_TRUE(t.run("::ramp <- ColorRamp.linear(0xFF0000FF, 0xFFFF0000);"));
  ASSERT_TRUE(t.run("recolor_by_height(ramp, null)"));
  // Lowest cell: the first sample (blue), highest: the last (red).
  EXPECT_EQ(surface[cell_index(0, 9)].color, 0xFF0000FFu);
  EXPECT_EQ(surface[cell_index(255, 9)].color, 0xFFFF0000u);
  vec4f mid = color_to_vec4f(surface[cell_index(128, 3)].color);
  EXPECT_NEAR(mid[0], 0.5f, 0.01f);
  EXPECT_NEAR(mid[2], 0.5f, 0.01f);
  // Ground soil, surface none; house tile, material and marks kept.
  EXPECT_EQ(surface[77].bits, 0xAB000000u | (5u << 11) | (3u << 8) | GT_SOIL);
  EXPECT_EQ(surface[77].topColor, 0u);

  // A mask, when given, is the source.
  ASSERT_TRUE(t.run("recolor_by_height(ramp, HmapMask(function(x, z) { return -z; }))"));
  EXPECT_EQ(surface[cell_index(40, 0)].color, 0xFFFF0000u);
  EXPECT_EQ(surface[cell_index(40, 255)].color, 0xFF0000FFu);

  // A constant source has no range: the first sample everywhere.
  ASSERT_TRUE(t.run("recolor_by_height(ramp, HmapMask(7))"));
  for (int i = 0; i < HMAP_CELLS; i += 61) ASSERT_EQ(surface[i].color, 0xFF0000FFu) << i;

  EXPECT_EQ(t.errorOf("recolor_by_height(null, null)"), INST_ERROR);
  EXPECT_EQ(t.errorOf("recolor_by_height(FloatRamp.constRamp(1), null)"), INST_ERROR);
}

TEST(HmapMask, InstancesOwnTheirMasks)
{
  NativesVM t;
  // Many masks made and dropped: each instance frees its mask when released
  // (a leak here shows under the sanitizer build).
  ASSERT_TRUE(t.run("for (local i = 0; i < 64; i++) { local m = HmapMask.fromHeight(); m = HmapMask(i); }"));
  EXPECT_EQ(t.evalFloat("HmapMask(1.5).getraw(0, 0)"), 1.5f);
}

}  // namespace
