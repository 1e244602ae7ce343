// The world script VM's life: creation and registration of the script API,
// the entry-point handles, the plug-in rebinding, the hot reload and the
// shut-down. Generation and the run-time entry points are in
// hmGenScriptEntry.cpp.
#include "scripting/hmGenScript.h"

#include "scripting/bitMap.h"
#include "scripting/hmGenScriptInternal.h"
#include "scripting/hmGenScriptServices.h"
#include "scripting/hmapMask.h"
#include "scripting/intMap.h"
#include "scripting/palettes.h"
#include "scripting/rampClasses.h"
#include "scripting/scriptServices.h"
#include "scripting/terrainNatives.h"
#include "scripting/worldGenClasses.h"
#include "scripting/worldNatives.h"

#include "engine/debug.h"
#include "engine/visualLog.h"

#include <string>

using namespace sqbind;

SqReloadableVM world_script_vm;

SqFunc<void> generate_world_func;
SqFunc<SqObject> generate_universe_func;
SqFunc<SqObject> get_world_tooltip_func;
SqFunc<SqObject> get_world_ctx_menu_func;
SqFunc<void> process_event_func;
SqFunc<void> update_script_func;
SqFunc<void> activate_current_world_func;
SqFunc<void> set_pal_color_func;
SqFunc<SqObject> get_savegame_globals_func;

HSQUIRRELVM get_world_script_vm() { return world_script_vm.vm; }

// ---- errors ----

void show_world_script_error(const char* header, const char* text)
{
  std::string msg = std::string(header) + (text ? text : "unknown error");
  set_error_message(msg.c_str());
}

void add_world_script_error(const char* header, const char* text)
{
  if (!has_error_message()) {
    show_world_script_error(header, text);
    return;
  }
  std::string msg = std::string(header) + (text ? text : "unknown error");
  append_error_message(msg.c_str(), -1);
}

SquirrelError script_call_error(HSQUIRRELVM vm)
{
  // The script's own error text says what went wrong; a native's error is the
  // same text and is forgotten here, so it cannot be mistaken later.
  std::string text = "SqFunc<> call failed";
  {
    StackRestore restore(vm);
    sq_getlasterror(vm);
    const SQChar* s = nullptr;
    if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) && s) text = s;
  }
  return call_error(vm, text.c_str());
}

SquirrelError last_error_or(HSQUIRRELVM vm, const char* fallback)
{
  StackRestore restore(vm);
  sq_getlasterror(vm);
  const SQChar* s = nullptr;
  if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) && s) return SquirrelError(s);
  return SquirrelError(fallback);
}

// ---- start-up ----

void register_world_script_api(HSQUIRRELVM vm)
{
  StackRestore restore(vm);
  register_ramp_classes(vm);
  register_hmap_mask(vm);
  register_land_color_natives(vm);
  register_recolor_by_height(vm);
  register_int_map(vm);
  register_bit_map(vm);
  bind_universe(vm);
  if (bind_gameobj) bind_gameobj(vm);
  register_vec4f_random_color_natives(vm);
  register_terrain_natives(vm);
  register_droplet_erosion(vm);
  register_world_constants(vm);
}

void bind_world_entry_points()
{
  HSQUIRRELVM vm = world_script_vm.vm;
  if (!vm) return;
  generate_world_func.bindRoot(vm, "generate_world");
  generate_universe_func.bindRoot(vm, "generate_universe");
  get_world_tooltip_func.bindRoot(vm, "get_world_tooltip");
  get_world_ctx_menu_func.bindRoot(vm, "get_world_ctx_menu");
  process_event_func.bindRoot(vm, "process_event");
  update_script_func.bindRoot(vm, "update_script");
  activate_current_world_func.bindRoot(vm, "activate_current_world");
  set_pal_color_func.bindRoot(vm, "set_pal_color");
  get_savegame_globals_func.bindRoot(vm, "get_savegame_globals");
}

static void release_world_entry_points()
{
  generate_world_func.release();
  generate_universe_func.release();
  get_world_tooltip_func.release();
  get_world_ctx_menu_func.release();
  process_event_func.release();
  update_script_func.release();
  activate_current_world_func.release();
  set_pal_color_func.release();
  get_savegame_globals_func.release();
}

// Runs one script file; a failure throws the VM's last error, or says that
// the file could not be read when the VM has no error to tell.
static void include_or_throw(const char* path)
{
  HSQUIRRELVM vm = world_script_vm.vm;
  sq_reseterror(vm);
  if (!world_script_vm.include(path)) throw last_error_or(vm, (std::string("can't load ") + path).c_str());
}

void init_world_script()
{
  if (!world_script_vm.create(1024)) fatal("error creating world gen script VM");
  HSQUIRRELVM vm = world_script_vm.vm;
  try {
    register_world_script_api(vm);
    include_or_throw("gen/main.nut");
    bind_world_entry_points();
    load_world_palettes(vm);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
  }
}

void rebind_world_plugin_natives()
{
  HSQUIRRELVM vm = world_script_vm.vm;
  if (!vm || !bind_gameobj) return;
  try {
    StackRestore restore(vm);
    bind_gameobj(vm);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
  }
}

// ---- hot reload ----

void reload_world_script_if_changed()
{
  HSQUIRRELVM vm = world_script_vm.vm;
  if (!vm) return;
  bool scripts_changed = world_script_vm.filesChanged();
  bool palettes_changed = world_palettes_changed();
  if (!scripts_changed && !palettes_changed) return;

  set_error_message(nullptr);
  if (scripts_changed) {
    debug("world scripts changed, reloading");
    try {
      sq_reseterror(vm);
      if (!world_script_vm.reload(true)) throw last_error_or(vm, "can't run the world scripts");
      bind_world_entry_points();
    } catch (const SquirrelError& e) {
      show_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
    }
  }
  // The palettes are re-read even after a failed script run, so that one
  // edit regenerates once.
  if (palettes_changed) {
    debug("world palettes changed, reloading");
    try {
      load_world_palettes(vm);
    } catch (const SquirrelError& e) {
      add_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
    }
  }

  if (cur_game_mode && cur_game_mode == universe_mode) {
    generate_universe();
    refresh_universe_screen();
  } else if (cur_game_mode && cur_game_mode == main_menu_mode) {
    // The world behind the main menu is the menu's own.
    generate_world("main_menu");
  } else {
    generate_world("game");
  }
}

// ---- shut-down ----

void shutdown_world_script()
{
  if (world_script_vm.vm) release_universe_data();
  release_world_entry_points();
  world_script_vm.close();
}
