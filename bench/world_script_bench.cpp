// Timing of the game's world scripts (data/gen): the main-menu world, the
// worlds entered from a universe, each kind of world by name and a new
// universe.
// Each world should take at most about half a second.
#include <benchmark/benchmark.h>

#include "quiet_stdout.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "scripting/hmGenScript.h"
#include "scripting/worldNativesServices.h"
#include "world/erosion.h"

#include "engine/paths.h"
#include "engine/random.h"
#include "engine/visualLog.h"

// The world VM's outside services as the scripting tests double them, and
// the world grid's.
#include "scripting/world_script_doubles.cpp"
#include "world/world_services_doubles.cpp"

// The natives' services: no sky, no sound, no plug-in.
void set_sun_direction(vec4f, bool) {}
unsigned play_sound_event(const char*) { return 0; }
float (*get_land_height)(float x, float z) = nullptr;

namespace
{

// The world VM on the repository's data, started once for all benchmarks.
void start_world_scripts()
{
  if (world_script_vm.vm) return;
  std::string root = QM_SOURCE_DIR;
  snprintf(app_path, sizeof(app_path), "%s/data/", root.c_str());
  reset_world_script_doubles();
  QuietStdout quiet;
  init_world_script();
  if (has_error_message()) fprintf(stderr, "world scripts: %s\n", error_message_text.data);
}

// The last argument of a benchmark: how erosion runs. -1: the default (run
// ahead on four threads or more, choosing the quicker way as it goes); 0:
// every droplet in turn on the calling thread (as before); above 0: always
// run ahead with that window.
struct GenerationThreads
{
  int saved = HeightmapData::erosion_run_ahead;
  bool saved_choose = HeightmapData::erosion_choose_way;
  explicit GenerationThreads(int64_t mode)
  {
    HeightmapData::erosion_run_ahead = int(mode);
    HeightmapData::erosion_choose_way = mode < 0;
  }
  ~GenerationThreads()
  {
    HeightmapData::erosion_run_ahead = saved;
    HeightmapData::erosion_choose_way = saved_choose;
  }
};

void BM_GenerateMainMenu(benchmark::State& state)
{
  start_world_scripts();
  GenerationThreads threads(state.range(0));
  for (auto _ : state) {
    game_rnd_seed = 20240611;
    QuietStdout quiet;
    generate_world("main_menu");
  }
}
BENCHMARK(BM_GenerateMainMenu)
  ->Arg(0)
  ->Arg(-1)
  ->Arg(16)
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->Repetitions(5)
  ->ReportAggregatesOnly();

void BM_GenerateUniverse(benchmark::State& state)
{
  start_world_scripts();
  for (auto _ : state) {
    game_rnd_seed = 4242;
    QuietStdout quiet;
    generate_universe();
  }
}
BENCHMARK(BM_GenerateUniverse)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// Entering world `range(0)` of a universe: one benchmark per kind of world.
void BM_GenerateGameWorld(benchmark::State& state)
{
  start_world_scripts();
  {
    QuietStdout quiet;
    game_rnd_seed = 4242;
    generate_universe();
  }
  sqbind::StackRestore restore(world_script_vm.vm);
  std::string code = "::universe.enteredWorld = " + std::to_string(state.range(0)) + ";";
  compile_script_buffer(world_script_vm.vm, code.c_str(), (SQInteger)code.size(), "bench");
  sq_pushroottable(world_script_vm.vm);
  sq_call(world_script_vm.vm, 1, SQFalse, SQTrue);
  for (auto _ : state) {
    QuietStdout quiet;
    generate_world("game");
  }
}
BENCHMARK(BM_GenerateGameWorld)
  ->DenseRange(0, 7)
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->Repetitions(5)
  ->ReportAggregatesOnly();

// Each kind of world, made on the spot from its name (as a developer world
// is): kind `range(0)` of the list below.
const char* const k_world_kinds[] = {"islands", "mountains", "volcanic", "lakes",   "desert",
                                     "highlands", "glacier", "canyons",  "showcase"};

void BM_GenerateKind(benchmark::State& state)
{
  start_world_scripts();
  const char* kind = k_world_kinds[state.range(0)];
  GenerationThreads threads(state.range(1));
  state.SetLabel(kind);
  for (auto _ : state) {
    game_rnd_seed = 777;
    QuietStdout quiet;
    generate_world(kind);
  }
}
BENCHMARK(BM_GenerateKind)
  ->ArgsProduct({benchmark::CreateDenseRange(0, int(sizeof(k_world_kinds) / sizeof(k_world_kinds[0])) - 1, 1), {0, -1, 16}})
  ->Unit(benchmark::kMillisecond)
  ->UseRealTime()
  ->Repetitions(5)
  ->ReportAggregatesOnly();

}  // namespace
