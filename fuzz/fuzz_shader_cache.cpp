// Compiled shader cache files.
#include "fuzz/fuzzSupport.h"

#include "engine/shaderCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string path = fuzz_write("cache/fz.cache", data, size);
  ShaderCacheData out;
  TempString<128> reason;
  read_shader_cache(path.c_str(), out, &reason);
  return 0;
}
