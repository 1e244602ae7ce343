// BaseObject: the root class of every game object. The classes themselves
// live in the gameobj plug-in, which derives from it; the game defines the
// base, its virtual table layout, the once-only destruction with its queue
// deleted_gameobjs, and the fields other code reads: the script-side object,
// the flag word and the serial id that saved games refer to.
//
// Flag word bits: 0 destroyed (never cleared), 1 the remap mark of the plug-in
// binding. Weak references to an object read null once it is deleted.
// Main thread only.
#pragma once

#include "scripting/sqbind.h"

#include "engine/dynArray.h"
#include "engine/weakRef.h"

#include <cstdint>

class BaseObject : public WeakRefTarget
{
public:
  sqbind::SqObject scriptObj;  // the object's script instance, set by the plug-in
  uint32_t flags;              // bit 0 destroyed, bit 1 remap mark
  uint32_t serialId;           // assigned by the plug-in; saved graphs refer to it

  BaseObject();
  virtual ~BaseObject();

  // Once only: marks the object destroyed, queues it in deleted_gameobjs and
  // calls onDestroy last.
  virtual void destroy();
  virtual void onDestroy();
  virtual void onLoaded();
  virtual int pluginHook(int arg);
  virtual const char* getClassName();
  virtual int pluginQuery();
  // Pushes the object's script instance; the base throws
  // "Can't push BaseObject to script".
  virtual void push(HSQUIRRELVM vm);
};

// Destroyed objects not yet deleted, in order of destruction; the plug-in
// deletes them and empties the array.
extern DynArray<BaseObject*> deleted_gameobjs;
