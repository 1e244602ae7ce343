// Every test program runs headless: no dialogs, SDL's off-screen video, no
// audio device, Mesa's software renderer. Set before main so SDL sees it;
// a value already in the environment wins.
#include <cstdlib>

namespace {
struct HeadlessEnvironment {
  HeadlessEnvironment()
  {
    setenv("QUILLMERE_NO_DIALOGS", "1", 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  }
} headless_environment;
}  // namespace
