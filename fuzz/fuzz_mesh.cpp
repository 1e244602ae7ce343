// Mesh files; a mesh that passes every check is uploaded, so the target opens
// a hidden window with the software renderer once.
#include "fuzz/fuzzSupport.h"

#include "engine/d3d_render.h"
#include "engine/mesh.h"
#include "engine/streams.h"

#include <SDL.h>

#include <cstdlib>

static bool open_device()
{
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_Window* w = SDL_CreateWindow("fuzz", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  return w && init_d3d(w, 64, 64);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool device = open_device();
  if (!device) abort();
  MemoryInputStream in(size ? (const void*)data : "", (int)size);
  try {
    delete read_mesh(in);
  } catch (const InputStream::Exception&) {
  }
  return 0;
}
