#include "engine/ramps.h"

#include <cmath>

#include "engine/debug.h"

// The fade tests are written so that a zero fade selects neither branch
// (t < 0 and t > 1 never hold), which keeps 0 / 0 out of the samples.
void build_color_ramp(vec4f* samples, float fade_in, float fade_out, vec4f a, vec4f b, vec4f c)
{
  for (int i = 0; i < ColorRamp::SAMPLES; i++) {
    float t = float(i) / 256.f;
    if (t < fade_in) {
      float s = t / fade_in;
      samples[i] = a + (b - a) * v_splat(((3.f - 2.f * s) * s) * s);
    } else if (t > 1.f - fade_out) {
      float s = (t - (1.f - fade_out)) / fade_out;
      samples[i] = b + (c - b) * v_splat(((3.f - 2.f * s) * s) * s);
    } else {
      samples[i] = b;
    }
  }
}

void build_float_ramp(float* samples, float fade_in, float fade_out, float a, float b, float c)
{
  for (int i = 0; i < FloatRamp::SAMPLES; i++) {
    float t = float(i) / 256.f;
    if (t < fade_in) {
      float s = t / fade_in;
      samples[i] = a + (b - a) * (((3.f - 2.f * s) * s) * s);
    } else if (t > 1.f - fade_out) {
      float s = (t - (1.f - fade_out)) / fade_out;
      samples[i] = b + (c - b) * (((3.f - 2.f * s) * s) * s);
    } else {
      samples[i] = b;
    }
  }
}

void build_float_ramp(float* samples, float a, float b)
{
  for (int i = 0; i < FloatRamp::SAMPLES; i++) samples[i] = a + (b - a) * float(i) / 256.f;
}

void ColorRamp::fill(D3dColor a, D3dColor b, D3dColor c, float fade_in, float fade_out)
{
  build_color_ramp(samples, fade_in, fade_out, color_to_vec4f(a), color_to_vec4f(b), color_to_vec4f(c));
}

void ColorRamp::fill(vec4f a, vec4f b, vec4f c, float fade_in, float fade_out)
{
  build_color_ramp(samples, fade_in, fade_out, a, b, c);
}

void ColorRamp::fill(vec4f v)
{
  for (int i = 0; i < SAMPLES; i++) samples[i] = v;
}

vec4f ColorRamp::get(float t) const
{
  float x = t * 256.f;
  if (x <= 0.f) return samples[0];
  if (x >= 256.f) return samples[256];
  if (x != x) return samples[0];
  int i = int(x);
  return samples[i] + (samples[i + 1] - samples[i]) * v_splat(x - float(i));
}

void ColorRamp::dump(const char* name) const
{
  debug_("\nstatic ColorRamp %s=\n{\n ", name);
  for (int i = 0; i < SAMPLES; i++) {
    const vec4f& s = samples[i];
    debug_(" make4f(%g, %g, %g, %g),", double(s[0]), double(s[1]), double(s[2]), double(s[3]));
    if ((i + 1) % 4 == 0) debug_("\n ");
  }
  debug("\n};\n");
}

void FloatRamp::fill(float v)
{
  for (int i = 0; i < SAMPLES; i++) samples[i] = v;
}

void FloatRamp::fill(float a, float b, float c, float fade_in, float fade_out)
{
  build_float_ramp(samples, fade_in, fade_out, a, b, c);
}

void FloatRamp::fillLinear(float a, float b) { build_float_ramp(samples, a, b); }

float FloatRamp::get(float t) const
{
  float x = t * 256.f;
  if (x <= 0.f) return samples[0];
  if (x >= 256.f) return samples[256];
  if (x != x) return samples[0];
  int i = int(x);
  return samples[i] + (samples[i + 1] - samples[i]) * (x - float(i));
}

void FloatRamp::dump(const char* name) const
{
  debug_("\nstatic FloatRamp %s=\n{\n ", name);
  for (int i = 0; i < SAMPLES; i++) {
    debug_(" %g,", double(samples[i]));
    if ((i + 1) % 8 == 0) debug_("\n ");
  }
  debug("\n};\n");
}
