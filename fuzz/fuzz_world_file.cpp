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
  MemoryOutputBuffer saved;
  float camera[3] = {};

  // The grid arrays in the order they are kept here.
  template <typename F>
  static void eachGridArray(F f)
  {
    using namespace HeightmapData;
    f(hmap, sizeof(hmap));
    f(target_hmap, sizeof(target_hmap));
    f(surface, sizeof(surface));
    f(water, sizeof(Water) * HMAP_CELLS);
  }

  void takeGrid()
  {
    size_t at = 0;
    eachGridArray([&](const void* p, size_t n) {
      if (grid.size() < at + n) grid.resize(at + n);
      memcpy(grid.data() + at, p, n);
      at += n;
    });
  }

  bool gridIsNow() const
  {
    size_t at = 0;
    bool same = true;
    eachGridArray([&](const void* p, size_t n) {
      same = same && at + n <= grid.size() && memcmp(grid.data() + at, p, n) == 0;
      at += n;
    });
    return same;
  }

  const uint8_t* savedObjects(size_t& n)
  {
    saved.bytes.clear();
    saved.position = 0;
    save_gameobjs(saved);
    n = size_t(saved.bytes.num);
    return (const uint8_t*)saved.bytes.data;
  }

  void takeRest()
  {
    size_t n = 0;
    const uint8_t* p = savedObjects(n);
    objects.assign(p, p + n);
    camera[0] = camera_heading;
    camera[1] = camera_pitch;
    camera[2] = camera_roll;
  }

  // Whether the world in memory is still the one taken.
  bool isNow()
  {
    size_t n = 0;
    const uint8_t* p = savedObjects(n);
    const float now[3] = {camera_heading, camera_pitch, camera_roll};
    return gridIsNow() && n == objects.size() && (n == 0 || memcmp(p, objects.data(), n) == 0) &&
           memcmp(now, camera, sizeof(camera)) == 0;
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
  // Kept for the run. Only a load changes the grid, and a refused one must
  // leave it as it was, so after a refusal the grid taken before still holds
  // and is not copied again; now and then it is compared with the live grid
  // to show that nothing else changed it between inputs.
  static WorldState before;
  static bool grid_taken = false;
  static unsigned inputs = 0;
  if (grid_taken && ++inputs % 256 == 0 && !before.gridIsNow()) {
    fprintf(stderr, "the world grid changed between inputs\n");
    abort();
  }
  if (!grid_taken) before.takeGrid();
  before.takeRest();
  grid_taken = false;
  if (load_world_file(path.c_str()) == WORLD_FAILED) {
    if (!before.isNow()) {
      fprintf(stderr, "a refused world file changed the world in memory\n");
      abort();
    }
    grid_taken = true;
  }
  fuzz_game_after_input();
  return 0;
}
