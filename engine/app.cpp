#include "engine/app.h"
#include "engine/debug.h"

int app_main(int, char**)
{
  debug("closed all systems");
  return 0;
}
