// Shared helpers of the world tests: a fixture that starts every test from a
// freshly reset world with recording doubles, and a fingerprint of the whole
// world state for "nothing changed" checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/config.h"
#include "world/heightmapData.h"
#include "world_services_doubles.h"

struct WorldTest : ::testing::Test
{
  int saved_quality = 0;
  void SetUp() override
  {
    saved_quality = gfx_quality;
    gfx_quality = 1;
    world_doubles::reset();
    HeightmapData::reset();
    world_doubles::sound_calls.clear();
  }
  void TearDown() override { gfx_quality = saved_quality; }
};

// Every byte of the world grid's state, the fluid pointers included.
inline std::vector<unsigned char> world_snapshot()
{
  using namespace HeightmapData;
  std::vector<unsigned char> s;
  auto add = [&s](const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    s.insert(s.end(), b, b + n);
  };
  add(hmap, sizeof(hmap));
  add(target_hmap, sizeof(target_hmap));
  add(surface, sizeof(surface));
  add(water, sizeof(Water) * HMAP_CELLS);
  add(tmpw, sizeof(Water) * HMAP_CELLS);
  add(&water, sizeof(water));
  add(&tmpw, sizeof(tmpw));
  add(land_sound, sizeof(land_sound));
  return s;
}

inline uint64_t fnv1a(const void* p, size_t n, uint64_t h = 1469598103934665603ull)
{
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 1099511628211ull;
  return h;
}

inline HeightmapData::Water& fluid(int x, int z) { return HeightmapData::water[z & 255][x & 255]; }
