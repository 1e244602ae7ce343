// Timing of world generation: droplet erosion in droplets per second with the
// default parameters, tiled_noise2 per sample, and each generator over the
// whole grid.
#include <benchmark/benchmark.h>

#include "quiet_stdout.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "engine/random.h"
#include "engine/ramps.h"
#include "world/erosion.h"
#include "world/expf4.h"
#include "world/heightmapData.h"
#include "world/hmGen.h"
#include "world/houses.h"
#include "world/noise.h"
#include "world/worldServices.h"

#include "silent_world_services.h"

using namespace HeightmapData;

// Hilly generated land of about 20 height units, as a world script makes it.
static void make_land()
{
  reset();
  game_rnd_seed = 1234;
  addFastNoise(0.0f, 8.0f, nullptr, -1, 255, 0.6f);
  addSimplexNoise(0.0f, 12.0f, 4, 4, 0.5f);
}

// The developer key's run: 92,160 droplets with the default parameters, on
// fresh land each time (CPU time, so a busy machine skews it less), and the
// main menu's 9,000. Second argument: the window of droplets the generation
// workers run ahead (0: every droplet in turn on one thread; compare wall
// time, the CPU time is the calling thread's only).
static void BM_Erosion(benchmark::State& state)
{
  const unsigned droplets = unsigned(state.range(0));
  const int saved_window = erosion_run_ahead;
  erosion_run_ahead = int(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    make_land();
    state.ResumeTiming();
    ErosionParams params;
    QuietStdout quiet;
    genDropletErosion(droplets, params);
  }
  erosion_run_ahead = saved_window;
  state.counters["droplets/s"] = benchmark::Counter(double(state.iterations()) * droplets, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Erosion)->ArgsProduct({{92160, 9000}, {0, 16, 32}})->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_TiledNoise2(benchmark::State& state)
{
  float x = 0.0f, y = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tiled_noise2(x, y, 16.0f));
    x += 0.37f;
    if (x > 64.0f) {
      x -= 64.0f;
      y += 0.61f;
    }
  }
}
BENCHMARK(BM_TiledNoise2)->Unit(benchmark::kNanosecond);

static void BM_Noise4(benchmark::State& state)
{
  float x = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(noise4(x, x * 0.7f, 3.0f - x, x * 1.3f));
    x += 0.013f;
  }
}
BENCHMARK(BM_Noise4)->Unit(benchmark::kNanosecond);

// The four exponentials of an erosion deposit: side by side, and one library
// call after another as before (arg 0).
static void BM_Expf4(benchmark::State& state)
{
  bool side_by_side = state.range(0) != 0;
  float x[4] = {-0.01f, -0.02f, -0.005f, -0.03f}, out[4];
  for (auto _ : state) {
    if (side_by_side) {
      expf4(x, out);
    } else {
      for (int j = 0; j < 4; j++) out[j] = expf(x[j]);
    }
    benchmark::DoNotOptimize(out);
    x[0] -= 1e-6f;
  }
  state.SetLabel(side_by_side ? (expf4_side_by_side() ? "side by side" : "library (no AVX2/FMA)") : "library");
}
BENCHMARK(BM_Expf4)->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// ---- each generator over the whole grid ----

static void BM_MakeFastNoise(benchmark::State& state)
{
  static float buf[HMAP_CELLS];
  for (auto _ : state) {
    makeFastNoise(buf, 1.0f, 0.5f);
    benchmark::DoNotOptimize(buf);
  }
}
BENCHMARK(BM_MakeFastNoise)->Unit(benchmark::kMillisecond);

static void BM_AddFastNoise(benchmark::State& state)
{
  ColorRamp ramp(D3dColor(0xFF403020u), D3dColor(0xFF807050u), D3dColor(0x80C0B090u), 0.3f, 0.3f);
  reset();
  for (auto _ : state) addFastNoise(0.0f, 1.0f, &ramp, GT_SOIL, 255, 0.5f);
}
BENCHMARK(BM_AddFastNoise)->Unit(benchmark::kMillisecond);

static void BM_AddSimplexNoise(benchmark::State& state)
{
  reset();
  for (auto _ : state) addSimplexNoise(0.0f, 1.0f, 4, int(state.range(0)), 0.5f);
}
BENCHMARK(BM_AddSimplexNoise)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

static void BM_AddVoronoiHills(benchmark::State& state)
{
  reset();
  for (auto _ : state) addVoronoiHills(8, 0.0f, 4.0f, 0.9f);
}
BENCHMARK(BM_AddVoronoiHills)->Unit(benchmark::kMillisecond);

static void BM_GenVoronoiFaults(benchmark::State& state)
{
  reset();
  for (auto _ : state) genVoronoiFaults(4, 0.0f, 6.0f, 0.4f, 2, 3, 0.8f);
}
BENCHMARK(BM_GenVoronoiFaults)->Unit(benchmark::kMillisecond);

static void BM_GenFault(benchmark::State& state)
{
  ColorRamp ramp(D3dColor(0xFF202020u), D3dColor(0xC0606060u), D3dColor(0xFFA0A0A0u), 0.2f, 0.5f);
  reset();
  for (auto _ : state) genFault({100.0f, 60.0f}, {1.0f, 2.0f}, 5.0f, 0.5f, 2.0f, &ramp, GT_ROCK, 200, hmap);
}
BENCHMARK(BM_GenFault)->Unit(benchmark::kMillisecond);

static void BM_GenCrater(benchmark::State& state)
{
  make_land();
  for (auto _ : state) genCrater({128.0f, 128.0f}, 30.0f, 0.3f, hmap);
}
BENCHMARK(BM_GenCrater)->Unit(benchmark::kMicrosecond);

static void BM_PlaceCastle(benchmark::State& state)
{
  make_land();
  for (auto _ : state) placeHouse(128, 128, -1, hmap, false);
}
BENCHMARK(BM_PlaceCastle)->Unit(benchmark::kMicrosecond);
