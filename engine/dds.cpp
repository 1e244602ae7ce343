#include "engine/dds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/debug.h"
#include "engine/gl.h"
#include "engine/paths.h"

static const uint32_t FOURCC_DXT1 = 0x31545844;  // "DXT1"
static const uint32_t FOURCC_DXT3 = 0x33545844;
static const uint32_t FOURCC_DXT5 = 0x35545844;

uint32_t dds_read_u32(const uint8_t** cursor, size_t* remaining)
{
  if (*remaining < 4) {
    *remaining = 0;
    return 0;
  }
  const uint8_t* p = *cursor;
  uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  *cursor = p + 4;
  *remaining -= 4;
  return v;
}

bool dds_is_dds(const void* data, size_t size)
{
  if (!data || size < 4) return false;
  const uint8_t* p = (const uint8_t*)data;
  size_t left = size;
  return dds_read_u32(&p, &left) == DDS_MAGIC;
}

static bool fail(const char** reason, const char* text)
{
  if (reason) *reason = text;
  return false;
}

bool dds_parse_header(const void* data, size_t size, DdsHeader* h, const char** reason)
{
  if (!dds_is_dds(data, size)) return fail(reason, "no DDS magic");
  if (size < 4 + DDS_HEADER_SIZE) return fail(reason, "header is truncated");
  const uint8_t* p = (const uint8_t*)data + 4;
  size_t left = size - 4;
  h->size = dds_read_u32(&p, &left);
  h->flags = dds_read_u32(&p, &left);
  h->height = dds_read_u32(&p, &left);
  h->width = dds_read_u32(&p, &left);
  h->pitchOrLinearSize = dds_read_u32(&p, &left);
  dds_read_u32(&p, &left);  // depth
  h->mipMapCount = dds_read_u32(&p, &left);
  for (int i = 0; i < 11; ++i) dds_read_u32(&p, &left);
  h->pfSize = dds_read_u32(&p, &left);
  h->pfFlags = dds_read_u32(&p, &left);
  h->fourCC = dds_read_u32(&p, &left);
  h->rgbBitCount = dds_read_u32(&p, &left);
  h->rMask = dds_read_u32(&p, &left);
  h->gMask = dds_read_u32(&p, &left);
  h->bMask = dds_read_u32(&p, &left);
  h->aMask = dds_read_u32(&p, &left);
  h->caps = dds_read_u32(&p, &left);
  h->caps2 = dds_read_u32(&p, &left);

  if (h->size != DDS_HEADER_SIZE) return fail(reason, "header size is not 124");
  const uint32_t required = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  if ((h->flags & required) != required) return fail(reason, "required header flags are missing");
  if ((h->flags & DDSD_PITCH) && (h->flags & DDSD_LINEARSIZE)) return fail(reason, "both pitch and linear size");
  if (h->pfSize != 32) return fail(reason, "pixel format size is not 32");
  if (!(h->caps & DDSCAPS_TEXTURE)) return fail(reason, "not a texture");
  if (h->caps2 != 0) return fail(reason, "cube maps and volumes are not supported");
  return true;
}

static int header_format(const DdsHeader& h)
{
  if (h.pfFlags & DDPF_FOURCC) {
    switch (h.fourCC) {
      case FOURCC_DXT1: return FMT_DXT1;
      case FOURCC_DXT3: return FMT_DXT3;
      case FOURCC_DXT5: return FMT_DXT5;
      default: return FMT_UNKNOWN;
    }
  }
  if (h.pfFlags & DDPF_RGB) {
    if (h.rgbBitCount != 32 || h.rMask != 0xff0000 || h.gMask != 0xff00 || h.bMask != 0xff) return FMT_UNKNOWN;
    if (!(h.pfFlags & DDPF_ALPHAPIXELS)) return FMT_X8R8G8B8;
    return h.aMask == 0xff000000u ? FMT_A8R8G8B8 : FMT_UNKNOWN;
  }
  if (h.pfFlags & DDPF_LUMINANCE) return h.rgbBitCount == 8 ? FMT_L8 : FMT_UNKNOWN;
  return FMT_UNKNOWN;
}

static bool is_dxt(int format) { return format == FMT_DXT1 || format == FMT_DXT3 || format == FMT_DXT5; }

static size_t bytes_per_pixel(int format) { return format == FMT_L8 ? 1 : 4; }

size_t dds_level_size(int format, uint32_t width, uint32_t height)
{
  if (is_dxt(format)) {
    size_t bw = width > 4 ? (size_t(width) + 3) / 4 : 1;
    size_t bh = height > 4 ? (size_t(height) + 3) / 4 : 1;
    return bw * bh * (format == FMT_DXT1 ? 8 : 16);
  }
  return size_t(width) * bytes_per_pixel(format) * height;
}

bool dds_get_image(const void* data, size_t size, DdsImage* img, const char** reason)
{
  DdsHeader h;
  if (!dds_parse_header(data, size, &h, reason)) return false;
  int format = header_format(h);
  if (format == FMT_UNKNOWN) return fail(reason, "unsupported pixel format");
  if (h.width == 0 || h.height == 0) return fail(reason, "zero width or height");

  uint32_t levels = (h.caps & DDSCAPS_MIPMAP) ? h.mipMapCount : 1;
  if (levels == 0) levels = 1;  // some writers set the cap without a count
  uint32_t chain = 1;
  for (uint32_t m = h.width > h.height ? h.width : h.height; m > 1; m >>= 1) ++chain;
  if (levels > chain) return fail(reason, "more mip levels than the image size allows");

  // A header value of 0 means the writer left it out.
  const bool given = (h.flags & (DDSD_PITCH | DDSD_LINEARSIZE)) && h.pitchOrLinearSize != 0;
  const bool dxt = is_dxt(format);

  img->width = h.width;
  img->height = h.height;
  img->levels = levels;
  img->format = format;
  size_t offset = DDS_DATA_OFFSET;
  uint32_t w = h.width, hh = h.height;
  for (uint32_t i = 0; i < levels; ++i) {
    DdsLevel& L = img->level[i];
    L.width = w;
    L.height = hh;
    L.offset = offset;
    size_t avail = size - offset;  // offset <= size holds: checked below for every level
    if (dxt) {
      size_t bw = w > 4 ? (size_t(w) + 3) / 4 : 1;
      size_t bh = hh > 4 ? (size_t(hh) + 3) / 4 : 1;
      size_t block = format == FMT_DXT1 ? 8 : 16;
      L.rows = uint32_t(bh);
      L.rowBytes = bw * block;
      L.srcPitch = L.rowBytes;
      if (L.rowBytes > avail / bh) return fail(reason, "level data is truncated");
      L.copySize = L.rowBytes * bh;
      L.size = L.copySize;
      if (i == 0 && given) {
        if (h.pitchOrLinearSize < L.copySize) return fail(reason, "linear size is smaller than the level");
        L.size = h.pitchOrLinearSize;
      }
    } else {
      L.rows = hh;
      L.rowBytes = size_t(w) * bytes_per_pixel(format);
      L.srcPitch = L.rowBytes;
      if (i == 0 && given) {
        if (h.pitchOrLinearSize < L.rowBytes) return fail(reason, "pitch is smaller than a row");
        L.srcPitch = h.pitchOrLinearSize;
      }
      if (L.srcPitch > avail / hh) return fail(reason, "level data is truncated");
      L.copySize = L.rowBytes * hh;
      L.size = L.srcPitch * hh;
    }
    if (L.size > avail) return fail(reason, "level data is truncated");
    offset += L.size;
    w = w > 1 ? w / 2 : 1;
    hh = hh > 1 ? hh / 2 : 1;
  }
  return true;
}

bool dds_get_info(const void* data, size_t size, const void** pixels, size_t* level0_size, uint32_t* width,
                  uint32_t* height, uint32_t* levels, int* format)
{
  DdsImage img;
  if (!dds_get_image(data, size, &img)) return false;
  *pixels = (const uint8_t*)data + img.level[0].offset;
  *level0_size = img.level[0].size;
  *width = img.width;
  *height = img.height;
  *levels = img.levels;
  *format = img.format;
  return true;
}

bool read_whole_file(const char* path, DynArray<char>& data)
{
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  bool ok = false;
  if (fseek(f, 0, SEEK_END) == 0) {
    long len = ftell(f);
    if (len >= 0 && len < 0x7FFFFFFF && fseek(f, 0, SEEK_SET) == 0) {
      data.clear();
      data.resize(int(len));
      ok = len == 0 || fread(data.data, 1, size_t(len), f) == size_t(len);
    }
  }
  fclose(f);
  return ok;
}

Texture create_dds_texture(const void* data, const DdsImage& img, const char** message, unsigned* code)
{
  *code = 0;
  // The GL texture size limit stands in for the device's CreateTexture check.
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  if (img.width > uint32_t(max_size) || img.height > uint32_t(max_size)) {
    *message = "Error creating texture from '%s'";
    return nullptr;
  }
  Texture tex = create_texture(int(img.width), int(img.height), int(img.levels), 0, img.format, TEXPOOL_MANAGED);
  if (!tex) {
    *message = "Error creating texture from '%s'";
    return nullptr;
  }
  GlFormatInfo fi;
  get_gl_format(img.format, &fi);

  GLint prev_tex = 0, prev_align = 4, prev_row = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev_tex);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &prev_align);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &prev_row);
  glBindTexture(GL_TEXTURE_2D, tex->texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  while (glGetError() != GL_NO_ERROR) {}

  DynArray<uint8_t> packed;  // rows of a padded level, packed tightly
  const uint8_t* base = (const uint8_t*)data;
  for (uint32_t i = 0; i < img.levels && !*code; ++i) {
    const DdsLevel& L = img.level[i];
    const uint8_t* src = base + L.offset;
    if (is_dxt(img.format)) {
      glCompressedTexSubImage2D(GL_TEXTURE_2D, GLint(i), 0, 0, GLsizei(L.width), GLsizei(L.height), fi.internal_format,
                                GLsizei(L.copySize), src);
    } else {
      if (L.srcPitch != L.rowBytes) {
        packed.resize(int(L.copySize));
        for (uint32_t y = 0; y < L.rows; ++y)
          memcpy(packed.data + y * L.rowBytes, src + y * L.srcPitch, L.rowBytes);
        src = packed.data;
      }
      glTexSubImage2D(GL_TEXTURE_2D, GLint(i), 0, 0, GLsizei(L.width), GLsizei(L.height), fi.format, fi.type, src);
    }
    *code = glGetError();
  }

  glPixelStorei(GL_UNPACK_ALIGNMENT, prev_align);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, prev_row);
  glBindTexture(GL_TEXTURE_2D, GLuint(prev_tex));
  if (*code) {
    release_texture(tex);
    *message = "error loading texture '%s' (code 0x%08X)";
    return nullptr;
  }
  return tex;
}

static Texture load_dds(const char* name, bool must_load)
{
  TempString<260> path = find_file_nocase(make_full_path(name));
  char text[600];
  auto report = [&](const char* fmt, unsigned code) -> Texture {
    snprintf(text, sizeof(text), fmt, path.c_str(), code);
    if (must_load) fatal("%s", text);
    debug("%s", text);
    return nullptr;
  };

  DynArray<char> file;
  if (!read_whole_file(path, file)) return report("Error loading file '%s'", 0);
  DdsImage img;
  const char* reason = "";
  if (!dds_get_image(file.data, size_t(file.num), &img, &reason)) {
    debug("DDS '%s': %s", path.c_str(), reason);
    return report("Texture '%s' is not a DDS", 0);
  }
  const char* message = nullptr;
  unsigned code = 0;
  Texture tex = create_dds_texture(file.data, img, &message, &code);
  if (!tex) return report(message, code);
  debug("loaded DDS texture '%s'", path.c_str());
  return tex;
}

Texture load_dds_texture(const char* path) { return load_dds(path, true); }
Texture try_load_dds_texture(const char* path) { return load_dds(path, false); }
