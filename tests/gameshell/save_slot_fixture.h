// A save slot to work on: a private application-data folder, the real gameobj
// plug-in, a small world script VM with the universe natives and the
// plug-in's natives, a universe of three worlds in slot 0, and a world in
// memory made from a seed. Helpers read the slot's files as bytes.
#pragma once

#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjHost.h"
#include "gameshell/universe.h"

#include "engine/streams.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"
#include "worldrender/sky.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include "support/test_dir.h"

namespace save_test
{
namespace fs = std::filesystem;

inline std::string read_bytes(const std::string& path)
{
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return std::string();
  std::string bytes(size_t(f.tellg()), '\0');
  f.seekg(0);
  f.read(&bytes[0], std::streamsize(bytes.size()));
  return bytes;
}

inline void write_bytes(const std::string& path, const std::string& bytes)
{
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

// Every file of a folder by name, with its bytes.
inline std::map<std::string, std::string> folder_contents(const std::string& dir)
{
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename().string()] = read_bytes(e.path().string());
  return files;
}

inline std::string error_text() { return error_message_text.num ? std::string(error_message_text.data) : std::string(); }

// The script's world: `castles` castles on a row; the grid is left as it is.
const char* const slot_test_script = R"(
castles <- 1;
generated <- [];
function generate_world(name) {
  generated.append(name);
  for (local i = 0; i < castles; i++) place_castle(40 + 30 * i, 50);
}
function make_universe(seed, tag) {
  return {worlds = [{name = "Amber"}, {name = "Birch"}, {name = "Cinder"}], enteredWorld = -1, seed = seed, tag = tag};
}
)";

class SaveSlot : public ::testing::Test
{
protected:
  std::string data_dir;

  void SetUp() override
  {
    data_dir = make_test_dir("saves");
    ASSERT_FALSE(data_dir.empty());
    setenv("XDG_DATA_HOME", data_dir.c_str(), 1);

    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    ASSERT_TRUE(world_script_vm.create(1024));
    HSQUIRRELVM vm = world_script_vm.vm;
    bind_universe(vm);
    bind_gameobj(vm);
    run(slot_test_script);
    bind_world_entry_points();

    set_error_message(nullptr);
    cur_game_mode = nullptr;
    should_close_game_menu = false;
    new_game(1, "first");
    make_world(1);
  }

  void TearDown() override
  {
    cur_game_mode = nullptr;
    should_close_game_menu = false;
    if (remove_all_gameobj) remove_all_gameobj();
    if (close_game_menu) close_game_menu();
    destroy_queued_gui_elements();
    shutdown_world_script();
    unload_gameobj();
    cur_game_slot = -1;
    release_slot_lock();
    set_error_message(nullptr);
    std::error_code ec;
    fs::remove_all(data_dir, ec);
    unsetenv("XDG_DATA_HOME");
  }

  static void run(const char* code)
  {
    HSQUIRRELVM vm = world_script_vm.vm;
    sqbind::StackRestore restore(vm);
    ASSERT_TRUE(compile_script_buffer(vm, code, SQInteger(strlen(code)), "slot_test"));
    sq_pushroottable(vm);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue)));
  }

  static sqbind::SqObject eval(const char* expr)
  {
    std::string code = std::string("return ") + expr + ";";
    HSQUIRRELVM vm = world_script_vm.vm;
    sqbind::StackRestore restore(vm);
    EXPECT_TRUE(compile_script_buffer(vm, code.c_str(), SQInteger(code.size()), "slot_test"));
    sq_pushroottable(vm);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQTrue, SQTrue)));
    return sqbind::SqObject::fromStack(vm, -1);
  }

  static bool script_true(const char* expr)
  {
    sqbind::SqObject v = eval((std::string("(") + expr + ") ? true : false").c_str());
    return sq_isbool(v.o) && sq_objtobool(&v.o);
  }

  static long long script_int(const char* expr)
  {
    sqbind::SqObject v = eval(expr);
    return sq_isinteger(v.o) ? (long long)sq_objtointeger(&v.o) : -999;
  }

  // A universe of three worlds in slot 0, as a new game makes it.
  static void new_game(int seed, const char* tag)
  {
    release_universe_data();
    universe = eval((std::string("make_universe(") + std::to_string(seed) + ", \"" + tag + "\")").c_str());
    cur_game_info = eval((std::string("{name = \"Game ") + tag + "\"}").c_str());
    fetch_universe_data();
    cur_game_slot = 0;
  }

  // A world in memory: every array from the seed, a sun, a camera, a castle
  // and a player.
  static void make_world(int seed)
  {
    remove_all_gameobj();
    make_world_state(seed);
    run((std::string("place_castle(") + std::to_string(20 + seed) + ", 30);").c_str());
    local_player = create_player(make4f(float(seed), 7.f, 9.f, 1.f));
  }

  // The grid, sun and camera of make_world.
  static void make_world_state(int seed)
  {
    using namespace HeightmapData;
    for (int i = 0; i < HMAP_CELLS; i++) {
      hmap[i] = float((i * 7 + seed * 13) % 101) * 0.25f - 5.f;
      target_hmap[i] = hmap[i] + float(seed);
      surface[i] = {0xFF000000u | uint32_t(i * seed), uint32_t(i ^ seed), uint32_t(GT_SOIL | (i & 0x30))};
      water[i >> 8][i & 255] = {float(i % 5) * 0.1f * float(seed), 0.01f * float(seed), -0.02f, 0.5f};
    }
    set_sun_direction(make4f(0.3f, 0.8f + 0.01f * float(seed), 0.2f, 0.f), false);
    set_sky_sun_constant(0.9396926f);
    camera_heading = 0.5f * float(seed);
    camera_pitch = -0.25f;
    camera_roll = 0.125f;
  }

  static std::string slot_path(const char* file) { return saved_game_path(0, file).c_str(); }
  static std::string slot_dir() { return saved_game_path(0, "").c_str(); }

  static int entered() { return get_entered_world(); }

  static vec4f pos_of(void* obj)
  {
    vec4f p;
    return *as_gameobj(static_cast<BaseObject*>(obj))->getPos(&p);
  }

  // Enters world `index` from the map as the plug-in's universe screen does.
  static void choose_world(int index)
  {
    set_entered_world(index);
    cur_game_mode = universe_mode;
    should_close_game_menu = true;
    universe_mode->update(0.05f);
    should_close_game_menu = false;
  }
};
}  // namespace save_test
