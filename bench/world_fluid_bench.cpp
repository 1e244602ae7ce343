// Timing of the world tick's hot loops: one fluid step on a mostly wet world,
// the height morph with every cell moving, and a minute of world ticks
// (1,200 x updateHmap + simWater).
#include <benchmark/benchmark.h>

#include "engine/random.h"
#include "world/fluidSim.h"
#include "world/heightmapData.h"
#include "world/worldServices.h"

#include "silent_world_services.h"

using namespace HeightmapData;

// Rolling land under lakes of water (about 80 % of the cells) and pools of
// lava (10 %); every target differs from its height when `moving`.
static void make_world(bool moving)
{
  reset();
  game_rnd_seed = 77;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) {
      int i = cell_index(x, z);
      hmap[i] = float((x * 7 + z * 13) % 31) * 0.2f + rnd_float() * 0.5f;
      target_hmap[i] = moving ? hmap[i] + 3.f + rnd_float() * 20.f : hmap[i];
      float r = rnd_float();
      water[z][x] = Water{r < 0.8f ? r * 3.f : (r < 0.9f ? -r : 0.f), 0.f, 0.f, 0.f};
    }
  for (int k = 0; k < 5; k++) simWater(0.05f);  // let velocities build up
}

// Arguments (outflow, velocities): outflow 1 takes four cells at a time, 0
// one at a time (the old path); velocities 1 takes eight cells at a time with
// AVX2 (the default where the processor has it), 0 four at a time with SSE.
static void BM_FluidStep(benchmark::State& state)
{
  make_world(false);
  const bool wide_default = fluidWideAdvection;
  fluidGroupedOutflow = state.range(0) != 0;
  fluidWideAdvection = state.range(1) != 0 && wide_default;
  for (auto _ : state) {
    simWater(0.05f);
    benchmark::ClobberMemory();
  }
  fluidGroupedOutflow = true;
  fluidWideAdvection = wide_default;
}
BENCHMARK(BM_FluidStep)->Args({0, 0})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMicrosecond);

static void BM_MorphFrame(benchmark::State& state)
{
  make_world(true);
  static float out[HMAP_CELLS];
  for (auto _ : state) {
    morphHmap(0.025f, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_MorphFrame)->Unit(benchmark::kMicrosecond);

static void BM_UpdateHmapAllMoving(benchmark::State& state)
{
  make_world(false);
  int64_t n = 0;
  for (auto _ : state) {
    // Far targets keep every cell moving for hundreds of ticks; renew them now and then.
    if ((n++ & 255) == 0) {
      state.PauseTiming();
      for (int i = 0; i < HMAP_CELLS; i++) target_hmap[i] = hmap[i] + 1e6f;
      state.ResumeTiming();
    }
    updateHmap(0.05f);
  }
}
BENCHMARK(BM_UpdateHmapAllMoving)->Unit(benchmark::kMicrosecond);

static void BM_MinuteOfTicks(benchmark::State& state)
{
  for (auto _ : state) {
    state.PauseTiming();
    make_world(true);
    state.ResumeTiming();
    for (int t = 0; t < 1200; t++) {
      updateHmap(0.05f);
      simWater(0.05f);
    }
  }
}
BENCHMARK(BM_MinuteOfTicks)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
