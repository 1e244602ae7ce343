// Shared by the source files of the world script VM (hmGenScript*.cpp): the
// entry-point handles, the two error headers and the helpers that turn script
// failures into on-screen messages. Not for use outside the world VM.
#pragma once

#include "scripting/sqbindCall.h"

#include "engine/vec4f.h"

#define WORLD_GEN_ERROR_HEADER "Error in world gen script:\n"
#define WORLD_RUN_ERROR_HEADER "Error in world script:\n"

// The nine entry points (null when the scripts lack the function).
extern sqbind::SqFunc<void> generate_world_func;
extern sqbind::SqFunc<sqbind::SqObject> generate_universe_func;
extern sqbind::SqFunc<sqbind::SqObject> get_world_tooltip_func;
extern sqbind::SqFunc<sqbind::SqObject> get_world_ctx_menu_func;
extern sqbind::SqFunc<void> process_event_func;
extern sqbind::SqFunc<void> update_script_func;
extern sqbind::SqFunc<void> activate_current_world_func;
extern sqbind::SqFunc<void> set_pal_color_func;
extern sqbind::SqFunc<sqbind::SqObject> get_savegame_globals_func;

// Registers, in order, every class, native and constant of the world VM's
// script API, the universe natives and the plug-in's classes.
void register_world_script_api(HSQUIRRELVM vm);

// Sets the on-screen error message to header + text.
void show_world_script_error(const char* header, const char* text);
// The same, as a further line when a message is already shown.
void add_world_script_error(const char* header, const char* text);

// The error of a failed call into the VM: the script's last error text (a
// native's error included), else "SqFunc<> call failed".
sqbind::SquirrelError script_call_error(HSQUIRRELVM vm);
// The VM's last error when it is a text, else fallback.
sqbind::SquirrelError last_error_or(HSQUIRRELVM vm, const char* fallback);

// Calls an entry point with args; throws script_call_error on failure.
template <typename R, typename... A>
R call_world_entry(const sqbind::SqFunc<R>& f, const A&... args)
{
  HSQUIRRELVM vm = f.vm;
  sqbind::StackRestore restore(vm);
  if (SQ_FAILED(sq_reservestack(vm, SQInteger(sizeof...(A)) + 3))) throw sqbind::SquirrelError(vm);
  f.push();
  (void)std::initializer_list<int>{0, (sqbind::push_value(vm, args), 0)...};
  if (SQ_FAILED(sq_call(vm, SQInteger(sizeof...(A)) + 1, std::is_void<R>::value ? SQFalse : SQTrue, SQTrue)))
    throw script_call_error(vm);
  return sqbind::read_value<R>(vm, -1);
}
