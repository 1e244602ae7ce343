// Shader files with their includes: the input is the shader, which may
// include itself or the prelude.
#include "fuzz/fuzzSupport.h"

#include "engine/shaderCache.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = [] {
    fuzz_use_dir_as_program_folder();
    const char* prelude = "#define PRELUDE 1\n";
    fuzz_write(shader_prelude_name, (const uint8_t*)prelude, strlen(prelude));
    return true;
  }();
  (void)ready;
  fuzz_write("fz.sh", data, size);
  DynArray<char> out, error;
  DynArray<TempString<260>> deps;
  // Defines are pairs of NUL-terminated texts, the list ended by an empty one.
  static const char defines[] = "A\0" "1\0" "\0";
  build_stage_source("fz.sh", defines, (size & 1) != 0, out, deps, error);
  return 0;
}
