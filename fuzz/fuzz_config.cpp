// The settings file shared by the game and the launcher.
#include "fuzz/fuzzSupport.h"

#include "engine/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string path = fuzz_write("config/settings", data, size);
  set_config_path(path.c_str());
  int value = 0;
  get_config_int("width", &value);
  char text[64];
  get_config_str("name", text, sizeof(text));
  int type = 0, bytes = 0;
  read_config_value("a", &type, nullptr, &bytes);
  return 0;
}
