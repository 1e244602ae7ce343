// The world-data block of a world file (heights, colours, water, marks). The
// block is 2.25 MiB, so inputs are patches over a valid block (FuzzPatcher):
// a world with hills, water and house tiles.
#include "fuzz/fuzzSupport.h"

#include "engine/streams.h"
#include "world/heightmapData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static FuzzPatcher patcher(fuzz_world_block());
  size_t block_size = 0;
  const uint8_t* block = patcher.apply(data, size, block_size);
  MemoryInputStream in(block, (int)block_size);
  try {
    HeightmapData::loadWorldData(in);
  } catch (const InputStream::Exception&) {
  }
  fuzz_forget_recorded_calls();
  return 0;
}
