// TGA images (the font and the masks).
#include "fuzz/fuzzSupport.h"

#include "engine/streams.h"
#include "engine/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  MemoryInputStream in(size ? (const void*)data : "", (int)size);
  int w = 0, h = 0;
  DynArray<uint32_t> pixels;
  try {
    read_tga(in, w, h, pixels);
  } catch (const InputStream::Exception&) {
  }
  return 0;
}
