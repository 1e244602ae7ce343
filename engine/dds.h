// DDS textures: every image asset of the renderer except the bitmap font.
//
// The parser validates a DDS file held in memory and describes its levels;
// the loader turns a file into a managed texture with all its mip levels.
// Accepted: FourCC DXT1, DXT3, DXT5; 32-bit RGB with alpha (A8R8G8B8) or
// without (X8R8G8B8); 8-bit luminance (L8); no cube maps or volumes. Levels
// are stored largest first, each level's size halved (never below 1).
//
// Files are untrusted: the parser checks every level against the bytes that
// are really there, so nothing is ever read outside the file and nothing is
// allocated from a size the header claims. A header pitch or linear size of
// 0 means "not given"; a smaller one than the level needs is rejected, and a
// larger pitch is the file's row stride.
//
// load_dds_texture ends the program on any failure (required assets);
// try_load_dds_texture logs the same message and returns null instead.
// Main thread only for the loaders (they use the device); the parser is pure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/d3d_misc.h"
#include "engine/dynArray.h"

enum {
  DDS_MAGIC = 0x20534444,  // "DDS "
  DDS_HEADER_SIZE = 124,
  DDS_DATA_OFFSET = 128,
  DDS_MAX_LEVELS = 32,
};

// Header flags, pixel-format flags and caps the parser looks at.
enum {
  DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8, DDSD_PIXELFORMAT = 0x1000,
  DDSD_LINEARSIZE = 0x80000,
  DDPF_ALPHAPIXELS = 0x1, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40, DDPF_LUMINANCE = 0x20000,
  DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000,
};

// The header words the reader uses (all little-endian u32 in the file).
struct DdsHeader
{
  uint32_t size, flags, height, width, pitchOrLinearSize, mipMapCount;
  uint32_t pfSize, pfFlags, fourCC, rgbBitCount, rMask, gMask, bMask, aMask;
  uint32_t caps, caps2;
};

// One level as it lies in the file. Uncompressed levels are `rows` rows of
// `rowBytes` bytes, `srcPitch` apart; compressed levels are `size` bytes of
// blocks (rows counts block rows, rowBytes a block row).
struct DdsLevel
{
  uint32_t width, height;
  size_t offset;    // from the start of the file
  size_t size;      // bytes the level occupies in the file
  size_t copySize;  // bytes the texture level holds
  uint32_t rows;
  size_t rowBytes, srcPitch;
};

struct DdsImage
{
  uint32_t width, height, levels;
  int format;  // TexFormat
  DdsLevel level[DDS_MAX_LEVELS];
};

// Reads a little-endian word and advances; with fewer than 4 bytes left it
// gives 0 and sets *remaining to 0, so every later read gives 0 too.
uint32_t dds_read_u32(const uint8_t** cursor, size_t* remaining);
// At least 4 bytes and the magic.
bool dds_is_dds(const void* data, size_t size);
// The magic, a full header and its structural rules. On failure *reason (when
// given) names the broken rule.
bool dds_parse_header(const void* data, size_t size, DdsHeader* header, const char** reason = nullptr);
// Everything a loader needs: format, size, level count and where each level
// lies, all checked against `size`.
bool dds_get_image(const void* data, size_t size, DdsImage* image, const char** reason = nullptr);
// The same in the classic shape: level-0 data and size, width, height,
// level count and format.
bool dds_get_info(const void* data, size_t size, const void** pixels, size_t* level0_size, uint32_t* width,
                  uint32_t* height, uint32_t* levels, int* format);

// Bytes of one level of the given format and size (block rule for DXT).
size_t dds_level_size(int format, uint32_t width, uint32_t height);

// Opens "rb", measures and reads the whole file; false when it cannot open
// or read every byte.
bool read_whole_file(const char* path, DynArray<char>& data);

// One file, no caching; the path is made absolute and looked up without
// regard to case.
Texture load_dds_texture(const char* path);
Texture try_load_dds_texture(const char* path);
// Uploads an image described by dds_get_image into a new managed texture;
// null (and *message set) on failure. Used by both loaders and by tests.
Texture create_dds_texture(const void* data, const DdsImage& image, const char** message, unsigned* code);
