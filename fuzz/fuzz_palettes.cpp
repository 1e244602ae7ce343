// The palettes table "gen/palettes.csv".
#include "fuzz/fuzzSupport.h"

#include "scripting/palettes.h"
#include "scripting/sqbind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = (fuzz_use_dir_as_program_folder(), true);
  (void)ready;
  fuzz_write(world_palettes_file, data, size);
  HSQUIRRELVM vm = fuzz_vm();
  try {
    load_world_palettes(vm);
  } catch (const sqbind::SquirrelError&) {
  }
  // Each input starts without a table and frees the one it made: a table
  // kept from input to input would make most runs look like leaks, and
  // libFuzzer then runs them twice and scans the heap.
  sqbind::StackRestore restore(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, "world_palettes", -1);
  sq_deleteslot(vm, -2, SQFalse);
  return 0;
}
