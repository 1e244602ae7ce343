// Small operations on the world grid: the height range and its re-centring,
// the highest surface under a square, a flood of fluid everywhere, the mark
// byte of every cell with its setters and tests, and a ray test against the
// land.
//
// Rectangles and circles wrap, so any shape wider than the grid visits the
// same cells again; those repeats change no mark and no test result, and the
// loops here stop after one period instead of walking a huge shape cell by
// cell. Inputs that are not finite numbers select no cell.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "world/heightmapData.h"
#include "world/worldServices.h"

using namespace HeightmapData;

namespace
{

inline uint32_t& mark_word(int x, int z) { return surface[cell_index(x, z)].bits; }

inline void set_marks(uint32_t& bits, unsigned value, unsigned mask)
{
  bits = (bits & ~((mask & 255u) << SURF_MARK_SHIFT)) | ((value & 255u) << SURF_MARK_SHIFT);
}

inline bool marks_pass(uint32_t bits, unsigned mask, unsigned value) { return (cell_marks(bits) & mask) == value; }

// Calls fn(x, z) for every cell of the rectangle, rows of z, x inside, until
// fn returns false; false then.
template <typename Fn>
bool for_rect_cells(int x0, int z0, int x1, int z1, Fn fn)
{
  if (x0 > x1 || z0 > z1) return true;
  int64_t w = std::min<int64_t>(int64_t(x1) - x0 + 1, HMAP_SIZE);
  int64_t h = std::min<int64_t>(int64_t(z1) - z0 + 1, HMAP_SIZE);
  for (int64_t dz = 0; dz < h; dz++)
    for (int64_t dx = 0; dx < w; dx++)
      if (!fn(int(x0 + dx), int(z0 + dz))) return false;
  return true;
}

// A circle of r above this holds a whole period of integer points in both
// directions wherever its centre lies (128.5 * sqrt(2) < 182): it is every cell.
const float WHOLE_GRID_RADIUS = 182.f;

// Calls fn(x, z) for every cell of the circle (r <= 1: the cell nearest the
// centre; else every integer point strictly inside), rows of z from the
// lowest, until fn returns false; false then.
template <typename Fn>
bool for_circle_cells(float x, float z, float r, Fn fn)
{
  if (!std::isfinite(x) || !std::isfinite(z) || std::isnan(r)) return true;
  // Far from the origin only the position within the period matters.
  if (std::fabs(x) >= 4194304.f) x = std::fmod(x, 256.f);
  if (std::fabs(z) >= 4194304.f) z = std::fmod(z, 256.f);
  if (r <= 1.f) return fn(int(std::nearbyint(x)), int(std::nearbyint(z)));
  if (r > WHOLE_GRID_RADIUS) return for_rect_cells(0, 0, HMAP_MASK, HMAP_MASK, fn);
  float r2 = r * r;
  int zlo = int(std::ceil(z - r)), zhi = int(std::floor(z + r));
  int xlo = int(std::ceil(x - r)), xhi = int(std::floor(x + r));
  for (int Z = zlo; Z <= zhi; Z++) {
    float dz = float(Z) - z;
    for (int X = xlo; X <= xhi; X++) {
      float dx = float(X) - x;
      if (dx * dx + dz * dz < r2 && !fn(X, Z)) return false;
    }
  }
  return true;
}

// floor(v) as an int when it lies well inside the int range.
inline bool floor_to_int(float v, int& out)
{
  float f = std::floor(v);
  if (!(std::fabs(f) < 1073741824.f)) return false;
  out = int(f);
  return true;
}

}  // namespace

// ---- heights ------------------------------------------------------------------------

void HeightmapData::calcHtRange(float& lo, float& hi)
{
  // NaN heights take no part, also at the start (all NaN gives a NaN range).
  int first = 0;
  while (first < HMAP_CELLS - 1 && std::isnan(hmap[first])) first++;
  lo = hi = hmap[first];
  for (int i = first + 1; i < HMAP_CELLS; i++) {
    float v = hmap[i];
    if (v < lo)
      lo = v;
    else if (v > hi)
      hi = v;
  }
}

float HeightmapData::recenterHt()
{
  float lo, hi;
  calcHtRange(lo, hi);
  float shift = -(lo + hi) * 0.5f;
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] += shift;
  return (hi - lo) * 0.5f;
}

vec4f HeightmapData::calcSquareDepth(vec4f centre, float r, bool withFluid)
{
  auto H = [withFluid](int x, int z) {
    int i = cell_index(x, z);
    float h = hmap[i];
    if (withFluid) h += std::fabs(water[cell_z(i)][cell_x(i)].amount);
    return h;
  };

  float M = -3.4028235e38f;
  auto raise = [&M](float v) {
    if (v > M) M = v;
  };

  float lx = centre[0] - r, lz = centre[2] - r, ux = centre[0] + r, uz = centre[2] + r;
  int X0, Z0, X1, Z1;
  if (floor_to_int(lx, X0) && floor_to_int(lz, Z0) && floor_to_int(ux, X1) && floor_to_int(uz, Z1)) {
    float fx0 = lx - float(X0), fz0 = lz - float(Z0), fx1 = ux - float(X1), fz1 = uz - float(Z1);
    auto bilinear = [&H](int x, int z, float fx, float fz) {
      float a = lerp(H(x, z), H(x + 1, z), fx);
      float b = lerp(H(x, z + 1), H(x + 1, z + 1), fx);
      return lerp(a, b, fz);
    };
    raise(bilinear(X0, Z0, fx0, fz0));
    raise(bilinear(X1, Z0, fx1, fz0));
    raise(bilinear(X0, Z1, fx0, fz1));
    raise(bilinear(X1, Z1, fx1, fz1));

    // Grid lines repeat every period, so one period of them gives the same maximum.
    int xn = int(std::min<int64_t>(int64_t(X1) - X0, HMAP_SIZE));
    int zn = int(std::min<int64_t>(int64_t(Z1) - Z0, HMAP_SIZE));
    for (int k = 1; k <= xn; k++) {
      int x = X0 + k;
      raise(H(x, Z0) * (1.f - fz0) + H(x, Z0 + 1) * fz0);
      raise(H(x, Z1) * (1.f - fz1) + H(x, Z1 + 1) * fz1);
    }
    for (int k = 1; k <= zn; k++) {
      int z = Z0 + k;
      raise(H(X0, z) * (1.f - fx0) + H(X0 + 1, z) * fx0);
      raise(H(X1, z) * (1.f - fx1) + H(X1 + 1, z) * fx1);
    }
    for (int kz = 1; kz <= zn; kz++)
      for (int kx = 1; kx <= xn; kx++) raise(H(X0 + kx, Z0 + kz));
  }
  return v_splat(M - centre[1]);
}

void HeightmapData::addWaterEverywhere(float amount)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) water[z][x].amount += amount;
}

// ---- marks ------------------------------------------------------------------------------

void mark_rect(int x0, int z0, int x1, int z1, unsigned value, unsigned mask)
{
  for_rect_cells(x0, z0, x1, z1, [=](int x, int z) {
    set_marks(mark_word(x, z), value, mask);
    return true;
  });
}

void mark_circle(float x, float z, float r, unsigned value, unsigned mask)
{
  for_circle_cells(x, z, r, [=](int cx, int cz) {
    set_marks(mark_word(cx, cz), value, mask);
    return true;
  });
}

void mark_water(float threshold, unsigned value, unsigned mask)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      if (water[z][x].amount > threshold) set_marks(mark_word(x, z), value, mask);
}

bool test_rect_mark(int x0, int z0, int x1, int z1, unsigned mask, unsigned value)
{
  return for_rect_cells(x0, z0, x1, z1, [=](int x, int z) { return marks_pass(mark_word(x, z), mask, value); });
}

bool test_circle_mark(float x, float z, float r, unsigned mask, unsigned value)
{
  return for_circle_cells(x, z, r, [=](int cx, int cz) { return marks_pass(mark_word(cx, cz), mask, value); });
}

// ---- ray test --------------------------------------------------------------------------------

bool trace_hmap_ray(vec4f origin, vec4f dir, float& dist)
{
  if (!(dist >= 0.f)) return false;
  float n = std::floor(dist * std::sqrt(dir[0] * dir[0] + dir[2] * dir[2]));
  // A reach beyond 2^31 units (or an endless one) would never finish sampling.
  if (!(n >= 1.f) || !(n <= 2147483648.f)) return false;
  if (!get_land_height_at) return false;
  int64_t count = int64_t(n);
  for (int64_t i = 0; i <= count; i++) {
    float t = float(i) * dist / n;
    vec4f p = origin + v_splat(t) * dir;
    if (get_land_height_at(p) >= p[1]) {
      dist = t;
      return true;
    }
  }
  return false;
}
