#include "gameobj/scriptClasses.h"

#include "gameobj/objectKinds.h"

#include <cmath>

#include "scripting/sqbindCall.h"

namespace
{
template <class T>
void construct(HSQUIRRELVM vm, float x, float y, float z)
{
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
    throw sqbind::SquirrelError("object position is not a number");
  T* obj = new_object<T>(make4f(x, y, z, 1.f));
  sqbind::init_instance(obj, vm, nullptr);
  obj->scriptObj = sqbind::SqObject::fromStack(vm, 1);
  obj->onLoaded();
}

// A castle on the cell (x, z); the village and its marks are in place by
// then, so trees keep off them.
void place_castle(int x, int z)
{
  const float cx = float(x & 255) + 0.5f, cz = float(z & 255) + 0.5f;
  new_castle(make4f(cx, land_height(cx, cz), cz, 1.f));
  scatter_scenery();
}

void place_portal(int x, int z, int target)
{
  const float px = float(x & 255) + 0.5f, pz = float(z & 255) + 0.5f;
  new_portal(make4f(px, land_height(px, pz), pz, 1.f), target);
}

const float CREATURES_KEEP_OFF_CASTLE = 32.f;

// The objects of a new world from its entry: {seed, castle = {x, z},
// portals = [{x, z, target}, ...]} (a portal without a target leads nowhere).
void place_world_objects(sqbind::SqObject w)
{
  using namespace sqbind;
  HSQUIRRELVM vm = w.vm;
  if (w.getType() != OT_TABLE) throw SquirrelError("place_world_objects() needs the world's table");
  SqObject castle = get_slot(vm, w.o, "castle");
  const int cx = get_int_slot(vm, castle.o, "x"), cz = get_int_slot(vm, castle.o, "z");
  SqObject portals = get_slot(vm, w.o, "portals");
  if (portals.getType() != OT_ARRAY) throw SquirrelError("the world's portals are not an array");
  SQInteger n;
  {
    StackRestore restore(vm);
    sq_pushobject(vm, portals.o);
    n = sq_getsize(vm, -1);
  }
  // Everything is read before anything is placed.
  DynArray<int> read;
  for (SQInteger i = 0; i < n; i++) {
    StackRestore restore(vm);
    sq_pushobject(vm, portals.o);
    sq_pushinteger(vm, i);
    if (SQ_FAILED(sq_get(vm, -2))) throw SquirrelError("can't read a portal of the world");
    SqObject p = SqObject::fromStack(vm, -1);
    read.push_back(get_int_slot(vm, p.o, "x"));
    read.push_back(get_int_slot(vm, p.o, "z"));
    SQInteger target = -1;
    sq_pushstring(vm, "target", -1);
    if (SQ_SUCCEEDED(sq_rawget(vm, -2)) && sq_gettype(vm, -1) == OT_INTEGER) sq_getinteger(vm, -1, &target);
    read.push_back(int(target));
  }
  const uint32_t seed = uint32_t(get_int_slot(vm, w.o, "seed"));

  place_castle(cx, cz);
  for (int i = 0; i + 2 < read.num; i += 3) place_portal(read[i], read[i + 1], read[i + 2]);
  const CastleObject* home = CastleObject_list.back();
  place_creatures(seed, home->pos, CREATURES_KEEP_OFF_CASTLE);
}

template <class T>
void bind_class(HSQUIRRELVM vm)
{
  sqbind::ClassDef<T>(vm, ListClass<T>::name(), "BaseObject").ctor(construct<T>);
}
}  // namespace

void bind_object_classes(HSQUIRRELVM vm)
{
  sqbind::bind_function(vm, place_castle, "place_castle");
  sqbind::bind_function(vm, place_portal, "place_portal");
  sqbind::bind_function(vm, place_world_objects, "place_world_objects");
  sqbind::create_class(vm, "BaseObject", nullptr, sqbind::class_tag<BaseObject>());
#define PLUGIN_BIND_CLASS(cls) bind_class<cls>(vm);
  GAMEOBJ_LIST_CLASSES(PLUGIN_BIND_CLASS)
#undef PLUGIN_BIND_CLASS
}
