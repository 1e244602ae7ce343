// The gameobj plug-in's face to the game: the two exports by which the game
// binds it, and the functions it binds by name. The game calls 40 of them;
// the others answer their names and do nothing.
#include "gameobj/controlsScreen.h"
#include "gameobj/devtools.h"
#include "gameobj/drawing.h"
#include "gameobj/effects.h"
#include "gameobj/menus.h"
#include "gameobj/scenery.h"
#include "gameobj/objects.h"
#include "gameobj/scriptClasses.h"
#include "gameobj/sounds.h"
#include "gameobj/spellCast.h"
#include "gameobj/spellScreen.h"

#include "gameshell/gameobjExports.h"
#include "gameshell/controls.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/spells.h"
#include "gameshell/universe.h"

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/debugDraw.h"
#include "engine/font.h"
#include "scripting/sqbindCall.h"

#include <cstring>

namespace plugin
{
// ---- the world's objects ----

Player* create_player(vec4f pos) { return new_player(pos); }

void update_gameobj(float dt)
{
  tick_objects(dt);
  update_object_effects(dt);
  delete_queued_objects();
  update_object_sounds();
}

void render_gameobj(float t) { draw_objects(t); }
void render_gameobj_shadow(float t) { draw_object_shadows(t); }
void render_debug_vis_gameobj(float) {}

void remove_all_gameobj()
{
  debug("gameobj: remove_all_gameobj");
  remove_all_objects();
}

void delete_gameobj() { delete_queued_objects(); }
void save_gameobjs(OutputStream& stream) { save_objects(stream); }
void load_gameobjs(InputStream& stream)
{
  load_objects(stream);
  debug("gameobj: loaded %d castles, %d guard towers", CastleObject_list.num, GuardTower_list.num);
}
BaseObject* get_gameobj_by_ser_id(uint32_t serial_id) { return find_object(serial_id); }
void on_devmode_click(vec4f origin, vec4f dir) { devmode_click(origin, dir); }
void render_building(HeightmapData::Surface* surface, int x, int z) { queue_house_tile(surface, x, z); }
void spawn_water_vapor_fx(int x, int z, float level, float amount) { water_vapor_at(x, z, level, amount); }

float get_land_height(float x, float z) { return land_height(x, z); }
float get_land_height_at(vec4f p) { return land_height(p[0], p[2]); }

// ---- start-up and shut-down ----

void init_inst_render()
{
  debug("gameobj: init_inst_render");
  init_object_meshes();
}
// The GUI's text and icons (the game made their shaders before binding us),
// and the universe map's behaviour.
void init_new_gui()
{
  debug("gameobj: init_new_gui");
  if (!default_font.load("ui_font.fnt")) debug("gameobj: can't load the GUI font 'ui_font.fnt'");
  if (!ui_icons.load("ui_icons.txt")) debug("gameobj: can't load the GUI icons 'ui_icons.txt'");
  init_spell_icons();
  dot_icon = ui_icons.getIconId("dot");
  dot_arrow_icon = ui_icons.getIconId("dot_arrow");
  portal_icon = ui_icons.getIconId("portal");
  init_universe_ui();
}
void init_spells_ui()
{
  debug("gameobj: init_spells_ui");
  init_spell_choice();
}
void init_gameobj()
{
  debug("gameobj: init_gameobj");
  init_object_effects();
}
void close_spells_ui()
{
  debug("gameobj: close_spells_ui");
  close_spells_screen();
}

void close_gameobj()
{
  debug("gameobj: close_gameobj");
  stop_object_sounds();
  remove_all_objects();
  close_object_effects();
}

// ---- menus and the play screen ----

void open_main_menu() { open_menu_main(); }
void open_game_menu() { open_menu_game(); }
void open_universe_gui() { open_menu_universe(); }

void close_game_menu()
{
  debug("gameobj: close_game_menu");
  close_menu();
}

void update_game_menu(float dt) { update_menu(dt); }
void draw_game_menu(float t) { draw_menu(t); }
void open_cheat_menu() { open_menu_cheats(); }
void render_dev_world_map(float t) { draw_dev_world_map(t); }
// The spell screen opens and closes on "Select spells"; while it is open
// the spell buttons choose spells instead of casting them.
void update_spells_ui(float dt)
{
  if (isAppActive && button_down(BUTTON_SPELLS)) {
    if (spells_screen_open())
      close_spells_screen();
    else
      open_spells_screen();
  } else if (spells_screen_open()) {
    update_spells_screen();
  }
  update_casting(dt, !spells_screen_open());
}
// The pointer belongs to an open menu or the spell screen, not to the camera.
bool update_spells_ui_mouse(float)
{
  if (spells_screen_open()) shouldHideMouse = false;
  return menu_is_open() || spells_screen_open();
}
void spells_ui_after_resize() {}
void hide_tooltip() { hide_menu_tooltip(); }
void show_tooltip(const char* text) { show_menu_tooltip(text); }
void save_spells() { save_spell_choice(); }
void load_spells() { load_spell_choice(); }
void add_all_spells() { add_every_spell(); }
void init_spell_grid() { clear_spell_grid(); }
void toggle_mana_cheat() { switch_mana_cheat(); }
void toggle_monster_spawn() { switch_monster_spawn(); }

void draw_spells_ui(float t) { draw_spells_display(t); }

// ---- script natives of the world VM ----

void bind_gameobj(HSQUIRRELVM vm)
{
  bind_object_classes(vm);
}

void link_gui()
{
  link_controls_screen();
  link_menus();
  link_spells_screen();
}

// ---- the names the game binds but never calls ----

#define PLUGIN_UNUSED_FUNCS(X)                                                                                  \
  X(add_source_water) X(add_water_source) X(simulate_water) X(carve_crack) X(volcano_cone) X(add_source_lava)   \
  X(add_magic_volcano) X(pick_lightning_target) X(cast_lightning) X(apply_fireball) X(add_water_globe)          \
  X(create_hill) X(add_spell_to_grid) X(pick_up_spell) X(player_has_spell) X(add_initial_spells)                \
  X(remove_all_monsters) X(do_inst_render) X(spawn_fireball_fx)            \
  X(fireball_explode_fx) X(spawn_waterball_missile_fx) X(spawn_magic_missile_fx) X(spawn_water_source_fx)       \
  X(spawn_water_sink_fx) X(spawn_meteor_fx) X(meteor_explode_fx) X(wyvern_death_fx) X(spawn_spellobj_fx)        \
  X(lightning_hit_fx) X(spawn_volcano_smoke_fx) X(init_fx_data) X(update_tooltip) X(render_tooltip)             \
  X(init_tooltip) X(set_radio) X(get_radio) X(set_slider) X(place_popup) X(render_world_map) X(init_map_ui)     \
  X(start_spell_pick_up_anim) X(show_screen_message) X(safely_close_game_menu) X(reset_game_ui_screen)          \
  X(set_game_ui_screen) X(set_world_icon_params) X(get_local_player) X(get_land_pos_at) X(get_land_change)      \
  X(get_land_change_at) X(get_water) X(get_water_at) X(calc_land_norm) X(calc_land_norm_at)                     \
  X(are_any_monsters_alive) X(new_gameobj_by_id) X(gameobj_id_by_name)
#define PLUGIN_DEFINE_UNUSED(name) \
  void name() {}
PLUGIN_UNUSED_FUNCS(PLUGIN_DEFINE_UNUSED)
#undef PLUGIN_DEFINE_UNUSED
}  // namespace plugin

namespace
{
struct NamedFunc
{
  const char* name;
  void* func;
};

// Each function is checked against the type the game binds it as.
#define PLUGIN_NAMED_FUNC(R, name, params) {#name, reinterpret_cast<void*>(static_cast<R(*) params>(&plugin::name))},
const NamedFunc named_funcs[] = {
    GAMEOBJ_BOUND_FUNCS(PLUGIN_NAMED_FUNC){"link_gui", reinterpret_cast<void*>(&plugin::link_gui)},
};
#undef PLUGIN_NAMED_FUNC
}  // namespace

extern "C" __attribute__((visibility("default"))) void* get_gameobj_func_by_name(const char* name)
{
  for (const NamedFunc& f : named_funcs)
    if (strcmp(f.name, name) == 0) return f.func;
  return nullptr;
}

extern "C" __attribute__((visibility("default"))) void** get_gameobj_vtables(int* count)
{
  *count = NUM_GAMEOBJ_CLASSES;
  return plugin_class_tables();
}
