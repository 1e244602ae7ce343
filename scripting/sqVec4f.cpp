#include "scripting/sqVec4f.h"

#include <cstdlib>

using namespace sqbind;

// The type tag lives in the game, so the plug-in shares it.
template struct sqbind::ClassTag<SqVec4f>;

static void check_lane(SQInteger lane)
{
  // Negative indices read as huge unsigned ones.
  if ((SQUnsignedInteger)lane > 3) throw SquirrelError("vec4f index out of range");
}

float SqVec4f::get(SQInteger lane) const
{
  check_lane(lane);
  return v[lane];
}

void SqVec4f::set(SQInteger lane, float value)
{
  check_lane(lane);
  v[lane] = value;
}

vec4f SqVec4f::add(HSQUIRRELVM vm) const { return v_add(v, get_vec4f_arg(vm, 2)); }
vec4f SqVec4f::sub(HSQUIRRELVM vm) const { return v_sub(v, get_vec4f_arg(vm, 2)); }
vec4f SqVec4f::mul(HSQUIRRELVM vm) const { return v_mul(v, get_vec4f_arg(vm, 2)); }
vec4f SqVec4f::div(HSQUIRRELVM vm) const { return v_div(v, get_vec4f_arg(vm, 2)); }
vec4f SqVec4f::unm() const { return v_sub(v_zero(), v); }

// vec4f(x) or vec4f(x, y, z, w); any other count copies x into every lane.
// The glue has read x; the other lanes are read here only for four arguments.
static void vec4f_ctor(HSQUIRRELVM vm, float x)
{
  vec4f v = v_splat(x);
  if (sq_gettop(vm) - 1 == 4) {
    float lanes[3];
    for (int i = 0; i < 3; i++) {
      SQFloat f;
      if (SQ_FAILED(sq_getfloat(vm, 3 + i, &f))) throw_type_error();
      lanes[i] = f;
    }
    v = make4f(x, lanes[0], lanes[1], lanes[2]);
  }
  SqVec4f* p = (SqVec4f*)malloc(sizeof(SqVec4f));
  if (!p) throw SquirrelError("out of memory");
  p->v = v;
  init_native_instance(p, vm);
}

void bind_vec4f_class(HSQUIRRELVM vm)
{
  ClassDef<SqVec4f>(vm, "vec4f")
    .ctor(vec4f_ctor)
    .method(&SqVec4f::get, "_get")
    .method(&SqVec4f::set, "_set")
    .method(&SqVec4f::add, "_add")
    .method(&SqVec4f::sub, "_sub")
    .method(&SqVec4f::mul, "_mul")
    .method(&SqVec4f::div, "_div")
    .method(&SqVec4f::unm, "_unm");
}

vec4f get_vec4f_arg(HSQUIRRELVM vm, SQInteger idx)
{
  if (idx > sq_gettop(vm)) throw_instance_error();
  switch (sq_gettype(vm, idx)) {
    case OT_INTEGER:
    case OT_FLOAT: {
      SQFloat f = 0;
      sq_getfloat(vm, idx, &f);
      return v_splat(f);
    }
    case OT_ARRAY: {
      HSQOBJECT arr;
      sq_getstackobj(vm, idx, &arr);
      float lanes[4];
      for (int i = 0; i < 4; i++) lanes[i] = get_float_slot(vm, arr, i);
      return make4f(lanes[0], lanes[1], lanes[2], lanes[3]);
    }
    default: return ((const SqVec4f*)get_instance_arg(vm, idx, class_tag<SqVec4f>(), false))->v;
  }
}

namespace sqbind
{

void push_vec4f(HSQUIRRELVM vm, const vec4f& v)
{
  SqVec4f* p = (SqVec4f*)malloc(sizeof(SqVec4f));
  if (!p) throw SquirrelError("out of memory");
  p->v = v;
  try {
    push_instance(vm, p, class_tag<SqVec4f>(), "vec4f", release_native<SqVec4f>);
  } catch (...) {
    free(p);
    throw;
  }
}

}  // namespace sqbind
