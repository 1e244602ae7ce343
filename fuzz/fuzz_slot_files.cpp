// The files of a save slot: "info", read alone for the slot list and with
// "uni" to load the game. The input is a u32 (little-endian) length of
// "info", its bytes, then the bytes of "uni".
#include "fuzz/fuzzGame.h"

#include "gameshell/universe.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz_game_init();
  uint32_t info_size = 0;
  if (size >= 4) memcpy(&info_size, data, 4);
  const uint8_t* rest = size >= 4 ? data + 4 : data;
  size_t rest_size = size >= 4 ? size - 4 : 0;
  if (info_size > rest_size) info_size = uint32_t(rest_size);
  fuzz_write("Quillmere/saves/0/info", rest, info_size);
  fuzz_write("Quillmere/saves/0/uni", rest + info_size, rest_size - info_size);

  bool outdated = false;
  TempString<260> name = get_saved_game_name(0, outdated);
  if (strlen(name.c_str()) > 259) abort();
  load_saved_game(0);
  fuzz_game_after_input();
  return 0;
}
