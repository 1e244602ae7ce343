#include "engine/random.h"

uint64_t game_rnd_seed = 0;

uint32_t rnd_u32(uint64_t& state)
{
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  return uint32_t(state >> 32);
}

uint32_t rnd_u32() { return rnd_u32(game_rnd_seed); }

// Through double so every 32-bit value maps exactly before the one rounding
// to float; values that round up to 1.0f are kept below 1.
float rnd_float(uint64_t& state)
{
  float f = float(double(rnd_u32(state)) * (1.0 / 4294967296.0));
  return f < 1.f ? f : 0.99999994f;
}

float rnd_float() { return rnd_float(game_rnd_seed); }

float rnd_float_signed() { return 2.f * rnd_float() - 1.f; }
