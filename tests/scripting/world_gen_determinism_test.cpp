// The game's own scripts: the world scripts (data/gen) run without an error, the
// universe has the shape the game shell relies on, and "main_menu" and every
// world of a universe come out bit for bit the same from the same seed, in
// every build (golden hashes of heights, colours and fluid). Preview images of
// each world (shaded heights, colours) are written to <build>/previews/. The
// effect script (data/test/fx.nut) runs every one of its effects.
#include <gtest/gtest.h>

#include "world_script_doubles.h"

#include "scripting/fxScript.h"
#include "scripting/hmGenScript.h"
#include "scripting/scriptSave.h"

#include "engine/paths.h"
#include "engine/random.h"
#include "engine/visualLog.h"
#include "world/heightmapData.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

using namespace sqbind;
using namespace HeightmapData;

namespace
{

std::string repo_root()
{
  return QM_SOURCE_DIR;
}

// <build>/previews, beside the folder of the test program.
std::string preview_dir()
{
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (n <= 0) return "previews";
  exe[n] = 0;
  std::string p = exe;
  p = p.substr(0, p.rfind('/'));
  p = p.substr(0, p.rfind('/'));
  return p + "/previews";
}

std::string error_text() { return error_message_text.num ? std::string(error_message_text.data) : std::string(); }

// FNV-1a over the heights, the three surface words and the fluid amounts.
uint64_t world_hash()
{
  uint64_t h = 1469598103934665603ull;
  auto add = [&h](const void* p, size_t n) {
    const unsigned char* b = (const unsigned char*)p;
    for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 1099511628211ull;
  };
  add(hmap, sizeof(hmap));
  add(surface, sizeof(Surface) * HMAP_CELLS);
  for (int i = 0; i < HMAP_CELLS; i++) add(&water[cell_z(i)][cell_x(i)].amount, 4);
  return h;
}

// Left: heights shaded from the north-west, sea blue by depth, lava red.
// Right: the land colours (top colour laid over by its alpha), shaded.
void write_preview(const std::string& name)
{
  std::filesystem::create_directories(preview_dir());
  std::vector<unsigned char> img(512 * 256 * 3);
  float lo = hmap[0], hi = hmap[0];
  for (int i = 0; i < HMAP_CELLS; i++) {
    lo = std::min(lo, hmap[i]);
    hi = std::max(hi, hmap[i]);
  }
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      int i = cell_index(x, z);
      float dx = hmap[cell_index(x + 1, z)] - hmap[cell_index(x - 1, z)];
      float dz = hmap[cell_index(x, z + 1)] - hmap[cell_index(x, z - 1)];
      float shade = std::max(0.25f, std::min(1.3f, 0.85f + (-dx - dz) * 0.35f));
      float t = hi > lo ? (hmap[i] - lo) / (hi - lo) : 0.5f;
      float amount = water[z][x].amount;
      float r = t, g = t, b = t;
      if (amount > 0.01f) {
        float d = std::min(1.0f, amount / 8.0f);
        r = 0.1f * (1 - d);
        g = 0.35f * (1 - d) + 0.1f;
        b = 0.7f - 0.3f * d;
      } else if (amount < -0.01f) {
        r = 1.0f, g = 0.35f, b = 0.05f;
      }
      unsigned char* p = &img[((255 - z) * 512 + x) * 3];
      p[0] = (unsigned char)std::min(255.f, r * shade * 255.f);
      p[1] = (unsigned char)std::min(255.f, g * shade * 255.f);
      p[2] = (unsigned char)std::min(255.f, b * shade * 255.f);

      const Surface& s = surface[i];
      float top_a = float(s.topColor >> 24) / 255.f;
      float c[3];
      for (int k = 0; k < 3; k++) {
        float base = float((s.color >> (16 - 8 * k)) & 255) / 255.f;
        float top = float((s.topColor >> (16 - 8 * k)) & 255) / 255.f;
        c[k] = base + (top - base) * top_a;
      }
      if (amount > 0.01f) {
        float d = std::min(0.8f, amount / 6.0f + 0.3f);
        c[0] += (0.08f - c[0]) * d;
        c[1] += (0.25f - c[1]) * d;
        c[2] += (0.45f - c[2]) * d;
      } else if (amount < -0.01f) {
        c[0] = 1.0f, c[1] = 0.4f, c[2] = 0.05f;
      }
      if (ground_type(s.bits) == GT_HOUSE) c[0] = 0.85f, c[1] = 0.8f, c[2] = 0.7f;
      unsigned char* q = &img[((255 - z) * 512 + 256 + x) * 3];
      for (int k = 0; k < 3; k++) q[k] = (unsigned char)std::min(255.f, c[k] * shade * 255.f);
    }
  std::string path = preview_dir() + "/" + name + ".png";
  EXPECT_NE(stbi_write_png(path.c_str(), 512, 256, 3, img.data(), 512 * 3), 0) << path;
}

class WorldGenDeterminism : public testing::Test
{
protected:
  static char savedAppPath[260];

  static void SetUpTestSuite()
  {
    memcpy(savedAppPath, app_path, sizeof(savedAppPath));
    snprintf(app_path, sizeof(app_path), "%s/data/", repo_root().c_str());
    reset_world_script_doubles();
    set_error_message(nullptr);
    init_world_script();
  }
  static void TearDownTestSuite()
  {
    shutdown_world_script();
    world_script_vm.files.clear();
    reset_world_script_doubles();
    set_error_message(nullptr);
    memcpy(app_path, savedAppPath, sizeof(savedAppPath));
  }
  void SetUp() override
  {
    ASSERT_EQ(error_text(), "") << "the world scripts failed to start";
    local_player = nullptr;
  }

  static HSQUIRRELVM vm() { return world_script_vm.vm; }

  static SQInteger evalInt(const char* expr)
  {
    StackRestore restore(vm());
    std::string code = std::string("return (") + expr + ");";
    EXPECT_TRUE(compile_script_buffer(vm(), code.c_str(), (SQInteger)code.size(), "eval")) << expr;
    sq_pushroottable(vm());
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm(), 1, SQTrue, SQTrue))) << expr;
    SQInteger i = -999999;
    sq_getinteger(vm(), -1, &i);
    return i;
  }
  static std::string evalString(const std::string& expr)
  {
    StackRestore restore(vm());
    std::string code = "return (" + expr + ");";
    EXPECT_TRUE(compile_script_buffer(vm(), code.c_str(), (SQInteger)code.size(), "eval")) << expr;
    sq_pushroottable(vm());
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm(), 1, SQTrue, SQTrue))) << expr;
    const SQChar* s = nullptr;
    sq_getstring(vm(), -1, &s);
    return s ? s : "";
  }
  static bool run(const std::string& code)
  {
    StackRestore restore(vm());
    if (!compile_script_buffer(vm(), code.c_str(), (SQInteger)code.size(), "run")) return false;
    sq_pushroottable(vm());
    return SQ_SUCCEEDED(sq_call(vm(), 1, SQFalse, SQTrue));
  }

  // Builds world `name` from a fixed state of the generator; checks it is whole.
  static uint64_t build(const char* name, uint64_t seed)
  {
    game_rnd_seed = seed;
    set_error_message(nullptr);
    generate_world(name);
    EXPECT_EQ(error_text(), "") << name;
    for (int i = 0; i < HMAP_CELLS; i++)
      if (!std::isfinite(hmap[i]) || !std::isfinite(water[cell_z(i)][cell_x(i)].amount)) {
        ADD_FAILURE() << name << ": value not finite at cell " << i;
        break;
      }
    EXPECT_EQ(memcmp(target_hmap, hmap, sizeof(hmap)), 0);
    return world_hash();
  }
};
char WorldGenDeterminism::savedAppPath[260];

TEST_F(WorldGenDeterminism, MainMenuWorldIsTheSameFromTheSameSeed)
{
  uint64_t a = build("main_menu", 20240611);
  write_preview("main_menu");
  uint64_t b = build("main_menu", 20240611);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, 0x87853DEC5A60B114ull) << std::hex << a;
  // Another seed, another world.
  EXPECT_NE(build("main_menu", 99), a);

  // Hot reload re-runs every file in the same VM: the scripts must survive
  // that and build the same world.
  ASSERT_TRUE(world_script_vm.reload(true));
  bind_world_entry_points();
  EXPECT_EQ(build("main_menu", 20240611), a);
}

TEST_F(WorldGenDeterminism, UniverseWorldsAreVariedWholeAndReproducible)
{
  game_rnd_seed = 4242;
  set_error_message(nullptr);
  generate_universe();
  ASSERT_EQ(error_text(), "");
  ASSERT_EQ(universe.getType(), OT_TABLE);
  ASSERT_TRUE(run("::U <- ::universe;"));  // the game shell's fetch puts it there

  static const uint64_t golden[] = {0xE260B8EF8DEC8BB4ull, 0x5097AB4B9A124ECEull,
                                    0x6BB04F8BFB62248Aull, 0x9803E8AD5D1101F6ull,
                                    0x7AE38F865619CFD8ull, 0x8F9D422FEB98B944ull,
                                    0x3659CB7737DFC5A9ull, 0x0A34AA90DC9F8A52ull};
  const int n = (int)evalInt("U.worlds.len()");
  ASSERT_EQ(n, (int)(sizeof(golden) / sizeof(golden[0])));
  EXPECT_EQ(evalInt("U.enteredWorld"), -1);
  // Every world: a kind of its own, one castle, portals that lead somewhere
  // and back, all plain values (the universe is saved with the game).
  EXPECT_EQ(evalInt("(function() { local k = {}; foreach (w in U.worlds) k[w.kind] <- 1; return k.len(); })()"), n);
  EXPECT_EQ(evalInt(
              "(function() { local bad = 0; foreach (i, w in U.worlds) { "
              "  if (typeof w.castle.x != \"integer\" || typeof w.castle.z != \"integer\") bad++; "
              "  if (w.portals.len() == 0) bad++; "
              "  foreach (p in w.portals) { local back = 0; "
              "    foreach (q in U.worlds[p.target].portals) if (q.target == i) back++; "
              "    if (back != 1 || p.target == i) bad++; } } return bad; })()"),
            0);
  MemoryOutputBuffer out;
  EXPECT_NO_THROW(save_data(universe, out));

  std::vector<uint64_t> hashes;
  for (int i = 0; i < n; i++) {
    ASSERT_TRUE(run("U.enteredWorld = " + std::to_string(i) + ";"));
    // Whatever state the generator is in, the world comes from its entry.
    uint64_t h = build("game", 1000 + i);
    hashes.push_back(h);
    std::string kind = evalString("U.worlds[" + std::to_string(i) + "].kind");
    write_preview("world" + std::to_string(i) + "_" + kind);
    EXPECT_EQ(h, golden[i]) << "world " << i << " " << kind << ": " << std::hex << h;
    // The castle and every portal stand on dry land.
    std::string wet = "(function() { local w = U.worlds[" + std::to_string(i) +
                      "], h = HmapMask.fromHeight(), n = h.getraw(w.castle.x, w.castle.z) > 0.5 ? 0 : 1;"
                      " foreach (p in w.portals) if (h.getraw(p.x, p.z) <= 0.5) n++; return n; })()";
    EXPECT_EQ(evalInt(wet.c_str()), 0) << kind;
  }
  std::set<uint64_t> distinct(hashes.begin(), hashes.end());
  EXPECT_EQ((int)distinct.size(), n);

  // Entering world 0 again gives it back exactly.
  ASSERT_TRUE(run("U.enteredWorld = 0;"));
  EXPECT_EQ(build("game", 555), hashes[0]);
}

// The scripts take quicker ways to the values of a few plain formulas: land
// shaped in passes handed each cell's values, a quantile without sorting
// every sample, a colour table built level by level, a colour look-up
// through nested arrays, a colour mixer, cones worked out once per distance,
// the lava of all vents added at once. Each must give the very bits of the plain way, also for
// the inputs the shipped worlds never meet (ties, -0 and +0, NaN, values far
// outside the tables, overlapping and wrapping shapes). `a != b` compares
// floats bit for bit in the script VM.
TEST_F(WorldGenDeterminism, QuickWaysOfTheScriptsGiveTheBitsOfThePlainOnes)
{
  ASSERT_TRUE(run(R"(
    ::differing_cells <- function(a, b) {
      local n = 0;
      for (local i = 0; i < 65536; i++) if (a.getraw(i & 255, i >> 8) != b.getraw(i & 255, i >> 8)) n++;
      return n;
    }
    ::set_heights <- function(fn) {
      apply_height_mask(null, @(h) 0.0);
      apply_height_mask(HmapMask(fn), null);
    }
  )"));

  // Land shaping without fabs, smoothstep or look-ups per cell: the heights of
  // the plain way, from the same noise, over land with band edges, -0 and +0.
  ASSERT_TRUE(run(R"(
    local plain_ridges = function(height, frequency, octaves, sharpness) {
      local n = HmapMask.fromSimplexNoise(1.0, frequency, octaves, null, 0.5);
      apply_height_mask(n, function(h, v) {
        local r = 1.0 - fabs(v);
        if (r < 0.0) r = 0.0;
        return h + height * pow(r, sharpness);
      });
    };
    local plain_canyons = function(depth, frequency, width) {
      local n = HmapMask.fromSimplexNoise(1.0, frequency, 3, null, 0.45);
      apply_height_mask(n, function(h, v) {
        local a = fabs(v) / width;
        if (a >= 1.0) return h;
        return h - depth * (1.0 - a * a) * (1.0 - a * a);
      });
    };
    local plain_terraces = function(step, steepness) {
      apply_height_mask(null, function(h) {
        local s = h / step;
        local band = floor(s);
        return (band + smoothstep(0.5 - steepness, 0.5 + steepness, s - band)) * step;
      });
    };
    local plain_dunes = function(height, kx, kz, bend) {
      local warp = HmapMask.fromSimplexNoise(bend, 4.0, 2, null, 0.5);
      local fx = TWO_PI * kx / 256.0, fz = TWO_PI * kz / 256.0;
      local d = HmapMask(function(x, z) {
        local s = sin(x * fx + z * fz + warp.getraw(x, z));
        return (s > 0.0 ? s * s : s * 0.3) * height;
      });
      apply_height_mask(d, null);
    };
    local plain_mountains = function() {
      add_simplex_noise(0.0, 20.0, 2, 4, 0.5);
      local n1 = HmapMask.fromSimplexNoise(1.0, 4.0, 1, null, 0.5);
      local n2 = HmapMask.fromSimplexNoise(1.0, 8.0, 1, null, 0.5);
      local n3 = HmapMask.fromSimplexNoise(1.0, 16.0, 1, null, 0.5);
      local ridges = HmapMask(function(x, z) {
        local a = 1.0 - fabs(n1.getraw(x, z)), b = 1.0 - fabs(n2.getraw(x, z)), c = 1.0 - fabs(n3.getraw(x, z));
        return a * a + 0.5 * b * b + 0.25 * c * c;
      });
      apply_height_mask(ridges, @(h, r) h + r * h * 1.3);
      add_simplex_noise(0.0, 2.0, 16, 2, 0.5);
    };
    local cases = [
      [@() add_ridged(3.0, 6.0, 2, 4.0), function() { plain_ridges(3.0, 6.0, 1, 4.0); plain_ridges(1.5, 12.0, 1, 4.0); }],
      [@() cut_canyons(15.0, 3.0, 0.14), @() plain_canyons(15.0, 3.0, 0.14)],
      [@() cut_canyons(6.0, 6.0, 0.05), @() plain_canyons(6.0, 6.0, 0.05)],
      [@() add_terraces(3.0, 0.12), @() plain_terraces(3.0, 0.12)],
      [@() add_dunes(1.6, 13, 4, 2.0), @() plain_dunes(1.6, 13, 4, 2.0)],
      [@() shape_mountains(null), plain_mountains],
    ];
    local land = function(x, z) {
      if (x == 3) return z % 2 == 0 ? 0.0 : -0.0;
      if (x == 4) return (z - 128) * 1.5;  // every band edge of the terraces
      return sin(x * 0.11) * 20.0 + cos(z * 0.07) * 9.0;
    };
    ::shaping_misses <- 0;
    foreach (c in cases) {
      local results = [];
      foreach (way in c) {
        set_rnd_seed(31);
        reseed_noise();
        set_heights(land);
        way();
        results.append(HmapMask.fromHeight());
      }
      ::shaping_misses += differing_cells(results[0], results[1]);
    }
  )"));
  EXPECT_EQ(evalInt("shaping_misses"), 0);

  // Quantiles: the pick of a full sort, on every kind of sample set.
  ASSERT_TRUE(run(R"(
    set_rnd_seed(5);
    local smooth = array(16384);
    foreach (i, _ in smooth) smooth[i] = sin(i * 0.01) * 20.0 + srnd();
    local steps = array(16384);
    foreach (i, _ in steps) steps[i] = (rnd_int(40) - 20) * 0.5;
    local zeros = array(16384);
    foreach (i, _ in zeros) zeros[i] = i % 3 == 0 ? 0.0 : (i % 3 == 1 ? 0.0 * -1.0 : frnd() + 1.0);
    local with_nan = clone smooth;
    with_nan[777] = 0.0 / 0.0;
    local ascending = clone smooth;
    ascending.sort();
    local descending = clone ascending;
    descending.reverse();
    // Every sample the subsample takes is far above the rest.
    local fooled = clone smooth;
    for (local j = 0; j < fooled.len(); j += 31) fooled[j] = 1000.0 + j;
    local cases = [smooth, steps, zeros, with_nan, ascending, descending, fooled, smooth.slice(0, 500)];
    ::quantile_misses <- 0;
    ::quantile_inputs_changed <- 0;
    foreach (c in cases) {
      local before = clone c;
      foreach (q in [0.0, 0.015, 0.07, 0.3, 0.5, 0.64, 1.0]) {
        local s = clone c;
        s.sort();
        if (height_quantile(c, q) != s[clamp((q * (c.len() - 1)).tointeger(), 0, c.len() - 1)]) ::quantile_misses++;
      }
      foreach (i, v in c) if (v != before[i]) { ::quantile_inputs_changed++; break; }
    }
  )"));
  EXPECT_EQ(evalInt("quantile_misses"), 0);
  EXPECT_EQ(evalInt("quantile_inputs_changed"), 0);

  // The nested colour look-up is the clamped formula wherever it answers.
  ASSERT_TRUE(run(R"(
    local table = make_color_table(world_kinds.islands, get_palette("islands"));
    local levels = color_levels(table);
    ::lookup_misses <- 0;
    ::lookup_answers <- 0;
    for (local hv = -2.0; hv < 116.0; hv += 0.37)
      for (local sv = -1.5; sv < 8.0; sv += 0.45)
        for (local nv = -1.5; nv < 6.0; nv += 0.35) {
          local got;
          try { got = levels[hv][sv][nv]; } catch (e) { continue; }
          ::lookup_answers++;
          if (got != color_entry(table, hv, sv, nv)) ::lookup_misses++;
        }
  )"));
  EXPECT_EQ(evalInt("lookup_misses"), 0);
  EXPECT_GT(evalInt("lookup_answers"), 50000);

  // The colour table of every kind is the one built entry by entry from the
  // plain formula of land at a height and flatness.
  ASSERT_TRUE(run(R"(
    local land_entry = function(kind, pal, h, flat) {
      local top = kind.top;
      local c, ground = GT_SOIL, topc = 0, surf = ST_NONE;
      if (h < -0.4) {
        c = mix_col(pal.shore, pal.seabed, smoothstep(0.0, kind.depth * 0.6, -h));
        ground = GT_SAND;
      } else if (h < 0.9) {
        c = pal.shore;
        ground = GT_SAND;
      } else {
        local t = h / top;
        c = mix_col(pal.shore, pal.low, smoothstep(0.9, 2.2, h));
        c = mix_col(c, pal.mid, smoothstep(0.2, 0.45, t));
        c = mix_col(c, pal.high, smoothstep(0.5, 0.72, t));
        c = mix_col(c, pal.peak, smoothstep(0.8, 0.98, t));
        if (t > 0.55) ground = GT_ROCK;
        local g = kind.grass;
        if (t > g[0] && t < g[1] && flat > 0.5) {
          surf = ST_GRASS;
          local a = smoothstep(0.5, 0.9, flat) * smoothstep(g[0], g[0] + 0.05, t) * (1.0 - smoothstep(g[1] - 0.08, g[1], t));
          topc = with_alpha(pal.grass, (a * 170).tointeger());
        }
        if (t > kind.snow && flat > 0.35) {
          surf = ST_SNOW;
          local a = smoothstep(kind.snow, kind.snow + 0.1, t) * smoothstep(0.35, 0.7, flat);
          topc = with_alpha(pal.snow, (a * 255).tointeger());
        }
      }
      local steep = 1.0 - smoothstep(0.45, 0.85, flat);
      if (steep > 0.0 && h > -0.4) {
        c = mix_col(c, pal.cliff, steep);
        if (steep > 0.5) {
          ground = GT_ROCK;
          surf = ST_NONE;
          topc = 0;
        }
      }
      return [c, ground, topc, surf];
    };
    ::table_misses <- 0;
    // Every kind with its own palette, and one with colours that fill every
    // channel (shading past 255 clamps).
    local bright = get_palette("none");
    foreach (k, v in bright) if (typeof v == "integer") bright[k] = 0xFFFFFFFF;
    local cases = [];
    foreach (name, kind in world_kinds) cases.append([kind, get_palette(name)]);
    cases.append([world_kinds.glacier, bright]);
    foreach (c in cases) {
      local kind = c[0], pal = c[1], quick = make_color_table(kind, pal);
      local lo = -kind.depth, span = kind.top + kind.depth;
      local shades = [0.92, 1.0, 1.07];
      for (local hi = 0; hi < HL; hi++)
        for (local si = 0; si < SL; si++) {
          local e = land_entry(kind, pal, lo + span * (hi + 0.5) / HL, (si + 0.5) / SL);
          for (local ni = 0; ni < NL; ni++) {
            local q = quick[(hi * SL + si) * NL + ni];
            if (q.len() == 2) q = [q[0], q[1], 0, ST_NONE];  // painted the same
            if (q.len() != 4 || q[0] != shade_col(e[0], shades[ni]) || q[1] != e[1] || q[2] != e[2] || q[3] != e[3])
              ::table_misses++;
          }
        }
    }
  )"));
  EXPECT_EQ(evalInt("table_misses"), 0);

  // Painting land far outside the table (and not a number) takes the slow
  // way and colours every cell as the plain per-cell formula does (with every
  // entry written out in full).
  ASSERT_TRUE(run(R"(
    set_heights(function(x, z) {
      if (x == 7) return 0.0 / 0.0;
      if (x == 8) return z % 2 == 0 ? 1e30 : -1e30;
      return (x - 40) * 1.5 + sin(z * 0.3) * 4.0;
    });
    paint_world(world_kinds.islands, get_palette("islands"), null, null);
  )"));
  std::vector<Surface> quick(surface, surface + HMAP_CELLS);
  ASSERT_TRUE(run(R"(
    local kind = world_kinds.islands;
    local table = make_color_table(kind, get_palette("islands"));
    local hm = HmapMask.fromHeight(), sm = HmapMask.fromSlope();
    local nm = HmapMask.fromSimplexNoise(1.0, 16.0, 2, null, 0.5);
    local lo = -kind.depth, k = HL / (kind.top + kind.depth);
    repaint_land(function(x, z) {
      local h = hm.getraw(x, z), n = nm.getraw(x, z);
      local hi = ((h - lo) * k + n * 3.0).tointeger();
      hi = hi < 0 ? 0 : (hi >= HL ? HL - 1 : hi);
      local si = (sm.getraw(x, z) * SL).tointeger();
      si = si >= SL ? SL - 1 : si;
      local ni = (n * 1.6 + 1.5).tointeger();
      ni = ni < 0 ? 0 : (ni >= NL ? NL - 1 : ni);
      local e = table[(hi * SL + si) * NL + ni];
      return e.len() == 2 ? [e[0], e[1], 0, ST_NONE] : e;
    });
  )"));
  EXPECT_EQ(memcmp(quick.data(), surface, sizeof(Surface) * HMAP_CELLS), 0);

  // The colour mixer is mix_col, clamping included.
  ASSERT_TRUE(run(R"(
    ::mixer_misses <- 0;
    foreach (p in [[0xFF6A625A, 0xFF9A5A30], [0x00FFFFFF, 0xFF000000], [0x80102030, 0x80102030]]) {
      local mix = col_mixer(p[0], p[1]);
      for (local t = -0.5; t <= 1.5; t += 0.0137) if (mix(t) != mix_col(p[0], p[1], t)) ::mixer_misses++;
    }
  )"));
  EXPECT_EQ(evalInt("mixer_misses"), 0);

  // Cones: centred on a cell, near the edge (wrapping), wider than the world
  // (cells met twice) and centred between cells.
  ASSERT_TRUE(run(R"(
    local plain = function(cx, cz, radius, height, rim, bowl) {
      local m = HmapMask(0.0);
      m.processRect(cx - radius, cz - radius, cx + radius, cz + radius, function(x, z, old) {
        local dx = x - cx, dz = z - cz;
        local d = sqrt(dx * dx + dz * dz);
        if (d >= radius) return old;
        if (d < rim) {
          local t = d / rim;
          return height - bowl * (1.0 - t * t);
        }
        local t = (d - rim) / (radius - rim);
        return height * pow(1.0 - t, 1.6);
      });
      return m;
    };
    ::cone_misses <- 0;
    foreach (c in [[128, 128, 100.0, 46.0, 13.0, 12.0], [3, 250, 40.0, 12.0, 8.8, 4.0],
                   [60, 70, 140.0, 20.0, 10.0, 5.0], [100.6, 30.25, 30.0, 14.0, 6.6, 4.0]])
      ::cone_misses += differing_cells(volcano_mask(c[0], c[1], c[2], c[3], c[4], c[5]),
                                       plain(c[0], c[1], c[2], c[3], c[4], c[5]));
  )"));
  EXPECT_EQ(evalInt("cone_misses"), 0);

  // Round bumps: on a cell (also across the edge), between cells, and wider
  // than half the world, against the bump worked out over the whole grid.
  ASSERT_TRUE(run(R"(
    local plain = function(cx, cz, radius, height, power) {
      local r2 = radius * radius;
      return HmapMask(function(x, z) {
        local dx = wrap(x - cx), dz = wrap(z - cz);
        local q = (dx * dx + dz * dz) / r2;
        return q >= 1.0 ? 0.0 : height * pow(1.0 - q, power);
      });
    };
    ::bump_misses <- 0;
    foreach (c in [[120, 40, 16.0, -7.0, 1.5], [2, 254, 16.0, 3.0, 1.5], [40.3, 77.7, 16.0, 3.0, 2.0],
                   [128, 128, 126.9, 5.0, 1.0], [128, 128, 150.0, 5.0, 1.0]])
      ::bump_misses += differing_cells(radial_mask(c[0], c[1], c[2], c[3], c[4]), plain(c[0], c[1], c[2], c[3], c[4]));
  )"));
  EXPECT_EQ(evalInt("bump_misses"), 0);

  // Lava of overlapping vents (one past the world's edge): one pass, or one
  // pass per vent, a later vent's lava over an earlier one's.
  ASSERT_TRUE(run(R"(
    local per_vent = function(vents) {
      local hm = HmapMask.fromHeight();
      foreach (v in vents) {
        local level = mean_height(hm, v.x, v.z, v.r * 0.5) + 1.2;
        local r = v.r;
        local m = HmapMask(0.0);
        m.processRect(v.x - r, v.z - r, v.x + r, v.z + r, function(x, z, old) {
          local dx = x - v.x, dz = z - v.z;
          if (dx * dx + dz * dz > r * r) return old;
          local h = hm.getraw(x, z);
          return h < level ? -(level - h) : old;
        });
        apply_water_mask(m, @(w, l) l < 0.0 ? l : w);
      }
    };
    local vents = [{x = 100, z = 100, r = 12.0}, {x = 108.5, z = 103.2, r = 9.0}, {x = 252, z = 3, r = 7.0}];
    ::lava_misses <- 0;
    ::lava_cells <- [];
    // Land and sea round the vents; dry land; lava over deep sea of uneven
    // depth (where adding the lava less the water misses the lava's bits).
    foreach (heights in [@(x, z) 3.0 + sin(x * 0.21) * 4.0 + cos(z * 0.17) * 4.0,
                         @(x, z) 5.0 + sin(x * 0.21) * 4.0,
                         @(x, z) -7.3 + sin(x * 0.61) * 3.1 + cos(z * 0.53) * 2.7]) {
      set_heights(heights);
      fill_sea();
      local sea = HmapMask.fromWater();
      fill_lava(vents);
      local quick = HmapMask.fromWater();
      apply_water_mask(sea, @(w, s) s);
      per_vent(vents);
      ::lava_misses += differing_cells(quick, HmapMask.fromWater());
      local n = 0;
      for (local i = 0; i < 65536; i++) if (quick.getraw(i & 255, i >> 8) < 0.0) n++;
      ::lava_cells.append(n);
    }
  )"));
  EXPECT_EQ(evalInt("lava_misses"), 0);
  for (int i = 0; i < 3; i++) EXPECT_GT(evalInt(("lava_cells[" + std::to_string(i) + "]").c_str()), 100) << i;
}

// The plug-in calls the effects by name with a position, a direction, a
// colour and a strength.
TEST(ShippedEffectScript, EveryEffectRunsWithoutAnError)
{
  char saved[260];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/data/", repo_root().c_str());
  set_error_message(nullptr);
  EXPECT_TRUE(init_fx_script());
  EXPECT_EQ(error_text(), "");
  const char* effects[] = {"fire_burst", "smoke_column", "water_splash", "magic_sparkle", "lava_spit", "portal_glow",
                           "steam_puff"};
  for (const char* e : effects) {
    call_fx_script(e, make4f(10, 5, 20, 1), make4f(0, 1, 0, 0), make4f(0.4, 0.7, 1.0, 1.0), 1.0f);
    EXPECT_EQ(error_text(), "") << e;
  }
  update_fx_script(0.05f);
  EXPECT_EQ(error_text(), "");
  close_fx_script();
  fx_script_vm.files.clear();
  memcpy(app_path, saved, sizeof(saved));
}

}  // namespace
