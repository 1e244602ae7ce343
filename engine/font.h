// The engine's bitmap font, its immediate text drawing and the plain splash.
//
// One font, read at start-up from "font.tga": a 16 x 16 grid of glyph cells
// (character c in column c % 16, row c / 16 from the top) whose ink extents
// are measured from the alpha channel, so the font is proportional. Every
// glyph is drawn with a one-pixel drop shadow. Coordinates are whole pixels
// with the origin at the bottom-left corner of the back buffer, y upward.
//
// Immediate drawing (start_draw_text ... end_draw_text, or the image quads)
// streams quads into common_vb_writer for the engine's overlays; batch_text
// and batch_rect queue the same quads into a RenderBatch under the global
// FontBatchState. Overlays push the font settings, set the scale they want,
// draw and pop.
//
// The splash ("Loading...", generation and simulation progress): show_splash
// stores the text and progress and presents one frame at once through the
// game shell's loading screen, which falls back on draw_splash while the
// distance-field font is not loaded.
// Main thread only; init_font needs the device and common_vb_writer.
#pragma once

#include <cstdint>
#include <string>

#include "engine/color.h"
#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/dynArray.h"
#include "engine/renderBatch.h"
#include "engine/utils.h"

// Texel rectangle of a glyph in the font image; x1 and y1 exclusive. Texel
// rows count in the image's stored order, bottom row first.
struct FontGlyph
{
  int x0, y0, x1, y1;
};

// What the settings stack saves.
struct FontSettings
{
  int lineGap;      // extra pixels between lines
  int charSpacing;  // extra pixels after each character
  int scale;        // whole-number magnification
};

struct BitmapFont
{
  FontGlyph glyphs[256];  // by the unsigned byte value of a character
  int cellW, cellH;       // grid cell in texels; cellH is 8 before loading
  int lineGap, charSpacing, scale;
  float invTexW, invTexH;
  Texture texture;
  Shader* shader;
  VertexDecl vdecl;
};
extern BitmapFont bitmap_font;

// The font's state for RenderBatch (stride 12): binds as StdRenderBatchState
// does, then sets up text rendering; its flush draws and tears it down.
struct FontBatchState : StdRenderBatchState
{
  FontBatchState() : StdRenderBatchState(nullptr, nullptr, 12, nullptr) {}
  void apply(BaseRenderBatchState* previous) override;
  void flush() override;
};
extern FontBatchState font_batch_state;

// One vertex: position in pixels, colour 0xAARRGGBB, texel coordinate.
struct FontVertex
{
  int16_t x, y;
  uint32_t color;
  int16_t u, v;
};
static_assert(sizeof(FontVertex) == 12, "font vertices are 12 bytes");
enum { FONT_QUAD_BYTES = 6 * sizeof(FontVertex) };

extern TempString<256> splash_text;  // "Please wait..." until the first splash
extern float splash_progress;        // negative hides the bar

void init_font();
void close_font();
// Measures the glyphs of a font image (rows bottom-up) and sets the cell size
// and the scale; fatal when the image is not a 16 x 16 grid. Part of
// init_font, usable without a device.
void set_font_image(const uint32_t* pixels, int width, int height);
// scale = screen height / (cellH x 30), at least 1; logs "font scale: %d".
void update_font_scale();
StdRenderBatchState* get_font_batch_state();

// Size of a text in pixels; a null text is empty, a negative length means up
// to the terminator. Newlines separate lines.
void calc_text_size(const char* text, int length, int& width, int& height);
// The text with further line breaks, so that no line is wider than
// max_width pixels at the current settings: a line is broken at its last
// space that fits (the spaces at the break are dropped), or inside a word
// that is wider on its own. The text's own newlines stay.
std::string wrap_text(const char* text, int max_width);

void start_draw_text();
void end_draw_text();
// alignX -1, 0, 1 put x at the text's left edge, centre or right edge;
// alignY -1, 0, 1 put y at the bottom, middle or top of the text block.
void draw_text(const char* text, int length, int x, int y, int alignX, int alignY, D3dColor color);
// A solid quad covering pixels x0..x1-1 by y0..y1-1.
void draw_rect(int x0, int y0, int x1, int y1, D3dColor color);
// A one-pixel outline.
void draw_box(int x0, int y0, int x1, int y1, D3dColor color);

void batch_rect(RenderBatch& batch, int x0, int y0, int x1, int y1, D3dColor color);
void batch_text(RenderBatch& batch, const char* text, int length, int x, int y, int alignX, int alignY,
                D3dColor color);

// Quads of another texture with the font's set-up; texture coordinates are
// in texels, (left u, bottom v) at (x0, y0) and (right u, top v) at (x1, y1).
void start_draw_image(Texture tex, int width, int height);
void draw_image_quad(int x0, int y0, int x1, int y1, D3dColor color, int left_u, int bottom_v, int right_u, int top_v);
void end_draw_image();

void push_font_settings();
void pop_font_settings();  // an empty stack fails the assertion "num>0"
void get_font_settings(FontSettings& out);
void set_font_settings(const FontSettings& in);

// Text of 256 characters or more fails the assertion "l<BS"; null is empty.
void show_splash(const char* text, float progress);
void draw_splash();
