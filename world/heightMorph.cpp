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

float water_vapor_accum = 0.f;

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

  // Sums of the moving runs per octant: (x * w, hmax * w, z * w, w).
  vec4f sums[8];
  for (vec4f& s : sums) s = v_zero();

  const vec4f threshold = v_splat(0.001f);
  const vec4f height_lane = _mm_castsi128_ps(_mm_setr_epi32(0, -1, 0, 0));
  for (int z = 0; z < HMAP_SIZE; z++) {
    int dz = wrap_offset(z - cz);
    float pos_z = float(cz + dz);
    for (int x = 0; x < HMAP_SIZE; x += 4) {
      int i = (z << HMAP_SIZE_SHIFT) + x;
      vec4f h = v_ld(hmap + i);
      vec4f T = v_ld(target_hmap + i);
      vec4f diff = v_abs(T - h);
      if (v_all(v_cmp_lt(diff, threshold))) continue;

      // The run's weight (largest difference) and highest cell, in every lane;
      // the order of a maximum does not change its value.
      vec4f w = v_max(diff, _mm_shuffle_ps(diff, diff, _MM_SHUFFLE(2, 3, 0, 1)));
      w = v_max(w, _mm_shuffle_ps(w, w, _MM_SHUFFLE(1, 0, 3, 2)));
      vec4f hmax = v_max(h, _mm_shuffle_ps(h, h, _MM_SHUFFLE(2, 3, 0, 1)));
      hmax = v_max(hmax, _mm_shuffle_ps(hmax, hmax, _MM_SHUFFLE(1, 0, 3, 2)));

      int dx = wrap_offset(x - cx);
      vec4f pos = v_sel(height_lane, hmax, make4f(float(cx + dx), 0.f, pos_z, 1.f));
      sums[octant(dx, dz)] += pos * w;

      v_st(hmap + i, morph_step(h, T, dt));
    }
  }
  for (int g = 0; g < 8; g++) land_sound[g].sums = sums[g];

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
