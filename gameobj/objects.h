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

  PluginObject() = default;
  PluginObject(const PluginObject&) = delete;
  PluginObject& operator=(const PluginObject&) = delete;
  // A script instance that outlives the object reads a null object.
  ~PluginObject() override;

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
  // onLoaded (BaseObject's) runs on every loaded object once all of them are
  // in their lists: objects find the ones they refer to (by serial id) and
  // take their places in the proximity grid there.

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

// The list of each list class, found by the class; its name and class index.
template <class T>
struct ListClass;
#define PLUGIN_LIST_OF(cls)                                  \
  inline DynArray<cls*>& list_of(cls*) { return cls##_list; } \
  template <>                                                 \
  struct ListClass<cls>                                       \
  {                                                           \
    static const char* name() { return #cls; }                \
  };
GAMEOBJ_LIST_CLASSES(PLUGIN_LIST_OF)
#undef PLUGIN_LIST_OF

// Pushes obj's script instance of the class bound for type_tag, making it on
// first use (the object keeps it in scriptObj).
void push_script_instance(PluginObject* obj, HSQUIRRELVM vm, SQUserPointer type_tag, const char* class_name);

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
  const char* getClassName() override { return ListClass<T>::name(); }
  void push(HSQUIRRELVM vm) override { push_script_instance(this, vm, sqbind::class_tag<T>(), ListClass<T>::name()); }
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
// A fallen player wakes this far from its castle's foot, on the gate side.
const float PLAYER_RESPAWN_OFFSET = 14.f;

class Player : public ListedObject<Player>
{
public:
  bool new_player_called = false;
  float health = PLAYER_MAX_HEALTH;
  float mana = PLAYER_MAX_MANA;
  WeakPtr<CastleObject> castle;  // home: where the player wakes after falling
  uint32_t savedCastle = 0;      // its serial id, between loadState and onLoaded
  void move(float dt, float speed, vec4f* move, Matrix44* camera, int turn) override;
  // Links the player and the world's castle when there is exactly one.
  void onNewPlayer() override;
  void hurt(float amount) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  void onLoaded() override;
  const char* getClassName() override { return "Player"; }
};

class CastleObject : public ListedObject<CastleObject>
{
public:
  WeakPtr<Player> player;  // the player whose home it is
  const char* getClassName() override { return "CastleObject"; }
};

class WorldPortal : public ListedObject<WorldPortal>
{
public:
  int target = -1;  // the world it leads to
  void saveState(OutputStream& s) override { s.writeValue(int32_t(target)); }
  void loadState(InputStream& s) override { target = s.readValue<int32_t>(); }
  const char* getClassName() override { return "WorldPortal"; }
};

// Serial-id references in saved state: 0 for none; a reference that finds no
// live object of the wanted class when the world is loaded reads null.
void write_ref(OutputStream& s, BaseObject* obj);
// The live object with that serial id, or null.
BaseObject* find_object(uint32_t serial_id);
template <class T>
T* resolve_ref(uint32_t serial_id)
{
  return dynamic_cast<T*>(static_cast<PluginObject*>(find_object(serial_id)));
}

// The remaining list classes: no behaviour of their own yet. (Scenery is in
// scenery.h, creatures in creatures.h, guard towers in towers.h, the spells
// of the spell table and the missiles and sources they leave in missiles.h.)
#define PLUGIN_PLAIN_CLASSES(X) \
  X(NaturalVolcano)        \
  X(SpellObject)           \
  X(FaultMissile)          \
  X(HouseMissile)          \
  X(ThunderstormMissile)   \
  X(HillMissile)           \
  X(PitMissile)            \
  X(VolcanoMissile)        \
  X(WaterSourceMissile)    \
  X(WaterSinkMissile)      \
  X(HumanoidStaticObject)  \
  X(ManaGatherer)          \
  X(CastleMissile)         \
  X(ManaBall)              \
  X(TimeTrigger)           \
  X(Sensor)                \
  X(LightPillarEffect)
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

// A serial id no live object carries (never 0).
uint32_t new_serial_id();

// A new object of class T at pos, with a fresh serial id, appended to its list.
template <class T>
T* new_object(vec4f pos)
{
  T* obj = new T();
  obj->pos = pos;
  obj->serialId = new_serial_id();
  list_of(obj).push_back(obj);
  return obj;
}
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

// A player within PORTAL_RADIUS of a portal's foot across the ground, and
// less than PORTAL_HEIGHT above it, passes through it.
const float PORTAL_RADIUS = 3.f;
const float PORTAL_HEIGHT = 8.f;
// The portal a player at p touches, or null.
WorldPortal* touched_portal(vec4f p);

// Land height at (x, z): bilinear between the four nearest cells, wrapping.
float land_height(float x, float z);

// The objects of a world after the world data: a magic word, a count, then
// per object its class index, serial id, position and its own state
// (length-prefixed). Files of the earlier form (players, castles and
// portals only; scenery grew again on loading) still load.
void save_objects(OutputStream& stream);
// Reads and checks every record first and links the objects into their
// lists only when all of it is sound; throws InputStream::Exception
// otherwise, leaving the world's objects as they were.
void load_objects(InputStream& stream);

#include "gameobj/missiles.h"
