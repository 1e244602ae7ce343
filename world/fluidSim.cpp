// Water and lava on the world grid: the cell rules and the fluid step.
//
// One grid holds both fluids: a positive amount is water, a negative one lava.
// Where they meet, the smaller quantity hardens into land of ash colour. The
// step is semi-Lagrangian: face velocities are carried along the flow by a
// bilinear back-trace and driven by the level difference across each face;
// then each cell sends fluid out through its outgoing faces.
//
// Every float expression keeps its written form and order (no folding, no
// reassociation): saved worlds and the look of the game rely on bit-identical
// results. The four-lane paths do lane by lane what the scalar code does.
#include "world/fluidSim.h"

#include <algorithm>
#include <cmath>

#include "engine/color.h"
#include "engine/config.h"
#include "world/noise.h"
#include "world/worldServices.h"

namespace HeightmapData
{
UpdateStatsTracker fluidSimTiming("fluid sim");
}

using namespace HeightmapData;

// ---- cell rules -----------------------------------------------------------------

static inline uint32_t blend_color(uint32_t packed, vec4f target, float t)
{
  vec4f c = color_to_vec4f(D3dColor(packed));
  return vec4f_to_color(c + (target - c) * v_splat(t)).u;
}

static inline void raise_cell(int cell, float h)
{
  hmap[cell] += h;
  target_hmap[cell] += h;
  float t = std::min(1.0f, h * 100.0f);
  Surface& s = surface[cell];
  s.topColor = blend_color(s.topColor, ash_color1, t);
  if (t >= 0.5f) s.bits = with_surface_type(s.bits, ST_ASH);
  s.color = blend_color(s.color, ash_color0, t);
}

static inline void vapour(int cell, float level, float amount)
{
  if (gfx_quality == 1 && spawn_water_vapor_fx) spawn_water_vapor_fx(cell_x(cell), cell_z(cell), level, amount);
}

static inline Water& cell_fluid(int cell) { return water[cell >> HMAP_SIZE_SHIFT][cell & HMAP_MASK]; }

static inline void pour_lava(int cell, float q)
{
  Water& c = cell_fluid(cell);
  float a = c.amount;
  if (q > 0.f) {
    if (a > 0.f) {
      float s = q;
      if (q > a) {
        s = a;
        c.u = 0.f;
        c.w = 0.f;
      }
      raise_cell(cell, s);
      vapour(cell, std::fabs(a - q) + hmap[cell], s);
    }
    c.amount = a - q;
  } else if (a < q) {
    c.amount = a - q;
  } else if (a < 0.f) {
    c.amount = 0.f;
  }
}

static inline void pour_water(int cell, float q)
{
  Water& c = cell_fluid(cell);
  float a = c.amount;
  if (q > 0.f) {
    if (a < 0.f) {
      float s = q;
      if (q > -a) s = -a;
      raise_cell(cell, s);
      vapour(cell, std::fabs(a + q) + hmap[cell], s);
    }
    c.amount = a + q;
  } else if (a > -q) {
    c.amount = a + q;
  } else if (a > 0.f) {
    c.amount = 0.f;
  }
}

void raise_cell_with_ash(int cell, float h) { raise_cell(cell & (HMAP_CELLS - 1), h); }
void add_cell_lava(int cell, float q) { pour_lava(cell & (HMAP_CELLS - 1), q); }
void add_cell_water(int cell, float q) { pour_water(cell & (HMAP_CELLS - 1), q); }

// ---- the step ---------------------------------------------------------------------

namespace
{

// Factors of one step of length dt.
struct StepFactors
{
  float dt, K, dampW, dampL, dz, foamDecay, harden, outflow;

  explicit StepFactors(float t)
  {
    dt = t;
    K = t * 10.f;
    dampW = std::max(0.f, 1.f - t * 0.03f);
    dampL = std::max(0.f, 1.f - t * 0.3f);
    dz = K * 0.1f;
    foamDecay = std::max(0.f, 1.f - t * 5.f);
    harden = std::min(1.f, t * 0.1f);
    outflow = t * 4.f;
  }
};

inline int idx(int x, int z) { return ((z & HMAP_MASK) << HMAP_SIZE_SHIFT) | (x & HMAP_MASK); }

// Bilinear sample of one velocity field (u or w, by member offset) and of the
// foam at (px, pz): along x first, then along z.
template <float Water::*V>
inline void sample_bilinear(const Water* src, float px, float pz, float& vel, float& foam)
{
  int x0 = fast_floor(px), z0 = fast_floor(pz);
  float fx = px - float(x0), fz = pz - float(z0);
  const Water& c00 = src[idx(x0, z0)];
  const Water& c10 = src[idx(x0 + 1, z0)];
  const Water& c01 = src[idx(x0, z0 + 1)];
  const Water& c11 = src[idx(x0 + 1, z0 + 1)];
  float v0 = lerp(c00.*V, c10.*V, fx);
  float v1 = lerp(c01.*V, c11.*V, fx);
  vel = lerp(v0, v1, fz);
  float f0 = lerp(c00.foam, c10.foam, fx);
  float f1 = lerp(c01.foam, c11.foam, fx);
  foam = lerp(f0, f1, fz);
}

inline float lava_depth(float amount) { return amount < 0.f ? -amount : 0.f; }

// The new velocity of one face from its carried sample and head term;
// `head` comes back with the dead zone applied (lava) for the foam.
inline float face_velocity(const StepFactors& f, float sample, float& head, float amount_a, float amount_b,
                           unsigned noise)
{
  if (amount_a + amount_b >= 0.f) return sample * f.dampW + head;
  float d = head;
  if (d < -f.dz)
    d = d + f.dz;
  else if (d > f.dz)
    d = d - f.dz;
  else
    d = 0.f;
  head = d;
  float v = sample * f.dampL + d * 0.3f;
  float g = ((float(noise) / 255.f) * 0.85f + 1.f - 0.85f) * (lava_depth(amount_a) + lava_depth(amount_b));
  if (g < 0.05f)
    v = 0.f;
  else if (g < 0.2f)
    v = v * (g - 0.05f) * 6.6666665f;
  return v;
}

// Stops a face whose upwind side has no fluid above the other side's land.
inline float block_face(float v, float a_i, float h_i, float a_n, float h_n, float& bonus)
{
  float out_i = std::min(a_i, (a_i + h_i) - h_n);
  float out_n = std::min(a_n, (a_n + h_n) - h_i);
  if ((v >= 0.f && out_i <= 0.f) || (v < 0.f && out_n <= 0.f)) {
    bonus += 0.01f;
    return 0.f;
  }
  return v;
}

// Pass 1: new face velocities, foam and a copy of the amount for every cell.
// Reads only the source grid, writes only the destination.
void advect_faces(const StepFactors& f, const Water* src, Water* dst)
{
  for (int z = 0; z < HMAP_SIZE; z++) {
    for (int x = 0; x < HMAP_SIZE; x++) {
      int i = idx(x, z), ix = idx(x + 1, z), iz = idx(x, z + 1);
      const Water& s = src[i];
      float a_i = std::fabs(s.amount), h_i = hmap[i];
      float a_x = std::fabs(src[ix].amount), h_x = hmap[ix];
      float a_z = std::fabs(src[iz].amount), h_z = hmap[iz];
      unsigned noise = noise_perm[z + noise_perm[x]];
      float bonus = 0.f;

      // Face toward +x.
      float dV = ((a_i + h_i) - h_x - a_x) * f.K;
      float wbar = (s.w + src[ix].w + src[idx(x, z - 1)].w + src[idx(x + 1, z - 1)].w) / 4.f;
      float sample, Fx;
      sample_bilinear<&Water::u>(src, float(x) - s.u * f.dt, float(z) - wbar * f.dt, sample, Fx);
      float u = face_velocity(f, sample, dV, s.amount, src[ix].amount, noise);
      u = block_face(u, a_i, h_i, a_x, h_x, bonus);

      // Face toward +z.
      float dW = ((a_i + h_i) - h_z - a_z) * f.K;
      float ubar = (src[idx(x - 1, z)].u + s.u + src[iz].u + src[idx(x - 1, z + 1)].u) / 4.f;
      float Fz;
      sample_bilinear<&Water::w>(src, float(x) - ubar * f.dt, float(z) - s.w * f.dt, sample, Fz);
      float w = face_velocity(f, sample, dW, s.amount, src[iz].amount, noise);
      w = block_face(w, a_i, h_i, a_z, h_z, bonus);

      float around = 2.f * (Fx + Fz) + src[ix].foam + src[idx(x - 1, z)].foam + src[iz].foam + src[idx(x, z - 1)].foam;
      float foam = std::min(1.f, around * 0.125f * f.foamDecay + 3.2f * (dV * dV + dW * dW) + bonus);

      Water& d = dst[i];
      d.amount = s.amount;
      d.u = u;
      d.w = w;
      d.foam = foam;
    }
  }
}

// Moves one colour of the cell and its four neighbours toward their weighted mean.
template <uint32_t Surface::*C>
void smooth_color(int i, int xm, int zm, int xp, int zp)
{
  vec4f ci = color_to_vec4f(D3dColor(surface[i].*C));
  vec4f cxm = color_to_vec4f(D3dColor(surface[xm].*C));
  vec4f czm = color_to_vec4f(D3dColor(surface[zm].*C));
  vec4f cxp = color_to_vec4f(D3dColor(surface[xp].*C));
  vec4f czp = color_to_vec4f(D3dColor(surface[zp].*C));
  vec4f avg = (v_splat(4.f) * ci + cxm + czm + cxp + czp) * v_splat(0.125f);
  surface[i].*C = vec4f_to_color(ci + (avg - ci) * v_splat(0.1f)).u;
  surface[xm].*C = vec4f_to_color(cxm + (avg - cxm) * v_splat(0.03f)).u;
  surface[zm].*C = vec4f_to_color(czm + (avg - czm) * v_splat(0.03f)).u;
  surface[xp].*C = vec4f_to_color(cxp + (avg - cxp) * v_splat(0.03f)).u;
  surface[zp].*C = vec4f_to_color(czp + (avg - czp) * v_splat(0.03f)).u;
}

// Pass 2 for one wet cell: evaporation or hardening, then outflow into the
// four neighbours by the cell rules. Later cells see what earlier ones did.
void flow_out(const StepFactors& f, Water* dst, int x, int z, float A)
{
  int i = idx(x, z);
  int xm = idx(x - 1, z), zm = idx(x, z - 1), xp = idx(x + 1, z), zp = idx(x, z + 1);
  float B;
  if (A < 0.f) {
    float s = -A > 0.003f ? -A * f.harden : -A;
    dst[i].amount += s;
    raise_cell(i, s);
    smooth_color<&Surface::color>(i, xm, zm, xp, zp);
    smooth_color<&Surface::topColor>(i, xm, zm, xp, zp);
    B = -A - s;
  } else if (A < 0.5f) {
    if (A >= 0.01f) {
      dst[i].amount += A * f.dampW - A;
      B = A * f.dampW;
    } else {
      dst[i].amount -= A;
      B = 0.f;
    }
  } else {
    B = A;
  }

  float L = hmap[i] + B;
  float v_xm = -dst[xm].u, v_zm = -dst[zm].w, v_xp = dst[i].u, v_zp = dst[i].w;
  v_xm = (v_xm >= 0.f && L >= hmap[xm]) ? v_xm : 0.f;
  v_zm = (v_zm >= 0.f && L >= hmap[zm]) ? v_zm : 0.f;
  v_xp = (v_xp >= 0.f && L >= hmap[xp]) ? v_xp : 0.f;
  v_zp = (v_zp >= 0.f && L >= hmap[zp]) ? v_zp : 0.f;
  float F = v_xm + v_zm + v_xp + v_zp;
  float V = F * f.outflow;
  if (!(V > 0.001f)) return;
  V = std::min(V, B);

  if (A < 0.f) {
    dst[i].amount += V;
    pour_lava(xm, v_xm * V / F);
    pour_lava(zm, v_zm * V / F);
    pour_lava(xp, v_xp * V / F);
    pour_lava(zp, v_zp * V / F);
  } else {
    dst[i].amount -= V;
    pour_water(xm, v_xm * V / F);
    pour_water(zm, v_zm * V / F);
    pour_water(xp, v_xp * V / F);
    pour_water(zp, v_zp * V / F);
  }
}

}  // namespace

void HeightmapData::simWater(float dt)
{
  ScopedUpdateStats timing(fluidSimTiming);
  std::swap(water, tmpw);
  const Water* src = &tmpw[0][0];
  Water* dst = &water[0][0];
  StepFactors f(dt);

  advect_faces(f, src, dst);

  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) {
      float A = src[idx(x, z)].amount;
      if (A != 0.f) flow_out(f, dst, x, z, A);
    }
}
