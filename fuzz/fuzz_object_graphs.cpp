// Saved object graphs (the world file's script state): read into a fresh VM
// with a class and a function the graph may name, then finished (globals
// copied, onLoaded called).
#include "fuzz/fuzzSupport.h"

#include "scripting/scriptSave.h"
#include "scripting/sqbind.h"

#include "engine/streams.h"

#include <cstring>

static const char* const k_script =
  "class P { </ persistent = true /> name = \"\"; n = 0; function onLoaded() { n++; } }\n"
  "class A { function m() { return 1; } }\n"
  "function f() { return this; }\n";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  HSQUIRRELVM vm = open_script_vm(1024);
  sq_setprintfunc(vm, fuzz_quiet_print, fuzz_quiet_print);
  {
    sqbind::StackRestore restore(vm);
    if (compile_script_buffer(vm, k_script, (SQInteger)strlen(k_script), "fuzz")) {
      sq_pushroottable(vm);
      sq_call(vm, 1, SQFalse, SQTrue);
    }
  }
  MemoryInputStream in(size ? (const void*)data : "", (int)size);
  try {
    sqbind::SqObject a = load_script_data(in, vm);
    sqbind::SqObject b = load_ref(in, vm);
    a.reset();
    b.reset();
    finish_loading_script_data(vm);
  } catch (const InputStream::Exception&) {
  } catch (const sqbind::SquirrelError&) {
  }
  saved_object_list.clear();
  close_script_vm(vm);
  return 0;
}
