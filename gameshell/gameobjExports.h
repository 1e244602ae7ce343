// The data the game exports to the gameobj plug-in: the object lists, the
// player, the GUI screen and style slots, effect ramps, shared flags and the
// script type tags. The game owns every object here (built before start-up,
// destroyed at exit); the plug-in fills and changes them. The plug-in links
// against these names: `game` exports its symbols, and the plug-in resolves
// them when it is loaded.
//
// Layout contract with the plug-in: every game object derives from GameObj
// through single inheritance, so an object's address is its BaseObject's and
// its first word is its class table. A rebuilt plug-in keeps the layout of
// its objects and the index of every class, or live objects cannot survive a
// reload (gameobjHost.h). Main thread only.
#pragma once

#include "gameshell/baseObject.h"
#include "engine/gui/guiScreen.h"

#include "engine/dynArray.h"
#include "engine/ramps.h"
#include "engine/renderBatch.h"
#include "engine/text/distFont.h"
#include "engine/updateStats.h"
#include "engine/vec4f.h"

// ---- objects ----

// The plug-in's object class. Besides BaseObject's operations the game calls
// these four, in this slot order.
class GameObj : public BaseObject
{
public:
  int proximityBin = -1;  // the proximity-grid bin holding the object, -1 for none

  // The player's step of a play tick: move is the wanted displacement, which
  // the player may change; turn is -1, 0 or 1 (a dash back or forward).
  virtual void move(float dt, float speed, vec4f* move, Matrix44* camera, int turn) = 0;
  // Writes the object's position into *out and returns out.
  virtual vec4f* getPos(vec4f* out) = 0;
  // Called on the player when play resumes after the developer mode.
  virtual void onLeaveDevMode() = 0;
  // Called once on every new player, right after create_player.
  virtual void onNewPlayer() = 0;
};

// Every plug-in object begins with its GameObj part (see the banner), so the
// game reaches the operations above from a pointer to any list class without
// the plug-in's class definitions.
template <typename T>
inline GameObj* as_gameobj(T* obj)
{
  return static_cast<GameObj*>(static_cast<BaseObject*>(static_cast<void*>(obj)));
}

// The 53 object classes with a list of live objects, in the order the
// binding walks them.
#define GAMEOBJ_LIST_CLASSES(X)                                                                                 \
  X(Player) X(WaterSource) X(LavaSource) X(NaturalVolcano) X(SpellObject) X(ThunderstormObject) X(Fireball)     \
  X(Waterball) X(FaultMissile) X(HouseMissile) X(MeteorMissile) X(ThunderstormMissile) X(HillMissile)           \
  X(PitMissile) X(VolcanoMissile) X(WaterSourceMissile) X(WaterSinkMissile) X(FireballSpell) X(WaterballSpell)   \
  X(FaultSpell) X(HouseSpell) X(MeteorSpell) X(HillSpell) X(PitSpell) X(VolcanoSpell) X(WaterSourceSpell)       \
  X(WaterSinkSpell) X(ThunderstormSpell) X(HealingSpell) X(LightningSpell) X(WyvernMonster) X(BurnEffect)       \
  X(TreeObject) X(StoneCup1Object) X(Stone1StaticObject) X(Menhir1StaticObject) X(Menhir2StaticObject)          \
  X(HumanoidStaticObject) X(ManaGatherer) X(CastleObject) X(CastleMissile) X(CastleSpell) X(ManaBall)           \
  X(WorldPortal) X(UsePortalSpell) X(BirdMonster) X(LandMonster) X(TimeTrigger) X(Sensor) X(GuardTower)         \
  X(GuardTowerMissile) X(GuardTowerSpell) X(LightPillarEffect)

enum { NUM_GAMEOBJ_LISTS = 53 };
// The plug-in's class tables: one per class index, the list classes among them.
enum { NUM_GAMEOBJ_CLASSES = 85 };

class Spell;
#define GAMEOBJ_DECLARE_LIST(cls) \
  class cls;                      \
  extern DynArray<cls*> cls##_list;
GAMEOBJ_LIST_CLASSES(GAMEOBJ_DECLARE_LIST)
#undef GAMEOBJ_DECLARE_LIST

// The local player, null when there is none.
extern Player* local_player;

// ---- GUI ----

// A screen of the plug-in. The universe screen rebuilds itself in
// universeChanged when the world script has regenerated the universe.
class GameScreen : public BaseGuiScreen
{
public:
  virtual void universeChanged() {}
};

// The plug-in's screens, in the order unbinding releases them: a pointer to
// the open screen of each kind and its factory, both null until the plug-in
// sets them. The plug-in derives its screens from these classes.
#define GAMEOBJ_SCREENS(X)                                                                                      \
  X(tooltip) X(spells_gui) X(cheat_menu) X(game_controls) X(game_options) X(game_slot) X(new_game_note)         \
  X(main_menu) X(credits) X(game_menu) X(enter_world) X(universe)

#define GAMEOBJ_DECLARE_SCREEN(name)                \
  class name##_screen_Class : public GameScreen     \
  {                                                 \
  public:                                           \
    static BaseGuiScreen* (*createScreen)();        \
  };                                                \
  extern name##_screen_Class* name##_screen;
GAMEOBJ_SCREENS(GAMEOBJ_DECLARE_SCREEN)
#undef GAMEOBJ_DECLARE_SCREEN

extern BaseGuiScreen* cur_game_screen;  // the plug-in's own; the game does not read it
extern GuiStyle common_style, spells_style, tooltip_style;
extern RenderBatch gui_batch;
extern DistFont default_font;  // loaded by the plug-in
extern DistIcons ui_icons;
extern StdRenderBatchState crosshair_state, map_state;
extern int dot_icon, dot_arrow_icon, portal_icon;  // -1 until the plug-in finds its icons

// ---- effect ramps ----

extern ColorRamp glow_std_fade_anim, blend_std_fade_anim, blend_end_fade_anim, blend_rev_fade_anim;
extern FloatRamp size_05_2_anim, size_05_4_anim, std_roll_anim;

// ---- flags and values shared with the plug-in ----

extern bool force_gameobj_reload;    // set by the plug-in: the next tick reloads it
extern bool should_close_game_menu;  // set by the plug-in's menus; the modes leave on it
extern bool spells_ui_active;
extern bool need_game_restart;
extern bool force_dev_map;
extern int crosshair_type;
extern int cur_game_slot;  // save slot in use, -1 for none
extern bool use_fog;  // graphics option; the others live with the engine
enum { SPELL_GRID_NX = 15, SPELL_GRID_NY = 2 };
extern int spell_grid[SPELL_GRID_NY][SPELL_GRID_NX];
extern int spell_grid_nx, spell_grid_ny;

// Phase timers the plug-in and the world script report into.
extern UpdateStatsTracker worldScriptTiming, gameobjTiming;
