// The world-data block of a world file (heights, colours, water, marks). The
// block is 2.25 MiB, so inputs are patches over a valid block (fuzz_patch):
// a world with hills, water and house tiles.
#include "fuzz/fuzzSupport.h"

#include "engine/streams.h"
#include "world/heightmapData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const std::vector<uint8_t> base = fuzz_world_block();
  std::vector<uint8_t> block = fuzz_patch(base, data, size);
  MemoryInputStream in(block.empty() ? (const void*)"" : block.data(), (int)block.size());
  try {
    HeightmapData::loadWorldData(in);
  } catch (const InputStream::Exception&) {
  }
  return 0;
}
