// Script text (the sound script, the world scripts, the sky script) through
// the compiler. Only compiled, never run: a script may loop for ever by
// design, and what a run does is covered by the natives' own checks. The
// compiler recurses as deep as the text nests, so it runs on a deep stack as
// in the game (engine/largeStack.h): one thread with that stack for the whole
// run, which compiles each input while the calling thread waits. A thread
// and its stack made for every input cost far more than the compiling.
#include "fuzz/fuzzSupport.h"

#include "engine/largeStack.h"
#include "scripting/sqbind.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{
struct Text
{
  const uint8_t* data;
  size_t size;
};

void compile_text(const Text& text)
{
  HSQUIRRELVM vm = fuzz_vm();
  sqbind::StackRestore restore(vm);
  compile_script_buffer(vm, text.size ? (const char*)text.data : "", SQInteger(text.size), "sound/sound.nut");
}

class DeepStackCompiler
{
public:
  DeepStackCompiler()
  {
    std::thread([this] { run_on_large_stack(serve, this, size_t(1) << 30); }).detach();
  }
  void compile(const Text& text)
  {
    std::unique_lock<std::mutex> lock(mutex);
    job = &text;
    changed.notify_all();
    changed.wait(lock, [this] { return job == nullptr; });
  }

private:
  static int serve(void* self)
  {
    DeepStackCompiler& c = *static_cast<DeepStackCompiler*>(self);
    std::unique_lock<std::mutex> lock(c.mutex);
    for (;;) {
      c.changed.wait(lock, [&c] { return c.job != nullptr; });
      compile_text(*c.job);
      c.job = nullptr;
      c.changed.notify_all();
    }
  }

  std::mutex mutex;
  std::condition_variable changed;
  const Text* job = nullptr;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // Never destroyed: its thread waits for inputs until the process ends.
  static DeepStackCompiler* compiler = new DeepStackCompiler;
  compiler->compile(Text{data, size});
  return 0;
}
