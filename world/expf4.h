// expf of four floats at once, giving for every input exactly the bits the C
// library's expf gives on this machine: droplet erosion works out four blend
// weights a step and its results must not depend on how they were computed.
// Where the processor has AVX2 and FMA (where the C library uses its own
// FMA-based expf) the four run side by side in double precision, step for step
// as the library does; inputs of magnitude 88 or more, infinities and NaNs go
// to the library one by one. Elsewhere, or if a check against the library at
// first use finds any difference, every value goes to the library. Any thread.
#pragma once

namespace HeightmapData
{

// out may be x.
void expf4(const float x[4], float out[4]);

// True when expf4 runs the four side by side (for tests and benchmarks).
bool expf4_side_by_side();

}  // namespace HeightmapData
