// The plug-in's objects: creation, deletion, the player's flight and its way
// out through a portal, and saving.
#include "gameobj/objects.h"
#include "gameobj/sounds.h"
#include "gameobj/scenery.h"

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
// Off while saved objects are made: they take their saved ids.
bool assign_serial_ids = true;

uint32_t take_serial_id();

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

template <class T>
T* new_object(vec4f pos)
{
  T* obj = new T();
  obj->pos = pos;
  obj->serialId = assign_serial_ids ? take_serial_id() : 0;
  list_of(obj).push_back(obj);
  return obj;
}

// Every list class can be made anywhere in the plug-in.
#define PLUGIN_NEW_OBJECT(cls) template cls* new_object<cls>(vec4f);
GAMEOBJ_LIST_CLASSES(PLUGIN_NEW_OBJECT)
#undef PLUGIN_NEW_OBJECT

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

namespace
{
uint32_t take_serial_id()
{
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
}  // namespace

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

// ---- saving: a count, then per object its kind, serial id, position and
// one integer (a portal's target) ----

namespace
{
const uint32_t OBJECTS_MAGIC = 0x314F4751;  // "QGO1"
const uint32_t MAX_SAVED_OBJECTS = 65536;
enum { SAVED_PLAYER = 0, SAVED_CASTLE = 1, SAVED_PORTAL = 2 };

struct SavedObject
{
  uint8_t kind;
  uint32_t serial;
  float x, y, z;
  int32_t extra;
};

void write_object(OutputStream& s, uint8_t kind, const PluginObject* obj, int32_t extra)
{
  s.writeValue(kind);
  s.writeValue(obj->serialId);
  float xyz[3] = {obj->pos[0], obj->pos[1], obj->pos[2]};
  s.write(xyz, sizeof(xyz));
  s.writeValue(extra);
}
}  // namespace

void save_objects(OutputStream& s)
{
  uint32_t count = uint32_t(Player_list.num + CastleObject_list.num + WorldPortal_list.num);
  s.writeValue(OBJECTS_MAGIC);
  s.writeValue(count);
  for (Player* p : Player_list) write_object(s, SAVED_PLAYER, p, 0);
  for (CastleObject* c : CastleObject_list) write_object(s, SAVED_CASTLE, c, 0);
  for (WorldPortal* p : WorldPortal_list) write_object(s, SAVED_PORTAL, p, p->target);
}

void load_objects(InputStream& s)
{
  if (s.readValue<uint32_t>() != OBJECTS_MAGIC) throw InputStream::Exception("not a list of game objects", s.tell());
  uint32_t count = s.readValue<uint32_t>();
  if (count > MAX_SAVED_OBJECTS) throw InputStream::Exception("too many game objects", s.tell());

  // Staged: nothing changes unless every record reads and checks.
  DynArray<SavedObject> staged;
  for (uint32_t i = 0; i < count; i++) {
    SavedObject o;
    s.readValue(o.kind);
    s.readValue(o.serial);
    s.readValue(o.x);
    s.readValue(o.y);
    s.readValue(o.z);
    s.readValue(o.extra);
    if (o.kind > SAVED_PORTAL) throw InputStream::Exception("unknown kind of game object", s.tell());
    if (!std::isfinite(o.x) || !std::isfinite(o.y) || !std::isfinite(o.z))
      throw InputStream::Exception("game object position is not a number", s.tell());
    staged.push_back(o);
  }

  assign_serial_ids = false;
  for (const SavedObject& o : staged) {
    vec4f pos = make4f(o.x, o.y, o.z, 1.f);
    PluginObject* obj = o.kind == SAVED_PLAYER   ? static_cast<PluginObject*>(new_player(pos))
                        : o.kind == SAVED_CASTLE ? static_cast<PluginObject*>(new_castle(pos))
                                                 : static_cast<PluginObject*>(new_portal(pos, o.extra));
    obj->serialId = o.serial;
    // Past the top the counter stays at 0 and later ids are searched for.
    if (next_serial_id != 0 && o.serial >= next_serial_id) next_serial_id = o.serial + 1;
  }
  assign_serial_ids = true;
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
