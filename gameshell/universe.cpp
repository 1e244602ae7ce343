// The universe state between script calls: the handles, the root slots of
// the world script VM that mirror them, the entered world, and the natives.
#include "gameshell/universe.h"

#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/sqbindCall.h"

using sqbind::SqObject;
using sqbind::SquirrelError;

SqObject universe;
SqObject worlds;
SqObject cur_game_info;

namespace
{
HSQUIRRELVM universe_vm() { return universe.vm ? universe.vm : world_script_vm.vm; }

void set_root_slot(HSQUIRRELVM vm, const char* key, const HSQOBJECT& value)
{
  sqbind::StackRestore restore(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, key, -1);
  sq_pushobject(vm, value);
  sq_newslot(vm, -3, SQFalse);
}

void set_root_slot_null(HSQUIRRELVM vm, const char* key)
{
  HSQOBJECT null_obj;
  sq_resetobject(&null_obj);
  set_root_slot(vm, key, null_obj);
}
}  // namespace

void fetch_universe_data()
{
  HSQUIRRELVM vm = universe_vm();
  if (!vm) throw SquirrelError("the world script is not running");
  worlds = sqbind::get_slot(vm, universe.o, "worlds");
  set_root_slot(vm, "universe", universe.o);
}

void release_universe_data()
{
  if (HSQUIRRELVM vm = world_script_vm.vm) {
    set_root_slot_null(vm, "universe");
    set_root_slot_null(vm, "cur_world");
  }
  worlds.reset();
  universe.reset();
  cur_game_info.reset();
}

int get_entered_world()
{
  if (universe.getType() != OT_TABLE) throw SquirrelError("no universe is loaded");
  return sqbind::get_int_slot(universe.vm, universe.o, "enteredWorld");
}

void set_entered_world(int index)
{
  if (universe.getType() != OT_TABLE) throw SquirrelError("no universe is loaded");
  HSQUIRRELVM vm = universe.vm;
  sqbind::StackRestore restore(vm);
  sq_pushobject(vm, universe.o);
  sq_pushstring(vm, "enteredWorld", -1);
  sq_pushinteger(vm, index);
  if (SQ_FAILED(sq_set(vm, -3))) throw SquirrelError(vm);
}

void set_cur_world(int index)
{
  HSQUIRRELVM vm = universe_vm();
  if (!vm) return;
  try {
    sqbind::StackRestore restore(vm);
    sq_pushobject(vm, worlds.o);
    sq_pushinteger(vm, index);
    if (SQ_FAILED(sq_get(vm, -2))) throw SquirrelError(vm);
    set_root_slot(vm, "cur_world", SqObject::fromStack(vm, -1).o);
  } catch (const SquirrelError& e) {
    TempString<1024> msg;
    msg.printf("Error in world script:\n%s", e.desc);
    set_error_message(msg);
    set_root_slot_null(vm, "cur_world");
  }
}

// ----------------------------------------------------------------- natives --

static void leave_world_native() { leave_world(); }

void bind_universe(HSQUIRRELVM vm)
{
  sqbind::bind_function(vm, &save_game, "save_game");
  sqbind::bind_function(vm, &leave_world_native, "leave_world");
}
