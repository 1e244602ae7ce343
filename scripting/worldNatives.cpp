#include "scripting/worldNatives.h"

#include "scripting/scriptServices.h"
#include "scripting/sqVec4f.h"

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "world/heightmapData.h"

#include <cmath>

using namespace sqbind;

HSQUIRRELVM world_vm_or(HSQUIRRELVM vm)
{
  HSQUIRRELVM w = get_world_script_vm();
  return w ? w : vm;
}

float apply_noise_curve(const FloatRamp* curve, float noise)
{
  if (!curve) return noise;
  float t = (noise + 1.f) * 0.5f * 256.f;
  if (t <= 0.f) return curve->samples[0];
  if (t >= 256.f) return curve->samples[256];
  if (t != t) return curve->samples[0];  // never index with a NaN
  int i = int(t);
  return curve->samples[i] + (curve->samples[i + 1] - curve->samples[i]) * (t - float(i));
}

// ---- colour conversions ----

vec4f hsv2rgba(float h, float s, float v, float a)
{
  if (s == 0.f) return make4f(v, v, v, a);
  float t = h / 360.f;
  t = t - float(script_floor(t));
  t = t * 6.f;
  int i = script_floor(t);
  float f = t - float(i);
  float p = v * (1.f - s);
  float q = v * (1.f - s * f);
  float w = v * (1.f - s * (1.f - f));
  switch (i) {
    case 0: return make4f(v, w, p, a);
    case 1: return make4f(q, v, p, a);
    case 2: return make4f(p, v, w, a);
    case 3: return make4f(p, q, v, a);
    case 4: return make4f(w, p, v, a);
    default: return make4f(v, p, q, a);
  }
}

vec4f rgb2hsv(vec4f rgba)
{
  float r = rgba[0], g = rgba[1], b = rgba[2];
  float mx = g > r ? g : r;
  if (b > mx) mx = b;
  float mn = g > r ? r : g;
  if (b <= mn) mn = b;
  if (mx <= 0.f) return v_zero();
  float d = mx - mn;
  if (d == 0.f) return make4f(0.f, 0.f, mx, 0.f);
  float h;
  if (mx == r) {
    h = (g - b) * 60.f / d;
    if (h < 0.f) h += 360.f;
  } else if (mx == g)
    h = (b - r) * 60.f / d + 120.f;
  else
    h = (r - g) * 60.f / d + 240.f;
  return make4f(h, d / mx, mx, 0.f);
}

// Computed in double precision, rounded to float at the end.
vec4f lch2rgba(float L, float C, float h, float a)
{
  double hr = double(h) * 0.017453292519943295;
  double fy = (double(L) + 16.0) * 0.0086206896;
  double fx = fy + double(C) * cos(hr) * 0.002;
  double fz = fy - double(C) * sin(hr) * 0.005;
  auto lab_f = [](double f) {
    double f3 = f * f * f;
    return f3 > 0.008856 ? f3 : (f - 0.13793103) * 0.12841855;
  };
  double X = lab_f(fx) * 95.047 * 0.01;
  double Y = lab_f(fy) * 100.0 * 0.01;
  double Z = lab_f(fz) * 108.883 * 0.01;
  double lin[3] = {3.2406 * X - 1.5372 * Y - 0.4986 * Z, -0.9689 * X + 1.8758 * Y + 0.0415 * Z,
                   0.0557 * X - 0.204 * Y + 1.057 * Z};
  float out[3];
  for (int i = 0; i < 3; i++) {
    double c = lin[i];
    out[i] = float(c > 0.0031308 ? 1.055 * pow(c, 0.41666666) - 0.055 : 12.92 * c);
  }
  return make4f(out[0], out[1], out[2], a);
}

namespace
{

// ---- vectors ----

// make4f(x) or make4f(x, y, z, w); any other count repeats x in every lane.
vec4f script_make4f(HSQUIRRELVM vm, float x)
{
  if (sq_gettop(vm) - 1 != 4) return v_splat(x);
  float lanes[3];
  for (int i = 2; i >= 0; i--) {
    SQFloat f;
    if (SQ_FAILED(sq_getfloat(vm, 3 + i, &f))) throw_type_error();
    lanes[i] = f;
  }
  return make4f(x, lanes[0], lanes[1], lanes[2]);
}

vec4f script_cross(const vec4f& a, const vec4f& b) { return v_cross3(a, b); }
vec4f script_dot3(const vec4f& a, const vec4f& b) { return v_dot3(a, b); }
vec4f script_len3(const vec4f& a) { return v_length3(a); }
vec4f script_len3_sq(const vec4f& a) { return v_length3_sq(a); }

vec4f script_norm3(const vec4f& a)
{
  vec4f len = v_length3(a);
  if (len[0] == 0.f) return v_zero();
  return v_div(a, len);
}

// The fast estimate; a zero vector stays zero instead of becoming NaN.
vec4f script_norm3a(const vec4f& a)
{
  vec4f sq = v_length3_sq(a);
  if (sq[0] == 0.f) return v_zero();
  return v_mul(a, v_rsqrt_est(sq));
}

float script_getx(const vec4f& a) { return a[0]; }
float script_gety(const vec4f& a) { return a[1]; }
float script_getz(const vec4f& a) { return a[2]; }

// The angle turns * 2 pi in double, rounded to float; its cosine and sine in
// double, each rounded to float.
void turn_angle(float turns, float& c, float& s)
{
  float t = float(double(turns) * 6.283185307179586);
  c = float(cos(double(t)));
  s = float(sin(double(t)));
}

vec4f make_dir_2d(const vec4f& u, const vec4f& v, float turns)
{
  float c, s;
  turn_angle(turns, c, s);
  return v_add(v_mul(v_splat(c), u), v_mul(v_splat(s), v));
}

vec4f make_dir_xz(float turns)
{
  float c, s;
  turn_angle(turns, c, s);
  return make4f(c, 0.f, s, 0.f);
}

float script_wrap(float x) { return wrap_world_coord(x); }

int script_round_native(float x) { return script_round(x); }

// ---- random numbers: one step of game_rnd_seed each ----

double draw_unit() { return double(rnd_u32()) * (1.0 / 4294967296.0); }

int hmrnd() { return int(rnd_u32() & 255u); }
float hmfrnd() { return float(draw_unit() * 256.0); }
float hmsrnd() { return float((2.0 * draw_unit() - 1.0) * 128.0); }
int irnd() { return int(rnd_u32() & 0x7FFFFFFFu); }
float frnd() { return float(draw_unit()); }
float srnd() { return float(2.0 * draw_unit() - 1.0); }
float rndf(float a, float b)
{
  double u = draw_unit();
  return float(double(a) + (double(b) - double(a)) * u);
}

// The seed is the script's 32-bit integer, sign-extended.
void set_rnd_seed(int seed) { game_rnd_seed = uint64_t(int64_t(seed)); }
void randomize_rnd_seed() { game_rnd_seed = uint64_t(get_ref_time()); }

// ---- colours ----

// The colour argument rule: an integer is a packed 0xAARRGGBB colour (its low
// 32 bits); anything else goes through the vector argument rule.
vec4f color_arg(HSQUIRRELVM vm, SQInteger idx)
{
  if (idx <= sq_gettop(vm) && sq_gettype(vm, idx) == OT_INTEGER) {
    SQInteger i = 0;
    sq_getinteger(vm, idx, &i);
    return color_to_vec4f(D3dColor(uint32_t(i)));
  }
  return get_vec4f_arg(vm, idx);
}

float float_arg(HSQUIRRELVM vm, SQInteger idx)
{
  SQFloat f;
  if (idx > sq_gettop(vm) || SQ_FAILED(sq_getfloat(vm, idx, &f))) throw_type_error();
  return f;
}

// lerpcolor(a, b, t): a + (b - a) * t per lane.
vec4f lerpcolor(HSQUIRRELVM vm)
{
  float t = float_arg(vm, 4);
  vec4f b = color_arg(vm, 3);
  vec4f a = color_arg(vm, 2);
  return v_lerp(a, b, t);
}

// Sum of `pairs` (colour, weight) pairs from slot 2 on, weights not normalised.
vec4f mix_colors(HSQUIRRELVM vm, int pairs)
{
  vec4f c[4];
  float w[4];
  for (int k = pairs - 1; k >= 0; k--) {
    w[k] = float_arg(vm, 3 + 2 * k);
    c[k] = color_arg(vm, 2 + 2 * k);
  }
  vec4f sum = v_mul(c[0], v_splat(w[0]));
  for (int k = 1; k < pairs; k++) sum = v_add(sum, v_mul(c[k], v_splat(w[k])));
  return sum;
}

vec4f mix3colors(HSQUIRRELVM vm) { return mix_colors(vm, 3); }
vec4f mix4colors(HSQUIRRELVM vm) { return mix_colors(vm, 4); }

// An integer comes back as its 32-bit value; anything else is read by the
// vector rule and packed.
int32_t tocolor(HSQUIRRELVM vm)
{
  if (sq_gettop(vm) >= 2 && sq_gettype(vm, 2) == OT_INTEGER) {
    SQInteger i = 0;
    sq_getinteger(vm, 2, &i);
    return int32_t(i);
  }
  return int32_t(uint32_t(vec4f_to_color(get_vec4f_arg(vm, 2))));
}

vec4f script_lch2rgba(float L, float C, float h, float a) { return lch2rgba(L, C, h, a); }
vec4f script_hsv2rgba(float h, float s, float v, float a) { return hsv2rgba(h, s, v, a); }

}  // namespace

// ---- registration ----

void register_vec4f_random_color_natives(HSQUIRRELVM vm)
{
  bind_vec4f_class(vm);
  bind_function(vm, script_make4f, "make4f");
  bind_function(vm, script_cross, "cross");
  bind_function(vm, script_norm3, "norm3");
  bind_function(vm, script_norm3a, "norm3a");
  bind_function(vm, script_dot3, "dot3");
  bind_function(vm, script_len3, "len3");
  bind_function(vm, script_len3_sq, "len3Sq");
  bind_function(vm, script_getx, "getx");
  bind_function(vm, script_gety, "gety");
  bind_function(vm, script_getz, "getz");

  bind_function(vm, hmrnd, "hmrnd");
  bind_function(vm, hmfrnd, "hmfrnd");
  bind_function(vm, hmsrnd, "hmsrnd");
  bind_function(vm, irnd, "irnd");
  bind_function(vm, frnd, "frnd");
  bind_function(vm, srnd, "srnd");
  bind_function(vm, rndf, "rndf");
  bind_function(vm, lerpcolor, "lerpcolor");
  bind_function(vm, script_lch2rgba, "lch2rgba");
  bind_function(vm, script_hsv2rgba, "hsv2rgba");
  bind_function(vm, script_wrap, "wrap");
  bind_function(vm, set_rnd_seed, "set_rnd_seed");
  bind_function(vm, randomize_rnd_seed, "randomize_rnd_seed");
  bind_function(vm, mix3colors, "mix3colors");
  bind_function(vm, mix4colors, "mix4colors");
  bind_function(vm, tocolor, "tocolor");
  bind_function(vm, make_dir_2d, "make_dir_2d");
  bind_function(vm, make_dir_xz, "make_dir_xz");
  bind_function(vm, script_round_native, "round");
}

void register_world_constants(HSQUIRRELVM vm)
{
  using namespace HeightmapData;
  static const struct
  {
    const char* name;
    int value;
  } constants[] = {
    {"HMAP_SIZE", HMAP_SIZE},   {"HMAP_SIZE_SHIFT", HMAP_SIZE_SHIFT},
    {"GT_NONE", GT_NONE},       {"GT_HOUSE", GT_HOUSE},
    {"GT_ROCK", GT_ROCK},       {"GT_SAND", GT_SAND},
    {"GT_SOIL", GT_SOIL},       {"ST_OPEN", ST_OPEN},
    {"ST_NONE", ST_NONE},       {"ST_GRASS", ST_GRASS},
    {"ST_ASH", ST_ASH},         {"ST_SNOW", ST_SNOW},
    {"ST_ROAD", ST_ROAD},       {"MARK_OBJ", MARK_OBJ},
    {"MARK_PLACE", MARK_PLACE}, {"MARK_HOUSE", MARK_HOUSE},
    {"MARK_WATER", MARK_WATER}, {"MARK_PLACEMENT", MARK_PLACEMENT},
  };
  for (const auto& c : constants) register_int_constant(vm, c.name, c.value);
}
