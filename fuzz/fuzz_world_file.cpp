// A world file of a save slot as a whole: version, world-data block, sun and
// camera, then the plug-in's objects. The file is 2.25 MiB, so inputs are
// patches (fuzz_patch) over the fuzz game's own saved world.
#include "fuzz/fuzzGame.h"

#include "gameshell/universe.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const std::vector<uint8_t> base = [] {
    fuzz_game_init();
    std::string path = fuzz_slot_path("saved_world");
    if (!save_world(path.c_str())) abort();
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  std::vector<uint8_t> file = fuzz_patch(base, data, size);
  std::string path = fuzz_write("Quillmere/saves/0/w000", file.data(), file.size());
  load_world_file(path.c_str());
  fuzz_game_after_input();
  return 0;
}
