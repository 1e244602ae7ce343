// A distance-field icon descriptor: read, then every icon found by its name.
#include "fuzz/fuzzSupport.h"

#include "engine/text/distFont.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = (fuzz_use_dir_as_program_folder(), true);
  (void)ready;
  fuzz_write("icons.txt", data, size);
  DistIcons icons;
  icons.load("icons.txt");
  for (int i = 0; i < icons.icons.num; i++) {
    int id = icons.getIconId(icons.icons[i].name);
    if (id < 0 || id > i) abort();
    icons.getOrgW(id);
    icons.getOrgH(id);
  }
  if (icons.getIconId("no such icon\x01") >= 0) abort();
  return 0;
}
