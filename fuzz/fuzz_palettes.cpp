// The palettes table "gen/palettes.csv".
#include "fuzz/fuzzSupport.h"

#include "scripting/palettes.h"
#include "scripting/sqbind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = (fuzz_use_dir_as_program_folder(), true);
  (void)ready;
  fuzz_write(world_palettes_file, data, size);
  try {
    load_world_palettes(fuzz_vm());
  } catch (const sqbind::SquirrelError&) {
  }
  return 0;
}
