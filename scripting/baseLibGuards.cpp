#include "scripting/baseLibGuards.h"

#include "scripting/scriptHeap.h"

#include <cmath>
#include <cstdio>

namespace
{

// Reads the element count at idx; raises the script error and returns false
// when it is no number, negative, not finite or beyond the VM's room.
bool read_size(HSQUIRRELVM vm, SQInteger idx, SQInteger& out)
{
  SQInteger limit = SQInteger(script_heap_room(vm) / sizeof(HSQOBJECT));
  if (limit < 0) limit = 0;
  switch (sq_gettype(vm, idx)) {
    case OT_INTEGER: sq_getinteger(vm, idx, &out); break;
    case OT_FLOAT: {
      SQFloat f = 0;
      sq_getfloat(vm, idx, &f);
      // Compared as a float first: converting an out-of-range float is undefined.
      if (!std::isfinite(f) || f < 0 || f > (SQFloat)limit) out = -1;
      else out = (SQInteger)f;
      break;
    }
    default: sq_throwerror(vm, "size must be a number"); return false;
  }
  if (out < 0 || out > limit) {
    char msg[128];
    snprintf(msg, sizeof(msg), "array size out of range (0 to %lld fit in the script memory left)", (long long)limit);
    sq_throwerror(vm, msg);
    return false;
  }
  return true;
}

// Sets elements [from, to) of the array at idx to the value on the stack top.
void fill_from(HSQUIRRELVM vm, SQInteger array_idx, SQInteger from, SQInteger to)
{
  for (SQInteger i = from; i < to; i++) {
    sq_pushinteger(vm, i);
    sq_push(vm, -2);
    sq_set(vm, array_idx);
  }
}

// array(size [, fill])
SQInteger guarded_array(HSQUIRRELVM vm)
{
  SQInteger n = 0;
  if (!read_size(vm, 2, n)) return SQ_ERROR;
  bool has_fill = sq_gettop(vm) > 2;
  sq_newarray(vm, n);
  if (has_fill) {
    SQInteger arr = sq_gettop(vm);
    sq_push(vm, 3);
    fill_from(vm, arr, 0, n);
    sq_poptop(vm);
  }
  return 1;
}

// array.resize(size [, fill])
SQInteger guarded_resize(HSQUIRRELVM vm)
{
  SQInteger n = 0;
  if (!read_size(vm, 2, n)) return SQ_ERROR;
  SQInteger old = sq_getsize(vm, 1);
  if (SQ_FAILED(sq_arrayresize(vm, 1, n))) return SQ_ERROR;
  if (sq_gettop(vm) > 2 && n > old) {
    sq_push(vm, 3);
    fill_from(vm, 1, old, n);
    sq_poptop(vm);
  }
  return 0;
}

void replace(HSQUIRRELVM vm, const char* name, SQFUNCTION fn, SQInteger nparams, const char* typemask)
{
  sq_pushstring(vm, name, -1);
  sq_newclosure(vm, fn, 0);
  sq_setparamscheck(vm, nparams, typemask);
  sq_setnativeclosurename(vm, -1, name);
  sq_newslot(vm, -3, SQFalse);
}

}  // namespace

void guard_base_library(HSQUIRRELVM vm)
{
  SQInteger top = sq_gettop(vm);
  sq_pushroottable(vm);
  replace(vm, "array", guarded_array, -2, ".n");
  sq_settop(vm, top);
  sq_getdefaultdelegate(vm, OT_ARRAY);
  replace(vm, "resize", guarded_resize, -2, "an");
  sq_settop(vm, top);
}
