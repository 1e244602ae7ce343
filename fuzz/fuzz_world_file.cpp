// A world file of a save slot as a whole: version, world-data block, sun and
// camera, then the plug-in's objects. The file is 2.25 MiB, so inputs are
// patches (FuzzPatcher) over the fuzz game's own saved world.
#include "fuzz/fuzzGame.h"

#include "gameshell/universe.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static FuzzPatcher patcher([] {
    fuzz_game_init();
    std::string path = fuzz_slot_path("saved_world");
    if (!save_world(path.c_str())) abort();
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }());
  size_t file_size = 0;
  const uint8_t* file = patcher.apply(data, size, file_size);
  std::string path = fuzz_write("Quillmere/saves/0/w000", file, file_size);
  load_world_file(path.c_str());
  fuzz_game_after_input();
  return 0;
}
