// Renders the engine's bitmap font sheet "font.tga" from a TrueType font at
// build time: a 16 x 16 grid of cells, character c in column c % 16 and row
// c / 16 counted from the top, white ink whose alpha is the coverage, on a
// fully transparent background. Written as a 32-bit uncompressed TGA with
// the origin at the bottom left, as the engine's TGA reader expects.
//
// Characters 32-126 are ASCII, 128-255 the Windows-1252 code page; control
// codes and unmapped codes stay empty (the engine gives empty cells a
// half-cell advance).
//
//   make_font <font.ttf> <out.tga> [cell width] [cell height]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ttf.h"

static void put_u16(unsigned char* p, int v)
{
  p[0] = (unsigned char)(v & 255);
  p[1] = (unsigned char)((v >> 8) & 255);
}

int main(int argc, char** argv)
{
  if (argc < 3) {
    fprintf(stderr, "usage: make_font <font.ttf> <out.tga> [cell width] [cell height]\n");
    return 2;
  }
  const int cell_w = argc > 3 ? atoi(argv[3]) : 8;
  const int cell_h = argc > 4 ? atoi(argv[4]) : 12;
  if (cell_w < 4 || cell_h < 4 || cell_w > 64 || cell_h > 64) {
    fprintf(stderr, "make_font: cell size out of range\n");
    return 2;
  }

  std::vector<unsigned char> ttf;
  stbtt_fontinfo font;
  if (!open_font("make_font", argv[1], ttf, font)) return 1;

  // Ascent to descent fills the cell height; the baseline sits at the ascent.
  const float scale = stbtt_ScaleForPixelHeight(&font, float(cell_h));
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&font, &ascent, &descent, &gap);
  const int baseline = int(lrintf(float(ascent) * scale));

  const int width = cell_w * 16, height = cell_h * 16;
  std::vector<uint8_t> alpha(size_t(width) * height, 0);  // rows top-down
  std::vector<unsigned char> glyph(size_t(cell_w) * cell_h);

  for (int c = 0; c < 256; ++c) {
    int cp = code_point(c);
    if (!cp || c == ' ' || !stbtt_FindGlyphIndex(&font, cp)) continue;
    int x0, y0, x1, y1;
    stbtt_GetCodepointBitmapBox(&font, cp, scale, scale, &x0, &y0, &x1, &y1);
    int gw = x1 - x0, gh = y1 - y0;
    if (gw <= 0 || gh <= 0) continue;
    // Centre the ink in the cell; whatever does not fit is cut.
    int ox = gw < cell_w ? (cell_w - gw) / 2 : 0;
    int oy = baseline + y0;
    int sx = 0, sy = 0;
    if (oy < 0) {
      sy = -oy;
      oy = 0;
    }
    int w = gw - sx < cell_w - ox ? gw - sx : cell_w - ox;
    int h = gh - sy < cell_h - oy ? gh - sy : cell_h - oy;
    if (w <= 0 || h <= 0) continue;
    std::vector<unsigned char> bmp(size_t(gw) * gh);
    stbtt_MakeCodepointBitmap(&font, bmp.data(), gw, gh, gw, scale, scale, cp);
    const int cx = (c % 16) * cell_w, cy = (c / 16) * cell_h;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        alpha[size_t(cy + oy + y) * width + size_t(cx + ox + x)] = bmp[size_t(sy + y) * gw + size_t(sx + x)];
  }

  unsigned char header[18] = {0};
  header[2] = 2;  // uncompressed true colour
  put_u16(header + 12, width);
  put_u16(header + 14, height);
  header[16] = 32;
  header[17] = 8;  // eight alpha bits, origin bottom left
  std::vector<unsigned char> out(header, header + 18);
  out.reserve(18 + size_t(width) * height * 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      uint8_t a = alpha[size_t(y) * width + size_t(x)];
      const unsigned char px[4] = {255, 255, 255, a};  // blue, green, red, alpha
      out.insert(out.end(), px, px + 4);
    }
  }
  FILE* f = fopen(argv[2], "wb");
  if (!f || fwrite(out.data(), 1, out.size(), f) != out.size() || fclose(f) != 0) {
    fprintf(stderr, "make_font: can't write '%s'\n", argv[2]);
    return 1;
  }
  return 0;
}
