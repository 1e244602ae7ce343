// The functions the game binds by name from the gameobj plug-in: one function
// pointer variable per name, null while no plug-in is bound (gameobjHost.h
// fills and empties them). Every call into the plug-in goes through these.
//
// GAMEOBJ_BOUND_FUNCS lists the 99 names in binding order with their types;
// the game declares and defines its variables from it, and the plug-in checks
// its own functions against the same types. Names whose type is `void ()` and
// that no caller names here are bound only to prove the plug-in complete: the
// game never calls them. Main thread only.
#pragma once

#include "gameshell/baseObject.h"

#include "engine/vec4f.h"
#include "world/heightmapData.h"

#include <cstdint>

class Player;
class InputStream;
class OutputStream;

// F(result type, name, parameter list)
#define GAMEOBJ_BOUND_FUNCS(F)                                                 \
  F(void, toggle_mana_cheat, ())                                               \
  F(Player*, create_player, (vec4f pos))                                       \
  F(void, add_source_water, ())                                                \
  F(void, add_water_source, ())                                                \
  F(void, simulate_water, ())                                                  \
  F(void, carve_crack, ())                                                     \
  F(void, volcano_cone, ())                                                    \
  F(void, add_source_lava, ())                                                 \
  F(void, add_magic_volcano, ())                                               \
  F(void, pick_lightning_target, ())                                           \
  F(void, cast_lightning, ())                                                  \
  F(void, apply_fireball, ())                                                  \
  F(void, add_water_globe, ())                                                 \
  F(void, create_hill, ())                                                     \
  F(void, add_spell_to_grid, ())                                               \
  F(void, save_spells, ())                                                     \
  F(void, load_spells, ())                                                     \
  F(void, pick_up_spell, ())                                                   \
  F(void, player_has_spell, ())                                                \
  F(void, add_initial_spells, ())                                              \
  F(void, add_all_spells, ())                                                  \
  F(void, init_spell_grid, ())                                                 \
  F(void, remove_all_monsters, ())                                             \
  F(void, toggle_monster_spawn, ())                                            \
  F(void, init_inst_render, ())                                                \
  F(void, do_inst_render, ())                                                  \
  F(void, render_gameobj_shadow, (float t))                                    \
  F(void, render_building, (HeightmapData::Surface * surface, int x, int z))   \
  F(void, spawn_fireball_fx, ())                                               \
  F(void, fireball_explode_fx, ())                                             \
  F(void, spawn_waterball_missile_fx, ())                                      \
  F(void, spawn_magic_missile_fx, ())                                          \
  F(void, spawn_water_source_fx, ())                                           \
  F(void, spawn_water_sink_fx, ())                                             \
  F(void, spawn_meteor_fx, ())                                                 \
  F(void, meteor_explode_fx, ())                                               \
  F(void, wyvern_death_fx, ())                                                 \
  F(void, spawn_spellobj_fx, ())                                               \
  F(void, lightning_hit_fx, ())                                                \
  F(void, spawn_water_vapor_fx, (int x, int z, float level, float amount))     \
  F(void, spawn_volcano_smoke_fx, ())                                          \
  F(void, init_fx_data, ())                                                    \
  F(void, hide_tooltip, ())                                                    \
  F(void, show_tooltip, (const char* text))                                    \
  F(void, update_tooltip, ())                                                  \
  F(void, render_tooltip, ())                                                  \
  F(void, init_tooltip, ())                                                    \
  F(void, set_radio, ())                                                       \
  F(void, get_radio, ())                                                       \
  F(void, set_slider, ())                                                      \
  F(void, place_popup, ())                                                     \
  F(void, init_new_gui, ())                                                    \
  F(void, render_world_map, ())                                                \
  F(void, render_dev_world_map, (float t))                                     \
  F(void, init_map_ui, ())                                                     \
  F(void, init_spells_ui, ())                                                  \
  F(void, close_spells_ui, ())                                                 \
  F(void, spells_ui_after_resize, ())                                          \
  F(void, start_spell_pick_up_anim, ())                                        \
  F(void, show_screen_message, ())                                             \
  F(void, draw_spells_ui, (float t))                                           \
  F(void, update_spells_ui, (float dt))                                        \
  F(bool, update_spells_ui_mouse, (float dt))                                  \
  F(void, safely_close_game_menu, ())                                          \
  F(void, reset_game_ui_screen, ())                                            \
  F(void, set_game_ui_screen, ())                                              \
  F(void, open_game_menu, ())                                                  \
  F(void, open_main_menu, ())                                                  \
  F(void, open_cheat_menu, ())                                                 \
  F(void, close_game_menu, ())                                                 \
  F(void, update_game_menu, (float dt))                                        \
  F(void, draw_game_menu, (float t))                                           \
  F(void, set_world_icon_params, ())                                           \
  F(void, open_universe_gui, ())                                               \
  F(void, get_local_player, ())                                                \
  F(float, get_land_height, (float x, float z))                                \
  F(float, get_land_height_at, (vec4f p))                                      \
  F(void, get_land_pos_at, ())                                                 \
  F(void, get_land_change, ())                                                 \
  F(void, get_land_change_at, ())                                              \
  F(void, get_water, ())                                                       \
  F(void, get_water_at, ())                                                    \
  F(void, calc_land_norm, ())                                                  \
  F(void, calc_land_norm_at, ())                                               \
  F(void, are_any_monsters_alive, ())                                          \
  F(void, update_gameobj, (float dt))                                          \
  F(void, render_gameobj, (float t))                                           \
  F(void, render_debug_vis_gameobj, (float t))                                 \
  F(void, remove_all_gameobj, ())                                              \
  F(void, init_gameobj, ())                                                    \
  F(void, close_gameobj, ())                                                   \
  F(void, on_devmode_click, (vec4f origin, vec4f dir))                         \
  F(void, delete_gameobj, ())                                                  \
  F(void, save_gameobjs, (OutputStream & stream))                              \
  F(void, load_gameobjs, (InputStream & stream))                               \
  F(BaseObject*, get_gameobj_by_ser_id, (uint32_t serial_id))                  \
  F(void, new_gameobj_by_id, ())                                               \
  F(void, gameobj_id_by_name, ())                                              \
  F(void, bind_gameobj, (HSQUIRRELVM vm))

enum { NUM_GAMEOBJ_FUNCS = 99 };

#define GAMEOBJ_DECLARE_FUNC_VAR(R, name, params) extern R(*name) params;
GAMEOBJ_BOUND_FUNCS(GAMEOBJ_DECLARE_FUNC_VAR)
#undef GAMEOBJ_DECLARE_FUNC_VAR

// The plug-in's two exports, looked up by these names.
typedef void* (*GetGameobjFuncByName)(const char* name);
typedef void** (*GetGameobjVtables)(int* count);
