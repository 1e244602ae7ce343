// Missiles, lasting sources and the thunderstorm: their flight, their work
// on the world and their saved state.
#include "gameobj/missiles.h"
#include "gameobj/effects.h"
#include "gameobj/spellValues.h"

#include "gameshell/proximity.h"
#include "gameshell/soundEvents.h"
#include "world/hmGen.h"
#include "worldrender/trails.h"
#include "scripting/fxScript.h"

#include "engine/random.h"

#include <cmath>
#include <cstring>

namespace
{
float wrap_coord(float v)
{
  float q = v / 256.f;
  return (q - floorf(q)) * 256.f;
}

// The shorter way from b to a along one axis of the wrapping world.
float wrap_delta(float a, float b) { return wrap_coord(a - b + 128.f) - 128.f; }

vec4f rgba(float r, float g, float b, float a) { return make4f(r, g, b, a); }

// The top of land and fluid at (x, z).
float surface_height(float x, float z)
{
  const int cell = HeightmapData::cell_index(int(floorf(x)), int(floorf(z)));
  const float fluid = HeightmapData::water[cell >> 8][cell & 255].amount;
  return land_height(x, z) + std::fabs(fluid);
}

float read_finite(InputStream& s, float lo, float hi)
{
  float v = s.readValue<float>();
  if (!std::isfinite(v) || v < lo || v > hi) throw InputStream::Exception("bad value in a spell's saved state", s.tell());
  return v;
}

// Calls fn(cell, d) for every cell whose corner lies closer than r to (x, z).
template <class Fn>
void for_cells_in_radius(float x, float z, float r, Fn fn)
{
  const int x0 = int(floorf(x - r)), x1 = int(ceilf(x + r));
  const int z0 = int(floorf(z - r)), z1 = int(ceilf(z + r));
  for (int cz = z0; cz <= z1; ++cz)
    for (int cx = x0; cx <= x1; ++cx) {
      const float dx = float(cx) - x, dz = float(cz) - z;
      const float d = sqrtf(dx * dx + dz * dz);
      if (d < r) fn(HeightmapData::cell_index(cx, cz), d);
    }
}
}  // namespace

// ---- shared ----

float read_spell_time(InputStream& s) { return read_finite(s, 0.f, 3600.f); }

unsigned spell_sound(const char* event, vec4f at)
{
  for (int id = 0; id < NUM_SOUND_EVENTS; ++id)
    if (strcmp(sound_event_name[id], event) == 0) return play_sound_event(id, at, v_zero());
  return 0;
}

void spell_glow_fx(vec4f at)
{
  call_fx_script("magic_sparkle", at + make4f(0, 0.5f, 0, 0), make4f(0, 1, 0, 0), rgba(0.8f, 0.7f, 1.f, 1.f), 0.3f);
}

int hurt_in_radius(vec4f at, float r, float amount)
{
  ProximityQuery q;
  q.proximityQuery(make4f(at[0] - r, at[2] - r, at[0] + r, at[2] + r), false);
  // Gathered first: a hurt object may leave the grid or go.
  DynArray<PluginObject*> hit;
  for (int b : q.bins)
    for (GameObj* o : proximity[b]) {
      PluginObject* p = static_cast<PluginObject*>(o);
      if (p->flags & 1) continue;
      const float dx = wrap_delta(p->pos[0], at[0]), dz = wrap_delta(p->pos[2], at[2]);
      if (dx * dx + dz * dz <= r * r && hit.find(p) < 0) hit.push_back(p);
    }
  for (PluginObject* p : hit)
    if (!(p->flags & 1)) p->hurt(amount);
  return hit.num;
}

void bump_targets(float x, float z, float r, float dh)
{
  for_cells_in_radius(x, z, r, [&](int cell, float d) {
    const float k = 1.f - (d * d) / (r * r);
    HeightmapData::target_hmap[cell] += dh * (k * k);
  });
}

void lightning_strike(float x, float z, float r, float harm)
{
  strike_lightning(make4f(x, 0.f, z, 1.f), make4f(0, 0, 1, 0), 0.f);
  hurt_in_radius(make4f(x, land_height(x, z), z, 1.f), r, harm);
}

// ---- missiles ----

Missile::~Missile()
{
  if (trail >= 0) stop_trail_fx(trail);
}

void Missile::tick(float dt)
{
  vel[1] -= gravity() * dt;
  vec4f next = pos + vel * v_splat(dt);
  next[0] = wrap_coord(next[0]);
  next[2] = wrap_coord(next[2]);
  life -= dt;
  const float ground = surface_height(next[0], next[2]);
  if (next[1] <= ground || life <= 0.f) {
    if (next[1] < ground) next[1] = ground;
    pos = next;
    impact(pos);
    destroy();
    return;
  }
  pos = next;
  const vec4f side = make4f(0.f, 0.3f, 0.f, 0.f);
  if (trail < 0 || !trails[trail].isAlive()) {
    trail = add_trail_fx(pos, vel, side, 0.5f, trailColor());
    if (trail >= 0) set_trail_tc(trail, 4.f, 0.5f, 0.f, 0.5f, 0.75f);
  } else {
    add_trail_point(trail, pos, vel, side);
  }
  call_fx_script(fxName(), pos, vel * v_splat(0.1f), rgba(1.f, 0.7f, 0.3f, 1.f), 0.15f);
}

void Missile::saveState(OutputStream& s)
{
  const float v[4] = {vel[0], vel[1], vel[2], life};
  s.write(v, sizeof(v));
}

void Missile::loadState(InputStream& s)
{
  float v[3];
  for (float& c : v) c = read_finite(s, -1000.f, 1000.f);
  vel = make4f(v[0], v[1], v[2], 0.f);
  life = read_spell_time(s);
}

void Fireball::impact(vec4f at)
{
  const SpellValues* sv = spell_values(39);
  hurt_in_radius(at, sv->radius, sv->amount);
  const int cell = HeightmapData::cell_index(int(floorf(at[0])), int(floorf(at[2])));
  const bool wet = HeightmapData::water[cell >> 8][cell & 255].amount > 0.f;
  spell_sound(wet ? "fireball_hit_water" : "fireball_hit", at);
  call_fx_script(wet ? "steam_puff" : "fire_burst", at, make4f(0, 1, 0, 0), rgba(1.f, 0.6f, 0.2f, 1.f), 1.5f);
}

void Waterball::impact(vec4f at)
{
  const SpellValues* sv = spell_values(40);
  const float r = sv->radius, depth = sv->amount;
  for_cells_in_radius(at[0], at[2], r, [&](int cell, float d) { add_cell_water(cell, depth * (1.f - d / r)); });
  spell_sound("fireball_hit_water", at);
  call_fx_script("water_splash", at, make4f(0, 4, 0, 0), rgba(0.6f, 0.7f, 1.f, 1.f), 1.5f);
}

void MeteorMissile::impact(vec4f at)
{
  const SpellValues* sv = spell_values(43);
  HeightmapData::genCrater(Point2{at[0], at[2]}, sv->radius, METEOR_DEPTH, HeightmapData::target_hmap);
  hurt_in_radius(at, 2.f * sv->radius, sv->amount);
  spell_sound("meteor_hit", at);
  call_fx_script("fire_burst", at, make4f(0, 6, 0, 0), rgba(1.f, 0.6f, 0.2f, 1.f), 3.f);
  call_fx_script("smoke_column", at, make4f(0.3f, 0, 0.2f, 0), rgba(0.3f, 0.3f, 0.3f, 0.8f), 2.f);
}

// ---- sources ----

void FluidSource::tick(float dt)
{
  const float r = radius, q = rate * dt;
  for_cells_in_radius(pos[0], pos[2], r, [&](int cell, float d) { pour(cell, q * (1.f - d / r)); });
  timeLeft -= dt;
  if (timeLeft <= 0.f) destroy();
}

void FluidSource::saveState(OutputStream& s)
{
  const float v[3] = {radius, rate, timeLeft};
  s.write(v, sizeof(v));
}

void FluidSource::loadState(InputStream& s)
{
  radius = read_finite(s, 0.5f, 64.f);
  rate = read_finite(s, -100.f, 100.f);
  timeLeft = read_spell_time(s);
}

void WaterSource::tick(float dt)
{
  const vec4f at = make4f(pos[0], surface_height(pos[0], pos[2]), pos[2], 1.f);
  if (int(timeLeft * 20.f) % 3 == 0) {
    if (rate > 0.f)
      call_fx_script("water_splash", at, make4f(0, 3, 0, 0), rgba(0.6f, 0.75f, 1.f, 1.f), 0.4f);
    else
      call_fx_script("magic_sparkle", at, make4f(0, -1, 0, 0), rgba(0.3f, 0.5f, 1.f, 1.f), 0.4f);
  }
  FluidSource::tick(dt);
}

void LavaSource::tick(float dt)
{
  const vec4f at = make4f(pos[0], surface_height(pos[0], pos[2]), pos[2], 1.f);
  if (int(timeLeft * 20.f) % 2 == 0) call_fx_script("lava_spit", at, make4f(0, 1, 0, 0), rgba(1.f, 0.45f, 0.1f, 1.f), 0.8f);
  if (int(timeLeft * 20.f) % 5 == 0)
    call_fx_script("smoke_column", at + make4f(0, 2, 0, 0), make4f(0.3f, 0, 0.1f, 0), rgba(0.25f, 0.25f, 0.25f, 0.8f), 1.f);
  FluidSource::tick(dt);
}

// ---- thunderstorm ----

void ThunderstormObject::tick(float dt)
{
  for_cells_in_radius(pos[0], pos[2], radius, [&](int cell, float) { add_cell_water(cell, STORM_RAIN * dt); });
  for (int i = 0; i < 4; ++i) {
    const float x = pos[0] + rnd_float_signed() * radius, z = pos[2] + rnd_float_signed() * radius;
    call_fx_script("water_splash", make4f(x, land_height(x, z) + 14.f, z, 1.f), make4f(0, -18, 0, 0),
                   rgba(0.7f, 0.75f, 0.9f, 0.7f), 0.1f);
  }
  nextStrike -= dt;
  if (nextStrike <= 0.f) {
    nextStrike += strikeRate > 0.f ? 1.f / strikeRate : 1.f;
    // A point of the storm's disc.
    const float a = rnd_float() * 6.2831853f, d = sqrtf(rnd_float()) * radius;
    const float x = wrap_coord(pos[0] + cosf(a) * d), z = wrap_coord(pos[2] + sinf(a) * d);
    lightning_strike(x, z, spell_values(51)->radius, harm);
    spell_sound("thstorm_lightning", make4f(x, land_height(x, z), z, 1.f));
  }
  timeLeft -= dt;
  if (timeLeft <= 0.f) destroy();
}

void ThunderstormObject::saveState(OutputStream& s)
{
  const float v[5] = {radius, harm, strikeRate, timeLeft, nextStrike};
  s.write(v, sizeof(v));
}

void ThunderstormObject::loadState(InputStream& s)
{
  radius = read_finite(s, 0.5f, 64.f);
  harm = read_finite(s, 0.f, 10000.f);
  strikeRate = read_finite(s, 0.f, 100.f);
  timeLeft = read_spell_time(s);
  nextStrike = read_spell_time(s);
}
