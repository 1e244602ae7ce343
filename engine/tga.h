// 32-bit uncompressed TGA images: the bitmap font's glyph sheet is read from
// one, and the world-generation scripts dump masks into them.
//
// Pixels are DynArray<uint32_t> words 0xAARRGGBB (bytes blue, green, red,
// alpha in the file), rows one after another with no gap. Reading keeps the
// file's row order, so row 0 of a bottom-left-origin file is its bottom row;
// writing takes a top-down image and stores it bottom-up. A file that is not
// of that one kind throws InputStream::Exception ("unsupported TGA format",
// "zero-sized TGA image"); memory grows only as pixel data really arrives, so
// a header announcing a huge image cannot make a huge allocation.
// Any thread, each with its own streams and arrays.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"
#include "engine/streams.h"

// Header, then the rows of the top-down source from its last row to its
// first, each width x 4 bytes, rows pitch bytes apart in the source.
void write_tga(OutputStream& stream, const void* pixels, int width, int height, int pitch);
// write_tga into the file at make_full_path(path); false when the file cannot
// be opened or written.
bool save_tga(const char* path, const void* pixels, int width, int height, int pitch);

// Throws InputStream::Exception on a wrong kind of image or a short stream.
void read_tga(InputStream& stream, int& width, int& height, DynArray<uint32_t>& pixels);
// read_tga from the file at make_full_path(path), its name matched without
// regard to case; false (nothing logged) when it cannot be opened or read.
bool load_tga(const char* path, int& width, int& height, DynArray<uint32_t>& pixels);
