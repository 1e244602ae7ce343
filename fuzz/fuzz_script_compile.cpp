// Script text (the sound script, the world scripts, the sky script) through
// the compiler. Only compiled, never run: a script may loop for ever by
// design, and what a run does is covered by the natives' own checks.
#include "fuzz/fuzzSupport.h"

#include "scripting/sqbind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  HSQUIRRELVM vm = fuzz_vm();
  sqbind::StackRestore restore(vm);
  compile_script_buffer(vm, size ? (const char*)data : "", SQInteger(size), "sound/sound.nut");
  return 0;
}
