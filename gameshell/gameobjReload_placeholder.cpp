// PLACEHOLDER: stand-ins for the plug-in's rebuild and reload until they are
// written: the library is loaded at start-up without watching its sources,
// and a reload happens only when forced (the same file is loaded again and
// bound, which moves every live object over to it). Delete each definition
// here as the real one is written.
#include "gameshell/gameobjHost.h"

#include "engine/debug.h"

void load_gameobj(const char*, const char*) { load_gameobj_library(nullptr); }

void free_gameobj() { unload_gameobj(); }

bool reload_gameobj(bool force)
{
  if (!force) return false;
  load_gameobj_library(nullptr);
  debug("gameobj reload %s", "ok");
  return true;
}
