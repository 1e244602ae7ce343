// The data exported to the gameobj plug-in and its initial state.
#include "gameshell/gameobjExports.h"

#include "world/heightmapData.h"

// ---- objects ----

#define GAMEOBJ_DEFINE_LIST(cls) DynArray<cls*> cls##_list;
GAMEOBJ_LIST_CLASSES(GAMEOBJ_DEFINE_LIST)
#undef GAMEOBJ_DEFINE_LIST

Player* local_player = nullptr;

// The script type tags of the plug-in's classes live in the game, so the
// plug-in and the game's readers of script values share them (the tags of
// the scripting classes and of BaseObject are instantiated beside them).
#define GAMEOBJ_CLASS_TAG(cls) template struct sqbind::ClassTag<cls>;
GAMEOBJ_LIST_CLASSES(GAMEOBJ_CLASS_TAG)
GAMEOBJ_CLASS_TAG(GameObj)
GAMEOBJ_CLASS_TAG(Spell)
#undef GAMEOBJ_CLASS_TAG

// ---- GUI ----

#define GAMEOBJ_DEFINE_SCREEN(name)                                 \
  BaseGuiScreen* (*name##_screen_Class::createScreen)() = nullptr; \
  name##_screen_Class* name##_screen = nullptr;
GAMEOBJ_SCREENS(GAMEOBJ_DEFINE_SCREEN)
#undef GAMEOBJ_DEFINE_SCREEN

BaseGuiScreen* cur_game_screen = nullptr;
GuiStyle common_style, spells_style, tooltip_style;
// Room for 32768 of the GUI's 20-byte vertices per block.
RenderBatch gui_batch(32768 * 20);
DistFont default_font;
DistIcons ui_icons;
StdRenderBatchState crosshair_state, map_state;
int dot_icon = -1, dot_arrow_icon = -1, portal_icon = -1;

// ---- effect ramps ----

ColorRamp glow_std_fade_anim(0x00000000u, 0xFFFFFFFFu, 0x00000000u, 0.1f, 0.9f);
ColorRamp blend_std_fade_anim(0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.1f, 0.9f);
ColorRamp blend_end_fade_anim(0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.1f, 0.1f);
ColorRamp blend_rev_fade_anim(0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.9f, 0.1f);
FloatRamp size_05_2_anim(0.5f, 2.0f);
FloatRamp size_05_4_anim(0.5f, 4.0f);
FloatRamp std_roll_anim(0.0f, 0.0f);

// ---- flags and values ----

bool force_gameobj_reload = false;
bool should_close_game_menu = false;
bool spells_ui_active = false;
bool need_game_restart = false;
bool force_dev_map = false;
int crosshair_type = 0;
int cur_game_slot = -1;
bool use_fog = true;
int spell_grid[SPELL_GRID_NY][SPELL_GRID_NX];
int spell_grid_nx = SPELL_GRID_NX, spell_grid_ny = SPELL_GRID_NY;

UpdateStatsTracker worldScriptTiming("world script");
UpdateStatsTracker gameobjTiming("game objs");

// The world's surface colours start at zero, before anything runs.
static struct ClearSurfaceColours
{
  ClearSurfaceColours()
  {
    for (HeightmapData::Surface& s : HeightmapData::surface) s.color = s.topColor = 0;
  }
} clear_surface_colours;
