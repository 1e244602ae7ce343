// A world file of a save slot as a whole: version, world-data block, sun and
// camera, then the plug-in's objects. The file is 2.25 MiB, so inputs are
// patches (FuzzPatcher) over the fuzz game's own saved world. A refused file
// must leave the world in memory as it was: the grid, the camera and the
// plug-in's objects (compared in their saved form).
#include "fuzz/fuzzGame.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/universe.h"

#include "engine/streams.h"
#include "world/heightmapData.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace
{
struct WorldState
{
  std::vector<uint8_t> grid;
  std::vector<uint8_t> objects;
  float camera[3] = {};

  void take()
  {
    using namespace HeightmapData;
    grid.resize(sizeof(hmap) + sizeof(target_hmap) + sizeof(surface) + sizeof(Water) * HMAP_CELLS);
    uint8_t* p = grid.data();
    memcpy(p, hmap, sizeof(hmap));
    memcpy(p += sizeof(hmap), target_hmap, sizeof(target_hmap));
    memcpy(p += sizeof(target_hmap), surface, sizeof(surface));
    memcpy(p += sizeof(surface), water, sizeof(Water) * HMAP_CELLS);
    MemoryOutputBuffer out;
    save_gameobjs(out);
    objects.assign((const uint8_t*)out.bytes.data, (const uint8_t*)out.bytes.data + out.bytes.num);
    camera[0] = camera_heading;
    camera[1] = camera_pitch;
    camera[2] = camera_roll;
  }
};
}  // namespace

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
  // The file stays from input to input: only the bytes the patches change
  // are written (all of it when its size changes).
  static std::string path;
  static int fd = -1;
  if (fd < 0 || patcher.sizeChanged()) {
    if (fd >= 0) close(fd);
    path = fuzz_write("Quillmere/saves/0/w000", file, file_size);
    fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) abort();
  } else {
    for (const auto& c : patcher.changed())
      if (pwrite(fd, file + c.first, c.second, off_t(c.first)) != ssize_t(c.second)) abort();
  }
  // Kept for the run: taking the state then copies without allocating.
  static WorldState before, after;
  before.take();
  if (load_world_file(path.c_str()) == WORLD_FAILED) {
    after.take();
    if (after.grid != before.grid || after.objects != before.objects ||
        memcmp(after.camera, before.camera, sizeof(after.camera)) != 0) {
      fprintf(stderr, "a refused world file changed the world in memory\n");
      abort();
    }
  }
  fuzz_game_after_input();
  return 0;
}
