// The world script's entry points: world and universe generation, and the
// run-time calls of the game and the plug-in. Every script failure is caught
// here and shown under its header; generation always completes the world.
#include "scripting/hmGenScript.h"

#include "scripting/hmGenScriptInternal.h"
#include "scripting/hmGenScriptServices.h"
#include "scripting/terrainNatives.h"

#include "engine/app.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "engine/visualLog.h"
#include "world/heightmapData.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <locale.h>

using namespace sqbind;

// Largest height or fluid amount a world file can be read back with.
static const float MAX_WORLD_VALUE = 1e9f;

// Values the scripts left that the world cannot hold (not finite, or beyond
// what a saved world may contain), every stride-th float of count: NaN
// becomes 0, the rest are clamped. Returns the count of values changed.
static int sanitize_values(float* values, int stride, int count)
{
  int fixed = 0;
  for (int i = 0; i < count; i++) {
    float& v = values[i * stride];
    if (std::isfinite(v) && std::fabs(v) <= MAX_WORLD_VALUE) continue;
    v = std::isnan(v) ? 0.0f : (v > 0 ? MAX_WORLD_VALUE : -MAX_WORLD_VALUE);
    fixed++;
  }
  return fixed;
}

// Steps 7 to 9 of a new world: the world is made whole and playable whatever
// the script did. Heights and fluid that are not finite numbers would make
// the world unsaveable (a saved world with them is refused on loading), so
// they are repaired and reported.
static void complete_generated_world()
{
  using namespace HeightmapData;
  int bad_heights = sanitize_values(hmap, 1, HMAP_CELLS);
  int bad_fluid = 0;
  for (int z = 0; z < HMAP_SIZE; z++) bad_fluid += sanitize_values(&water[z][0].amount, 4, HMAP_SIZE);
  if (bad_heights || bad_fluid) {
    TempString<256> text;
    text.printf("%d heights and %d fluid amounts were not finite numbers in range; set to 0 or clamped", bad_heights,
                bad_fluid);
    debug("world gen: %s", text.c_str());
    add_world_script_error(WORLD_GEN_ERROR_HEADER, text);
  }

  memcpy(target_hmap, hmap, sizeof(target_hmap));
  memcpy(tmpw, water, sizeof(WaterRow) * HMAP_SIZE);
  reset_fluid_surfaces();
  reset_update_time();

  if (!local_player && create_player) {
    local_player = create_player(script_player_pos);
    if (local_player) init_new_player(local_player);
  }
}

void generate_world(const char* name)
{
  grab_scene_image();
  show_splash("Generating new world...", -1.0f);
  int64_t start = get_ref_time();

  if (remove_all_gameobj) remove_all_gameobj();
  reset_common_fx();
  stop_world_sounds();
  HeightmapData::reset();
  script_player_pos = make4f(0.0f, 0.0f, 0.0f, 1.0f);
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);

  try {
    if (generate_world_func.isNull()) throw SquirrelError("No 'generate_world' function in script");
    call_world_entry(generate_world_func, name);
    sq_collectgarbage(world_script_vm.vm);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
  }

  complete_generated_world();

  if (!name || strcmp(name, "main_menu") == 0)
    stop_world_sounds();
  else
    play_sound_event(1);
  debug("generated world in %d ms", get_time_msec(get_ref_time() - start));
}

// "Started <date> <time> in v0.22", the local time written as the C locale
// writes it (month/day/two-digit year, 24-hour clock).
static void format_game_name(char* out, size_t size)
{
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  locale_t c_locale = newlocale(LC_TIME_MASK, "C", (locale_t)0);
  size_t n = c_locale ? strftime_l(out, size, "Started %x %X in v0.22", &local, c_locale)
                      : strftime(out, size, "Started %x %X in v0.22", &local);
  if (c_locale) freelocale(c_locale);
  if (n == 0) out[0] = 0;
}

// The game shell enters the universe map relying on a table with a "worlds"
// array and an integer "enteredWorld": a universe without them is refused
// here rather than failing later where nothing can report it.
static void check_universe(const SqObject& uni)
{
  if (uni.getType() != OT_TABLE) throw SquirrelError("generate_universe() must return a table");
  HSQUIRRELVM vm = uni.vm;
  StackRestore restore(vm);
  sq_pushobject(vm, uni.o);
  sq_pushstring(vm, "worlds", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY)
    throw SquirrelError("the universe has no \"worlds\" array");
  sq_poptop(vm);
  sq_pushstring(vm, "enteredWorld", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_INTEGER)
    throw SquirrelError("the universe has no integer \"enteredWorld\"");
}

void generate_universe()
{
  grab_scene_image();
  show_splash("Generating new universe...", -1.0f);
  int64_t start = get_ref_time();

  stop_world_sounds();
  release_universe_data();
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);

  try {
    if (generate_universe_func.isNull()) throw SquirrelError("No 'generate_universe' function in script");
    SqObject uni = call_world_entry(generate_universe_func);
    check_universe(uni);
    universe = uni;

    char name[260];
    format_game_name(name, sizeof(name));
    HSQUIRRELVM vm = world_script_vm.vm;
    {
      StackRestore restore(vm);
      sq_newtable(vm);
      sq_pushstring(vm, "name", -1);
      sq_pushstring(vm, name, -1);
      sq_newslot(vm, -3, SQFalse);
      cur_game_info = SqObject::fromStack(vm, -1);
    }

    fetch_universe_data();
    sq_collectgarbage(vm);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_GEN_ERROR_HEADER, e.desc);
  }
  debug("generated universe in %d ms", get_time_msec(get_ref_time() - start));
}

// ---- run-time entry points ----

void world_script_event(const SqObject& obj)
{
  try {
    if (process_event_func.isNull()) throw SquirrelError("No 'process_event' function in script");
    call_world_entry(process_event_func, obj);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
}

void world_script_str_event(const char* text)
{
  try {
    if (process_event_func.isNull()) throw SquirrelError("No 'process_event' function in script");
    call_world_entry(process_event_func, text);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
}

// An object-returning entry point with one object argument.
static SqObject query_world_script(const SqFunc<SqObject>& f, const char* missing, const SqObject& obj)
{
  try {
    if (f.isNull()) throw SquirrelError(missing);
    return call_world_entry(f, obj);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
  return SqObject();
}

SqObject get_world_tooltip(const SqObject& obj)
{
  return query_world_script(get_world_tooltip_func, "No 'get_world_tooltip' function in script", obj);
}

SqObject get_world_ctx_menu(const SqObject& obj)
{
  return query_world_script(get_world_ctx_menu_func, "No 'get_world_ctx_menu' function in script", obj);
}

SqObject get_savegame_globals()
{
  try {
    if (get_savegame_globals_func.isNull()) throw SquirrelError("No 'get_savegame_globals' function in script");
    return call_world_entry(get_savegame_globals_func);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
  return SqObject();
}

void update_world_script(float dt)
{
  if (update_script_func.isNull()) return;
  try {
    call_world_entry(update_script_func, dt);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
}

void activate_current_world()
{
  if (activate_current_world_func.isNull()) return;
  try {
    call_world_entry(activate_current_world_func);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
}

void set_world_pal_color(const char* name, unsigned int color)
{
  try {
    if (set_pal_color_func.isNull()) throw SquirrelError("No 'set_pal_color' function in script");
    // The colour reaches the script as the 32-bit value it is (negative with
    // the top bit set), as the palettes hold colours.
    call_world_entry(set_pal_color_func, name, (int32_t)color);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
}

bool call_bool_func(SqFunc<bool>& f, bool def)
{
  if (f.isNull()) return def;
  try {
    return call_world_entry(f);
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
  return def;
}

int get_world_script_bool(const char* name, int def)
{
  HSQUIRRELVM vm = world_script_vm.vm;
  if (!vm) return def;
  try {
    return getGlobal<bool>(vm, name) ? 1 : 0;
  } catch (const SquirrelError& e) {
    show_world_script_error(WORLD_RUN_ERROR_HEADER, e.desc);
  }
  return def;
}
