// A request message of the developer command server, handled as the socket
// delivers it. Every request gets exactly one answer starting with "k" or
// "e".
#include "fuzz/fuzzGame.h"

#include "gameshell/devServer.h"
#include "gameshell/gameModes.h"

#include <cstdio>
#include <cstdlib>

namespace
{
struct ServerUnderTest : DevServer
{
  int answers = 0;
  char first = 0;
  void send(const void* data, int size) override
  {
    answers++;
    first = size > 0 ? *(const char*)data : 0;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz_game_init();
  if (size > size_t(LocalServer::MAX_MESSAGE)) return 0;  // the socket refuses these before decoding
  static ServerUnderTest server;
  GameMode* mode = cur_game_mode;
  server.answers = 0;
  server.handleMessage((const char*)data, int(size));
  if (server.answers != 1 || (server.first != 'k' && server.first != 'e')) {
    fprintf(stderr, "%d answers, the first starting with %d\n", server.answers, server.first);
    abort();
  }
  cur_game_mode = mode;
  fuzz_game_after_input();
  return 0;
}
