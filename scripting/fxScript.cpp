#include "scripting/fxScript.h"

#include "scripting/fxServices.h"
#include "scripting/hmGenScriptServices.h"
#include "scripting/rampClasses.h"
#include "scripting/sqVec4f.h"
#include "scripting/worldNatives.h"

#include "engine/color.h"
#include "engine/debug.h"
#include "engine/visualLog.h"

#include <string>

using namespace sqbind;

SqReloadableVM fx_script_vm;

// The script's update_fx; bound again after every reload, since the old
// closure belongs to the script that was replaced.
static SqFunc<void> update_fx_func;

static void show_fx_error(const char* text)
{
  std::string msg = std::string("Error in fx script:\n") + (text ? text : "");
  set_error_message(msg.c_str());
}

// ---- particle parameter tables ----

namespace
{

// Reads the slots of one parameter table; each value is converted while the
// table is held, so the ramp pointers stay valid during the spawn call.
struct ParamReader
{
  HSQUIRRELVM vm;
  HSQOBJECT table;

  SqObject slot(const char* key) const { return get_slot(vm, table, key); }

  float number(const char* key) const
  {
    SqObject v = slot(key);
    if (!sq_isnumeric(v.o)) throw_type_error();
    return sq_objtofloat(&v.o);
  }

  // The native data of an instance of the class tagged `tag` (null allowed).
  void* instance(const char* key, SQUserPointer tag, bool nullable) const
  {
    SqObject v = slot(key);
    StackRestore restore(vm);
    sq_pushobject(vm, v.o);
    return get_instance_arg(vm, sq_gettop(vm), tag, nullable);
  }

  // An integer is 0xAARRGGBB; anything else is (r, g, b, a) in 0..1 by the
  // vector rule, clamped and rounded into bytes.
  D3dColor color(const char* key) const
  {
    SqObject v = slot(key);
    if (sq_isinteger(v.o)) return D3dColor(uint32_t(sq_objtointeger(&v.o)));
    StackRestore restore(vm);
    sq_pushobject(vm, v.o);
    return vec4f_to_color(get_vec4f_arg(vm, sq_gettop(vm)));
  }
};

void spawn_particle(HSQUIRRELVM vm, const vec4f& pos, const vec4f& vel, const SqObject& params, bool glow)
{
  ParamReader p{vm, params.o};
  vec4f accel = ((SqVec4f*)p.instance("accel", class_tag<SqVec4f>(), false))->v;
  float life = p.number("life");
  float delay = p.number("delay");
  float size = p.number("size");
  float map_u = p.number("mapU");
  float map_v = p.number("mapV");
  float map_size = p.number("mapSize");
  float start_roll = p.number("startRoll");
  float roll_scale = p.number("rollScale");
  ColorRamp* color_anim = (SqColorRamp*)p.instance("colorAnim", class_tag<SqColorRamp>(), true);
  FloatRamp* size_anim = (SqFloatRamp*)p.instance("sizeAnim", class_tag<SqFloatRamp>(), true);
  FloatRamp* roll_anim = (SqFloatRamp*)p.instance("rollAnim", class_tag<SqFloatRamp>(), true);
  D3dColor color = p.color("color");
  if (glow)
    add_glow_particle(pos, vel, accel, life, delay, size, color, map_u, map_v, map_size, start_roll, roll_scale,
                      color_anim, size_anim, roll_anim);
  else
    add_blend_particle(pos, vel, accel, life, delay, size, color, map_u, map_v, map_size, start_roll, roll_scale,
                       color_anim, size_anim, roll_anim);
}

void fx_add_blend_particle(HSQUIRRELVM vm, const vec4f& pos, const vec4f& vel, SqObject params)
{
  spawn_particle(vm, pos, vel, params, false);
}

void fx_add_glow_particle(HSQUIRRELVM vm, const vec4f& pos, const vec4f& vel, SqObject params)
{
  spawn_particle(vm, pos, vel, params, true);
}

}  // namespace

void register_fx_natives(HSQUIRRELVM vm)
{
  bind_function(vm, fx_add_blend_particle, "add_blend_particle");
  bind_function(vm, fx_add_glow_particle, "add_glow_particle");
}

// ---- life of the VM ----

bool init_fx_script()
{
  if (!fx_script_vm.create(1024)) fatal("error creating fx script VM");
  HSQUIRRELVM vm = fx_script_vm.vm;
  try {
    register_ramp_classes(vm);
    register_vec4f_random_color_natives(vm);
    register_fx_natives(vm);
    if (!fx_script_vm.include("test/fx.nut")) return false;
    update_fx_func.bindRoot(vm, "update_fx");
    return !update_fx_func.isNull();
  } catch (const SquirrelError& e) {
    show_fx_error(e.desc);
  }
  return false;
}

void reload_fx_script_if_changed()
{
  HSQUIRRELVM vm = fx_script_vm.vm;
  if (!vm || !fx_script_vm.filesChanged()) return;
  set_error_message(nullptr);
  reset_common_fx();
  try {
    sq_reseterror(vm);
    if (!fx_script_vm.reload(true)) throw SquirrelError(vm);
    update_fx_func.bindRoot(vm, "update_fx");
  } catch (const SquirrelError& e) {
    show_fx_error(e.desc);
  }
}

void update_fx_script(float dt)
{
  if (!fx_script_vm.vm || update_fx_func.isNull()) return;
  try {
    update_fx_func(dt);
  } catch (const SquirrelError& e) {
    show_fx_error(e.desc);
  }
}

void close_fx_script()
{
  update_fx_func.release();
  fx_script_vm.close();
}

void call_fx_script(const char* name, vec4f a, vec4f b, vec4f c, float f)
{
  HSQUIRRELVM vm = fx_script_vm.vm;
  if (!vm) return;
  if (!name) name = "";
  try {
    SqFunc<void> fn;
    fn.bindRoot(vm, name);
    if (fn.isNull()) throw SquirrelError((std::string("No '") + name + "' function in script").c_str());
    fn(a, b, c, f);
  } catch (const SquirrelError& e) {
    show_fx_error(e.desc);
  }
}
