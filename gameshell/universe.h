// The universe of a game and its save slots.
//
// A game is a universe of small worlds: a script table (`universe`) whose
// "worlds" array lists them and whose integer "enteredWorld" is the world the
// player stands in, -1 on the universe map. The world script makes it; this
// module keeps it between script calls, saves and loads it, shows the map
// (UniverseMode) and enters and leaves worlds.
//
// A save slot is the folder <application data>/Quillmere/saves/<slot>/ with
//   "info"  u32 0x13110400, u32 0x14072300, cur_game_info (tagged value)
//   "uni"   u32 0x14072300, universe (tagged value)
//   "w%03d" per visited world: u32 0x14062600, the world-data block, sun
//           direction (4 floats), sun constant, camera heading, pitch and
//           roll (floats), then the plug-in's objects
// all little-endian.
//
// Saving never destroys the last good save: every file is written beside its
// final name (a temporary name of the writing process), synced, renamed over
// it and the folder synced, so a crash leaves each file whole, old or new.
// The world file goes in place first, then "uni" and "info": a world that
// cannot be written leaves them as they were. Every file must end with its
// last value: bytes after it mean damage, and the file is refused (the slot
// list then shows no name). Loading reads and checks everything
// before it changes anything; a failed load leaves the game as it was. Only
// a missing world file means a first visit (the world is generated); a world
// file that exists and does not load is reported and left alone, never
// regenerated or overwritten.
//
// Failures are shown as the on-screen error message and returned as false:
// "No slot selected for the saved game", "No slot selected for loading the
// game", "Error saving the game:\n%s", "Error saving the world:\n%s", "Error
// loading the game:\n%s", "Error loading the world:\n%s (at %X)" (stream
// errors, with their position) and "Error loading the world:\n%s".
// Main thread only; the script handles live in the world script VM.
#pragma once

#include "gameshell/gameModes.h"

#include "engine/color.h"
#include "engine/gui/guiElement.h"
#include "engine/renderBatch.h"
#include "engine/utils.h"
#include "scripting/sqbind.h"

#include <cstdint>

class InputStream;

// ---- universe state (exported to the plug-in) ----

extern sqbind::SqObject universe;       // null when no game is loaded
extern sqbind::SqObject worlds;         // universe."worlds"
extern sqbind::SqObject cur_game_info;  // the game's description; its "name" names the slot
// cur_game_slot (the slot in use, -1 for none) is declared in gameobjExports.h.

#define SAVED_GAMES_FOLDER "Quillmere/saves"

enum : uint32_t
{
  SAVE_INFO_MAGIC = 0x13110400u,
  SAVE_VERSION = 0x14072300u,
  WORLD_FILE_VERSION = 0x14062600u,
};

// ---- paths ----

// <application data>/Quillmere/saves
TempString<260> get_saved_games_folder();
// <application data>/Quillmere/saves/<slot>/<file>; empty when it does not
// fit in 260 bytes (every open of it then fails).
TempString<260> saved_game_path(int slot, const char* file);
// "w000", "w001", ... (more digits beyond 999).
TempString<32> world_file_name(int index);

// ---- the slot ----

// Writes "info", "uni" and, while a world is entered, its world file.
// Also the world script's "save_game".
bool save_game();
// Reads "info" and "uni" of the slot and makes it the current game.
bool load_saved_game(int slot);
// The slot's display name ("" for none or an unreadable file; "? ? ?" for a
// file of another kind). outdated: written by another version of the game.
TempString<260> get_saved_game_name(int slot, bool& outdated);
// A game holds the slot it loads or saves (an exclusive lock on the slot's
// file "lock") until it plays another slot or this is called; while another
// running game holds a slot, loading and saving it fail with "The slot is in
// use by another running game". Leftover temporary files of a game that died
// while saving are removed when the slot is taken.
void release_slot_lock();

// ---- worlds ----

bool save_world(const char* path);

enum WorldLoadResult
{
  WORLD_LOADED,
  WORLD_MISSING,  // no such file: the world has not been visited
  WORLD_FAILED,   // the file exists and was refused; the message is shown
};
WorldLoadResult load_world_file(const char* path);
// The world file's state into the current world; false when missing or refused.
bool load_world(const char* path);
// World file "w%03d" of cur_game_slot; false for index < 0 or no slot.
bool load_world(int index);

// ---- universe data ----

// worlds := universe."worlds" (SquirrelError when missing); root "universe" := universe.
void fetch_universe_data();
// Root "universe" and "cur_world" := null; releases worlds, universe, cur_game_info.
void release_universe_data();
// universe."enteredWorld"; SquirrelError when the universe lacks it.
int get_entered_world();
void set_entered_world(int index);
// Root "cur_world" := worlds[index]; an error is shown and the slot emptied
// when the universe has no such world.
void set_cur_world(int index);

// Back to the universe map through three saves and a minute of the world's
// life without the player (see universeMode.cpp). Also the script's "leave_world".
void leave_world();

// Registers the root natives "save_game" (returns the bool) and "leave_world".
void bind_universe(HSQUIRRELVM vm);

// ---- the universe map ----

class UniverseMode : public GameMode
{
public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;
};

// For the plug-in's universe screen: registers "uni_viewer" and makes the
// world-icon shader and batch state.
void init_universe_ui();
// Its first step: registers "uni_viewer" (needs no device).
void register_uni_viewer();
// One world icon: a quad of radius size + 1 (1.5 size + 1 with a ring colour
// c3) round (x, y), its six 28-byte vertices {x, y, u, v, c2, c1 with alpha
// 765 / size, c3}.
void render_world_icon(RenderBatch& batch, float x, float y, float size, D3dColor c1, D3dColor c2, D3dColor c3);

// ---- the universe viewer ----

// The plug-in's universe-viewer element as the "uni_viewer" behaviour sees
// it: a view of the universe's plane panned and zoomed by the pointer. The
// behaviour registered by init_universe_ui pans with the left button held,
// zooms with the wheel (about the pointer) and with a right-button drag, and
// keeps the centre within the bounds and the extent within [160, twice the
// bounds' larger side]. After every change it calls updateView, which turns
// centre and extent into scale and origin.
class UniViewerElement : public BaseGuiElement
{
public:
  vec4f viewScale = make4f(1.f, 1.f, 0.f, 0.f);  // x, y: screen units per universe unit
  vec4f viewOrigin = v_zero();                   // x, y: screen position of universe point 0
  float minX = 0.f, minY = 0.f, maxX = 0.f, maxY = 0.f;  // the universe's bounds
  float centreX = 0.f, centreY = 0.f;
  float extent = 160.f;  // universe units across the view's shorter side
  float lastX = 0.f, lastY = 0.f;  // the pointer at the last event
  bool dragZooms = false;          // the drag began with the right button

  // Square units, the centre in the middle of the element's rectangle.
  virtual void updateView(float dt);
};

// Zooms by max(0.1, 1 + amount) about the screen point (px, py), keeping the
// universe point under it (nearly) in place; then clamps and updates.
void zoom_uni_viewer(UniViewerElement* e, float px, float py, float amount);
// x at least min x, then at most max x; y likewise.
void clamp_uni_viewer_centre(UniViewerElement* e);

// ---- pieces of the above, for tests ----

// Reads what follows the headers of "info" / "uni": one tagged value that must
// end the file. Throws InputStream::Exception or sqbind::SquirrelError.
sqbind::SqObject read_slot_value(InputStream& in, HSQUIRRELVM vm);
