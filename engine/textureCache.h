// The named texture cache: the world renderer, the instanced meshes, the
// distance-field fonts and the plug-in get DDS textures by file name through
// it, shared and counted by references. Names are made absolute against the
// program directory and compared without regard to case (the data was named
// on a file system that ignores case); the file itself is found the same way.
// Main thread only.
#pragma once

#include "engine/d3d_misc.h"
#include "engine/dynArray.h"

struct NamedTexture
{
  Texture tex;
  int refcount;
  char path[260];  // absolute path the texture was asked for by
};

extern DynArray<NamedTexture> texture_cache;

// A cached texture gains a reference; otherwise the file is loaded. A file
// that cannot be loaded ends the program when must_exist is true, else it is
// logged and the result is null.
Texture get_texture(const char* name, bool must_exist);
// Drops one reference; the last one releases the texture. Unknown handles
// (and null) are ignored.
void free_texture(Texture tex);
// Releases every cached texture whatever its count (engine shut-down).
void free_all_textures();
