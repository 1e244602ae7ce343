// The plug-in's game objects: a player that flies over the land, castles and
// world portals that the world script places, and a plain class for every
// other kind of object the game keeps a list of. Every class lives in its
// list (gameobjExports.h) from creation until it is destroyed; destroyed
// objects wait in deleted_gameobjs until delete_queued_objects frees them.
//
// Class index order (the table the game keeps across reloads): 0 the common
// base, 1-53 the list classes in list order, 54 Spell, 55-84 spare classes
// kept so that later kinds of object can take an index without changing the
// count. Main thread only.
#pragma once

#include "gameshell/gameobjExports.h"
#include "gameshell/proximity.h"

#include "engine/streams.h"

// The common base: a position. Never a live object's class.
class PluginObject : public GameObj
{
public:
  vec4f pos = {0.f, 0.f, 0.f, 1.f};

  // One play tick of the object's own behaviour: update_gameobj calls it on
  // every live object, in list order. It may destroy this or other objects.
  virtual void tick(float dt) { (void)dt; }
  // Harm from fire, missiles or creatures; objects without health ignore it.
  virtual void hurt(float amount) { (void)amount; }
  // The kind's own state, saved after the common record (class, serial id,
  // position). loadState reads what saveState wrote, on an object not yet in
  // its list, and throws InputStream::Exception on bad values.
  virtual void saveState(OutputStream&) {}
  virtual void loadState(InputStream&) {}

  void move(float, float, vec4f*, Matrix44*, int) override {}
  vec4f* getPos(vec4f* out) override
  {
    *out = pos;
    return out;
  }
  void onLeaveDevMode() override {}
  void onNewPlayer() override {}
  const char* getClassName() override { return "PluginObject"; }
};

// The list of each list class, found by the class.
#define PLUGIN_LIST_OF(cls) \
  inline DynArray<cls*>& list_of(cls*) { return cls##_list; }
GAMEOBJ_LIST_CLASSES(PLUGIN_LIST_OF)
#undef PLUGIN_LIST_OF

// An object of list class T: it leaves its list when it is destroyed.
template <class T, class Base = PluginObject>
class ListedObject : public Base
{
public:
  void onDestroy() override
  {
    DynArray<T*>& list = list_of(static_cast<T*>(nullptr));
    int i = list.find(static_cast<T*>(this));
    if (i >= 0) list.erase(i, 1);
    remove_proximity_object(this);
    Base::onDestroy();
  }
};

struct SpellAim;

// A spell of the spell table (missiles.h): does its work where it is aimed;
// false when it cannot (nothing there to act on).
class Spell : public PluginObject
{
public:
  virtual bool cast(const SpellAim&) { return false; }
  virtual int spellId() const { return 0; }
};

const float PLAYER_MAX_HEALTH = 100.f;
const float PLAYER_MAX_MANA = 100.f;

class Player : public ListedObject<Player>
{
public:
  bool new_player_called = false;
  float health = PLAYER_MAX_HEALTH;
  float mana = PLAYER_MAX_MANA;
  void move(float dt, float speed, vec4f* move, Matrix44* camera, int turn) override;
  void onNewPlayer() override { new_player_called = true; }
  const char* getClassName() override { return "Player"; }
};

class CastleObject : public ListedObject<CastleObject>
{
public:
  const char* getClassName() override { return "CastleObject"; }
};

class WorldPortal : public ListedObject<WorldPortal>
{
public:
  int target = -1;  // the world it leads to
  const char* getClassName() override { return "WorldPortal"; }
};

// The remaining list classes: no behaviour of their own yet.
#define PLUGIN_PLAIN_CLASSES(X)                                                                                 \
  X(NaturalVolcano) X(SpellObject)                                                                              \
  X(FaultMissile) X(HouseMissile) X(ThunderstormMissile) X(HillMissile) X(PitMissile)                           \
  X(VolcanoMissile) X(WaterSourceMissile) X(WaterSinkMissile) X(WyvernMonster) X(BurnEffect) X(TreeObject)      \
  X(StoneCup1Object) X(Stone1StaticObject) X(Menhir1StaticObject) X(Menhir2StaticObject)                        \
  X(HumanoidStaticObject) X(ManaGatherer) X(CastleMissile) X(ManaBall) X(BirdMonster) X(LandMonster)            \
  X(TimeTrigger) X(Sensor) X(GuardTower) X(GuardTowerMissile) X(LightPillarEffect)
// The spells of the spell table and the missiles and sources they leave
// are in missiles.h.
#define PLUGIN_SPELL_CLASSES(X) X(HouseSpell)

#define PLUGIN_PLAIN_CLASS(cls) \
  class cls : public ListedObject<cls> {};
#define PLUGIN_SPELL_CLASS(cls) \
  class cls : public ListedObject<cls, Spell> {};
PLUGIN_PLAIN_CLASSES(PLUGIN_PLAIN_CLASS)
PLUGIN_SPELL_CLASSES(PLUGIN_SPELL_CLASS)
#undef PLUGIN_PLAIN_CLASS
#undef PLUGIN_SPELL_CLASS

// Spare class index N (55-84): distinct tables for kinds of object to come.
template <int N>
class SpareObject : public PluginObject
{
};

// The 85 class tables in index order.
void** plugin_class_tables();

// A new object of class T at pos, with a fresh serial id, appended to its list.
template <class T>
T* new_object(vec4f pos);
Player* new_player(vec4f pos);
CastleObject* new_castle(vec4f pos);
WorldPortal* new_portal(vec4f pos, int target);

// Calls fn(list) for each of the 53 lists.
template <class Fn>
void for_each_list(Fn fn)
{
#define PLUGIN_VISIT_LIST(cls) fn(cls##_list);
  GAMEOBJ_LIST_CLASSES(PLUGIN_VISIT_LIST)
#undef PLUGIN_VISIT_LIST
}

// Ticks every live object once (objects created during the pass wait for
// the next tick; destroyed ones are skipped).
void tick_objects(float dt);
// Deletes the destroyed objects and empties deleted_gameobjs.
void delete_queued_objects();
// Destroys and deletes every object; no player remains.
void remove_all_objects();
BaseObject* find_object(uint32_t serial_id);

// A player within PORTAL_RADIUS of a portal's foot across the ground, and
// less than PORTAL_HEIGHT above it, passes through it.
const float PORTAL_RADIUS = 3.f;
const float PORTAL_HEIGHT = 8.f;
// The portal a player at p touches, or null.
WorldPortal* touched_portal(vec4f p);

// Land height at (x, z): bilinear between the four nearest cells, wrapping.
float land_height(float x, float z);

// The objects of a world (player, castles, portals) after the world data.
void save_objects(OutputStream& stream);
// Reads everything first and creates the objects only when all of it is
// sound; throws InputStream::Exception otherwise.
void load_objects(InputStream& stream);

#include "gameobj/missiles.h"
