// stb_truetype for the asset generators that render a TrueType font (the
// implementation is compiled into each, privately), and opening a font file.
#pragma once

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "toolCommon.h"

// Reads a TrueType file into `ttf` and opens its first font; prints why not
// (prefixed by the tool's name) and returns false on failure.
inline bool open_font(const char* tool, const char* path, std::vector<unsigned char>& ttf, stbtt_fontinfo& font)
{
  if (!read_file(path, ttf)) {
    fprintf(stderr, "%s: can't read '%s'\n", tool, path);
    return false;
  }
  if (!stbtt_InitFont(&font, ttf.data(), stbtt_GetFontOffsetForIndex(ttf.data(), 0))) {
    fprintf(stderr, "%s: '%s' is not a usable font\n", tool, path);
    return false;
  }
  return true;
}
