// The world script VM: what start-up registers, what every entry point does
// around the script (and when the script is missing or fails), the two error
// headers, the completion of a world after a script error, the hot reload of
// scripts and palettes, and the natives that write colours and run erosion.
// Each test runs its own small "gen/main.nut" from a throw-away program
// folder; file times are set explicitly, since they have 1-second resolution.
#include <gtest/gtest.h>

#include "world_script_doubles.h"

#include "scripting/hmGenScript.h"
#include "scripting/palettes.h"
#include "scripting/terrainNatives.h"
#include "scripting/worldGenClasses.h"

#include "engine/paths.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "engine/visualLog.h"
#include "world/heightmapData.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <fcntl.h>
#include "support/test_dir.h"

using namespace sqbind;
using namespace HeightmapData;

namespace
{

std::string error_text() { return error_message_text.num ? std::string(error_message_text.data) : std::string(); }

// A program folder of its own with gen/main.nut and gen/palettes.csv, and the
// world VM started on it.
class WorldScriptTest : public testing::Test
{
protected:
  std::string dir;
  char savedAppPath[260] = {0};
  time_t clock = 1600000000;

  static constexpr const char* k_palettes = "name,ground,water\nsea,0xFF204060,0x80102030\n";

  void SetUp() override
  {
    dir = make_test_dir("worldvm");
    ASSERT_FALSE(dir.empty());
    std::filesystem::create_directories(dir + "/gen");
    memcpy(savedAppPath, app_path, sizeof(savedAppPath));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    reset_world_script_doubles();
    bind_test_plugin();
    set_error_message(nullptr);
    write("gen/palettes.csv", k_palettes);
  }

  void TearDown() override
  {
    shutdown_world_script();
    // The VM remembers its files across re-creation; each test starts afresh.
    world_script_vm.files.clear();
    set_error_message(nullptr);
    reset_world_script_doubles();
    memcpy(app_path, savedAppPath, sizeof(savedAppPath));
    std::filesystem::remove_all(dir);
  }

  void write(const char* name, const std::string& text)
  {
    std::string p = dir + "/" + name;
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
    timespec times[2] = {{clock, 0}, {clock, 0}};
    clock += 10;
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }

  void start(const std::string& main_nut)
  {
    write("gen/main.nut", main_nut);
    init_world_script();
  }

  // A new VM on new scripts (the VM remembers its files across re-creation).
  void restart(const std::string& main_nut)
  {
    shutdown_world_script();
    world_script_vm.files.clear();
    start(main_nut);
  }

  HSQUIRRELVM vm() const { return world_script_vm.vm; }

  // The value of a script expression in the world VM.
  SqObject eval(const char* expr)
  {
    StackRestore restore(vm());
    std::string code = std::string("return (") + expr + ");";
    EXPECT_TRUE(compile_script_buffer(vm(), code.c_str(), (SQInteger)code.size(), "eval")) << expr;
    sq_pushroottable(vm());
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm(), 1, SQTrue, SQTrue))) << expr;
    return SqObject::fromStack(vm(), -1);
  }
  SQInteger evalInt(const char* expr)
  {
    SqObject v = eval(expr);
    return sq_isinteger(v.o) ? sq_objtointeger(&v.o) : -999999;
  }
  bool run(const char* code)
  {
    StackRestore restore(vm());
    if (!compile_script_buffer(vm(), code, (SQInteger)strlen(code), "run")) return false;
    sq_pushroottable(vm());
    return SQ_SUCCEEDED(sq_call(vm(), 1, SQFalse, SQTrue));
  }
};

bool world_is_completed()
{
  return memcmp(target_hmap, hmap, sizeof(hmap)) == 0 && memcmp(tmpw, water, sizeof(WaterRow) * HMAP_SIZE) == 0;
}

// ---- start-up ----

TEST_F(WorldScriptTest, StartUpRegistersTheWholeScriptApi)
{
  start("function generate_world(name) {}\n");
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(world_script_calls.bindUniverse, 1);
  EXPECT_EQ(world_script_calls.bindGameobj, 1);
  static const char* const names[] = {
    // classes
    "ColorRamp", "FloatRamp", "HmapMask", "IntMap", "BitMap", "vec4f",
    // masks, maps and colours
    "apply_height_mask", "apply_water_mask", "repaint_land", "recolor_by_height", "recolor_land4", "make_map_index",
    "map_index_x", "map_index_z", "make_skeleton_map", "fast_skeleton_map",
    // vectors, random numbers, colours
    "make4f", "cross", "norm3", "norm3a", "dot3", "len3", "len3Sq", "getx", "gety", "getz", "hmrnd", "hmfrnd",
    "hmsrnd", "irnd", "frnd", "srnd", "rndf", "lerpcolor", "lch2rgba", "hsv2rgba", "wrap", "set_rnd_seed",
    "randomize_rnd_seed", "mix3colors", "mix4colors", "tocolor", "make_dir_2d", "make_dir_xz", "round",
    // world generation
    "place_house", "add_fast_noise", "add_simplex_noise", "gen_fault", "gen_crater", "gen_droplet_erosion",
    "add_voronoi_hills", "gen_voronoi_faults", "recenter_hmap", "set_sun_dir", "flatten_circle",
    "get_average_circle_height", "mark_rect", "mark_circle", "mark_water", "test_rect_mark", "test_circle_mark",
    "reseed_noise", "noise1", "tiled_noise2", "fractal_noise1", "tiled_fractal_noise2", "get_noise_hash1",
    "get_noise_hash2", "set_player_pos", "play_sound_event", "show_splash", "debug_object",
    // from the reloadable VM and the palettes
    "include", "world_palettes"};
  for (const char* n : names) EXPECT_EQ(evalInt((std::string("\"") + n + "\" in getroottable() ? 1 : 0").c_str()), 1) << n;
  // Constants are compile-time constants of scripts compiled afterwards.
  EXPECT_EQ(evalInt("HMAP_SIZE * 1000 + HMAP_SIZE_SHIFT"), 256008);
  EXPECT_EQ(evalInt("GT_NONE * 100 + GT_SOIL * 10 + ST_ROAD"), -100 + 30 + 4);
  EXPECT_EQ(evalInt("MARK_PLACEMENT * 10 + MARK_WATER"), 78);
}

TEST_F(WorldScriptTest, BrokenMainScriptIsShownAndStartUpGoesOn)
{
  start("function generate_world(name) {}\nlocal x = ;\n");
  EXPECT_EQ(error_text().rfind("Error in world gen script:\n", 0), 0u) << error_text();
  ASSERT_NE(vm(), nullptr);
  // The compile failed before anything was defined: the entry point is null.
  generate_world("game");
  EXPECT_EQ(error_text(), "Error in world gen script:\nNo 'generate_world' function in script");
}

// ---- generate_world ----

TEST_F(WorldScriptTest, GenerateWorldRunsTheServicesAroundTheScriptInOrder)
{
  start("function generate_world(name) { ::seen_name <- name; set_player_pos(make4f(3, 4, 5, 1)); }\n");
  world_script_calls.order.clear();
  generate_world("island");
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(eval("seen_name").getType(), OT_STRING);
  std::vector<std::string> expected = {"grab_scene_image", "remove_all_gameobj", "reset_common_fx",
                                       "stop_world_sounds", "reset_fluid_surfaces", "create_player",
                                       "init_new_player", "play_sound_event"};
  EXPECT_EQ(world_script_calls.order, expected);
  ASSERT_NE(local_player, nullptr);
  EXPECT_EQ(local_player->pos[0], 3.0f);
  EXPECT_EQ(local_player->pos[2], 5.0f);
  EXPECT_EQ(local_player->initCalls, 1);
  EXPECT_EQ(world_script_calls.soundEvents, std::vector<int>{1});

  // An existing player is neither replaced nor moved.
  Player* first = local_player;
  generate_world("island");
  EXPECT_EQ(local_player, first);
  EXPECT_EQ(world_script_calls.createPlayer, 1);
  EXPECT_EQ(local_player->pos[0], 3.0f);
}

TEST_F(WorldScriptTest, MainMenuAndNullNameEndWithSoundsStopped)
{
  start("function generate_world(name) { ::seen_null <- (name == null); }\n");
  struct Case
  {
    const char* name;
    bool stopped;
  } cases[] = {{nullptr, true}, {"main_menu", true}, {"game", false}, {"main_menu2", false}};
  for (const Case& c : cases) {
    world_script_calls.order.clear();
    world_script_calls.soundEvents.clear();
    generate_world(c.name);
    EXPECT_EQ(world_script_calls.order.back(), c.stopped ? "stop_world_sounds" : "play_sound_event")
      << (c.name ? c.name : "null");
    EXPECT_EQ(world_script_calls.soundEvents.size(), c.stopped ? 0u : 1u);
  }
  generate_world(nullptr);
  EXPECT_EQ(evalInt("seen_null ? 1 : 0"), 1);
}

TEST_F(WorldScriptTest, ScriptErrorStillCompletesTheWorld)
{
  start(
    "function generate_world(name) {\n"
    "  set_player_pos(make4f(7, 0, 9, 1));\n"
    "  apply_height_mask(null, @(h) 5.0);\n"
    "  apply_water_mask(null, @(w) 0.25);\n"
    "  throw \"landslide\";\n"
    "}\n");
  generate_world("game");
  EXPECT_EQ(error_text(), "Error in world gen script:\nlandslide");
  EXPECT_EQ(hmap[12345], 5.0f);
  EXPECT_TRUE(world_is_completed());
  ASSERT_NE(local_player, nullptr);
  EXPECT_EQ(local_player->pos[0], 7.0f);
  EXPECT_EQ(world_script_calls.resetFluidSurfaces, 1);

  // A native's error text reaches the screen too.
  set_error_message(nullptr);
  restart("function generate_world(name) { repaint_land(null); }\n");
  generate_world("game");
  EXPECT_EQ(error_text(), "Error in world gen script:\nnull function in repaint_land");
}

TEST_F(WorldScriptTest, MissingGenerateWorldGivesItsMessageAndAFlatWorld)
{
  start("function something_else() {}\n");
  hmap[77] = 3.0f;  // anything left from before is reset
  generate_world("game");
  EXPECT_EQ(error_text(), "Error in world gen script:\nNo 'generate_world' function in script");
  EXPECT_EQ(target_hmap[77], 0.0f);
  EXPECT_TRUE(world_is_completed());
  ASSERT_NE(local_player, nullptr);
  float expect[4] = {0, 0, 0, 1};
  for (int i = 0; i < 4; i++) EXPECT_EQ(local_player->pos[i], expect[i]);
}

TEST_F(WorldScriptTest, HeightsThatAreNotFiniteAreRepairedAndReported)
{
  // Such a world could be saved but never loaded again.
  start(
    "function generate_world(name) {\n"
    "  apply_height_mask(null, @(h) 1.0);\n"
    "  local m = HmapMask(0.0); m.processAll(@(x, z, v) (z == 10 && (x == 10 || x == 11)) ? 0.0 / 0.0 : 0.0);\n"
    "  apply_height_mask(m, null);\n"
    "  apply_water_mask(null, @(w) 1e30 * 1e30);\n"
    "}\n");
  generate_world("game");
  for (int i = 0; i < HMAP_CELLS; i++) {
    ASSERT_TRUE(std::isfinite(hmap[i])) << i;
    ASSERT_TRUE(std::isfinite(water[cell_z(i)][cell_x(i)].amount)) << i;
  }
  EXPECT_EQ(hmap[cell_index(10, 10)], 0.0f);
  EXPECT_EQ(hmap[cell_index(11, 10)], 0.0f);
  EXPECT_EQ(hmap[cell_index(12, 10)], 1.0f);
  EXPECT_NE(error_text().find("2 heights and 65536 fluid amounts"), std::string::npos) << error_text();
  EXPECT_TRUE(world_is_completed());
}

// ---- generate_universe ----

TEST_F(WorldScriptTest, GenerateUniverseFillsTheUniverseAndNamesTheGame)
{
  start("function generate_universe() { return { worlds = [{seed = 1}, {seed = 2}], enteredWorld = -1 }; }\n");
  generate_universe();
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(world_script_calls.releaseUniverse, 1);
  EXPECT_EQ(world_script_calls.fetchUniverse, 1);
  ASSERT_EQ(universe.getType(), OT_TABLE);
  ASSERT_EQ(cur_game_info.getType(), OT_TABLE);
  SqObject name = get_slot(vm(), cur_game_info.o, "name");
  const SQChar* s = nullptr;
  sq_getstring(vm(), (sq_pushobject(vm(), name.o), -1), &s);
  std::string text = s ? s : "";
  sq_poptop(vm());
  EXPECT_TRUE(std::regex_match(text, std::regex("Started [01][0-9]/[0-3][0-9]/[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] in v0\\.22")))
    << text;
}

TEST_F(WorldScriptTest, UniverseWithoutItsKeysIsRefused)
{
  struct Case
  {
    const char* body;
    const char* message;
  } cases[] = {
    {"return null;", "generate_universe() must return a table"},
    {"return { enteredWorld = -1 };", "the universe has no \"worlds\" array"},
    {"return { worlds = [] };", "the universe has no integer \"enteredWorld\""},
    {"throw \"no stars\";", "no stars"},
  };
  for (const Case& c : cases) {
    set_error_message(nullptr);
    restart(std::string("function generate_universe() { ") + c.body + " }\n");
    generate_universe();
    EXPECT_EQ(error_text(), std::string("Error in world gen script:\n") + c.message);
    EXPECT_TRUE(universe.isNull()) << c.body;
  }
  restart("function something_else() {}\n");
  generate_universe();
  EXPECT_EQ(error_text(), "Error in world gen script:\nNo 'generate_universe' function in script");
}

// ---- run-time entry points ----

TEST_F(WorldScriptTest, RunTimeEntryPointsReportUnderTheirHeader)
{
  start("function generate_world(name) {}\n");  // none of the run-time functions
  SqObject obj;
  struct Case
  {
    const char* what;
    void (*call)(const SqObject&);
    const char* message;  // null: no message
  } cases[] = {
    {"process_event", [](const SqObject& o) { world_script_event(o); }, "No 'process_event' function in script"},
    {"str event", [](const SqObject&) { world_script_str_event("hello"); }, "No 'process_event' function in script"},
    {"tooltip", [](const SqObject& o) { EXPECT_TRUE(get_world_tooltip(o).isNull()); },
     "No 'get_world_tooltip' function in script"},
    {"ctx menu", [](const SqObject& o) { EXPECT_TRUE(get_world_ctx_menu(o).isNull()); },
     "No 'get_world_ctx_menu' function in script"},
    {"globals", [](const SqObject&) { EXPECT_TRUE(get_savegame_globals().isNull()); },
     "No 'get_savegame_globals' function in script"},
    {"pal colour", [](const SqObject&) { set_world_pal_color("sea", 0xFF112233u); },
     "No 'set_pal_color' function in script"},
    {"update", [](const SqObject&) { update_world_script(0.05f); }, nullptr},
    {"activate", [](const SqObject&) { activate_current_world(); }, nullptr},
  };
  for (const Case& c : cases) {
    set_error_message(nullptr);
    c.call(obj);
    EXPECT_EQ(error_text(), c.message ? std::string("Error in world script:\n") + c.message : std::string()) << c.what;
  }
  set_error_message(nullptr);
  EXPECT_EQ(get_world_script_bool("missing", 7), 7);
  EXPECT_EQ(error_text().rfind("Error in world script:\n", 0), 0u) << error_text();
}

TEST_F(WorldScriptTest, RunTimeEntryPointsPassArgumentsAndResults)
{
  start(
    "log <- [];\n"
    "flag_on <- 1; flag_off <- null;\n"
    "function process_event(e) { log.append(e); }\n"
    "function update_script(dt) { log.append(dt); }\n"
    "function activate_current_world() { log.append(\"active\"); }\n"
    "function set_pal_color(name, c) { log.append(name); log.append(c); }\n"
    "function get_world_tooltip(o) { return \"tip \" + o; }\n"
    "function get_world_ctx_menu(o) { throw \"menu broke\"; }\n"
    "function get_savegame_globals() { return { level = 3 }; }\n");
  SqObject seven = eval("7");
  world_script_event(seven);
  world_script_str_event("portal");
  update_world_script(0.05f);
  activate_current_world();
  set_world_pal_color("sea", 0xFF112233u);
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(evalInt("log.len()"), 6);
  EXPECT_EQ(evalInt("log[0]"), 7);
  EXPECT_EQ(evalInt("log[1] == \"portal\" ? 1 : 0"), 1);
  EXPECT_EQ(evalInt("log[2] == 0.05 ? 1 : 0"), 1);
  EXPECT_EQ(evalInt("log[5] & 0xFFFFFFFF"), 0xFF112233);

  SqObject tip = get_world_tooltip(seven);
  EXPECT_EQ(tip.getType(), OT_STRING);
  SqObject menu = get_world_ctx_menu(seven);
  EXPECT_TRUE(menu.isNull());
  EXPECT_EQ(error_text(), "Error in world script:\nmenu broke");
  EXPECT_EQ(get_savegame_globals().getType(), OT_TABLE);

  set_error_message(nullptr);
  EXPECT_EQ(get_world_script_bool("flag_on", 0), 1);
  EXPECT_EQ(get_world_script_bool("flag_off", 1), 0);
  SqFunc<bool> yes, broken, none;
  ASSERT_TRUE(run("function yes() { return 1; } function broken() { throw \"nope\"; }"));
  yes.bindRoot(vm(), "yes");
  broken.bindRoot(vm(), "broken");
  none.bindRoot(vm(), "no_such_function");
  EXPECT_TRUE(call_bool_func(yes, false));
  EXPECT_TRUE(call_bool_func(none, true));
  EXPECT_EQ(error_text(), "");
  EXPECT_FALSE(call_bool_func(broken, false));
  EXPECT_EQ(error_text(), "Error in world script:\nnope");
  yes.release();
  broken.release();
}

// ---- hot reload ----

TEST_F(WorldScriptTest, RepairedScriptRegeneratesOnTheNextPoll)
{
  const char* good =
    "function generate_world(name) { apply_height_mask(null, @(h) 2.0); }\n"
    "function generate_universe() { return { worlds = [], enteredWorld = -1 }; }\n";
  start(good);
  generate_world("game");
  reload_world_script_if_changed();  // nothing changed: nothing happens
  EXPECT_EQ(world_script_calls.grabSceneImage, 1);

  write("gen/main.nut", "function generate_world(name) { apply_height_mask(null, @(h) 9.0); local x = ; }\n");
  reload_world_script_if_changed();
  EXPECT_EQ(error_text().rfind("Error in world gen script:\n", 0), 0u) << error_text();
  // The failed reload still regenerated the world, with the old function.
  EXPECT_EQ(world_script_calls.grabSceneImage, 2);
  EXPECT_EQ(hmap[0], 2.0f);
  EXPECT_TRUE(world_is_completed());

  write("gen/main.nut", "function generate_world(name) { apply_height_mask(null, @(h) 4.0); }\n");
  auto t0 = std::chrono::steady_clock::now();
  reload_world_script_if_changed();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(error_text(), "");  // the old message is cleared
  EXPECT_EQ(hmap[0], 4.0f);
  EXPECT_EQ(target_hmap[0], 4.0f);
  EXPECT_LT(ms, 1000.0);
}

TEST_F(WorldScriptTest, PalettesOnlyChangeReloadsThemWithoutRunningScripts)
{
  start(
    "runs <- (\"runs\" in getroottable() ? runs : 0) + 1;\n"
    "function generate_world(name) { ::sea <- world_palettes.sea.ground; }\n");
  generate_world("game");
  EXPECT_EQ(evalInt("sea & 0xFFFFFFFF"), 0xFF204060);
  write("gen/palettes.csv", "name,ground,water\nsea,0xFF00FF00,0\n");
  EXPECT_TRUE(world_palettes_changed());
  reload_world_script_if_changed();
  EXPECT_FALSE(world_palettes_changed());
  EXPECT_EQ(evalInt("runs"), 1);
  EXPECT_EQ(evalInt("sea & 0xFFFFFFFF"), 0xFF00FF00);

  // An unreadable table keeps the old one, says why, and still regenerates.
  write("gen/palettes.csv", "");
  int before = world_script_calls.grabSceneImage;
  reload_world_script_if_changed();
  EXPECT_EQ(world_script_calls.grabSceneImage, before + 1);
  EXPECT_EQ(error_text().rfind("Error in world gen script:\n", 0), 0u);
  EXPECT_NE(error_text().find("error reading "), std::string::npos) << error_text();
  EXPECT_EQ(evalInt("sea & 0xFFFFFFFF"), 0xFF00FF00);

  // Touching a script re-runs every script.
  write("gen/main.nut",
        "runs <- (\"runs\" in getroottable() ? runs : 0) + 1;\n"
        "function generate_world(name) { ::sea <- 1; }\n");
  reload_world_script_if_changed();
  EXPECT_EQ(evalInt("runs"), 2);
}

TEST_F(WorldScriptTest, ReloadInUniverseModeRegeneratesTheUniverse)
{
  start(
    "function generate_world(name) { ::worlds_made <- (\"worlds_made\" in getroottable() ? worlds_made : 0) + 1; }\n"
    "function generate_universe() { return { worlds = [{}], enteredWorld = -1 }; }\n");
  cur_game_mode = test_universe_mode;
  write("gen/main.nut",
        "function generate_world(name) { ::worlds_made <- 1; }\n"
        "function generate_universe() { return { worlds = [{}, {}], enteredWorld = -1 }; }\n");
  reload_world_script_if_changed();
  EXPECT_EQ(world_script_calls.fetchUniverse, 1);
  EXPECT_EQ(world_script_calls.refreshUniverseScreen, 1);
  EXPECT_EQ(world_script_calls.order.back(), "refresh_universe_screen");
  EXPECT_EQ(evalInt("\"worlds_made\" in getroottable() ? 1 : 0"), 0);
}

TEST_F(WorldScriptTest, ReloadInTheMainMenuRegeneratesTheMenuWorld)
{
  start(
    "made <- [];\n"
    "function generate_world(name) { made.append(name); }\n");
  cur_game_mode = main_menu_mode;
  // A script edit, then a palettes edit: each makes the menu's world again.
  write("gen/main.nut",
        "made <- [];\n"
        "function generate_world(name) { made.append(name); }\n");
  reload_world_script_if_changed();
  write("gen/palettes.csv", "name,ground,water\nsea,0xFF00FF00,0\n");
  reload_world_script_if_changed();
  cur_game_mode = nullptr;
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(evalInt("made.len()"), 2);
  EXPECT_EQ(evalInt("made[0] == \"main_menu\" && made[1] == \"main_menu\" ? 1 : 0"), 1);
}

TEST_F(WorldScriptTest, ReloadRebindsThePluginAndShutDownReleasesEverything)
{
  start("function generate_world(name) {}\n");
  rebind_world_plugin_natives();
  EXPECT_EQ(world_script_calls.bindGameobj, 2);
  generate_universe();  // fails: no generate_universe
  shutdown_world_script();
  EXPECT_EQ(vm(), nullptr);
  EXPECT_EQ(world_script_calls.releaseUniverse, 2);
  // Every entry point copes with a closed VM.
  set_error_message(nullptr);
  update_world_script(0.05f);
  EXPECT_EQ(error_text(), "");
  EXPECT_EQ(get_world_script_bool("anything", 5), 5);
  reload_world_script_if_changed();
}

// ---- colour natives and erosion ----

TEST_F(WorldScriptTest, RepaintLandWritesColoursAndTypes)
{
  start(
    "function generate_world(name) {\n"
    "  mark_rect(1, 3, 1, 3, 0xAB, 0xFF);\n"
    "  repaint_land(function(x, z) {\n"
    "    if (x == 1) return [0x11223344, GT_SAND];\n"
    "    if (x == 2) return [make4f(1, 0, 0, 1), GT_ROCK, [0, 0, 1, 0.5], ST_SNOW];\n"
    "    if (x == 3) return [0x01020304, 2.7, 0x05060708, 1.9, \"extra\"];\n"
    "    return [0xFF000000, 0x13, 0xFFFFFFFF, 0x25];\n"
    "  });\n"
    "}\n");
  generate_world("game");
  ASSERT_EQ(error_text(), "");
  const Surface& a = surface[cell_index(1, 3)];
  EXPECT_EQ(a.color, 0x11223344u);
  EXPECT_EQ(a.topColor, 0u);
  EXPECT_EQ(a.bits, 0xAB000000u | GT_SAND);  // the marks stay
  const Surface& b = surface[cell_index(2, 3)];
  EXPECT_EQ(b.color, 0xFFFF0000u);
  EXPECT_EQ(b.topColor, 0x800000FFu);
  EXPECT_EQ(b.bits & 0xFF, unsigned(GT_ROCK | (ST_SNOW << 4)));
  // Numbers truncate; elements past the fourth are not read.
  const Surface& d = surface[cell_index(3, 3)];
  EXPECT_EQ(d.color, 0x01020304u);
  EXPECT_EQ(d.topColor, 0x05060708u);
  EXPECT_EQ(d.bits & 0xFF, 0x12u);
  const Surface& c = surface[cell_index(0, 0)];
  EXPECT_EQ(c.bits & 0xFF, 0x53u);  // ground and surface each & 15

  set_error_message(nullptr);
  ASSERT_TRUE(run("function bad(x, z) { return [1, 2, 3]; }"));
  EXPECT_FALSE(run("repaint_land(bad);"));
}

TEST_F(WorldScriptTest, RecolorLand4BlendsByTheCurrentColour)
{
  start("function generate_world(name) {}\n");
  surface[0].color = 0x00000000u;  // no weight at all
  surface[1].color = 0x00FF0000u;  // red only
  surface[2].color = 0xFF00FF00u;  // green and alpha, half each
  surface[2].bits = 0xAB000000u;
  ASSERT_TRUE(run("recolor_land4(0xFFFF0000, make4f(0, 1, 0, 1), [0, 0, 1, 1], 0xFF000000);"));
  EXPECT_EQ(surface[0].color, 0xFFFFFFFFu);  // the undefined lanes of 0 / 0 clamp to 1
  EXPECT_EQ(surface[1].color, 0xFFFF0000u);
  EXPECT_EQ(surface[2].color, 0xFF008000u);
  EXPECT_EQ(surface[2].bits, 0xAB000000u | GT_SOIL);
  EXPECT_EQ(surface[2].topColor, 0u);
}

TEST_F(WorldScriptTest, ErosionParametersComeFromTheTable)
{
  start("function generate_world(name) {}\n");
  struct Case
  {
    const char* table;
    int periodStep;
    float Kq, minSlope;
    int reactions;
  } cases[] = {
    {"null", 10240, 10.0f, 0.05f, 0},
    {"{ periodStep = 100 }", 10240, 10.0f, 0.05f, 0},  // read only with a callback
    {"{ onPeriod = function() {}, periodStep = 100, Kq = 3, minSlope = 0.5 }", 100, 3.0f, 0.5f, 0},
    {"{ reactions = [[make4f(1, 2, 0, 0), [2, 2, 1, 0.5], 0.5], [0.4, 0.6, 2]] }", 10240, 10.0f, 0.05f, 2},
  };
  for (const Case& c : cases) {
    StackRestore restore(vm());
    std::string code = std::string("return ") + c.table + ";";
    ASSERT_TRUE(compile_script_buffer(vm(), code.c_str(), (SQInteger)code.size(), "t"));
    sq_pushroottable(vm());
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm(), 1, SQTrue, SQTrue)));
    SqErosionParams p;
    read_erosion_params(vm(), -1, p);
    EXPECT_EQ(p.periodStep, c.periodStep) << c.table;
    EXPECT_EQ(p.Kq, c.Kq) << c.table;
    EXPECT_EQ(p.minSlope, c.minSlope) << c.table;
    ASSERT_EQ(p.reactions.num, c.reactions) << c.table;
    if (c.reactions) {
      // rate * (to - from); exponents: from rounded to nearest (ties to even).
      EXPECT_EQ(p.reactions[0].change[0], 0.5f);
      EXPECT_EQ(p.reactions[0].change[2], 0.5f);
      EXPECT_EQ(p.reactions[0].exponents[1], 2);
      EXPECT_EQ(p.reactions[1].change[0], 2.0f * (0.6f - 0.4f));
      EXPECT_EQ(p.reactions[1].exponents[0], 0);
      EXPECT_EQ(p.reactions[1].exponents[3], 0);
    }
  }

  // The callback runs with the table as `this`; droplets really erode.
  ASSERT_TRUE(run(
    "apply_height_mask(HmapMask.fastNoise(20.0, 0.6), null);\n"
    "calls <- 0;\n"
    "gen_droplet_erosion(3000, { onPeriod = function() { ::calls += this.periodStep; }, periodStep = 1000 });"));
  EXPECT_EQ(evalInt("calls"), 3000);
  EXPECT_FALSE(run("gen_droplet_erosion(-1, null);"));
  EXPECT_FALSE(run("gen_droplet_erosion(10, { onPeriod = function() { throw \"stop\"; }, periodStep = 1 });"));
  EXPECT_TRUE(run("gen_droplet_erosion(0);"));
}

}  // namespace
