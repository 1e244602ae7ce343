// SqReloadableVM: one Squirrel VM with the list of script files run in it and
// each file's modification time when it last ran. A poll asks whether a file
// changed; a reload re-runs the changed files (or all) in the same VM, so the
// globals, classes and functions they define are replaced in place while the
// rest of the VM's state survives. Owners (the world, sky, sound and effect
// scripts) decide when to poll and what to redo afterwards.
//
// The VM's registry holds "SqReloadableVM" -> this, so the script native
// "include" finds its owner. Records are kept across close and re-create;
// only the destructor frees them. Main thread only.
#pragma once

#include "scripting/sqbind.h"

#include "engine/dynArray.h"

#include <cstdint>

class SqReloadableVM
{
public:
  struct FileRecord
  {
    char path[260];     // full path
    uint64_t fileTime;  // get_file_time() when recorded or last re-run
  };

  HSQUIRRELVM vm;
  DynArray<FileRecord> files;

  SqReloadableVM() : vm(nullptr) {}
  virtual ~SqReloadableVM();

  // Closes any open VM and opens a new one; false when none could be opened.
  virtual bool create(int stack_size);
  virtual void close();
  // Runs a file once: a path already listed (compared without case) returns
  // true and runs nothing. The file is listed before it runs, and stays listed
  // when it fails to load, compile or run (then the result is false).
  virtual bool include(const char* path);
  // True when any listed file's time differs from the recorded one.
  virtual bool filesChanged();
  virtual bool reload(bool force);
  // "include" and the standard math and string libraries; owners may add more.
  virtual bool registerLibs();
  // Re-runs each file whose time changed (every file when forced), recording
  // the new time first; stops with false at the first file that fails.
  virtual bool reloadFiles(bool force);

  SqReloadableVM(const SqReloadableVM&) = delete;
  SqReloadableVM& operator=(const SqReloadableVM&) = delete;
};
