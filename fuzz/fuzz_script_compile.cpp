// Script text (the sound script, the world scripts, the sky script) through
// the compiler. Only compiled, never run: a script may loop for ever by
// design, and what a run does is covered by the natives' own checks. The
// compiler recurses as deep as the text nests, so it runs on a deep stack as
// in the game (engine/largeStack.h).
#include "fuzz/fuzzSupport.h"

#include "engine/largeStack.h"
#include "scripting/sqbind.h"

namespace
{
struct Text
{
  const uint8_t* data;
  size_t size;
};

int compile_text(void* arg)
{
  const Text& text = *static_cast<const Text*>(arg);
  HSQUIRRELVM vm = fuzz_vm();
  sqbind::StackRestore restore(vm);
  compile_script_buffer(vm, text.size ? (const char*)text.data : "", SQInteger(text.size), "sound/sound.nut");
  return 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Text text = {data, size};
  run_on_large_stack(compile_text, &text, size_t(1) << 30);
  return 0;
}
