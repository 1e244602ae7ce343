#include "gameshell/baseObject.h"

// The type tag lives in the game, so the plug-in's classes share it.
template struct sqbind::ClassTag<BaseObject>;

DynArray<BaseObject*> deleted_gameobjs;

BaseObject::BaseObject() : flags(0), serialId(0) {}

// The weak references are cleared by WeakRefTarget's destructor, after the
// script handle is given back.
BaseObject::~BaseObject() { scriptObj.reset(); }

void BaseObject::destroy()
{
  if (flags & 1) return;
  flags |= 1;
  deleted_gameobjs.push_back(this);
  onDestroy();
}

void BaseObject::onDestroy() {}
void BaseObject::onLoaded() {}
int BaseObject::pluginHook(int) { return 0; }
const char* BaseObject::getClassName() { return "BaseObject"; }
int BaseObject::pluginQuery() { return 0; }

void BaseObject::push(HSQUIRRELVM) { throw sqbind::SquirrelError("Can't push BaseObject to script"); }
