#include "engine/textureCache.h"

#include <strings.h>

#include <cstring>

#include "engine/dds.h"
#include "engine/debug.h"
#include "engine/paths.h"

DynArray<NamedTexture> texture_cache;

Texture get_texture(const char* name, bool must_exist)
{
  TempString<260> path = make_full_path(name);
  for (NamedTexture& t : texture_cache) {
    if (strcasecmp(t.path, path) == 0) {
      ++t.refcount;
      return t.tex;
    }
  }
  // The loader's own messages say what went wrong with a required file.
  Texture tex = must_exist ? load_dds_texture(path) : try_load_dds_texture(path);
  if (!tex) {
    if (must_exist) fatal("Can't load texture from '%s'", path.c_str());
    return nullptr;
  }
  NamedTexture rec;
  rec.tex = tex;
  rec.refcount = 1;
  strcpy(rec.path, path);
  texture_cache.push_back(rec);
  return tex;
}

void free_texture(Texture tex)
{
  if (!tex) return;
  for (int i = 0; i < texture_cache.num; ++i) {
    NamedTexture& t = texture_cache[i];
    if (t.tex != tex) continue;
    if (--t.refcount <= 0) {
      release_texture(t.tex);
      texture_cache.eraseUnordered(i, 1);
    }
    return;
  }
}

void free_all_textures()
{
  for (NamedTexture& t : texture_cache) release_texture(t.tex);
  texture_cache = DynArray<NamedTexture>();
}
