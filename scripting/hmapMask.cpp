#include "scripting/hmapMask.h"

#include "scripting/worldNatives.h"

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/random.h"
#include "world/hmGen.h"
#include "world/noise.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace sqbind;
using HeightmapData::HMAP_CELLS;

// The type tag lives in the game, so the plug-in shares it.
template struct sqbind::ClassTag<HmapMask>;

// ---- cell access and sampling ----

float HmapMask::getraw(int x, int z) const { return at(x, z); }

float HmapMask::get(float x, float z) const
{
  int x0 = script_floor(x), z0 = script_floor(z);
  float fx = x - float(x0), fz = z - float(z0);
  float a = at(x0, z0), b = at(x0 + 1, z0);
  float c = at(x0, z0 + 1), d = at(x0 + 1, z0 + 1);
  float top = a + (b - a) * fx;
  float bottom = c + (d - c) * fx;
  return float(double(top) + (double(bottom) - double(top)) * double(fz));
}

// Both start at cell 0; min takes every value not greater than it, max every
// value greater.
static void min_max(const float* cells, float& lo, float& hi)
{
  lo = hi = cells[0];
  for (int i = 1; i < HMAP_CELLS; i++) {
    float v = cells[i];
    if (v <= lo) lo = v;
    if (v > hi) hi = v;
  }
}

SqObject HmapMask::calcMinMax(HSQUIRRELVM vm) const
{
  float lo, hi;
  min_max(cells, lo, hi);
  HSQUIRRELVM avm = world_vm_or(vm);
  StackRestore restore(avm);
  sq_newarray(avm, 0);
  sq_pushfloat(avm, lo);
  sq_arrayappend(avm, -2);
  sq_pushfloat(avm, hi);
  sq_arrayappend(avm, -2);
  return SqObject::fromStack(avm, -1);
}

// ---- per-cell callbacks ----

void HmapMask::processRect(float x0, float z0, float x1, float z1, SqObject fn)
{
  // A cell is visited when its integer coordinate lies within the bounds.
  int ix0 = script_ceil(x0), ix1 = script_floor(x1);
  int iz0 = script_ceil(z0), iz1 = script_floor(z1);
  check_script_bound(double(x1) - double(x0), SCRIPT_MAX_SPAN, "processRect: width");
  check_script_bound(double(z1) - double(z0), SCRIPT_MAX_SPAN, "processRect: height");
  SqFunc<float> f;
  f.set(world_vm_or(fn.vm), fn);
  RepeatedCall<float> call(f);
  // 64-bit counters: a bound near the top of the int range must not wrap.
  for (int64_t z = iz0; z <= iz1; z++)
    for (int64_t x = ix0; x <= ix1; x++) {
      float& c = at(int(x), int(z));
      c = call(int(x), int(z), c);
    }
}

void HmapMask::processAll(SqObject fn)
{
  SqFunc<float> f;
  f.set(world_vm_or(fn.vm), fn);
  RepeatedCall<float> call(f);
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      float& c = at(x, z);
      c = call(x, z, c);
    }
}

// ---- allocation and the instance helpers ----

HmapMask* alloc_hmap_mask() { return (HmapMask*)calloc(1, sizeof(HmapMask)); }

void push_hmap_mask(HSQUIRRELVM vm, HmapMask* mask)
{
  push_instance(vm, mask, class_tag<HmapMask>(), "HmapMask", release_native<HmapMask>);
}

HmapMask* get_hmap_mask_arg(HSQUIRRELVM vm, SQInteger idx)
{
  if (idx > sq_gettop(vm)) throw_instance_error();
  return (HmapMask*)get_instance_arg(vm, idx, class_tag<HmapMask>(), true);
}

// HmapMask(fill): a number fills every cell; anything else is called as
// fill(x, z) for every cell in the VM that constructs.
static void hmap_mask_ctor(HSQUIRRELVM vm, SqObject fill)
{
  HmapMask* m = alloc_hmap_mask();
  if (m) {
    try {
      if (sq_isnumeric(fill.o)) {
        float v = sq_objtofloat(&fill.o);
        for (int i = 0; i < HMAP_CELLS; i++) m->cells[i] = v;
      } else {
        SqFunc<float> f;
        f.set(vm, fill);
        RepeatedCall<float> call(f);
        for (int z = 0; z < 256; z++)
          for (int x = 0; x < 256; x++) m->at(x, z) = call(x, z);
      }
    } catch (...) {
      free(m);
      throw;
    }
  }
  // Out of memory fails the binding layer's assertion here.
  init_native_instance(m, vm);
}

// ---- factories ----

HmapMask* hmap_mask_fast_noise(float amplitude, float roughness)
{
  HmapMask* m = alloc_hmap_mask();
  if (m) HeightmapData::makeFastNoise(m->cells, amplitude, roughness);
  return m;
}

HmapMask* hmap_mask_from_height()
{
  HmapMask* m = alloc_hmap_mask();
  if (m) memcpy(m->cells, HeightmapData::hmap, sizeof(m->cells));
  return m;
}

HmapMask* hmap_mask_from_slope()
{
  HmapMask* m = alloc_hmap_mask();
  if (!m) return nullptr;
  auto h = [](int x, int z) { return HeightmapData::hmap[HeightmapData::cell_index(x, z)]; };
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      float gx = 2.f * (h(x - 1, z) - h(x + 1, z)) + h(x - 1, z - 1) + h(x - 1, z + 1) - h(x + 1, z - 1) -
                 h(x + 1, z + 1);
      float gz = 2.f * (h(x, z - 1) - h(x, z + 1)) + h(x - 1, z - 1) + h(x + 1, z - 1) - h(x - 1, z + 1) -
                 h(x + 1, z + 1);
      m->at(x, z) = 8.f / sqrtf(gx * gx + 64.f + gz * gz);
    }
  return m;
}

HmapMask* hmap_mask_from_water()
{
  HmapMask* m = alloc_hmap_mask();
  if (!m) return nullptr;
  for (int i = 0; i < HMAP_CELLS; i++)
    m->cells[i] = HeightmapData::water[HeightmapData::cell_z(i)][HeightmapData::cell_x(i)].amount;
  return m;
}

HmapMask* hmap_mask_from_simplex_noise(float scale, float frequency, int octaves, SqFloatRamp* curve,
                                       float persistence)
{
  check_script_bound(octaves, SCRIPT_MAX_OCTAVES, "fromSimplexNoise: octaves");
  HmapMask* m = alloc_hmap_mask();
  if (!m) return nullptr;
  const FloatRamp* ramp = float_ramp_of(curve);
  // Each cell's n = curve(noise) + a * curve(noise of the next octave) + ...,
  // a = persistence, persistence^2, ..., built octave by octave in the cells.
  float s = frequency / 256.f;
  float coord[256];
  for (int i = 0; i < 256; i++) coord[i] = float(i) * s;
  float a = persistence;
  sweep_tiled_noise2_octaves(coord, frequency, octaves, [&](int o, int i, float noise) {
    if (o == 0) {
      m->cells[i] = apply_noise_curve(ramp, noise);
      return;
    }
    if (i == 0 && o > 1) a *= persistence;
    m->cells[i] += a * apply_noise_curve(ramp, noise);
  });
  for (int i = 0; i < HMAP_CELLS; i++) m->cells[i] = m->cells[i] * scale;
  return m;
}

static bool is_pow2_tile(int tile) { return tile > 0 && (tile & (tile - 1)) == 0; }

static int log2_of_tile(int tile)
{
  int l = 0;
  while ((1 << l) < tile) l++;
  return l;
}

// The random height table of the Voronoi factories: 256 draws, in order.
static void draw_height_table(float* table, float lo, float hi)
{
  for (int i = 0; i < 256; i++) table[i] = lo + (hi - lo) * rnd_float();
}

// The height of the Voronoi cell with that packed id (cell z * 65536 + cell x).
static inline float cell_height(const float* table, int id)
{
  return table[noise_perm[noise_perm[(id >> 16) & 255] + (id & 255)]];
}

HmapMask* hmap_mask_from_voronoi_hills(int tile, float min_height, float max_height, float radius)
{
  if (!is_pow2_tile(tile)) throw SquirrelError("tile must be power of 2 in fromVoronoiHills()");
  float table[256];
  draw_height_table(table, min_height, max_height);
  HmapMask* m = alloc_hmap_mask();
  if (!m) return nullptr;
  int k = log2_of_tile(tile);
  // A radius of 0 makes q infinite: every weight is then -inf or NaN, and no
  // hill rises.
  float q = 1.f / (radius * radius);
  float s = float(tile) / 256.f;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      Point2 pts[9];
      int ids[9];
      tiled_voronoi_noise2_all9(float(x) * s, float(z) * s, k, pts, ids);
      float best = 0.f;
      for (int j = 0; j < 9; j++) {
        float w = 1.f - (pts[j].x * pts[j].x + pts[j].z * pts[j].z) * q;
        if (w > 0.f) {
          float c = cell_height(table, ids[j]) * w;
          if (c > best) best = c;
        }
      }
      m->at(x, z) = best;
    }
  return m;
}

// One warp offset: octaves of tiled noise of the warp period, amplitudes 1,
// 0.5, 0.25, ...
static float warp_noise(float u, float v, float period, int octaves)
{
  float n = tiled_noise2(u, v, period);
  float a = 0.5f;
  for (int o = 1; o < octaves; o++) {
    u = 2.f * u + 0.5f;
    v = 2.f * v + 0.5f;
    period = 2.f * period;
    n += a * tiled_noise2(u, v, period);
    a *= 0.5f;
  }
  return n;
}

HmapMask* hmap_mask_from_voronoi_faults(int tile, float min_height, float max_height, float warp,
                                        int warp_frequency, int warp_octaves, float steepness)
{
  if (!is_pow2_tile(tile)) throw SquirrelError("tile must be power of 2 in fromVoronoiFaults()");
  check_script_bound(warp_octaves, SCRIPT_MAX_OCTAVES, "fromVoronoiFaults: octaves");
  float table[256];
  draw_height_table(table, min_height, max_height);
  HmapMask* m = alloc_hmap_mask();
  if (!m) return nullptr;
  int k2 = log2_of_tile(tile);
  float s = float(tile) / 256.f;
  float k = steepness / s;
  // The product in 64 bits: a large frequency must not overflow the int.
  float period = float(int64_t(tile) * int64_t(warp_frequency));
  float ns = period / 256.f;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      float dx = warp_noise(float(x) * ns, float(z) * ns, period, warp_octaves) * warp;
      float dz = warp_noise(float(z) * ns, float(x) * ns, period, warp_octaves) * warp;
      float d[4];
      int ids[4];
      tiled_voronoi_noise2_near4(float(x) * s + dx, float(z) * s + dz, k2, d, ids, nullptr);
      float h0 = cell_height(table, ids[0]);
      float h1 = cell_height(table, ids[1]);
      float g = fabsf(h0 - h1);
      if (g < 0.1f) g = 0.1f;
      float t = (sqrtf(d[1]) - sqrtf(d[0])) * k / g;
      m->at(x, z) = t > 1.f ? h0 : ((h0 - h1) * t + h0 + h1) * 0.5f;
    }
  return m;
}

// ---- root natives ----

void apply_height_mask(HmapMask* mask, SqObject fn)
{
  float* h = HeightmapData::hmap;
  if (fn.isNull()) {
    if (!mask) throw SquirrelError("no mask and no func in apply_height_mask()");
    for (int i = 0; i < HMAP_CELLS; i++) h[i] = h[i] + mask->cells[i];
    return;
  }
  SqFunc<float> f;
  f.set(world_vm_or(fn.vm), fn);
  RepeatedCall<float> call(f);
  for (int i = 0; i < HMAP_CELLS; i++) h[i] = mask ? call(h[i], mask->cells[i]) : call(h[i]);
}

void apply_water_mask(HmapMask* mask, SqObject fn)
{
  // The current grid is looked up for every cell: `water` names whichever
  // grid is current at the time of the access.
  auto amount = [](int i) -> float& {
    return HeightmapData::water[HeightmapData::cell_z(i)][HeightmapData::cell_x(i)].amount;
  };
  if (fn.isNull()) {
    if (!mask) throw SquirrelError("no mask and no func in apply_water_mask()");
    for (int i = 0; i < HMAP_CELLS; i++) amount(i) = amount(i) + mask->cells[i];
    return;
  }
  SqFunc<float> f;
  f.set(world_vm_or(fn.vm), fn);
  RepeatedCall<float> call(f);
  for (int i = 0; i < HMAP_CELLS; i++) {
    float v = mask ? call(amount(i), mask->cells[i]) : call(amount(i));
    amount(i) = v;
  }
}

void recolor_by_height(SqColorRamp& ramp_arg, HmapMask* mask)
{
  const ColorRamp& ramp = *color_ramp_of(&ramp_arg);
  const float* src = mask ? mask->cells : HeightmapData::hmap;
  float lo, hi;
  min_max(src, lo, hi);
  // A constant source has no range to spread over the ramp (1 / 0): every cell
  // takes sample 0, as does a value that gives no position (NaN).
  bool has_range = hi > lo;
  float k = 1.f / (hi - lo);
  for (int i = 0; i < HMAP_CELLS; i++) {
    vec4f c = ramp.samples[0];
    if (has_range) {
      float t = (src[i] - lo) * k * 256.f;
      if (t >= 256.f)
        c = ramp.samples[256];
      else if (t > 0.f) {
        int j = int(t);
        c = v_lerp(ramp.samples[j], ramp.samples[j + 1], t - float(j));
      }
    }
    HeightmapData::Surface& s = HeightmapData::surface[i];
    s.color = vec4f_to_color(c);
    s.topColor = 0;
    s.bits = (s.bits & ~uint32_t(HeightmapData::SURF_GROUND_MASK | HeightmapData::SURF_TYPE_MASK)) |
             uint32_t(HeightmapData::GT_SOIL) | (uint32_t(HeightmapData::ST_NONE) << HeightmapData::SURF_TYPE_SHIFT);
  }
}

// ---- registration ----

void register_hmap_mask(HSQUIRRELVM vm)
{
  ClassDef<HmapMask>(vm, "HmapMask")
    .ctor(hmap_mask_ctor)
    .method(&HmapMask::getraw, "getraw")
    .method(&HmapMask::get, "get")
    .method(&HmapMask::calcMinMax, "calcMinMax")
    .method(&HmapMask::processRect, "processRect")
    .method(&HmapMask::processAll, "processAll")
    .staticMethod(hmap_mask_fast_noise, "fastNoise")
    .staticMethod(hmap_mask_from_height, "fromHeight")
    .staticMethod(hmap_mask_from_slope, "fromSlope")
    .staticMethod(hmap_mask_from_water, "fromWater")
    .staticMethod(hmap_mask_from_simplex_noise, "fromSimplexNoise")
    .staticMethod(hmap_mask_from_voronoi_hills, "fromVoronoiHills")
    .staticMethod(hmap_mask_from_voronoi_faults, "fromVoronoiFaults");
  bind_function(vm, apply_height_mask, "apply_height_mask");
  bind_function(vm, apply_water_mask, "apply_water_mask");
}

void register_recolor_by_height(HSQUIRRELVM vm) { bind_function(vm, recolor_by_height, "recolor_by_height"); }
