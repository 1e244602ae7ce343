// The fixed scene of the frame tests and the frame benchmark: a generated
// world grid (simplex hills coloured by height, a lake of water, a pool of
// lava), a sky script whose daylight does not change with the sun, and a
// camera that sees land, water, lava, the horizon and the sky.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/random.h"
#include "scene_doubles.h"
#include "world/heightmapData.h"
#include "world/hmGen.h"
#include "world/noise.h"
#include "worldrender/fluidSurface.h"

// Daylight that does not change with the sun's height.
inline const char* scene_test_sky_script()
{
  return "function get_sky_colors(zenith) {\n"
         "  return [[0.70, 0.80, 0.93], [-0.50, -0.36, -0.07], [0.55, 0.40, 0.22], [1.25, 1.20, 1.08],\n"
         "          [0.55, 0.18, 0], [0.26, 0.25, 0.20], [28, 0.02, 0], [0.65, 0.80, 1.00],\n"
         "          [2.2, 0.020, 0.65], [3.0, 0.022, 0]]\n"
         "}\n";
}

// Rolling hills from fixed noise, coloured by height, with a lake of water
// where the land is low round (96, 150) and a pool of lava round (125, 160).
inline void build_scene_test_world()
{
  using namespace HeightmapData;
  game_rnd_seed = 12345;
  reset();
  reseed_noise();
  addSimplexNoise(0.f, 14.f, 8, 4, 0.5f);
  for (int i = 0; i < HMAP_CELLS; ++i) {
    float h = hmap[i];
    int g = 90 + int(h * 8.f);
    if (g > 200) g = 200;
    surface[i].color = 0xFF000000u | (uint32_t(60 + int(h * 4.f)) << 16) | (uint32_t(g) << 8) | 40u;
    surface[i].topColor = 0u;
    surface[i].bits = (surface[i].bits & ~uint32_t(SURF_GROUND_MASK)) | 1u;
    water[cell_z(i)][cell_x(i)] = Water{0.f, 0.f, 0.f, 0.f};
  }
  for (int z = 0; z < HMAP_SIZE; ++z)
    for (int x = 0; x < HMAP_SIZE; ++x) {
      int i = cell_index(x, z);
      float dl = float((x - 96) * (x - 96) + (z - 150) * (z - 150));
      if (dl < 24.f * 24.f) {
        hmap[i] -= 4.f * (1.f - dl / (24.f * 24.f));
        float level = 5.f;
        if (hmap[i] < level) water[z][x].amount = level - hmap[i];
      }
      float dv = float((x - 125) * (x - 125) + (z - 160) * (z - 160));
      if (dv < 6.f * 6.f) water[z][x].amount = -0.6f;
    }
  memcpy(target_hmap, hmap, sizeof(hmap));
  memcpy(tmpw, water, sizeof(WaterRow) * HMAP_SIZE);
  reset_fluid_surfaces();
  update_fluid_surfaces(0.05f);
}

// Above the lake's southern shore, looking north over the water toward the
// lava and the far hills, a little down, with the sky above.
inline Matrix44 scene_test_camera() { return scene_doubles::make_camera(make4f(100.f, 22.f, 112.f, 1.f), 0.45f, -0.12f); }

// A world for a single test: each cell at height(x, z), in one colour, with
// fluid(x, z, height) of water (above 0) or lava (below 0), the fluid
// surfaces made for it.
template <typename Height, typename Fluid>
void make_plain_test_world(Height height, uint32_t color, Fluid fluid)
{
  using namespace HeightmapData;
  for (int z = 0; z < HMAP_SIZE; ++z)
    for (int x = 0; x < HMAP_SIZE; ++x) {
      int i = cell_index(x, z);
      hmap[i] = height(x, z);
      surface[i].color = color;
      water[z][x] = Water{fluid(x, z, hmap[i]), 0.f, 0.f, 0.f};
    }
  memcpy(target_hmap, hmap, sizeof(hmap));
  memcpy(tmpw, water, sizeof(WaterRow) * HMAP_SIZE);
  reset_fluid_surfaces();
  update_fluid_surfaces(0.05f);
  update_fluid_surfaces(0.05f);
}
