// What a cast spell leaves in the world: the spell itself, sparkling for a
// moment where it was cast, the missiles that fly to their target (fireball,
// water globe, meteor) and the lasting sources (water source and sink, lava
// source of a volcano, thunderstorm) that act every tick until their time
// is up. Each is a list class; each saves the state it needs to go on after
// a load (trails and sounds start again by themselves).
//
// Included at the end of objects.h, so every file that knows the object
// lists knows these classes too. Main thread only.
#pragma once

#include "gameobj/objects.h"
#include "world/heightmapData.h"

// Where a spell is aimed: from the caster along the view to the land.
struct SpellAim
{
  vec4f from;    // the caster's eye
  vec4f dir;     // unit view direction
  vec4f target;  // the point of the land the view meets (onLand), else from + dir * range
  bool onLand;
};

// ---- missiles ----

// Flies from its position with vel under gravity and leaves a trail; when it
// meets the land or a fluid surface (or its time runs out) it calls impact
// there and is destroyed.
class Missile : public PluginObject
{
public:
  vec4f vel = v_zero();
  float life = 0.f;  // seconds of flight left
  int trail = -1;    // the trail slot, -1 for none; not saved

  ~Missile() override;
  void tick(float dt) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;

  virtual void impact(vec4f at) = 0;
  virtual float gravity() const { return 0.f; }
  virtual uint32_t trailColor() const = 0;
  virtual const char* fxName() const = 0;  // the effect that follows it
};

// Burns where it lands: everything in the burn radius is hurt.
class Fireball : public ListedObject<Fireball, Missile>
{
public:
  void impact(vec4f at) override;
  uint32_t trailColor() const override { return 0xE0FF8020u; }
  const char* fxName() const override { return "fire_burst"; }
  const char* getClassName() override { return "Fireball"; }
};

// Lets its water out where it lands, deepest at the centre.
class Waterball : public ListedObject<Waterball, Missile>
{
public:
  float gravity() const override { return 12.f; }
  void impact(vec4f at) override;
  uint32_t trailColor() const override { return 0xC060A0FFu; }
  const char* fxName() const override { return "water_splash"; }
  const char* getClassName() override { return "Waterball"; }
};

// Falls from the sky and leaves a crater; everything near is hurt.
class MeteorMissile : public ListedObject<MeteorMissile, Missile>
{
public:
  void impact(vec4f at) override;
  uint32_t trailColor() const override { return 0xF0FFA040u; }
  const char* fxName() const override { return "fire_burst"; }
  const char* getClassName() override { return "MeteorMissile"; }
};

// ---- lasting sources ----

// Pours rate * (1 - d / radius) of fluid a second into every cell closer
// than radius to its position, for timeLeft seconds.
class FluidSource : public PluginObject
{
public:
  float radius = 1.f;
  float rate = 0.f;
  float timeLeft = 0.f;

  void tick(float dt) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  virtual void pour(int cell, float q) = 0;
};

// Water in (rate > 0, a source) or out (rate < 0, a sink).
class WaterSource : public ListedObject<WaterSource, FluidSource>
{
public:
  void tick(float dt) override;
  void pour(int cell, float q) override { add_cell_water(cell, q); }
  const char* getClassName() override { return "WaterSource"; }
};

// The lava of a volcano.
class LavaSource : public ListedObject<LavaSource, FluidSource>
{
public:
  void tick(float dt) override;
  void pour(int cell, float q) override { add_cell_lava(cell, q); }
  const char* getClassName() override { return "LavaSource"; }
};

// Rain on every cell within radius and a lightning strike at a random point
// of it every 1 / strikeRate seconds, for timeLeft seconds.
class ThunderstormObject : public ListedObject<ThunderstormObject>
{
public:
  float radius = 1.f;
  float harm = 0.f;
  float strikeRate = 1.f;
  float timeLeft = 0.f;
  float nextStrike = 0.f;

  void tick(float dt) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  const char* getClassName() override { return "ThunderstormObject"; }
};

// ---- the spells ----

// Raises the sound event of that name at a place in the world.
unsigned spell_sound(const char* event, vec4f at);
// The sparkle of a spell at its target, once a tick.
void spell_glow_fx(vec4f at);
// A saved time in seconds; throws InputStream::Exception unless it is a
// number from 0 to an hour.
float read_spell_time(InputStream& s);

// A spell of the spell table: cast does its work at once (and may leave a
// missile or a source behind); afterwards the spell sparkles at its target
// for SPELL_GLOW_TIME and goes.
template <class T>
class CastSpell : public ListedObject<T, Spell>
{
public:
  float glow = 0.f;  // seconds of sparkle left
  void tick(float dt) override
  {
    glow -= dt;
    spell_glow_fx(this->pos);
    if (glow <= 0.f) this->destroy();
  }
  void saveState(OutputStream& s) override { s.writeValue(glow); }
  void loadState(InputStream& s) override { glow = read_spell_time(s); }
};

#define PLUGIN_CAST_SPELLS(X)                                                                                   \
  X(FireballSpell, 39) X(WaterballSpell, 40) X(FaultSpell, 41) X(MeteorSpell, 43) X(HillSpell, 44)             \
  X(PitSpell, 45) X(VolcanoSpell, 46) X(WaterSourceSpell, 47) X(WaterSinkSpell, 48) X(ThunderstormSpell, 49)    \
  X(HealingSpell, 50) X(LightningSpell, 51) X(CastleSpell, 68) X(UsePortalSpell, 71) X(GuardTowerSpell, 83)

#define PLUGIN_CAST_SPELL_CLASS(cls, id)                   \
  class cls : public CastSpell<cls>                        \
  {                                                        \
  public:                                                  \
    bool cast(const SpellAim& aim) override;               \
    int spellId() const override { return id; }            \
    const char* getClassName() override { return #cls; }  \
  };
PLUGIN_CAST_SPELLS(PLUGIN_CAST_SPELL_CLASS)
#undef PLUGIN_CAST_SPELL_CLASS

// Hurts every object of the proximity grid whose position lies within r
// of at (across the ground, wrapping) by amount; returns how many.
int hurt_in_radius(vec4f at, float r, float amount);
// Adds dh * (1 - d^2 / r^2)^2 to the target height of every cell closer
// than r to (x, z): the land then rises (or sinks) toward it.
void bump_targets(float x, float z, float r, float dh);
// A lightning bolt from the sky onto the land at (x, z); hurts what stands
// within r of it.
void lightning_strike(float x, float z, float r, float harm);
