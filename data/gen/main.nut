// The world script of Quillmere: it builds the universe of worlds and every
// world the player enters or flies over, and answers the game's questions
// about the world while it runs.
//
//   gen/util.nut      numbers, colours, palettes, names
//   gen/terrain.nut   land-shaping tools and one recipe per kind of world
//   gen/world.nut     kinds of world and the steps that build one
//   gen/universe.nut  the universe map, its worlds and portals
//   gen/runtime.nut   events, tooltips, menus and saved globals
//
// A world is built from its entry in the universe (or, for the main menu and
// developer worlds, from an entry made on the spot): its seed restarts the
// world's generator and noise, so the same entry gives the same world.

include("gen/util.nut");
include("gen/terrain.nut");
include("gen/world.nut");
include("gen/universe.nut");
include("gen/runtime.nut");

// The universe's entry of the world the player is entering, or null when
// there is no universe (the main menu, a developer world).
function entered_world_entry()
{
  if (!("universe" in getroottable()) || typeof ::universe != "table") return null;
  local u = ::universe;
  if (!("worlds" in u) || !("enteredWorld" in u) || typeof u.worlds != "array") return null;
  local i = u.enteredWorld;
  if (typeof i != "integer" || i < 0 || i >= u.worlds.len() || typeof u.worlds[i] != "table") return null;
  return u.worlds[i];
}

// A world entry as the builder needs it: a saved entry may come from an older
// game, so every field is checked and a missing one made from the seed.
function complete_entry(w)
{
  local e = clone w;
  if (!("seed" in e) || typeof e.seed != "integer") e.seed <- 1;
  if (!("kind" in e) || typeof e.kind != "string" || !(e.kind in world_kinds)) e.kind <- "lakes";
  if (!("palette" in e) || typeof e.palette != "string") e.palette <- e.kind;
  if (!("name" in e) || typeof e.name != "string") e.name <- "Nowhere";
  if (!("sun_heading" in e)) e.sun_heading <- 0.3;
  local ok_place = @(p) typeof p == "table" && "x" in p && "z" in p;
  if (!("castle" in e) || !ok_place(e.castle)) e.castle <- {x = 128, z = 128};
  local portals = [];
  if ("portals" in e && typeof e.portals == "array")
    foreach (p in e.portals)
      if (ok_place(p)) portals.append(p);
  e.portals <- portals;
  if ((e.kind == "volcanic" || e.kind == "showcase") && (!("vent" in e) || !ok_place(e.vent)))
    e.vent <- {x = (e.castle.x + 128) & 255, z = e.castle.z};
  if (e.kind == "desert" && (!("oasis" in e) || !ok_place(e.oasis))) e.oasis <- {x = e.castle.x, z = (e.castle.z + 100) & 255};
  return e;
}

// The main menu's world: made from the current state of the generator.
function main_menu_entry()
{
  local w = new_world_entry("showcase", []);
  w.name = "Quillmere";
  // The volcano in the middle of the map, the castle on its lower slopes.
  w.vent = {x = 128, z = 128};
  local a = frnd() * PI * 2.0;
  w.castle = {x = (128 + cos(a) * 64.0).tointeger(), z = (128 + sin(a) * 64.0).tointeger()};
  return w;
}

function generate_world(name)
{
  local entry = null;
  if (name == "game") {
    entry = entered_world_entry();
    if (entry != null) ::cur_world <- entry;
  }
  if (entry == null) {
    if (name == null || name == "main_menu")
      entry = main_menu_entry();
    else
      entry = new_world_entry(name in world_kinds ? name : rnd_pick(universe_kinds), []);
  }
  local w = complete_entry(entry);
  set_rnd_seed(w.seed);
  reseed_noise();
  build_world(w);
}
