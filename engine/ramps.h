// ColorRamp and FloatRamp: 257-sample lookup curves over t in [0, 1] (sample i
// belongs to t = i / 256), used for particle and GUI animations and palette
// gradients. get(t) clamps to the end samples and interpolates linearly
// between neighbours. dump() logs a ramp as source text in the form the
// program's constant ramps are written in. Plain value types; any thread
// (dump logs through debug, main thread).
#pragma once

#include "engine/color.h"
#include "engine/vec4f.h"

// Three-point fade: smooth from a to b below fade_in, b in the middle, smooth
// from b to c above 1 - fade_out. A fade of 0 leaves that end at b.
void build_color_ramp(vec4f* samples, float fade_in, float fade_out, vec4f a, vec4f b, vec4f c);
void build_float_ramp(float* samples, float fade_in, float fade_out, float a, float b, float c);
// Linear: sample i = a + (b - a) * i / 256.
void build_float_ramp(float* samples, float a, float b);

struct ColorRamp
{
  static const int SAMPLES = 257;
  vec4f samples[SAMPLES];

  ColorRamp() {}
  ColorRamp(D3dColor a, D3dColor b, D3dColor c, float fade_in, float fade_out) { fill(a, b, c, fade_in, fade_out); }

  void fill(D3dColor a, D3dColor b, D3dColor c, float fade_in, float fade_out);
  void fill(vec4f a, vec4f b, vec4f c, float fade_in, float fade_out);
  void fill(vec4f v);
  vec4f get(float t) const;
  void dump(const char* name) const;
};

struct FloatRamp
{
  static const int SAMPLES = 257;
  float samples[SAMPLES];

  FloatRamp() {}
  FloatRamp(float a, float b) { fillLinear(a, b); }

  void fill(float v);
  void fill(float a, float b, float c, float fade_in, float fade_out);
  void fillLinear(float a, float b);
  float get(float t) const;
  void dump(const char* name) const;
};
