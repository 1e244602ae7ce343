// Creatures: land monsters that crawl over dry ground, birds and wyverns
// that fly over it. Each wanders on its own, turns on the player when the
// player comes within sight during play, and hurts the player when it gets
// close enough; fire, missiles and lava hurt it, and it dies when its health is
// gone. Creatures keep their place in the proximity grid up to date (guard
// towers find them there). A new world gets a few, placed from its seed.
// Main thread only.
#pragma once

#include "gameobj/objects.h"

// What one kind of creature is like.
struct CreatureKind
{
  float maxHealth;
  float speed;        // units per second
  float flyHeight;    // over the ground; 0 walks on it
  float sight;        // turns on the player within this distance
  float reach;        // hurts the player within this distance
  float damage;       // per blow
  float blowInterval; // seconds between blows
  float radius;       // its footprint in the proximity grid
  float size;         // its mesh's scale
};

extern const CreatureKind LAND_MONSTER_KIND, BIRD_MONSTER_KIND, WYVERN_MONSTER_KIND;

class Creature : public PluginObject
{
public:
  float health = 0.f;
  float heading = 0.f;      // radians; 0 faces +z, pi/2 faces +x
  float turnTimer = 0.f;    // seconds until it picks a new way to wander
  float blowTimer = 0.f;    // seconds until it can strike again
  float flash = 0.f;        // seconds of the hurt glow left
  uint32_t rng = 0;         // its own random sequence (0: not started)

  virtual const CreatureKind& kind() const = 0;
  void tick(float dt) override;
  void hurt(float amount) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  void onLoaded() override;

private:
  float random01();
  void wander(float dt);
  void updateProximity();
};

template <class T>
class CreatureOf : public ListedObject<T, Creature>
{
public:
  CreatureOf() { this->health = T::KIND.maxHealth; }
  const CreatureKind& kind() const override { return T::KIND; }
};

class LandMonster : public CreatureOf<LandMonster>
{
public:
  static constexpr const CreatureKind& KIND = LAND_MONSTER_KIND;
};
class BirdMonster : public CreatureOf<BirdMonster>
{
public:
  static constexpr const CreatureKind& KIND = BIRD_MONSTER_KIND;
};
class WyvernMonster : public CreatureOf<WyvernMonster>
{
public:
  static constexpr const CreatureKind& KIND = WYVERN_MONSTER_KIND;
};

// The creature nearest to p within range (across the world's wrap), found
// through the proximity grid; null when none.
Creature* nearest_creature(vec4f p, float range);
// Every creature within range of p, into out (emptied first).
void creatures_near(vec4f p, float range, DynArray<Creature*>& out);

// Places a new world's creatures from its seed on open, dry land at least
// `keep_off` from `avoid` (the castle). Nothing when spawning is off.
void place_creatures(uint32_t seed, vec4f avoid, float keep_off);
