#include "scripting/sqVMReload.h"

#include "scripting/sqbindCall.h"

#include "engine/debug.h"
#include "engine/paths.h"

#include <sqstdmath.h>
#include <sqstdstring.h>

#include <cstring>
#include <strings.h>

using namespace sqbind;

static const char* const k_registry_key = "SqReloadableVM";

SqReloadableVM::~SqReloadableVM() { close(); }

bool SqReloadableVM::create(int stack_size)
{
  close();
  vm = open_script_vm(stack_size);
  if (!vm) return false;
  sq_pushregistrytable(vm);
  sq_pushstring(vm, k_registry_key, -1);
  sq_pushuserpointer(vm, this);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
  return registerLibs();
}

void SqReloadableVM::close()
{
  if (!vm) return;
  close_script_vm(vm);
  vm = nullptr;
}

// Script native include(path): runs a file once in the calling VM's owner.
// Its result is dropped, so a failing nested file does not stop the script
// that includes it (the VM's handlers have reported the error).
static void script_include(HSQUIRRELVM vm, const char* path)
{
  SqReloadableVM* rvm = nullptr;
  {
    StackRestore restore(vm);
    sq_pushregistrytable(vm);
    sq_pushstring(vm, k_registry_key, -1);
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_rawget(vm, -2)) || SQ_FAILED(sq_getuserpointer(vm, -1, &up))) {
      debug("getReg '%s' failed", k_registry_key);
      throw SquirrelError(vm);
    }
    rvm = (SqReloadableVM*)up;
  }
  ASSERT_AT("sqVMReload", 93, rvm);
  rvm->include(path);
}

bool SqReloadableVM::registerLibs()
{
  bind_function(vm, script_include, "include");
  sq_pushroottable(vm);
  sqstd_register_mathlib(vm);
  sqstd_register_stringlib(vm);
  sq_poptop(vm);
  return true;
}

bool SqReloadableVM::include(const char* path)
{
  TempString<260> full = make_full_path(path);
  for (const FileRecord& r : files)
    if (strcasecmp(r.path, full.buffer) == 0) return true;
  FileRecord rec;
  memcpy(rec.path, full.buffer, sizeof(rec.path));
  rec.fileTime = (uint64_t)get_file_time(full.buffer);
  files.push_back(rec);
  return vm && run_script_file(vm, full.buffer);
}

bool SqReloadableVM::filesChanged()
{
  for (const FileRecord& r : files)
    if ((uint64_t)get_file_time(r.path) != r.fileTime) return true;
  return false;
}

bool SqReloadableVM::reload(bool force) { return reloadFiles(force); }

bool SqReloadableVM::reloadFiles(bool force)
{
  // Files that a re-run includes for the first time have just run; the pass
  // covers the files listed when it began.
  int count = files.num;
  for (int i = 0; i < count; i++) {
    uint64_t t = (uint64_t)get_file_time(files[i].path);
    if (!force && t == files[i].fileTime) continue;
    files[i].fileTime = t;
    // A run may include new files and so move the records: copy the path.
    TempString<260> path(files[i].path);
    if (!vm || !run_script_file(vm, path.buffer)) return false;
  }
  return true;
}
