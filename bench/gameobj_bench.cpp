// The plug-in's update of a busy world, one play tick at 20 ticks a second:
// 50 creatures (30 walkers, 12 birds, 8 wyverns) wandering round a player
// who flies among them, 10 guard towers shooting at them, 20 live spells
// (fireballs, water globes and meteors in flight, water sources and sinks,
// volcanoes' lava and thunderstorms, cast as the player casts them), and the
// trees and stones of the land. Creatures that die are replaced and spells
// cast again between ticks (outside the timing) to keep the counts.
// The effect script (data/test/fx.nut) runs as in the game: the effects
// the objects call for are made (particles, trails) and age every tick,
// though they are not drawn.
// Counter: median_ms, the median plug-in update time of one tick.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "engine/paths.h"
#include "gameobj/effects.h"
#include "gameobj/devtools.h"
#include "gameobj/objectKinds.h"
#include "gameobj/spellCast.h"
#include "worldrender/commonFx.h"
#include "world/heightmapData.h"
#include "worldrender/trails.h"

#include "quiet_stdout.h"

namespace plugin
{
void update_gameobj(float dt);
void remove_all_gameobj();
}  // namespace plugin

namespace
{
const int WALKERS = 30, BIRDS = 12, WYVERNS = 8, TOWERS = 10, LIVE_SPELLS = 20;
// Fireball, water globe, meteor, water source, water sink, volcano, thunderstorm.
const int CAST_IDS[] = {39, 40, 43, 47, 48, 46, 49};

float at(int i, int salt) { return std::fmod(float(i) * 37.7f + float(salt) * 91.3f, 256.f); }

// Rolling dry land with a lake, grass everywhere.
void make_land()
{
  using namespace HeightmapData;
  reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) {
      const int i = cell_index(x, z);
      hmap[i] = target_hmap[i] = 2.f + 1.5f * std::sin(float(x) * 0.05f) * std::cos(float(z) * 0.07f);
      surface[i].bits = GT_SOIL | (ST_GRASS << 4);
      water[z][x].amount = tmpw[z][x].amount = (x > 200 && z > 200) ? 1.f : 0.f;
    }
}

template <class T>
void top_up(int want, int salt)
{
  for (int i = list_of(static_cast<T*>(nullptr)).num; i < want; i++) {
    const float x = at(i, salt), z = at(i + 3, salt + 1);
    T* c = new_object<T>(make4f(x, land_height(x, z) + T::KIND.flyHeight, z, 1.f));
    c->onLoaded();
  }
}

int live_spells()
{
  return Fireball_list.num + Waterball_list.num + MeteorMissile_list.num + WaterSource_list.num +
         LavaSource_list.num + ThunderstormObject_list.num;
}

// Casts spells in turn at points round the world until 20 are live.
void top_up_spells(int& next)
{
  for (int tries = 0; live_spells() < LIVE_SPELLS && tries < 40; tries++, next++) {
    const float x = at(next, 21), z = at(next, 22);
    const vec4f ground = make4f(x, land_height(x, z), z, 1.f);
    SpellAim aim;
    aim.from = ground + make4f(-8.f, 20.f, -8.f, 0.f);
    aim.dir = make4f(0.35f, -0.87f, 0.35f, 0.f);
    aim.target = ground;
    aim.onLand = true;
    cast_spell(CAST_IDS[next % 7], aim);
  }
}

void BM_BusyWorldTick(benchmark::State& state)
{
  QuietStdout quiet;
  snprintf(app_path, sizeof(app_path), "%s/data/", QM_SOURCE_DIR);
  make_land();
  reset_common_fx();
  init_object_effects();
  plugin::remove_all_gameobj();
  local_player = new_player(make4f(128.f, 8.f, 128.f, 1.f));
  new_castle(make4f(120.f, land_height(120.f, 120.f), 120.f, 1.f));
  new_portal(make4f(140.f, land_height(140.f, 120.f), 120.f, 1.f), 1);
  scatter_scenery();
  for (int i = 0; i < TOWERS; i++) {
    const float x = at(i, 11), z = at(i, 12);
    new_object<GuardTower>(make4f(x, land_height(x, z), z, 1.f));
  }
  mana_cheat = true;
  std::vector<double> ms;
  float t = 0.f;
  int next_cast = 0;
  for (auto _ : state) {
    top_up<LandMonster>(WALKERS, 1);
    top_up<BirdMonster>(BIRDS, 2);
    top_up<WyvernMonster>(WYVERNS, 3);
    top_up_spells(next_cast);
    // The player circles the middle of the world, through the creatures.
    t += 0.05f;
    local_player->pos = make4f(128.f + 60.f * std::cos(t * 0.2f), 8.f, 128.f + 60.f * std::sin(t * 0.2f), 1.f);
    static_cast<Player*>(local_player)->health = PLAYER_MAX_HEALTH;

    update_common_fx(0.05f);  // the world's tick ages the effects before the plug-in's

    const auto start = std::chrono::steady_clock::now();
    plugin::update_gameobj(0.05f);
    const auto end = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
  state.counters["spells"] = double(live_spells());
  state.counters["creatures"] = double(LandMonster_list.num + BirdMonster_list.num + WyvernMonster_list.num);
  plugin::remove_all_gameobj();
  close_object_effects();
  mana_cheat = false;
}
BENCHMARK(BM_BusyWorldTick)->Iterations(2000)->Unit(benchmark::kMicrosecond);
}  // namespace
