#include "engine/random.h"

uint64_t game_rnd_seed = 0;

uint32_t rnd_u32()
{
  game_rnd_seed = game_rnd_seed * 6364136223846793005ULL + 1442695040888963407ULL;
  return uint32_t(game_rnd_seed >> 32);
}

// Through double so every 32-bit value maps exactly before the one rounding
// to float; values that round up to 1.0f are kept below 1.
float rnd_float()
{
  float f = float(double(rnd_u32()) * (1.0 / 4294967296.0));
  return f < 1.f ? f : 0.99999994f;
}

float rnd_float_signed() { return 2.f * rnd_float() - 1.f; }
