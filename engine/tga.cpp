#include "engine/tga.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "engine/paths.h"

namespace {

#pragma pack(push, 1)
struct TgaHeader
{
  uint8_t id_length;
  uint8_t color_map_type;
  uint8_t image_type;
  uint8_t color_map_desc[5];
  uint16_t x_origin, y_origin;
  uint16_t width, height;
  uint8_t bits_per_pixel;
  uint8_t descriptor;
};
#pragma pack(pop)
static_assert(sizeof(TgaHeader) == 18, "TGA header is 18 bytes");

}  // namespace

void write_tga(OutputStream& stream, const void* pixels, int width, int height, int pitch)
{
  TgaHeader h;
  memset(&h, 0, sizeof(h));
  h.image_type = 2;
  h.width = uint16_t(width);
  h.height = uint16_t(height);
  h.bits_per_pixel = 32;
  h.descriptor = 8;  // eight alpha bits, origin bottom left
  stream.write(&h, int(sizeof(h)));
  for (int y = height - 1; y >= 0; --y)
    stream.write((const char*)pixels + ptrdiff_t(y) * pitch, width * 4);
}

bool save_tga(const char* path, const void* pixels, int width, int height, int pitch)
{
  FileOutputStream out;
  if (!out.open(make_full_path(path), "wb")) return false;
  try {
    write_tga(out, pixels, width, height, pitch);
  } catch (const OutputStream::Exception&) {
    return false;
  }
  return out.close();
}

void read_tga(InputStream& stream, int& width, int& height, DynArray<uint32_t>& pixels)
{
  TgaHeader h;
  stream.read(&h, int(sizeof(h)));
  if (h.image_type != 2 || h.bits_per_pixel != 32)
    throw InputStream::Exception("unsupported TGA format", stream.tell());
  if (h.width == 0 || h.height == 0) throw InputStream::Exception("zero-sized TGA image", stream.tell());

  // An identification field, when a foreign tool wrote one, sits between the
  // header and the pixels.
  if (h.id_length) {
    char skip[256];
    stream.read(skip, h.id_length);
  }

  // Read in growing chunks: the array never runs ahead of the bytes that
  // really exist by more than the chunk being read.
  const int64_t total = int64_t(h.width) * int64_t(h.height);
  pixels.clear();
  int chunk = 1 << 16;
  while (pixels.num < total) {
    if (pixels.num > (INT_MAX >> 2) - chunk) throw InputStream::Exception("TGA image is too large", stream.tell());
    int n = total - pixels.num < chunk ? int(total - pixels.num) : chunk;
    int at = pixels.num;
    pixels.resize(at + n);
    stream.read(pixels.data + at, n * 4);
    if (chunk < (1 << 24)) chunk *= 2;
  }
  width = h.width;
  height = h.height;
}

bool load_tga(const char* path, int& width, int& height, DynArray<uint32_t>& pixels)
{
  FileInputStream in;
  if (!in.open(find_file_nocase(make_full_path(path)), "rb")) return false;
  try {
    read_tga(in, width, height, pixels);
  } catch (const InputStream::Exception&) {
    return false;
  }
  return true;
}
