#include "fuzz/fuzzGame.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjHost.h"
#include "gameshell/universe.h"

#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace
{
// The world script of the fuzzed game: a universe of three worlds whose
// worlds each hold a castle.
const char* const k_world_script = R"(
function generate_world(name) { place_castle(40, 50); }
function make_universe(seed) {
  return {worlds = [{name = "Amber"}, {name = "Birch", size = 2.5}, {name = "Cinder"}], enteredWorld = 0, seed = seed};
}
)";

sqbind::SqObject eval(const char* code)
{
  HSQUIRRELVM vm = world_script_vm.vm;
  sqbind::StackRestore restore(vm);
  if (!compile_script_buffer(vm, code, SQInteger(strlen(code)), "fuzz")) abort();
  sq_pushroottable(vm);
  if (SQ_FAILED(sq_call(vm, 1, SQTrue, SQTrue))) abort();
  return sqbind::SqObject::fromStack(vm, -1);
}
// At exit, before the static script handles go: the game's own shut-down
// order, so nothing is released into a closed VM.
void close_game()
{
  cur_game_mode = nullptr;
  if (remove_all_gameobj) remove_all_gameobj();
  if (delete_gameobj) delete_gameobj();
  local_player = nullptr;
  release_universe_data();
  shutdown_world_script();
  unload_gameobj();
  cur_game_slot = -1;
  release_slot_lock();
}
}  // namespace

void fuzz_game_init()
{
  static bool done = false;
  if (done) return;
  done = true;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  setenv("QUILLMERE_NO_DIALOGS", "1", 0);
  setenv("XDG_DATA_HOME", fuzz_dir().c_str(), 1);

  load_gameobj_library(QM_GAMEOBJ_PLUGIN);
  if (!world_script_vm.create(1024)) abort();
  HSQUIRRELVM vm = world_script_vm.vm;
  sq_setprintfunc(vm, fuzz_quiet_print, fuzz_quiet_print);
  bind_universe(vm);
  bind_gameobj(vm);
  eval((std::string(k_world_script) + "return null;").c_str());
  bind_world_entry_points();

  universe = eval("return make_universe(7);");
  cur_game_info = eval("return {name = \"Fuzzed game\"};");
  fetch_universe_data();
  cur_game_slot = 0;

  using namespace HeightmapData;
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = float((i * 7) % 101) * 0.25f - 5.f;
    target_hmap[i] = hmap[i] + 1.f;
    surface[i] = {0xFF000000u | uint32_t(i), uint32_t(i * 31), uint32_t(GT_SOIL | (i & 0x30))};
    water[i >> 8][i & 255] = {float(i % 5) * 0.1f, 0.01f, -0.02f, 0.5f};
  }
  eval("place_castle(20, 30); return null;");
  local_player = create_player(make4f(60.f, 7.f, 9.f, 1.f));
  std::error_code ec;
  std::filesystem::create_directories(fuzz_slot_path(""), ec);
  atexit(close_game);
}

void fuzz_game_after_input()
{
  if (delete_gameobj) delete_gameobj();
  set_error_message(nullptr);
}

std::string fuzz_slot_path(const char* file) { return saved_game_path(0, file).c_str(); }
