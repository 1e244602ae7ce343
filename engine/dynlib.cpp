#include "engine/dynlib.h"

#include <dlfcn.h>

#include <cstdio>

static char last_error[512];

// dlerror() is cleared by the next call that reads it, so keep a copy.
static void remember_error()
{
  const char* e = dlerror();
  snprintf(last_error, sizeof(last_error), "%s", e ? e : "");
}

void* load_library(const char* name)
{
  last_error[0] = 0;
  if (!name || !name[0]) return nullptr;
  void* module = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!module) remember_error();
  return module;
}

void* get_proc_address(void* module, const char* name)
{
  last_error[0] = 0;
  if (!module || !name) return nullptr;
  dlerror();
  void* p = dlsym(module, name);
  if (!p) remember_error();
  return p;
}

bool free_library(void* module)
{
  last_error[0] = 0;
  if (!module) return false;
  if (dlclose(module) == 0) return true;
  remember_error();
  return false;
}

const char* library_error() { return last_error; }
