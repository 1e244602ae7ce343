#include "scripting/terrainNatives.h"

#include "scripting/worldNatives.h"
#include "scripting/worldNativesServices.h"

#include "engine/font.h"
#include "world/heightmapData.h"
#include "world/hmGen.h"
#include "world/houses.h"
#include "world/noise.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using namespace sqbind;

vec4f script_player_pos = {0.f, 0.f, 0.f, 1.f};

// ---- circle brushes ----

// Calls fn(grid index, d2, r^2) for every cell of the circle, z outer, x inner.
template <typename Fn>
static void for_circle_cells(float x, float z, float r, Fn fn)
{
  int x0 = script_ceil(x - r), x1 = script_floor(x + r);
  int z0 = script_ceil(z - r), z1 = script_floor(z + r);
  float r2 = r * r;
  for (int64_t cz = z0; cz <= z1; cz++)
    for (int64_t cx = x0; cx <= x1; cx++) {
      float dx = float(cx) - x, dz = float(cz) - z;
      float d2 = dx * dx + dz * dz;
      if (d2 < r2) fn(HeightmapData::cell_index(int(cx), int(cz)), d2, r2);
    }
}

// (d2 / r^2)^exponent, the power taken in double precision.
static inline float falloff_power(float d2, float r2, float exponent)
{
  return float(pow(double(d2 / r2), double(exponent)));
}

void check_script_bound(double value, double limit, const char* what)
{
  if (!(value > limit)) return;
  char msg[160];
  snprintf(msg, sizeof(msg), "%s out of range (at most %g)", what, limit);
  throw SquirrelError(msg);
}

void circle_brush(float x, float z, float r, float amount, float exponent, float* grid)
{
  if (!(r > 0.f)) return;
  for_circle_cells(x, z, r, [&](int i, float d2, float r2) {
    grid[i] = grid[i] + (1.f - falloff_power(d2, r2, exponent)) * amount;
  });
}

void flatten_circle(float x, float z, float r, float target, float strength, float exponent, float* grid)
{
  if (!(r > 0.f)) return;
  for_circle_cells(x, z, r, [&](int i, float d2, float r2) {
    float old = grid[i];
    grid[i] = (1.f - falloff_power(d2, r2, exponent)) * strength * (target - old) + old;
  });
}

// Bilinear height of the grid at (x, z), wrapping.
static float grid_height(const float* grid, float x, float z)
{
  int x0 = script_floor(x), z0 = script_floor(z);
  float fx = x - float(x0), fz = z - float(z0);
  auto h = [grid](int cx, int cz) { return grid[HeightmapData::cell_index(cx, cz)]; };
  float top = lerp(h(x0, z0), h(x0 + 1, z0), fx);
  float bottom = lerp(h(x0, z0 + 1), h(x0 + 1, z0 + 1), fx);
  return lerp(top, bottom, fz);
}

float get_average_circle_height(float x, float z, float r, float* grid)
{
  if (r < 0.f) r = 0.f;
  double sum = get_land_height ? get_land_height(x, z) : grid_height(grid, x, z);
  int count = 1;
  for_circle_cells(x, z, r, [&](int i, float, float) {
    sum += grid[i];
    count++;
  });
  return float(sum / double(count));
}

namespace
{

ColorRamp* ramp_of(SqColorRamp* r) { return reinterpret_cast<ColorRamp*>(r); }

// ---- forwarding natives ----

void place_house(int x, int z, int type) { HeightmapData::placeHouse(x, z, type, HeightmapData::hmap, false); }

// The generators treat these preconditions as programming errors and end the
// program; from a script they are ordinary mistakes, reported as script errors.
void check_height_range(float min_ht, float max_ht)
{
  if (!(min_ht <= max_ht) || !(min_ht >= 0))
    throw sqbind::SquirrelError("height range must satisfy 0 <= min_ht <= max_ht");
}

void check_tile(int tile)
{
  if (tile <= 0 || (tile & (tile - 1)) != 0) throw sqbind::SquirrelError("tile must be a positive power of two");
}

void add_fast_noise(float min_ht, float max_ht, SqColorRamp* ramp, int ground_type, int alpha, float roughness)
{
  check_height_range(min_ht, max_ht);
  HeightmapData::addFastNoise(min_ht, max_ht, ramp_of(ramp), ground_type, alpha, roughness);
}

void add_simplex_noise(float min_ht, float max_ht, int tile, int octaves, float persistence)
{
  check_height_range(min_ht, max_ht);
  check_tile(tile);
  check_script_bound(octaves, SCRIPT_MAX_OCTAVES, "octaves");
  HeightmapData::addSimplexNoise(min_ht, max_ht, tile, octaves, persistence);
}

void add_voronoi_hills(int tile, float min_ht, float max_ht, float radius)
{
  check_tile(tile);
  HeightmapData::addVoronoiHills(tile, min_ht, max_ht, radius);
}

void gen_voronoi_faults(int tile, float min_ht, float max_ht, float warp, int noise_scale, int octaves, float slope)
{
  check_tile(tile);
  check_script_bound(octaves, SCRIPT_MAX_OCTAVES, "octaves");
  HeightmapData::genVoronoiFaults(tile, min_ht, max_ht, warp, noise_scale, octaves, slope);
}

void gen_fault(float pos_x, float pos_z, float dir_x, float dir_z, float height, float level, float warp,
               SqColorRamp* ramp, int ground_type)
{
  HeightmapData::genFault(Point2{pos_x, pos_z}, Point2{dir_x, dir_z}, height, level, warp, ramp_of(ramp),
                          ground_type, 255, HeightmapData::hmap);
}

void gen_crater(float x, float z, float radius, float depth)
{
  check_script_bound(std::fabs(radius), SCRIPT_MAX_RADIUS, "gen_crater: radius");
  HeightmapData::genCrater(Point2{x, z}, radius, depth, HeightmapData::hmap);
}

void set_sun_dir(const vec4f& dir) { set_sun_direction(dir, false); }

void script_flatten_circle(float x, float z, float r, float target, float strength, float exponent)
{
  check_script_bound(r, SCRIPT_MAX_RADIUS, "flatten_circle: radius");
  flatten_circle(x, z, r, target, strength, exponent, HeightmapData::hmap);
}

float script_get_average_circle_height(float x, float z, float r)
{
  check_script_bound(r, SCRIPT_MAX_RADIUS, "get_average_circle_height: radius");
  return get_average_circle_height(x, z, r, HeightmapData::hmap);
}

float script_fractal_noise1(float x, int octaves, SqFloatRamp* curve, float persistence)
{
  check_script_bound(octaves, SCRIPT_MAX_OCTAVES, "fractal_noise1: octaves");
  return fractal_noise1(x, octaves, float_ramp_of(curve), persistence);
}

// The octave rule of the noise natives on tiled_noise2: coordinates c -> 2c +
// 0.5, period doubled, amplitude persistence, persistence^2, ... per octave.
float tiled_fractal_noise2(float x, float z, int period, int octaves, SqFloatRamp* curve, float persistence)
{
  check_script_bound(octaves, SCRIPT_MAX_OCTAVES, "tiled_fractal_noise2: octaves");
  const FloatRamp* ramp = float_ramp_of(curve);
  float p = float(period);
  float value = apply_noise_curve(ramp, tiled_noise2(x, z, p));
  float a = persistence;
  for (int o = 1; o < octaves; o++) {
    x = 2.f * x + 0.5f;
    z = 2.f * z + 0.5f;
    p = 2.f * p;
    value += a * apply_noise_curve(ramp, tiled_noise2(x, z, p));
    a *= persistence;
  }
  return value;
}

int get_noise_hash1(int i) { return noise_perm[i & 255]; }
int get_noise_hash2(int x, int z) { return noise_perm[noise_perm[z & 255] + (x & 255)]; }

void set_player_pos(const vec4f& pos) { script_player_pos = pos; }

unsigned script_play_sound_event(const char* name) { return play_sound_event(name); }

// The splash keeps at most 255 characters of its text; a longer script text is
// cut rather than failing the splash's length assertion.
void script_show_splash(const char* text, float progress)
{
  char buf[256];
  size_t n = strnlen(text, sizeof(buf) - 1);
  memcpy(buf, text, n);
  buf[n] = 0;
  show_splash(buf, progress);
}

void debug_object(SqObject value) { sq_debug_object(&value.o); }

}  // namespace

void register_terrain_natives(HSQUIRRELVM vm)
{
  bind_function(vm, place_house, "place_house");
  bind_function(vm, add_fast_noise, "add_fast_noise");
  bind_function(vm, add_simplex_noise, "add_simplex_noise");
  bind_function(vm, gen_fault, "gen_fault");
  bind_function(vm, gen_crater, "gen_crater");
  bind_function(vm, add_voronoi_hills, "add_voronoi_hills");
  bind_function(vm, gen_voronoi_faults, "gen_voronoi_faults");
  bind_function(vm, HeightmapData::recenterHt, "recenter_hmap");
  bind_function(vm, set_sun_dir, "set_sun_dir");
  bind_function(vm, script_flatten_circle, "flatten_circle");
  bind_function(vm, script_get_average_circle_height, "get_average_circle_height");
  bind_function(vm, mark_rect, "mark_rect");
  bind_function(vm, mark_circle, "mark_circle");
  bind_function(vm, mark_water, "mark_water");
  bind_function(vm, test_rect_mark, "test_rect_mark");
  bind_function(vm, test_circle_mark, "test_circle_mark");
  bind_function(vm, reseed_noise, "reseed_noise");
  bind_function(vm, noise1, "noise1");
  bind_function(vm, tiled_noise2, "tiled_noise2");
  bind_function(vm, script_fractal_noise1, "fractal_noise1");
  bind_function(vm, tiled_fractal_noise2, "tiled_fractal_noise2");
  bind_function(vm, get_noise_hash1, "get_noise_hash1");
  bind_function(vm, get_noise_hash2, "get_noise_hash2");
  bind_function(vm, set_player_pos, "set_player_pos");
  bind_function(vm, script_play_sound_event, "play_sound_event");
  bind_function(vm, script_show_splash, "show_splash");
  bind_function(vm, debug_object, "debug_object");
}
