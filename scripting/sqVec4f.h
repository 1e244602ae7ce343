// The script class "vec4f": the engine's four-float vector as a script value
// (positions, directions, colours). Each instance owns one heap SqVec4f; the
// script frees it. Natives take vectors by reference (read in place from the
// instance) or through the vector argument rule of get_vec4f_arg.
// Main thread only.
#pragma once

#include "scripting/sqbindCall.h"

struct SqVec4f
{
  vec4f v;

  // Metamethods of the script class; `o` is read by get_vec4f_arg.
  float get(SQInteger lane) const;
  void set(SQInteger lane, float value);
  vec4f add(HSQUIRRELVM vm) const;
  vec4f sub(HSQUIRRELVM vm) const;
  vec4f mul(HSQUIRRELVM vm) const;
  vec4f div(HSQUIRRELVM vm) const;
  vec4f unm() const;
};

// Creates the class "vec4f" (no base) with its constructor and metamethods
// in the VM. Anything else ("make4f" and the other vector natives) belongs to
// the VM that registers it.
void bind_vec4f_class(HSQUIRRELVM vm);

// The vector argument rule: a number fills all four lanes; an array gives its
// elements 0 to 3; a vec4f instance (or a script subclass) its value;
// anything else throws "getInst: invalid argument type".
vec4f get_vec4f_arg(HSQUIRRELVM vm, SQInteger idx);
