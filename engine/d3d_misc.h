// The texture table: every texture of the game lives in one fixed table of
// MAX_TEXTURES slots and is handed out as a `Texture` (the slot's address,
// valid for the whole run), so creation parameters survive a device reset and
// screen-size textures are recreated in place. Texture units and their
// sampler state. Main thread only; needs the device (d3d_render).
#pragma once

#include <cstdint>

#include "engine/gl.h"

enum { MAX_TEXTURES = 1000 };

// Pixel formats. Channels missing from a format read as 1, as the game's
// shaders expect; X8R8G8B8 reads alpha 1, L8 reads (L, L, L, 1).
enum TexFormat {
  FMT_UNKNOWN = 0,
  FMT_A8R8G8B8,
  FMT_X8R8G8B8,
  FMT_L8,
  FMT_G16R16,
  FMT_R16F,
  FMT_G16R16F,
  FMT_A16B16G16R16F,
  FMT_R32F,
  FMT_G32R32F,
  FMT_A32B32G32R32F,
  FMT_DXT1,
  FMT_DXT3,
  FMT_DXT5,
};

enum { TEXUSAGE_RENDERTARGET = 1, TEXUSAGE_DYNAMIC = 512 };
enum { TEXPOOL_DEFAULT = 0, TEXPOOL_MANAGED = 1 };

struct TextureSlot {
  GLuint texture;  // live GL texture, 0 when none
  int width, height;  // creation size; 0 x 0 follows the back buffer
  int levels;
  int usage;
  int format;      // TexFormat
  int pool;
  bool used;
  int real_width, real_height;  // size of the live texture
};
typedef TextureSlot* Texture;

extern TextureSlot texture_table[MAX_TEXTURES];

Texture create_texture(int width, int height, int levels, int usage, int format, int pool);
Texture create_managed_texture(int width, int height);
Texture create_dynamic_texture(int width, int height);
void release_texture(Texture tex);
GLuint get_d3d_texture(Texture tex);
void set_texture(int stage, Texture tex);

void textures_on_device_lost();
void textures_on_device_reset();
void release_all_textures();

// GL description of a format: internal format, upload format and type, and
// the swizzle that gives missing channels their value.
struct GlFormatInfo {
  GLenum internal_format, format, type;
  GLint swizzle[4];
  int bytes_per_pixel;  // 0 for block-compressed formats
};
bool get_gl_format(int format, GlFormatInfo* out);
