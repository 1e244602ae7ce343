// Renders the GUI's distance-field font from a TrueType font at build time:
// an 8-bit atlas "<name>.dds" whose texels hold the signed distance to the
// glyph outlines (0.5 on the outline, rising inside, +-spread atlas pixels
// spanning 0..1), and the text descriptor "<name>.fnt" the engine's DistFont
// reads: one info, common and page line, the glyphs, the kerning pairs.
//
// Glyph metrics are in atlas pixels at the font's size: the bitmap's
// position and size (the outline's box grown by the spread), xoffset from
// the pen to the bitmap's left edge, yoffset from the baseline up to the
// bitmap's top edge, and the advance. Characters are the game's 8-bit set
// (ASCII, then Windows-1252).
//
//   make_dist_font <font.ttf> <output folder> <name>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ttf.h"

namespace
{
const int FONT_SIZE = 48;    // pixels from the highest ascender to the lowest descender
const int SPREAD = 8;        // atlas pixels of distance either side of the outline
const int ATLAS_W = 1024;
const int MIP_LEVELS = 3;

struct Glyph
{
  int id;
  int x, y, w, h;
  int xoffset, yoffset;
  float xadvance;
  std::vector<uint8_t> sdf;
};

int next_pow2(int v)
{
  int p = 1;
  while (p < v) p *= 2;
  return p;
}
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 4) {
    fprintf(stderr, "usage: make_dist_font <font.ttf> <output folder> <name>\n");
    return 2;
  }
  std::vector<unsigned char> ttf;
  stbtt_fontinfo info;
  if (!open_font("make_dist_font", argv[1], ttf, info)) return 1;
  const float scale = stbtt_ScaleForPixelHeight(&info, float(FONT_SIZE));
  int ascent = 0, descent = 0, line_gap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &line_gap);
  const int line_height = int(lrintf(float(ascent - descent + line_gap) * scale));

  // Glyph distance fields, shelf-packed with a one-texel gap and border.
  std::vector<Glyph> glyphs;
  int pen_x = 1, pen_y = 1, shelf = 0;
  for (int c = 32; c < 256; ++c) {
    int cp = code_point(c);
    if (!cp || !stbtt_FindGlyphIndex(&info, cp)) continue;
    Glyph g{c, 0, 0, 0, 0, 0, 0, 0.f, {}};
    int advance = 0, bearing = 0;
    stbtt_GetCodepointHMetrics(&info, cp, &advance, &bearing);
    g.xadvance = float(advance) * scale;
    int xoff = 0, yoff = 0;
    unsigned char* sdf = stbtt_GetCodepointSDF(&info, scale, cp, SPREAD, 128, 128.0f / SPREAD, &g.w, &g.h, &xoff, &yoff);
    if (sdf) {
      g.sdf.assign(sdf, sdf + size_t(g.w) * size_t(g.h));
      stbtt_FreeSDF(sdf, nullptr);
      g.xoffset = xoff;
      g.yoffset = -yoff;
      if (pen_x + g.w + 1 > ATLAS_W) {
        pen_x = 1;
        pen_y += shelf + 1;
        shelf = 0;
      }
      g.x = pen_x;
      g.y = pen_y;
      pen_x += g.w + 1;
      if (g.h > shelf) shelf = g.h;
    } else {
      g.w = g.h = 0;  // a blank glyph: it only advances
    }
    glyphs.push_back(std::move(g));
  }
  const int atlas_h = next_pow2(pen_y + shelf + 1);
  std::vector<uint8_t> atlas(size_t(ATLAS_W) * size_t(atlas_h), 0);
  for (const Glyph& g : glyphs)
    for (int y = 0; y < g.h; ++y)
      for (int x = 0; x < g.w; ++x)
        atlas[size_t(g.y + y) * ATLAS_W + size_t(g.x + x)] = g.sdf[size_t(y) * size_t(g.w) + size_t(x)];

  const std::string base = std::string(argv[2]) + "/" + argv[3];
  if (!write_dds_l8(base + ".dds", ATLAS_W, atlas_h, atlas, MIP_LEVELS)) {
    fprintf(stderr, "make_dist_font: cannot write %s.dds\n", base.c_str());
    return 1;
  }

  FILE* f = fopen((base + ".fnt").c_str(), "w");
  if (!f) {
    fprintf(stderr, "make_dist_font: cannot write %s.fnt\n", base.c_str());
    return 1;
  }
  // The face is named after the font file, without folder and extension.
  std::string face = argv[1];
  face = face.substr(face.find_last_of('/') + 1);
  face = face.substr(0, face.find('.'));
  fprintf(f, "info face=\"%s\" size=%d spread=%d\n", face.empty() ? "font" : face.c_str(), FONT_SIZE, SPREAD);
  fprintf(f, "common lineHeight=%d base=0 scaleW=%d scaleH=%d\n", line_height, ATLAS_W, atlas_h);
  fprintf(f, "page id=0 file=\"%s\"\n", argv[3]);
  fprintf(f, "chars count=%d\n", int(glyphs.size()));
  for (const Glyph& g : glyphs)
    fprintf(f, "char id=%d x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%.3f\n", g.id, g.x, g.y, g.w,
            g.h, g.xoffset, g.yoffset, g.xadvance);

  // Kerning pairs among the printable ASCII characters, grouped by the first.
  std::vector<std::string> pairs;
  char line[128];
  for (int a = 33; a < 127; ++a)
    for (int b = 33; b < 127; ++b) {
      int k = stbtt_GetCodepointKernAdvance(&info, a, b);
      if (k == 0) continue;
      snprintf(line, sizeof(line), "kerning first=%d second=%d amount=%.3f\n", a, b, double(float(k) * scale));
      pairs.push_back(line);
    }
  fprintf(f, "kernings count=%d\n", int(pairs.size()));
  for (const std::string& p : pairs) fputs(p.c_str(), f);
  if (fclose(f) != 0) {
    fprintf(stderr, "make_dist_font: cannot write %s.fnt\n", base.c_str());
    return 1;
  }
  return 0;
}
