#include "scripting/rampClasses.h"

#include "scripting/sqVec4f.h"

#include "engine/color.h"

#include <cstdlib>

using namespace sqbind;

// The type tags live in the game, so the plug-in shares them.
template struct sqbind::ClassTag<SqColorRamp>;
template struct sqbind::ClassTag<SqFloatRamp>;

// An integer is a packed colour; anything else goes through the vector rule.
static vec4f ramp_color(const SqObject& value)
{
  if (sq_isinteger(value.o)) return color_to_vec4f(D3dColor(uint32_t(sq_objtointeger(&value.o))));
  HSQUIRRELVM vm = value.vm;
  StackRestore restore(vm);
  sq_pushobject(vm, value.o);
  return get_vec4f_arg(vm, sq_gettop(vm));
}

template <typename R>
static R* alloc_ramp()
{
  return (R*)malloc(sizeof(R));
}

// ---- ColorRamp ----

// ColorRamp(fn): sample i is fn(i / 256) by the colour rule.
static void color_ramp_ctor(HSQUIRRELVM vm, SqObject fn)
{
  SqColorRamp* r = alloc_ramp<SqColorRamp>();
  if (!r) throw SquirrelError("out of memory");
  try {
    SqFunc<SqObject> f;
    f.set(vm, fn);
    for (int i = 0; i < ColorRamp::SAMPLES; i++) r->samples[i] = ramp_color(f(float(i) / 256.f));
  } catch (...) {
    free(r);
    throw;
  }
  init_native_instance(r, vm);
}

static SqColorRamp* color_ramp_fade(SqObject a, SqObject b, SqObject c, float fade_in, float fade_out)
{
  vec4f va = ramp_color(a), vb = ramp_color(b), vc = ramp_color(c);
  SqColorRamp* r = alloc_ramp<SqColorRamp>();
  if (r) r->fill(va, vb, vc, fade_in, fade_out);
  return r;
}

static SqColorRamp* color_ramp_const(SqObject color)
{
  vec4f v = ramp_color(color);
  SqColorRamp* r = alloc_ramp<SqColorRamp>();
  if (r) r->fill(v);
  return r;
}

static SqColorRamp* color_ramp_linear(SqObject a, SqObject b)
{
  vec4f va = ramp_color(a), vb = ramp_color(b);
  SqColorRamp* r = alloc_ramp<SqColorRamp>();
  if (!r) return nullptr;
  for (int i = 0; i < ColorRamp::SAMPLES; i++) r->samples[i] = va + (vb - va) * v_splat(float(i)) / v_splat(256.f);
  return r;
}

// ---- FloatRamp ----

// FloatRamp(fn): sample i is fn(i / 256), which must be a number.
static void float_ramp_ctor(HSQUIRRELVM vm, SqObject fn)
{
  SqFloatRamp* r = alloc_ramp<SqFloatRamp>();
  if (!r) throw SquirrelError("out of memory");
  try {
    SqFunc<float> f;
    f.set(vm, fn);
    for (int i = 0; i < FloatRamp::SAMPLES; i++) r->samples[i] = f(float(i) / 256.f);
  } catch (...) {
    free(r);
    throw;
  }
  init_native_instance(r, vm);
}

static SqFloatRamp* float_ramp_fade(float a, float b, float c, float fade_in, float fade_out)
{
  SqFloatRamp* r = alloc_ramp<SqFloatRamp>();
  if (r) r->fill(a, b, c, fade_in, fade_out);
  return r;
}

static SqFloatRamp* float_ramp_const(float v)
{
  SqFloatRamp* r = alloc_ramp<SqFloatRamp>();
  if (r) r->fill(v);
  return r;
}

static SqFloatRamp* float_ramp_linear(float a, float b)
{
  SqFloatRamp* r = alloc_ramp<SqFloatRamp>();
  if (r) r->fillLinear(a, b);
  return r;
}

void register_ramp_classes(HSQUIRRELVM vm)
{
  ClassDef<SqColorRamp>(vm, "ColorRamp")
    .ctor(color_ramp_ctor)
    .method(&ColorRamp::get, "get")
    .method(&ColorRamp::dump, "dump")
    .staticMethod(color_ramp_fade, "fadeInOut")
    .staticMethod(color_ramp_const, "constRamp")
    .staticMethod(color_ramp_linear, "linear");
  ClassDef<SqFloatRamp>(vm, "FloatRamp")
    .ctor(float_ramp_ctor)
    .method(&FloatRamp::get, "get")
    .method(&FloatRamp::dump, "dump")
    .staticMethod(float_ramp_fade, "fadeInOut")
    .staticMethod(float_ramp_const, "constRamp")
    .staticMethod(float_ramp_linear, "linear");
}
