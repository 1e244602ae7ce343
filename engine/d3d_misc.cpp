#include "engine/d3d_misc.h"

#include <cstring>

#include "engine/d3d_render.h"
#include "engine/debug.h"

// S3TC formats (EXT_texture_compression_s3tc, always present on Mesa).
#define QM_COMPRESSED_RGBA_S3TC_DXT1 0x83F1
#define QM_COMPRESSED_RGBA_S3TC_DXT3 0x83F2
#define QM_COMPRESSED_RGBA_S3TC_DXT5 0x83F3

TextureSlot texture_table[MAX_TEXTURES];

bool get_gl_format(int format, GlFormatInfo* out)
{
  const GLint R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, ONE = GL_ONE;
  struct Row { int fmt; GLenum ifmt, f, t; GLint sw[4]; int bpp; };
  static const Row rows[] = {
      {FMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, A}, 4},
      {FMT_X8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, ONE}, 4},
      {FMT_L8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {R, R, R, ONE}, 1},
      {FMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, {R, G, ONE, ONE}, 4},
      {FMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, {R, ONE, ONE, ONE}, 2},
      {FMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, {R, G, ONE, ONE}, 4},
      {FMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {R, G, B, A}, 8},
      {FMT_R32F, GL_R32F, GL_RED, GL_FLOAT, {R, ONE, ONE, ONE}, 4},
      {FMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, {R, G, ONE, ONE}, 8},
      {FMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, {R, G, B, A}, 16},
      {FMT_DXT1, QM_COMPRESSED_RGBA_S3TC_DXT1, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
      {FMT_DXT3, QM_COMPRESSED_RGBA_S3TC_DXT3, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
      {FMT_DXT5, QM_COMPRESSED_RGBA_S3TC_DXT5, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
  };
  for (const Row& r : rows) {
    if (r.fmt != format) continue;
    out->internal_format = r.ifmt;
    out->format = r.f;
    out->type = r.t;
    memcpy(out->swizzle, r.sw, sizeof(out->swizzle));
    out->bytes_per_pixel = r.bpp;
    return true;
  }
  return false;
}

static bool is_compressed(int format)
{
  return format == FMT_DXT1 || format == FMT_DXT3 || format == FMT_DXT5;
}

// Makes the GL texture of a slot from its stored parameters.
static bool create_slot_texture(TextureSlot* s)
{
  GlFormatInfo fi;
  if (!get_gl_format(s->format, &fi)) return false;
  int w = s->width, h = s->height;
  if (w == 0 && h == 0) {
    w = d3d_wd;
    h = d3d_ht;
  }
  if (w < 1 || h < 1 || s->levels < 1) return false;

  while (glGetError() != GL_NO_ERROR) {}
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  int lw = w, lh = h;
  for (int level = 0; level < s->levels; ++level) {
    if (is_compressed(s->format)) {
      int block = s->format == FMT_DXT1 ? 8 : 16;
      int bytes = ((lw + 3) / 4) * ((lh + 3) / 4) * block;
      glCompressedTexImage2D(GL_TEXTURE_2D, level, fi.internal_format, lw, lh, 0, bytes, nullptr);
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, fi.internal_format, lw, lh, 0, fi.format, fi.type, nullptr);
    }
    lw = lw > 1 ? lw / 2 : 1;
    lh = lh > 1 ? lh / 2 : 1;
  }
  // Without this a texture with fewer levels than a full chain samples black.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, s->levels - 1);
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, fi.swizzle);
  glBindTexture(GL_TEXTURE_2D, 0);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    glDeleteTextures(1, &t);
    return false;
  }
  s->texture = t;
  s->real_width = w;
  s->real_height = h;
  return true;
}

Texture create_texture(int width, int height, int levels, int usage, int format, int pool)
{
  TextureSlot* s = nullptr;
  for (int i = 0; i < MAX_TEXTURES; ++i) {
    if (!texture_table[i].used) {
      s = &texture_table[i];
      break;
    }
  }
  if (!s) {
    debug("reached MAX_TEXTURES");
    return nullptr;
  }
  memset(s, 0, sizeof(*s));
  s->width = width;
  s->height = height;
  s->levels = levels;
  s->usage = usage;
  s->format = format;
  s->pool = pool;
  if (!create_slot_texture(s)) {
    debug("error creating texture (code 0x%08X)", (unsigned)glGetError());
    memset(s, 0, sizeof(*s));
    return nullptr;
  }
  s->used = true;
  return s;
}

Texture create_managed_texture(int width, int height)
{
  return create_texture(width, height, 1, 0, FMT_A8R8G8B8, TEXPOOL_MANAGED);
}

Texture create_dynamic_texture(int width, int height)
{
  return create_texture(width, height, 1, TEXUSAGE_DYNAMIC, FMT_A8R8G8B8, TEXPOOL_DEFAULT);
}

void release_texture(Texture tex)
{
  if (!tex) return;
  if (tex->texture) glDeleteTextures(1, &tex->texture);
  memset(tex, 0, sizeof(*tex));
}

GLuint get_d3d_texture(Texture tex) { return tex ? tex->texture : 0; }

void set_texture(int stage, Texture tex)
{
  glActiveTexture(GL_TEXTURE0 + stage);
  glBindTexture(GL_TEXTURE_2D, tex ? tex->texture : 0);
}

static void unbind_all_stages()
{
  GLint units = 16;
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
  if (units > 32) units = 32;
  for (int i = 0; i < units; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTexture(GL_TEXTURE0);
}

void textures_on_device_lost()
{
  unbind_all_stages();
  for (TextureSlot& s : texture_table) {
    if (s.used && s.pool == TEXPOOL_DEFAULT && s.texture) {
      glDeleteTextures(1, &s.texture);
      s.texture = 0;
    }
  }
}

void textures_on_device_reset()
{
  for (TextureSlot& s : texture_table) {
    if (s.used && s.pool == TEXPOOL_DEFAULT && !s.texture) {
      if (!create_slot_texture(&s)) debug("error recreating texture (code 0x%08X)", (unsigned)glGetError());
    }
  }
}

void release_all_textures()
{
  for (TextureSlot& s : texture_table) release_texture(&s);
}
