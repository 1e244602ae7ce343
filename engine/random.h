// The shared random generator: one 64-bit linear congruential state used by
// world generation, noise, scripts, sounds and the plug-in, so the order of
// draws decides every later value. Seeded once at start-up from the first
// timer reading; only the world script's natives seed it again. Every draw
// advances the state once. Main thread only.
#pragma once

#include <cstdint>

extern uint64_t game_rnd_seed;

// Advances the state and returns its high 32 bits.
uint32_t rnd_u32();
// The same draws from a state of the caller's own (a copy of game_rnd_seed
// carried by work done ahead of its turn); they advance `state` only.
uint32_t rnd_u32(uint64_t& state);
float rnd_float(uint64_t& state);
// The high 32 bits times 2^-32: [0, 1).
float rnd_float();
// 2 * rnd_float() - 1: [-1, 1).
float rnd_float_signed();
