// The plug-in's objects: creation, deletion, the player's flight and its way
// out through a portal, and saving.
#include "gameobj/objectKinds.h"
#include "gameobj/sounds.h"
#include "gameobj/spellCast.h"

#include "gameshell/gameModes.h"
#include "world/heightmapData.h"

#include "engine/debug.h"

#include <algorithm>
#include <cmath>

namespace
{
// The next serial id to hand out; 0 after the ids ran past the top (a
// loaded object may carry any id), when each new id is searched for.
uint32_t next_serial_id = 1;
// False in a freshly loaded copy of the plug-in, which may find live
// objects made by the copy before it: the counter then starts past them.
bool serial_counter_known = false;

void know_serial_counter()
{
  if (serial_counter_known) return;
  serial_counter_known = true;
  uint32_t top = 0;
  for_each_list([&](auto& list) {
    for (auto* obj : list) top = obj->serialId > top ? obj->serialId : top;
  });
  next_serial_id = top + 1;  // 0 past the top
}


// The class table of T, read from a probe object (constructors have no side
// effects: an object joins its list only through new_object).
template <class T>
void* class_table_of()
{
  T probe;
  return *reinterpret_cast<void**>(&probe);
}

template <int... N>
struct SpareRange
{
  static void fill(void** out)
  {
    int i = 0;
    ((out[i++] = class_table_of<SpareObject<N>>()), ...);
  }
};

float wrap256(float v)
{
  float q = v / 256.f;
  return (q - floorf(q)) * 256.f;
}

// The shorter way from b to a along one axis of the wrapping world.
float wrapped_delta(float a, float b) { return wrap256(a - b + 128.f) - 128.f; }
}  // namespace

void** plugin_class_tables()
{
  static void* tables[NUM_GAMEOBJ_CLASSES];
  if (!tables[0]) {
    int i = 0;
    tables[i++] = class_table_of<PluginObject>();
#define PLUGIN_TABLE(cls) tables[i++] = class_table_of<cls>();
    GAMEOBJ_LIST_CLASSES(PLUGIN_TABLE)
#undef PLUGIN_TABLE
    tables[i++] = class_table_of<Spell>();
    SpareRange<55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79,
               80, 81, 82, 83, 84>::fill(tables + i);
  }
  return tables;
}

Player* new_player(vec4f pos) { return new_object<Player>(pos); }
CastleObject* new_castle(vec4f pos) { return new_object<CastleObject>(pos); }

WorldPortal* new_portal(vec4f pos, int target)
{
  WorldPortal* p = new_object<WorldPortal>(pos);
  p->target = target;
  return p;
}

void delete_queued_objects()
{
  // Deleting may destroy further objects: take the queue as it grows.
  for (int i = 0; i < deleted_gameobjs.num; i++) delete deleted_gameobjs[i];
  deleted_gameobjs.clear();
}

void remove_all_objects()
{
  for_each_list([](auto& list) {
    while (list.num) list.back()->destroy();
  });
  delete_queued_objects();
  local_player = nullptr;
}

uint32_t new_serial_id()
{
  know_serial_counter();
  if (next_serial_id != 0) return next_serial_id++;
  // The lowest id that no live object carries (0 stays unused).
  DynArray<uint32_t> used;
  for_each_list([&](auto& list) {
    for (auto* obj : list) used.push_back(obj->serialId);
  });
  std::sort(used.begin(), used.end());
  uint32_t id = 1;
  for (uint32_t u : used)
    if (u == id) ++id;
    else if (u > id) break;
  return id;
}

BaseObject* find_object(uint32_t serial_id)
{
  BaseObject* found = nullptr;
  for_each_list([&](auto& list) {
    for (auto* obj : list)
      if (!found && obj->serialId == serial_id) found = obj;
  });
  return found;
}

float land_height(float x, float z)
{
  float fx = floorf(x), fz = floorf(z);
  int ix = int(fx), iz = int(fz);
  float tx = x - fx, tz = z - fz;
  using HeightmapData::cell_index;
  using HeightmapData::hmap;
  float a = lerp(hmap[cell_index(ix, iz)], hmap[cell_index(ix + 1, iz)], tx);
  float b = lerp(hmap[cell_index(ix, iz + 1)], hmap[cell_index(ix + 1, iz + 1)], tx);
  return lerp(a, b, tz);
}

// Flies where the camera steers it, never lower than 1.5 over land or fluid;
// flying into a portal starts the warp out of the world.
void Player::move(float, float, vec4f* move, Matrix44*, int turn)
{
  player_flight_sound(turn);
  pos += *move;
  pos[0] = wrap256(pos[0]);
  pos[2] = wrap256(pos[2]);
  int cell = HeightmapData::cell_index(int(floorf(pos[0])), int(floorf(pos[2])));
  float fluid = HeightmapData::water[cell >> 8][cell & 255].amount;
  float ground = land_height(pos[0], pos[2]) + (fluid > 0.f ? fluid : -fluid) + 1.5f;
  if (pos[1] < ground) pos[1] = ground;
  push_out_of_scenery(pos, 0.6f);

  if (touched_portal(pos)) {
    debug("gameobj: the player entered a portal");
    portal_entered_sound();
    set_game_mode(warp_mode);
  }
}

void Player::onNewPlayer()
{
  new_player_called = true;
  if (CastleObject_list.num != 1) return;
  castle = CastleObject_list[0];
  CastleObject_list[0]->player = this;
}

// A fallen player wakes at its castle's gate (where it stands when there is
// none) with full health.
void Player::hurt(float amount)
{
  if (!(amount > 0.f) || health <= 0.f) return;
  health -= amount;
  if (health > 0.f) return;
  health = PLAYER_MAX_HEALTH;
  if (CastleObject* home = castle.get()) {
    const float x = home->pos[0], z = home->pos[2] + PLAYER_RESPAWN_OFFSET;
    pos = make4f(wrap256(x), land_height(x, z) + 2.f, wrap256(z), 1.f);
    show_cast_message("You fell, and woke at your castle");
  } else {
    show_cast_message("You fell, and woke again");
  }
  debug("gameobj: the player fell");
}

void Player::saveState(OutputStream& s)
{
  s.writeValue(health);
  s.writeValue(mana);
  write_ref(s, castle.get());
}

void Player::loadState(InputStream& s)
{
  health = s.readValue<float>();
  mana = s.readValue<float>();
  savedCastle = s.readValue<uint32_t>();
  if (!(health > 0.f && health <= PLAYER_MAX_HEALTH) || !(mana >= 0.f && mana <= PLAYER_MAX_MANA))
    throw InputStream::Exception("player health or mana out of range", s.tell());
}

void Player::onLoaded()
{
  castle = resolve_ref<CastleObject>(savedCastle);
  if (castle) castle->player = this;
}

WorldPortal* touched_portal(vec4f p)
{
  for (WorldPortal* portal : WorldPortal_list) {
    float dx = wrapped_delta(p[0], portal->pos[0]), dz = wrapped_delta(p[2], portal->pos[2]);
    float above = p[1] - portal->pos[1];
    if (dx * dx + dz * dz < PORTAL_RADIUS * PORTAL_RADIUS && above > -PORTAL_RADIUS && above < PORTAL_HEIGHT)
      return portal;
  }
  return nullptr;
}

// ---- saving ----

namespace
{
const uint32_t OBJECTS_MAGIC = 0x324F4751;      // "QGO2"
const uint32_t OLD_OBJECTS_MAGIC = 0x314F4751;  // "QGO1": players, castles, portals
const uint32_t MAX_SAVED_OBJECTS = 65536;
const uint32_t MAX_OBJECT_STATE = 4096;

// What the loader needs of each list class, by class index (1-53).
struct ListKind
{
  PluginObject* (*make)();  // an object in no list
  void (*link)(PluginObject*);
};

template <class T>
PluginObject* make_unlisted()
{
  return new T();
}

template <class T>
void link_to_list(PluginObject* obj)
{
  list_of(static_cast<T*>(nullptr)).push_back(static_cast<T*>(obj));
}

const ListKind list_kinds[NUM_GAMEOBJ_LISTS + 1] = {
    {nullptr, nullptr},
#define PLUGIN_LIST_KIND(cls) {make_unlisted<cls>, link_to_list<cls>},
    GAMEOBJ_LIST_CLASSES(PLUGIN_LIST_KIND)
#undef PLUGIN_LIST_KIND
};

// The earlier form's kinds, as class indices: player, castle, portal.
const uint8_t OLD_KIND_CLASS[3] = {1, 40, 44};

// Objects read but not yet linked: deleted unless released.
struct StagedObjects
{
  DynArray<PluginObject*> objects;
  DynArray<uint8_t> classes;
  ~StagedObjects()
  {
    for (PluginObject* o : objects) delete o;
  }
};

void write_record(OutputStream& s, uint8_t class_index, PluginObject* obj)
{
  s.writeValue(class_index);
  s.writeValue(obj->serialId);
  float xyz[3] = {obj->pos[0], obj->pos[1], obj->pos[2]};
  s.write(xyz, sizeof(xyz));
  MemoryOutputBuffer state;
  obj->saveState(state);
  s.writeValue(uint32_t(state.bytes.num));
  if (state.bytes.num) s.write(state.bytes.data, state.bytes.num);
}

// The kind's own state from exactly `size` bytes of the stream.
void read_state(InputStream& s, PluginObject* obj, uint32_t size)
{
  DynArray<char> bytes;
  bytes.resize(int(size));
  if (size) s.read(bytes.data, int(size));
  MemoryInputStream state(bytes.data, int(size));
  try {
    obj->loadState(state);
  } catch (const InputStream::Exception& e) {
    throw InputStream::Exception(e.message, s.tell());
  }
  if (state.tell() != int(size)) throw InputStream::Exception("game object state has bytes left over", s.tell());
}
}  // namespace

void write_ref(OutputStream& s, BaseObject* obj) { s.writeValue(obj ? obj->serialId : uint32_t(0)); }

void save_objects(OutputStream& s)
{
  uint32_t count = 0;
  for_each_list([&](auto& list) { count += uint32_t(list.num); });
  s.writeValue(OBJECTS_MAGIC);
  s.writeValue(count);
  uint8_t class_index = 1;
  for_each_list([&](auto& list) {
    for (auto* obj : list) write_record(s, class_index, obj);
    ++class_index;
  });
}

void load_objects(InputStream& s)
{
  const uint32_t magic = s.readValue<uint32_t>();
  if (magic != OBJECTS_MAGIC && magic != OLD_OBJECTS_MAGIC)
    throw InputStream::Exception("not a list of game objects", s.tell());
  const bool old_form = magic == OLD_OBJECTS_MAGIC;
  uint32_t count = s.readValue<uint32_t>();
  if (count > MAX_SAVED_OBJECTS) throw InputStream::Exception("too many game objects", s.tell());

  // Staged: nothing changes unless every record reads and checks.
  StagedObjects staged;
  DynArray<uint32_t> ids;
  for (uint32_t i = 0; i < count; i++) {
    uint8_t class_index = s.readValue<uint8_t>();
    if (old_form) {
      if (class_index > 2) throw InputStream::Exception("unknown kind of game object", s.tell());
      class_index = OLD_KIND_CLASS[class_index];
    } else if (class_index < 1 || class_index > NUM_GAMEOBJ_LISTS) {
      throw InputStream::Exception("unknown class of game object", s.tell());
    }
    const uint32_t serial = s.readValue<uint32_t>();
    float xyz[3];
    s.read(xyz, sizeof(xyz));
    if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]))
      throw InputStream::Exception("game object position is not a number", s.tell());

    PluginObject* obj = list_kinds[class_index].make();
    staged.objects.push_back(obj);
    staged.classes.push_back(class_index);
    obj->serialId = serial;
    obj->pos = make4f(xyz[0], xyz[1], xyz[2], 1.f);
    if (old_form) {
      const int32_t extra = s.readValue<int32_t>();
      if (WorldPortal* portal = dynamic_cast<WorldPortal*>(obj)) portal->target = extra;
    } else {
      const uint32_t size = s.readValue<uint32_t>();
      if (size > MAX_OBJECT_STATE) throw InputStream::Exception("game object state too long", s.tell());
      read_state(s, obj, size);
    }
    // Saved graphs name objects by their ids: each must be one object's.
    if (!old_form && serial == 0) throw InputStream::Exception("game object without a serial id", s.tell());
    ids.push_back(serial);
  }
  std::sort(ids.begin(), ids.end());
  for (int i = 1; i < ids.num; i++)
    if (ids[i] == ids[i - 1] && ids[i] != 0)
      throw InputStream::Exception("two game objects with one serial id", s.tell());

  know_serial_counter();
  for (int i = 0; i < staged.objects.num; i++) {
    PluginObject* obj = staged.objects[i];
    list_kinds[staged.classes[i]].link(obj);
    // Past the top the counter stays at 0 and later ids are searched for.
    if (next_serial_id != 0 && obj->serialId >= next_serial_id) next_serial_id = obj->serialId + 1;
  }
  // The earlier form allowed objects without an id; the current form does
  // not, so they get fresh ones now, or the next save would not load.
  for (PluginObject* obj : staged.objects)
    if (obj->serialId == 0) obj->serialId = new_serial_id();
  DynArray<PluginObject*> linked;
  linked.append(staged.objects.num, staged.objects.data);
  staged.objects.clear();
  for (PluginObject* obj : linked) obj->onLoaded();
  // The earlier form kept no scenery: it grows again the same way.
  if (old_form) scatter_scenery();
}

// ---- objects in scripts ----

PluginObject::~PluginObject()
{
  HSQUIRRELVM vm = scriptObj.vm;
  if (!vm || scriptObj.isNull()) return;
  sq_pushobject(vm, scriptObj.o);
  sq_setinstanceup(vm, -1, nullptr);
  sq_poptop(vm);
}

namespace
{
bool scriptObj_matches(PluginObject* obj, HSQUIRRELVM vm) { return obj->scriptObj.vm == vm && !obj->scriptObj.isNull(); }
}  // namespace

void push_script_instance(PluginObject* obj, HSQUIRRELVM vm, SQUserPointer type_tag, const char* class_name)
{
  if (scriptObj_matches(obj, vm)) {
    sq_pushobject(vm, obj->scriptObj.o);
    return;
  }
  sqbind::push_instance(vm, obj, type_tag, class_name, nullptr);
  obj->scriptObj = sqbind::SqObject::fromStack(vm, -1);
}

void tick_objects(float dt)
{
  DynArray<PluginObject*> live;
  for_each_list([&](auto& list) {
    for (auto* o : list) live.push_back(o);
  });
  for (PluginObject* o : live)
    if (!(o->flags & 1)) o->tick(dt);
}
