// The land follows its target heights at a bounded speed, audibly.
//
// Step rule for a cell of height h, target T and time t: d = T - h,
// rate = min(0.2 t, 1), h += sign(d) * min(|d| * rate + t, |d|): 20 % of the
// remaining difference per second plus one unit per second, never past the
// target. The tick (updateHmap) works on runs of four cells along x as one
// vector: a run is left alone while all four cells are within 0.001 of their
// targets, and moving runs are summed per octant round the camera cell to
// place up to eight "land_moving" sounds. The frame morph (morphHmap) applies
// the same rule to every cell without the threshold and changes nothing.
#include "world/heightmapData.h"

#include <cmath>

#include "engine/config.h"
#include "engine/random.h"
#include "world/worldServices.h"

using namespace HeightmapData;

namespace
{

const int LAND_MOVING_SOUND_EVENT = 27;

// The step rule on four cells at once; each lane does exactly the scalar rule.
inline vec4f morph_step(vec4f h, vec4f T, float t)
{
  vec4f d = T - h;
  vec4f ad = v_abs(d);
  vec4f rate = v_splat(std::fmin(0.2f * t, 1.0f));
  vec4f m = v_min(ad * rate + v_splat(t), ad);
  // sign(d) * m: m >= 0, so taking d's sign bit is the same product
  // (d == 0 gives m == 0, a +0 step either way).
  vec4f sign = _mm_and_ps(d, v_splat(-0.f));
  m = _mm_andnot_ps(_mm_cmpeq_ps(d, v_zero()), v_xor(m, sign));
  return h + m;
}

// Brings an offset on the 256-cell circle into [-128, 128].
inline int wrap_offset(int d)
{
  if (d > 128) d -= 256;
  if (d < -128) d += 256;
  return d;
}

// The camera cell coordinate of one axis: floor(v + 0.5) & 255, safe for any float.
inline int camera_cell(float v)
{
  float f = std::floor(v + 0.5f);
  if (!std::isfinite(f)) return 0;
  return int(std::fmod(f, 256.f)) & HMAP_MASK;
}

inline int octant(int dx, int dz)
{
  return (dx < 0 ? 1 : 0) | (dz < 0 ? 2 : 0) | (std::abs(dz) > std::abs(dx) ? 4 : 0);
}

}  // namespace

void HeightmapData::updateHmap(float dt)
{
  int cx = camera_cell(scene_camera_pos[0]);
  int cz = camera_cell(scene_camera_pos[2]);

  for (LandSoundGroup& g : land_sound) g.sums = v_zero();

  const vec4f threshold = v_splat(0.001f);
  for (int i = 0; i < HMAP_CELLS; i += 4) {
    vec4f h = v_ld(hmap + i);
    vec4f T = v_ld(target_hmap + i);
    vec4f diff = v_abs(T - h);
    if (v_all(v_cmp_lt(diff, threshold))) continue;

    float w = std::fmax(std::fmax(diff[0], diff[1]), std::fmax(diff[2], diff[3]));
    float hmax = std::fmax(std::fmax(h[0], h[1]), std::fmax(h[2], h[3]));
    int dx = wrap_offset(cell_x(i) - cx);
    int dz = wrap_offset(cell_z(i) - cz);
    land_sound[octant(dx, dz)].sums += make4f(float(cx + dx) * w, hmax * w, float(cz + dz) * w, w);

    v_st(hmap + i, morph_step(h, T, dt));
  }

  for (LandSoundGroup& g : land_sound) {
    float W = g.sums[3];
    if (!(W > 0.f)) {
      fade_out_and_stop_sound(g.channel, 50);
      continue;
    }
    bool started = false;
    if (!is_sound_playing(g.channel)) {
      g.channel = get_sound_event_channel(LAND_MOVING_SOUND_EVENT);
      started = true;
    }
    set_sound_3d_params(g.channel, powf(W, 0.33333f) * 10.f, 256.f);
    set_sound_3d_pos(g.channel, g.sums / v_splat(W), v_zero());
    if (started) {
      set_relative_sound_pos(g.channel, rnd_float());
      slide_sound_volume(g.channel, 1.0f, 50);
      play_sound(g.channel, true);
    }
  }
}

void HeightmapData::morphHmap(float t, float* out)
{
  for (int i = 0; i < HMAP_CELLS; i += 4)
    v_stu(out + i, morph_step(v_ld(hmap + i), v_ld(target_hmap + i), t));
}

void HeightmapData::stopSounds()
{
  for (LandSoundGroup& g : land_sound) fade_out_and_stop_sound(g.channel, 10);
}

void HeightmapData::water_vapor_fx(int x, int z, float level, float amount)
{
  if (gfx_quality == 1 && spawn_water_vapor_fx) spawn_water_vapor_fx(x, z, level, amount);
}
