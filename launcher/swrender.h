// The launcher's software renderer: alpha-blended rectangles and scaled
// bitmap-font text written straight into a 32-bit pixel buffer that the
// application shell copies to its window. No graphics interface is used.
//
// Pixels are 0xAARRGGBB words, rows top-down, `pitch` bytes apart. Drawing
// writes only red, green and blue; the alpha byte of every pixel it touches
// becomes 0 (the window copy ignores it). clear() alone writes a whole word.
//
// A font is a 16 x 16 grid of glyph cells in a 32-bit TGA picture: character
// i in column i % 16 and row i / 16 counted from the top. A glyph spans its
// cell's height and the columns of the cell that hold any ink (non-zero
// alpha); an empty cell is a blank of half the cell width plus one.
//
// Drawing without a target or text without a font is a broken set-up and
// ends the program through fatal(). Nothing allocates while drawing.
// Main thread only.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"

struct SoftwareFont
{
  struct Glyph
  {
    int x0, y0, x1, y1;   // picture rectangle, rows counted from the top; x1, y1 exclusive
  };
  Glyph glyphs[256];
  int lineHeight = 0;       // the cell height
  DynArray<uint32_t> pixels;  // as the TGA reader delivers them: bottom row first
  int width = 0, height = 0;

  // The picture pixel at (x, y), y counted from the top.
  uint32_t at(int x, int y) const { return pixels[(height - 1 - y) * width + x]; }
};

class IGuiRenderer
{
public:
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  virtual int getLineHeight() = 0;
  virtual void fillRect(float x0, float y0, float x1, float y1, uint32_t color) = 0;
  virtual void drawFrame(float x0, float y0, float x1, float y1, uint32_t color) = 0;
  // h and v: -1 left / top, 0 centre, 1 right / bottom of the text at (x, y).
  virtual void drawText(const char* text, int length, float x, float y, int h, int v, uint32_t color,
                        int scale) = 0;
  virtual void getTextSize(const char* text, int length, float& width, float& height, int scale) = 0;

protected:
  ~IGuiRenderer() = default;
};

class ISoftwareGuiRenderer : public IGuiRenderer
{
public:
  virtual SoftwareFont* loadFont(const char* path) = 0;
  virtual void setFont(SoftwareFont* font) = 0;
  virtual void setTarget(uint32_t* pixels, int pitch, int width, int height) = 0;
  virtual void clear(uint32_t color) = 0;

protected:
  ~ISoftwareGuiRenderer() = default;
};

class SoftwareGuiRenderer final : public ISoftwareGuiRenderer
{
public:
  ~SoftwareGuiRenderer() { releaseFonts(); }

  int getWidth() override { return width; }
  int getHeight() override { return height; }
  // 8 while no font is set.
  int getLineHeight() override;
  // Corners rounded to the nearest pixel; clipped to the target.
  void fillRect(float x0, float y0, float x1, float y1, uint32_t color) override;
  // One-pixel outline: rows y0 and y1 from x0 to x1 inclusive, columns x0 and
  // x1 between them.
  void drawFrame(float x0, float y0, float x1, float y1, uint32_t color) override;
  // length -1: up to the terminator. Each glyph gets a black shadow of half
  // the text's alpha one pixel right and down.
  void drawText(const char* text, int length, float x, float y, int h, int v, uint32_t color,
                int scale) override;
  void getTextSize(const char* text, int length, float& width, float& height, int scale) override;

  // Reads the picture at make_full_path(path); a missing or malformed
  // picture is fatal. The renderer owns the font.
  SoftwareFont* loadFont(const char* path) override;
  void setFont(SoftwareFont* font) override { curFont = font; }
  void setTarget(uint32_t* pixels, int pitch, int width, int height) override;
  void clear(uint32_t color) override;
  // Frees every font; forgets the target and the current font.
  void releaseFonts();

private:
  void blendRect(int x0, int y0, int x1, int y1, uint32_t color);
  void drawGlyph(const SoftwareFont::Glyph& g, int x, int y, uint32_t color, int scale);

  uint32_t* buffer = nullptr;
  int pitch = 0, width = 0, height = 0;
  DynArray<SoftwareFont*> fonts;
  SoftwareFont* curFont = nullptr;
};

// One colour channel set blended over another: each of red, green and blue
// moves toward the source by alpha / 255 (alpha = color >> 24), rounded as
// the renderer rounds; the result's alpha byte is 0.
uint32_t blend_pixel(uint32_t dst, uint32_t color);

// The glyph rectangles of a font picture (rows bottom-up, as read from a TGA
// file) of cell size cw x ch; the ink rule described above.
void build_font_glyphs(SoftwareFont& font);
