// The world-data block of a world file (heights, colours, water, marks).
#include "fuzz/fuzzSupport.h"

#include "engine/streams.h"
#include "world/heightmapData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  MemoryInputStream in(size ? (const void*)data : "", (int)size);
  try {
    HeightmapData::loadWorldData(in);
  } catch (const InputStream::Exception&) {
  }
  return 0;
}
