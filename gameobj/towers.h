// Guard towers: a tower watches the land round it, finds the nearest
// creature within its range through the proximity grid and shoots a
// fireball at it now and then. The fireball (GuardTowerMissile) flies
// with a trail, steering after its target, and burns what it meets:
// its target, or the creatures round the place where it hits the ground.
// A tower needs nothing but its position: new_object<GuardTower>(pos).
// Main thread only.
#pragma once

#include "gameobj/objects.h"

const float TOWER_RANGE = 32.f;      // creatures farther off are left alone
const float TOWER_RELOAD = 1.5f;     // seconds between shots
const float TOWER_TOP = 10.2f;       // the shots leave from this high
const float TOWER_DAMAGE = 35.f;     // harm of one fireball
const float TOWER_MISSILE_SPEED = 24.f;
const float TOWER_MISSILE_LIFE = 4.f;  // seconds before it burns out
const float TOWER_BLAST = 2.5f;      // creatures this near where it hits are burnt

class GuardTower : public ListedObject<GuardTower>
{
public:
  float reload = 0.f;  // seconds until the next shot
  void tick(float dt) override;
  void saveState(OutputStream& s) override { s.writeValue(reload); }
  void loadState(InputStream& s) override;
};

class GuardTowerMissile : public ListedObject<GuardTowerMissile>
{
public:
  vec4f vel = {0.f, 0.f, 0.f, 0.f};
  float life = TOWER_MISSILE_LIFE;
  WeakPtr<PluginObject> target;
  uint32_t savedTarget = 0;  // its serial id, between loadState and onLoaded
  int trail = -1;            // not saved: a loaded missile starts a new one

  void tick(float dt) override;
  void onDestroy() override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  void onLoaded() override;

private:
  void burst();
};
