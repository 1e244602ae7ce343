// Program entry of `game`: everything happens in the application shell, on a
// thread deep enough for the script VMs' own recursion.
#include "engine/app.h"
#include "engine/largeStack.h"

namespace
{
struct Args
{
  int argc;
  char** argv;
};
int run_app(void* p) { return app_main(((Args*)p)->argc, ((Args*)p)->argv); }
}  // namespace

int main(int argc, char** argv)
{
  Args args{argc, argv};
  return run_on_large_stack(run_app, &args);
}
