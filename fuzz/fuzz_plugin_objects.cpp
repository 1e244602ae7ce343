// The plug-in's object section of a world file, read through the plug-in's
// exported load_gameobjs. What loads must save and load back to the same
// bytes: the second save of a loaded list equals the first.
#include "fuzz/fuzzGame.h"

#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"

#include "engine/streams.h"
#include "scripting/sqbind.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
bool load(const void* data, int size)
{
  remove_all_gameobj();
  delete_gameobj();
  MemoryInputStream in(size ? data : "", size);
  try {
    load_gameobjs(in);
    return true;
  } catch (const InputStream::Exception&) {
  } catch (const sqbind::SquirrelError&) {
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz_game_init();
  if (load(data, int(size))) {
    MemoryOutputBuffer first, second;
    save_gameobjs(first);
    if (!load(first.bytes.data, first.bytes.num)) {
      fprintf(stderr, "saved objects do not load back\n");
      abort();
    }
    save_gameobjs(second);
    if (first.bytes.num != second.bytes.num || memcmp(first.bytes.data, second.bytes.data, size_t(first.bytes.num))) {
      fprintf(stderr, "saved objects change when loaded and saved again\n");
      abort();
    }
  }
  fuzz_game_after_input();
  return 0;
}
