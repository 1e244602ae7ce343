// A distance-field icon descriptor: read, then every icon found by its name.
#include "fuzz/fuzzSupport.h"

#include "engine/text/distFont.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = (fuzz_use_dir_as_program_folder(), true);
  (void)ready;
  fuzz_write("icons.txt", data, size);
  DistIcons icons;
  icons.load("icons.txt");
  // A name no icon carries is not found (the file may well use the probe).
  const char* probe = "no such icon\x01";
  bool probe_used = false;
  for (int i = 0; i < icons.icons.num; i++) {
    int id = icons.getIconId(icons.icons[i].name);
    if (id < 0 || id > i) abort();
    icons.getOrgW(id);
    icons.getOrgH(id);
    probe_used = probe_used || strcmp(icons.icons[i].name, probe) == 0;
  }
  if (!probe_used && icons.getIconId(probe) >= 0) abort();
  return 0;
}
