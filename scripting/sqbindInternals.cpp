// The few facts sqbind needs that Squirrel's C API does not give: a closure's
// function prototype and bound environment, a native closure's function, an
// instance's release hook and an array's element read in place. Squirrel's
// internal headers define macros named like common words (type, _table, ...),
// so they stay confined to this file.
#include "scripting/sqbind.h"

#include "engine/debug.h"

#include <sqpcheader.h>
#include <sqvm.h>
#include <sqstring.h>
#include <sqtable.h>
#include <sqarray.h>
#include <sqfuncproto.h>
#include <sqclosure.h>
#include <sqclass.h>

namespace sqbind
{

const void* closure_prototype(const HSQOBJECT& closure)
{
  if (sq_type(closure) != OT_CLOSURE) return nullptr;
  return closure._unVal.pClosure->_function;
}

HSQOBJECT closure_environment(const HSQOBJECT& closure)
{
  HSQOBJECT env;
  sq_resetobject(&env);
  SQWeakRef* w = nullptr;
  if (sq_type(closure) == OT_CLOSURE) w = closure._unVal.pClosure->_env;
  else if (sq_type(closure) == OT_NATIVECLOSURE) w = closure._unVal.pNativeClosure->_env;
  if (w) env = w->_obj;
  return env;
}

HSQOBJECT weakref_target(const HSQOBJECT& weakref)
{
  HSQOBJECT target;
  sq_resetobject(&target);
  if (sq_type(weakref) == OT_WEAKREF) target = weakref._unVal.pWeakRef->_obj;
  return target;
}

HSQOBJECT array_element(const HSQOBJECT& array, SQInteger k)
{
  HSQOBJECT e;
  sq_resetobject(&e);
  if (sq_type(array) != OT_ARRAY) return e;
  const SQObjectPtrVec& values = array._unVal.pArray->_values;
  if (k >= 0 && SQUnsignedInteger(k) < values.size()) e = values[SQUnsignedInteger(k)];
  return e;
}

SQInteger string_length(const HSQOBJECT& str)
{
  if (sq_type(str) != OT_STRING) return 0;
  return str._unVal.pString->_len;
}

}  // namespace sqbind

void sq_debug_object(const HSQOBJECT* obj)
{
  if (!obj) return;
  switch (sq_type(*obj)) {
    case OT_NATIVECLOSURE: debug("(native func %p)", (void*)obj->_unVal.pNativeClosure->_function); break;
    case OT_INSTANCE:
      debug("(instance UP=%p hook=%p)", obj->_unVal.pInstance->_userpointer, (void*)obj->_unVal.pInstance->_hook);
      break;
    default: {
      const SQChar* s = sq_objtostring(obj);
      debug("%s", s ? s : "(null)");
    }
  }
}
