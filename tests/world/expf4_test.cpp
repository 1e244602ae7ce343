// expf4 gives the C library's expf bits for every kind of input, four at a
// time, whichever way this machine runs it.
#include <gtest/gtest.h>

#include "world/expf4.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace HeightmapData;

namespace
{

float from_bits(uint32_t b)
{
  float f;
  memcpy(&f, &b, sizeof f);
  return f;
}

uint32_t to_bits(float f)
{
  uint32_t b;
  memcpy(&b, &f, sizeof b);
  return b;
}

}  // namespace

TEST(Expf4, EveryFloatPatternGivesTheLibrarysBits)
{
  // Every 251st bit pattern of all 2^32, lanes a prime stride apart so each
  // group mixes magnitudes (and now and then a lane of 88 or more).
  uint64_t differing = 0, checked = 0;
  for (uint64_t b = 0; b < (uint64_t(1) << 32); b += 251 * 4) {
    float in[4], out[4];
    for (int j = 0; j < 4; j++) in[j] = from_bits(uint32_t(b + uint64_t(j) * 251 * 65537));
    expf4(in, out);
    for (int j = 0; j < 4; j++) {
      float want = expf(in[j]);
      checked++;
      if (to_bits(out[j]) != to_bits(want) && !(std::isnan(want) && std::isnan(out[j]))) {
        if (differing++ < 5) ADD_FAILURE() << "expf(" << in[j] << ") " << out[j] << " != " << want;
      }
    }
  }
  EXPECT_EQ(differing, 0u) << "of " << checked;
  RecordProperty("side_by_side", expf4_side_by_side() ? "yes" : "no");
}

TEST(Expf4, EdgesOfTheShortPathAndSpecialValues)
{
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const float cases[][4] = {
      {0.0f, -0.0f, 1e-45f, -1e-45f},                                    // zeros and denormals
      {87.99999f, -87.99999f, 88.0f, -88.0f},                            // either side of the limit
      {88.72283f, 88.72284f, -103.27893f, -103.97208f},                  // overflow and underflow
      {inf, -inf, nan, 1.0f},                                            // infinities and NaN
      {-0.5f * 2.0f, -0.34657359f, -2.0794415f, -0.0001f},               // typical blend inputs
      {from_bits(0x3f7fffff), from_bits(0xbf800001), 1e-8f, -1e-8f},     // near 1 and near 0
  };
  for (const auto& c : cases) {
    float out[4];
    expf4(c, out);
    for (int j = 0; j < 4; j++) {
      float want = expf(c[j]);
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(out[j])) << c[j];
      } else {
        EXPECT_EQ(to_bits(out[j]), to_bits(want)) << c[j];
      }
    }
  }
  // In place.
  float v[4] = {-1.0f, -2.0f, -3.0f, 0.5f};
  expf4(v, v);
  EXPECT_EQ(to_bits(v[2]), to_bits(expf(-3.0f)));
}
