// What the host's tests know of their test plug-in: its object class, the
// exports it adds for the tests, and its switches. Two builds of one source
// differ only in TP_VERSION, so an object answers which library's code runs.
#pragma once

#include "gameshell/gameobjExports.h"

class TestObject : public GameObj
{
public:
  // The library's version * 1000 + the object's class index.
  virtual int whoAmI() = 0;
};

// A new object of the class with that index (0-84), in no list.
typedef TestObject* (*TpNewObject)(int class_index);

// Exported data, read and set by the tests through the library handle:
//   int tp_link_gui_calls           link_gui's calls so far
//   int tp_screens_deleted          test screens deleted so far
//   const char* tp_missing_name     a name the plug-in claims not to have
//   int tp_vtable_count             the class-table count it reports (85)
