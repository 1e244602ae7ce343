#include "worldrender/fluidSurface.h"

#include <cmath>

#include "engine/config.h"
#include "engine/random.h"
#include "worldrender/hmRender.h"
#include "worldrender/hmRenderInternal.h"

using namespace HeightmapData;

FluidSurfaceCell fluid_surface[2][HMAP_CELLS];
int fluid_surface_cur = 0;
FoamCell foam_field[2][HMAP_CELLS];
int foam_field_cur = 0;
int foam_counter = 0;
FluidSurfaceCell display_fluid_surface[HMAP_CELLS];

float fluid_surface_eps() { return gfx_quality == 1 ? 0.01f : 0.1f; }

namespace
{

void clear_surface_table()
{
  for (int b = 0; b < 2; ++b)
    for (int i = 0; i < HMAP_CELLS; ++i) fluid_surface[b][i] = {FLUID_NO_SURFACE, FLUID_NO_SURFACE};
  fluid_surface_cur = 0;
}

// Surfaces of the latest tick from the current fluid grid.
void build_surfaces(FluidSurfaceCell* out, float eps)
{
  const WaterRow* w = water;
  for (int z = 0; z < HMAP_SIZE; ++z) {
    for (int x = 0; x < HMAP_SIZE; ++x) {
      const int i = (z << HMAP_SIZE_SHIFT) | x;
      const float a = w[z][x].amount;
      const float h = hmap[i];
      FluidSurfaceCell s;
      s.water = a > eps ? a + h : FLUID_NO_SURFACE;
      s.lava = a < -eps ? h - a : FLUID_NO_SURFACE;
      // For each fluid the cell does not hold, the mean surface of the
      // neighbours that do, but never above the cell's own ground.
      float wsum = 0.f, lsum = 0.f;
      int wn = 0, ln = 0;
      for (int dz = -1; dz <= 1; ++dz) {
        const int nz = (z + dz) & HMAP_MASK;
        for (int dx = -1; dx <= 1; ++dx) {
          if (!dx && !dz) continue;
          const int nx = (x + dx) & HMAP_MASK;
          const float na = w[nz][nx].amount;
          if (na > eps) {
            wsum += hmap[(nz << HMAP_SIZE_SHIFT) | nx] + na;
            ++wn;
          } else if (na < -eps) {
            lsum += hmap[(nz << HMAP_SIZE_SHIFT) | nx] - na;
            ++ln;
          }
        }
      }
      if (!(a > eps) && wn) s.water = std::fmin(wsum / float(wn), h);
      if (!(a < -eps) && ln) s.lava = std::fmin(lsum / float(ln), h);
      out[i] = s;
    }
  }
}

// One entry of the foam field, bilinear at (px, pz): two lerps along x, then
// one along z, every coordinate wrapped.
inline FoamCell sample_foam(const FoamCell* src, float px, float pz)
{
  const float fi = std::floor(px), fj = std::floor(pz);
  const float tx = px - fi, tz = pz - fj;
  const int i = int(fi) & HMAP_MASK, j = int(fj) & HMAP_MASK;
  const int i1 = (i + 1) & HMAP_MASK, j1 = (j + 1) & HMAP_MASK;
  const FoamCell& a = src[(j << HMAP_SIZE_SHIFT) | i];
  const FoamCell& b = src[(j << HMAP_SIZE_SHIFT) | i1];
  const FoamCell& c = src[(j1 << HMAP_SIZE_SHIFT) | i];
  const FoamCell& d = src[(j1 << HMAP_SIZE_SHIFT) | i1];
  FoamCell r;
  r.ua = lerp(lerp(a.ua, b.ua, tx), lerp(c.ua, d.ua, tx), tz);
  r.va = lerp(lerp(a.va, b.va, tx), lerp(c.va, d.va, tx), tz);
  r.ub = lerp(lerp(a.ub, b.ub, tx), lerp(c.ub, d.ub, tx), tz);
  r.vb = lerp(lerp(a.vb, b.vb, tx), lerp(c.vb, d.vb, tx), tz);
  return r;
}

// A displacement the field can follow: the simulation keeps velocities finite,
// but a stray huge value must not turn into an out-of-range integer.
inline float safe_shift(float d) { return std::fabs(d) < 65536.f ? d : 0.f; }

void advect_foam(float dt)
{
  const FoamCell* src = foam_field[foam_field_cur ^ 1];
  FoamCell* dst = foam_field[foam_field_cur];
  const WaterRow* w = water;
  for (int z = 0; z < HMAP_SIZE; ++z) {
    const int zm = (z - 1) & HMAP_MASK;
    for (int x = 0; x < HMAP_SIZE; ++x) {
      const int xm = (x - 1) & HMAP_MASK;
      const float px = float(x) - safe_shift((w[z][xm].u + w[z][x].u) * dt);
      const float pz = float(z) - safe_shift((w[zm][x].w + w[z][x].w) * dt);
      dst[(z << HMAP_SIZE_SHIFT) | x] = sample_foam(src, px, pz);
    }
  }
}

// The camera cell of one axis, floor(v + 0.5), safe for any float.
inline int camera_cell(float v)
{
  const float f = std::floor(v + 0.5f);
  if (!std::isfinite(f)) return 0;
  return int(std::fmod(f, 256.f));
}

// Lays a fresh, randomly turned and shifted grid of coordinates over one pair
// of the latest buffer, centred on the camera so the coordinates jump only
// on the far side of the world.
void reseed_foam_pair(int pair)
{
  const float r1 = rnd_float(), r2 = rnd_float(), r3 = rnd_float();
  const float theta = float(2.0 * M_PI) * r1;
  const float oa = 256.f * r2, ob = 256.f * r3;
  const float c = std::cos(theta), s = std::sin(theta);
  const vec4f cam = land_camera_pos();
  const int cxc = camera_cell(v_extract_x(cam)), czc = camera_cell(v_extract_z(cam));
  FoamCell* dst = foam_field[foam_field_cur];
  for (int r = 0; r < HMAP_SIZE; ++r) {
    const float Z = float((r + 128 - czc) & HMAP_MASK);
    for (int col = 0; col < HMAP_SIZE; ++col) {
      const float X = float((col + 128 - cxc) & HMAP_MASK);
      const float u = X * c + Z * s + oa;
      const float v = -X * s + Z * c + ob;
      FoamCell& e = dst[(r << HMAP_SIZE_SHIFT) | col];
      if (pair == 0) {
        e.ua = u;
        e.va = v;
      } else {
        e.ub = u;
        e.vb = v;
      }
    }
  }
}

}  // namespace

void init_fluid_surfaces()
{
  for (int b = 0; b < 2; ++b)
    for (int z = 0; z < HMAP_SIZE; ++z)
      for (int x = 0; x < HMAP_SIZE; ++x) foam_field[b][(z << HMAP_SIZE_SHIFT) | x] = {float(x), float(z), float(z), float(x)};
  foam_field_cur = 0;
  foam_counter = 0;
  clear_surface_table();
  for (int i = 0; i < HMAP_CELLS; ++i) display_fluid_surface[i] = {FLUID_NO_SURFACE, FLUID_NO_SURFACE};
}

void update_fluid_surfaces(float dt)
{
  fluid_surface_cur ^= 1;
  foam_field_cur ^= 1;
  build_surfaces(fluid_surface[fluid_surface_cur], fluid_surface_eps());
  if (gfx_quality == 1) {
    advect_foam(dt);
    ++foam_counter;
    if (foam_counter == FOAM_CYCLE / 2) {
      reseed_foam_pair(0);
    } else if (foam_counter >= FOAM_CYCLE) {
      foam_counter = 0;
      reseed_foam_pair(1);
    }
  }
  invalidate_land_textures();
}

void reset_fluid_surfaces()
{
  clear_surface_table();
  invalidate_land_textures();
}

void calc_display_fluid_surfaces(float f)
{
  const FluidSurfaceCell* p = fluid_surface[fluid_surface_cur ^ 1];
  const FluidSurfaceCell* c = fluid_surface[fluid_surface_cur];
  for (int i = 0; i < HMAP_CELLS; ++i) {
    display_fluid_surface[i].water = blend_fluid_surface(p[i].water, c[i].water, f);
    display_fluid_surface[i].lava = blend_fluid_surface(p[i].lava, c[i].lava, f);
  }
}

float foam_fade_weight(float f) { return 1.f - std::fabs((float(foam_counter) + f - 20.f) * 0.05f); }
