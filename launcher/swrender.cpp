#include "launcher/swrender.h"

#include <cmath>
#include <cstring>

#include "engine/debug.h"
#include "engine/tga.h"

// One channel: dst + (src - dst) * a / 255, the division rounded through
// t = (src - dst) * a + 128; (t + (t >> 8)) >> 8 with arithmetic shifts, so
// darkening rounds exactly as lightening does.
static inline int blend_channel(int src, int dst, int a)
{
  int t = (src - dst) * a + 128;
  return dst + ((t + (t >> 8)) >> 8);
}

uint32_t blend_pixel(uint32_t dst, uint32_t color)
{
  int a = int(color >> 24);
  int r = blend_channel(int((color >> 16) & 0xFF), int((dst >> 16) & 0xFF), a);
  int g = blend_channel(int((color >> 8) & 0xFF), int((dst >> 8) & 0xFF), a);
  int b = blend_channel(int(color & 0xFF), int(dst & 0xFF), a);
  return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

static inline int round_px(float v) { return int(lrintf(v)); }

int SoftwareGuiRenderer::getLineHeight() { return curFont ? curFont->lineHeight : 8; }

void SoftwareGuiRenderer::setTarget(uint32_t* pixels, int pitch_bytes, int w, int h)
{
  buffer = pixels;
  pitch = pitch_bytes;
  width = w;
  height = h;
}

void SoftwareGuiRenderer::clear(uint32_t color)
{
  ASSERT(buffer);
  for (int y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(buffer) + size_t(y) * pitch);
    for (int x = 0; x < width; ++x) row[x] = color;
  }
}

// Blends the pixel rectangle [x0, x1) x [y0, y1), clipped to the target.
void SoftwareGuiRenderer::blendRect(int x0, int y0, int x1, int y1, uint32_t color)
{
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > width) x1 = width;
  if (y1 > height) y1 = height;
  if (x0 >= x1 || y0 >= y1) return;
  for (int y = y0; y < y1; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(buffer) + size_t(y) * pitch);
    for (int x = x0; x < x1; ++x) row[x] = blend_pixel(row[x], color);
  }
}

void SoftwareGuiRenderer::fillRect(float x0, float y0, float x1, float y1, uint32_t color)
{
  ASSERT(buffer);
  blendRect(round_px(x0), round_px(y0), round_px(x1), round_px(y1), color);
}

void SoftwareGuiRenderer::drawFrame(float fx0, float fy0, float fx1, float fy1, uint32_t color)
{
  ASSERT(buffer);
  int x0 = round_px(fx0), y0 = round_px(fy0), x1 = round_px(fx1), y1 = round_px(fy1);
  blendRect(x0, y0, x1 + 1, y0 + 1, color);
  // A frame one pixel high has one row: blending it twice would darken it.
  if (y1 != y0) blendRect(x0, y1, x1 + 1, y1 + 1, color);
  blendRect(x0, y0 + 1, x0 + 1, y1, color);
  if (x1 != x0) blendRect(x1, y0 + 1, x1 + 1, y1, color);
}

void SoftwareGuiRenderer::getTextSize(const char* text, int length, float& out_w, float& out_h, int scale)
{
  ASSERT(curFont);
  if (length < 0) length = text ? int(strlen(text)) : 0;
  int line_w = 0, max_w = 0, h = 0;
  bool line_empty = true;
  for (int i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n') {
      if (line_w > max_w) max_w = line_w;
      line_w = 0;
      h += scale * curFont->lineHeight;
      line_empty = true;
      continue;
    }
    const SoftwareFont::Glyph& g = curFont->glyphs[c];
    line_w += scale * (g.x1 - g.x0 + 1);
    line_empty = false;
  }
  if (line_w > max_w) max_w = line_w;
  if (!line_empty) h += scale * curFont->lineHeight;
  out_w = float(max_w);
  out_h = float(h);
}

void SoftwareGuiRenderer::drawGlyph(const SoftwareFont::Glyph& g, int x, int y, uint32_t color, int scale)
{
  const SoftwareFont& f = *curFont;
  uint32_t ta = (color >> 24) + 1, tr = ((color >> 16) & 0xFF) + 1, tg = ((color >> 8) & 0xFF) + 1,
           tb = (color & 0xFF) + 1;
  for (int gy = g.y0; gy < g.y1; ++gy) {
    int py = y + (gy - g.y0) * scale;
    if (py >= height || py + scale <= 0) continue;
    for (int gx = g.x0; gx < g.x1; ++gx) {
      int px = x + (gx - g.x0) * scale;
      if (px >= width || px + scale <= 0) continue;
      uint32_t p = f.at(gx, gy);
      uint32_t a = ((p >> 24) * ta) >> 8;
      if (!a) {
        // Nothing to blend; the touched pixels still lose their alpha byte.
        blendRect(px, py, px + scale, py + scale, 0);
        continue;
      }
      uint32_t r = (((p >> 16) & 0xFF) * tr) >> 8, gg = (((p >> 8) & 0xFF) * tg) >> 8, b = ((p & 0xFF) * tb) >> 8;
      blendRect(px, py, px + scale, py + scale, (a << 24) | (r << 16) | (gg << 8) | b);
    }
  }
}

void SoftwareGuiRenderer::drawText(const char* text, int length, float x, float y, int h, int v, uint32_t color,
                                   int scale)
{
  ASSERT(curFont);
  ASSERT(buffer);
  if (length < 0) length = text ? int(strlen(text)) : 0;
  float tw = 0, th = 0;
  getTextSize(text, length, tw, th, scale);
  int start_x = round_px(x) - round_px(tw) * (h + 1) / 2;
  int start_y = round_px(y) - round_px(th) * (v + 1) / 2;
  uint32_t shadow = ((color >> 24) >> 1) << 24;
  int pen_x = start_x, pen_y = start_y;
  for (int i = 0; i < length; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n') {
      pen_x = start_x;
      pen_y += scale * curFont->lineHeight;
      continue;
    }
    const SoftwareFont::Glyph& g = curFont->glyphs[c];
    if (c != 0 && c != ' ') {
      drawGlyph(g, pen_x + 1, pen_y + 1, shadow, scale);
      drawGlyph(g, pen_x, pen_y, color, scale);
    }
    pen_x += scale * (g.x1 - g.x0 + 1);
  }
}

void build_font_glyphs(SoftwareFont& f)
{
  const int cw = f.width / 16, ch = f.height / 16;
  f.lineHeight = ch;
  for (int i = 0; i < 256; ++i) {
    const int cx = (i % 16) * cw, cy = (i / 16) * ch;
    int first = -1, last = -1;
    for (int x = cx; x < cx + cw; ++x) {
      for (int y = cy; y < cy + ch; ++y) {
        if (f.at(x, y) >> 24) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    }
    SoftwareFont::Glyph& g = f.glyphs[i];
    g.y0 = cy;
    g.y1 = cy + ch;
    if (first < 0) {
      g.x0 = cx;
      g.x1 = cx + cw / 2 + 1;
    } else {
      g.x0 = first;
      g.x1 = last + 1;
    }
  }
}

SoftwareFont* SoftwareGuiRenderer::loadFont(const char* path)
{
  SoftwareFont* f = new SoftwareFont;
  if (!load_tga(path, f->width, f->height, f->pixels)) {
    delete f;
    fatal("can't load font from %s", path);
  }
  if (f->width % 16 != 0 || f->height % 16 != 0) {
    int w = f->width, h = f->height;
    delete f;
    fatal("expected 16x16 font grid in %s, got %dx%d image", path, w, h);
  }
  build_font_glyphs(*f);
  fonts.push_back(f);
  return f;
}

void SoftwareGuiRenderer::releaseFonts()
{
  for (SoftwareFont* f : fonts) delete f;
  fonts.clear();
  curFont = nullptr;
  buffer = nullptr;
  pitch = width = height = 0;
}
