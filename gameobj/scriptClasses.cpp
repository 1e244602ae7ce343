#include "gameobj/scriptClasses.h"

#include "gameobj/objectKinds.h"

#include "scripting/sqbindCall.h"

namespace
{
template <class T>
void construct(HSQUIRRELVM vm, float x, float y, float z)
{
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
    throw sqbind::SquirrelError("object position is not a number");
  T* obj = new_object<T>(make4f(x, y, z, 1.f));
  sqbind::init_instance(obj, vm, nullptr);
  obj->scriptObj = sqbind::SqObject::fromStack(vm, 1);
  obj->onLoaded();
}

template <class T>
void bind_class(HSQUIRRELVM vm)
{
  sqbind::ClassDef<T>(vm, ListClass<T>::name(), "BaseObject").ctor(construct<T>);
}
}  // namespace

void bind_object_classes(HSQUIRRELVM vm)
{
  sqbind::create_class(vm, "BaseObject", nullptr, sqbind::class_tag<BaseObject>());
#define PLUGIN_BIND_CLASS(cls) bind_class<cls>(vm);
  GAMEOBJ_LIST_CLASSES(PLUGIN_BIND_CLASS)
#undef PLUGIN_BIND_CLASS
}
