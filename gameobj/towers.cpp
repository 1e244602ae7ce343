#include "gameobj/towers.h"

#include <cmath>

#include "gameobj/creatures.h"
#include "gameobj/scenery.h"
#include "scripting/fxScript.h"
#include "worldrender/trails.h"

namespace
{
const float HIT_RADIUS = 1.5f;
const float STEER = 6.f;  // how fast the missile turns after its target (1/s)

float length3(vec4f v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

bool finite3(vec4f v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }
}  // namespace

void GuardTower::tick(float dt)
{
  reload -= dt;
  if (reload > 0.f) return;
  const vec4f top = pos + make4f(0.f, TOWER_TOP, 0.f, 0.f);
  Creature* prey = nearest_creature(pos, TOWER_RANGE);
  if (!prey) {
    reload = 0.f;
    return;
  }
  reload = TOWER_RELOAD;
  const vec4f aim = nearest_world_image(prey->pos, top) - top;
  const float len = length3(aim);
  GuardTowerMissile* m = new_object<GuardTowerMissile>(top);
  m->vel = len > 1e-3f ? aim * v_splat(TOWER_MISSILE_SPEED / len) : make4f(0.f, TOWER_MISSILE_SPEED, 0.f, 0.f);
  m->target = prey;
  call_fx_script("fire_burst", top, make4f(0.f, 1.f, 0.f, 0.f), make4f(1.f, 0.6f, 0.2f, 1.f), 0.4f);
}

void GuardTower::loadState(InputStream& s)
{
  reload = s.readValue<float>();
  if (!std::isfinite(reload) || reload > 60.f) throw InputStream::Exception("guard tower state out of range", s.tell());
}

void GuardTowerMissile::tick(float dt)
{
  life -= dt;
  PluginObject* aim = target.get();
  if (aim && (aim->flags & 1)) aim = nullptr;
  if (aim) {
    // Steer toward the target at full speed.
    const vec4f to = nearest_world_image(aim->pos, pos) - pos;
    const float len = length3(to);
    if (len < HIT_RADIUS + TOWER_MISSILE_SPEED * dt) {
      aim->hurt(TOWER_DAMAGE);
      burst();
      return;
    }
    const vec4f want = to * v_splat(TOWER_MISSILE_SPEED / len);
    const float k = STEER * dt < 1.f ? STEER * dt : 1.f;
    vel = vel + (want - vel) * v_splat(k);
    const float speed = length3(vel);
    if (speed > 1e-3f) vel = vel * v_splat(TOWER_MISSILE_SPEED / speed);
  }
  pos = pos + vel * v_splat(dt);
  pos[0] -= 256.f * std::floor(pos[0] / 256.f);
  pos[2] -= 256.f * std::floor(pos[2] / 256.f);

  const vec4f side = make4f(0.f, 0.25f, 0.f, 0.f);
  if (trail < 0) {
    trail = add_trail_fx(pos, vel, side, 0.5f, 0xFF4090FFu);
  } else {
    add_trail_point(trail, pos, vel, side);
  }
  if (pos[1] <= land_height(pos[0], pos[2]) || life <= 0.f) burst();
}

// Burns what is round it (creatures, trees) and goes out.
void GuardTowerMissile::burst()
{
  DynArray<PluginObject*> near;
  objects_near(pos, TOWER_BLAST, near);
  for (PluginObject* o : near)
    if (o != target.get()) o->hurt(TOWER_DAMAGE * 0.5f);
  call_fx_script("fire_burst", pos, make4f(0.f, 1.f, 0.f, 0.f), make4f(1.f, 0.5f, 0.1f, 1.f), 1.f);
  destroy();
}

void GuardTowerMissile::onDestroy()
{
  if (trail >= 0) stop_trail_fx(trail);
  trail = -1;
  ListedObject<GuardTowerMissile>::onDestroy();
}

void GuardTowerMissile::saveState(OutputStream& s)
{
  const float v[3] = {vel[0], vel[1], vel[2]};
  s.write(v, sizeof(v));
  s.writeValue(life);
  write_ref(s, target.get());
}

void GuardTowerMissile::loadState(InputStream& s)
{
  float v[3];
  s.read(v, sizeof(v));
  vel = make4f(v[0], v[1], v[2], 0.f);
  life = s.readValue<float>();
  savedTarget = s.readValue<uint32_t>();
  if (!finite3(vel) || length3(vel) > 4.f * TOWER_MISSILE_SPEED || !(life >= -1.f && life <= TOWER_MISSILE_LIFE))
    throw InputStream::Exception("guard tower missile state out of range", s.tell());
}

void GuardTowerMissile::onLoaded() { target = resolve_ref<PluginObject>(savedTarget); }
