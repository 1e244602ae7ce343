#include "gameobj/creatures.h"

#include <cmath>

#include "gameobj/devtools.h"
#include "gameobj/scenery.h"
#include "gameshell/gameModes.h"
#include "gameshell/proximity.h"
#include "scripting/fxScript.h"
#include "world/heightmapData.h"

//                                health speed fly  sight reach damage blow  radius size
const CreatureKind LAND_MONSTER_KIND = {60.f, 3.f, 0.f, 22.f, 2.5f, 8.f, 1.0f, 1.0f, 1.0f};
const CreatureKind BIRD_MONSTER_KIND = {30.f, 7.f, 10.f, 30.f, 2.5f, 5.f, 0.8f, 0.8f, 1.0f};
const CreatureKind WYVERN_MONSTER_KIND = {120.f, 6.f, 14.f, 36.f, 3.5f, 15.f, 1.5f, 2.0f, 1.5f};

namespace
{
const float PI = 3.14159265f;
const float TURN_RATE = 2.5f;       // radians per second
const float CLIMB_RATE = 4.f;       // units per second
const float LAVA_BURN = 30.f;       // harm per second standing in lava
const float DROWNING = 10.f;        // harm per second for walkers in deep water
const float DEEP_WATER = 0.5f;
const float MAX_SAVED_HEALTH = 1000.f;

float wrap256(float v) { return v - 256.f * std::floor(v / 256.f); }

float fluid_at(float x, float z)
{
  const int cell = HeightmapData::cell_index(int(std::floor(x)), int(std::floor(z)));
  return HeightmapData::water[cell >> 8][cell & 255].amount;
}

// The smallest turn from a to b, in (-pi, pi].
float angle_to(float a, float b)
{
  float d = std::fmod(b - a, 2.f * PI);
  if (d > PI) d -= 2.f * PI;
  if (d <= -PI) d += 2.f * PI;
  return d;
}

uint32_t mix(uint32_t h)
{
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h;
}

float unit(uint32_t h) { return float(h >> 8) / 16777216.f; }
}  // namespace

float Creature::random01()
{
  if (rng == 0) rng = mix(serialId * 0x9E3779B9u + 1u) | 1u;
  rng ^= rng << 13;
  rng ^= rng >> 17;
  rng ^= rng << 5;
  return unit(rng);
}

void Creature::tick(float dt)
{
  const CreatureKind& k = kind();
  if (flash > 0.f) flash -= dt;
  if (blowTimer > 0.f) blowTimer -= dt;

  // The player within sight draws it (only in play: not behind the menus or
  // in the developer's free flight); otherwise it wanders.
  Player* prey = cur_game_mode == play_mode ? local_player : nullptr;
  vec4f to_prey = v_zero();
  float prey_dist = 1e9f;
  if (prey) {
    to_prey = nearest_world_image(prey->pos, pos) - pos;
    prey_dist = std::sqrt(to_prey[0] * to_prey[0] + to_prey[1] * to_prey[1] + to_prey[2] * to_prey[2]);
  }
  const bool chasing = prey && prey_dist < k.sight;
  if (chasing) {
    const float want = std::atan2(to_prey[0], to_prey[2]);
    const float turn = angle_to(heading, want);
    const float most = TURN_RATE * dt;
    heading += turn > most ? most : (turn < -most ? -most : turn);
  } else {
    wander(dt);
  }

  // A step forward, unless a walker would step into water or lava.
  const float dx = std::sin(heading), dz = std::cos(heading);
  const float step = (chasing && prey_dist < k.reach * 0.6f ? 0.f : k.speed) * dt;
  const float nx = pos[0] + dx * step, nz = pos[2] + dz * step;
  if (k.flyHeight <= 0.f && step > 0.f && fluid_at(nx + dx, nz + dz) != 0.f && fluid_at(pos[0], pos[2]) == 0.f) {
    heading += PI;
    turnTimer = 1.f + random01();
  } else {
    pos[0] = wrap256(nx);
    pos[2] = wrap256(nz);
  }

  const float fluid = fluid_at(pos[0], pos[2]);
  const float ground = land_height(pos[0], pos[2]);
  if (k.flyHeight > 0.f) {
    const float floor_y = ground + std::fabs(fluid) + 1.5f;
    float want_y = ground + std::fabs(fluid) + k.flyHeight;
    if (chasing) want_y = prey->pos[1] > floor_y ? prey->pos[1] : floor_y;
    const float dy = want_y - pos[1], most = CLIMB_RATE * dt;
    pos[1] += dy > most ? most : (dy < -most ? -most : dy);
    if (pos[1] < floor_y) pos[1] = floor_y;
  } else {
    pos[1] = ground;
  }
  updateProximity();

  if (chasing && prey_dist < k.reach && blowTimer <= 0.f) {
    prey->hurt(k.damage);
    blowTimer = k.blowInterval;
  }
  // Walkers burn in lava and drown in deep water.
  if (k.flyHeight <= 0.f) {
    if (fluid < 0.f) hurt(LAVA_BURN * dt);
    else if (fluid > DEEP_WATER) hurt(DROWNING * dt);
  }
}

void Creature::wander(float dt)
{
  turnTimer -= dt;
  if (turnTimer > 0.f) return;
  heading += (random01() - 0.5f) * 2.f;
  turnTimer = 1.5f + 2.f * random01();
}

void Creature::hurt(float amount)
{
  if (!(amount > 0.f) || (flags & 1)) return;
  health -= amount;
  flash = 0.3f;
  if (health > 0.f) return;
  call_fx_script("fire_burst", pos + make4f(0.f, 1.f, 0.f, 0.f), make4f(0.f, 1.f, 0.f, 0.f),
                 make4f(1.f, 0.5f, 0.2f, 1.f), kind().size);
  destroy();
}

void Creature::updateProximity()
{
  const float r = kind().radius;
  update_proximity(this, make4f(pos[0] - r, pos[2] - r, pos[0] + r, pos[2] + r));
}

void Creature::saveState(OutputStream& s)
{
  s.writeValue(health);
  s.writeValue(heading);
  s.writeValue(turnTimer);
  s.writeValue(blowTimer);
  s.writeValue(rng);
}

void Creature::loadState(InputStream& s)
{
  health = s.readValue<float>();
  heading = s.readValue<float>();
  turnTimer = s.readValue<float>();
  blowTimer = s.readValue<float>();
  rng = s.readValue<uint32_t>();
  if (!(health > 0.f && health <= MAX_SAVED_HEALTH) || !std::isfinite(heading) || !std::isfinite(turnTimer) ||
      !std::isfinite(blowTimer))
    throw InputStream::Exception("creature state out of range", s.tell());
  heading = std::fmod(heading, 2.f * PI);
}

void Creature::onLoaded() { updateProximity(); }

void creatures_near(vec4f p, float range, DynArray<Creature*>& out)
{
  DynArray<PluginObject*> near;
  objects_near(p, range, near);
  out.clear();
  for (PluginObject* o : near)
    if (Creature* c = dynamic_cast<Creature*>(o)) out.push_back(c);
}

Creature* nearest_creature(vec4f p, float range)
{
  DynArray<Creature*> near;
  creatures_near(p, range, near);
  Creature* best = nullptr;
  float best_d2 = 0.f;
  for (Creature* c : near) {
    const vec4f d = nearest_world_image(c->pos, p) - p;
    const float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (!best || d2 < best_d2) {
      best = c;
      best_d2 = d2;
    }
  }
  return best;
}

namespace
{
// Open, dry ground that is no house.
bool fit_for_walker(float x, float z)
{
  using namespace HeightmapData;
  const int cell = cell_index(int(std::floor(x)), int(std::floor(z)));
  return fluid_at(x, z) == 0.f && ground_type(surface[cell].bits) != GT_HOUSE && land_height(x, z) >= 0.3f;
}

template <class T>
void place_some(int count, uint32_t seed, uint32_t salt, vec4f avoid, float keep_off)
{
  for (int i = 0; i < count; i++) {
    for (int attempt = 0; attempt < 64; attempt++) {
      const uint32_t h = mix(seed * 0x9E3779B9u ^ mix(salt + uint32_t(i) * 977u + uint32_t(attempt) * 131071u));
      const float x = unit(h) * 256.f, z = unit(mix(h)) * 256.f;
      const vec4f at = nearest_world_image(make4f(x, 0.f, z, 1.f), avoid);
      const float ax = at[0] - avoid[0], az = at[2] - avoid[2];
      if (ax * ax + az * az < keep_off * keep_off) continue;
      if (T::KIND.flyHeight <= 0.f && !fit_for_walker(x, z)) continue;
      const float ground = land_height(x, z) + std::fabs(fluid_at(x, z));
      T* c = new_object<T>(make4f(x, ground + T::KIND.flyHeight, z, 1.f));
      c->heading = unit(mix(h ^ 0x5bd1e995u)) * 2.f * PI;
      c->rng = mix(h + 7u) | 1u;
      c->onLoaded();
      break;
    }
  }
}
}  // namespace

void place_creatures(uint32_t seed, vec4f avoid, float keep_off)
{
  if (!monster_spawn) return;
  place_some<LandMonster>(3, seed, 1u, avoid, keep_off);
  place_some<BirdMonster>(2, seed, 2u, avoid, keep_off);
  place_some<WyvernMonster>(1, seed, 3u, avoid, keep_off);
}
