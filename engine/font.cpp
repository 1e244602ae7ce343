#include "engine/font.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/d3d_render.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/dynVBWriter.h"
#include "engine/gameShellServices.h"
#include "engine/tga.h"

BitmapFont bitmap_font = {{}, 0, 8, 0, 0, 1, 0.f, 0.f, nullptr, nullptr, nullptr};
FontBatchState font_batch_state;
TempString<256> splash_text("Please wait...");
float splash_progress = -1.0f;

static DynArray<FontSettings> font_settings_stack;

static const VertexElementDesc font_vertex_elements[] = {
    {0, 0, VDECL_SHORT2, VDECL_POSITION, 0},
    {4, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
    {8, 0, VDECL_SHORT2, VDECL_TEXCOORD, 0},
    {0, 255, 0, 0, 0},
};

// ------------------------------------------------------------------ loading --

void update_font_scale()
{
  int s = bitmap_font.cellH > 0 ? d3d_ht / (bitmap_font.cellH * 30) : 1;
  bitmap_font.scale = s < 1 ? 1 : s;
  debug("font scale: %d", bitmap_font.scale);
}

void set_font_image(const uint32_t* pixels, int width, int height)
{
  if (width % 16 != 0 || height % 16 != 0 || width < 16 || height < 16)
    fatal("expected 16x16 font grid in font.tga, got %dx%d image", width, height);
  BitmapFont& f = bitmap_font;
  f.cellW = width / 16;
  f.cellH = height / 16;
  f.invTexW = 1.0f / float(width);
  f.invTexH = 1.0f / float(height);
  update_font_scale();

  auto column_has_ink = [&](int col, int y0) {
    for (int y = y0; y < y0 + f.cellH; ++y)
      if (pixels[size_t(y) * size_t(width) + size_t(col)] >> 24) return true;
    return false;
  };
  for (int c = 0; c < 256; ++c) {
    int cx = (c % 16) * f.cellW;
    int y0 = (15 - c / 16) * f.cellH;  // pixel rows are stored bottom-up
    int x0 = -1, x1 = -1;
    for (int x = cx; x < cx + f.cellW && x0 < 0; ++x)
      if (column_has_ink(x, y0)) x0 = x;
    if (x0 >= 0) {
      x1 = x0;
      for (int x = cx + f.cellW - 1; x > x0; --x) {
        if (column_has_ink(x, y0)) {
          x1 = x;
          break;
        }
      }
    } else {
      x0 = cx;
      x1 = cx + f.cellW / 2;
    }
    f.glyphs[c] = {x0, y0, x1 + 1, y0 + f.cellH};
  }
}

void init_font()
{
  int w = 0, h = 0;
  DynArray<uint32_t> pixels;
  if (!load_tga("font.tga", w, h, pixels)) fatal("can't load font.tga");
  set_font_image(pixels.data, w, h);

  Texture tex = create_texture(w, h, 1, 0, FMT_A8R8G8B8, TEXPOOL_MANAGED);
  if (!tex) fatal("can't create font texture");
  int pitch = 0;
  uint8_t* ptr = (uint8_t*)lock_texture(tex, &pitch, false);
  ASSERT(ptr);
  for (int y = 0; y < h; ++y) memcpy(ptr + size_t(y) * size_t(pitch), pixels.data + size_t(y) * size_t(w), size_t(w) * 4);
  unlock_texture(tex);
  bitmap_font.texture = tex;

  bitmap_font.vdecl = get_vertex_decl(font_vertex_elements);
  bitmap_font.shader = create_shader("font.sh", nullptr);
  font_batch_state.shader = bitmap_font.shader;
  font_batch_state.vdecl = bitmap_font.vdecl;
  font_batch_state.stride = 12;
  font_batch_state.texture = bitmap_font.texture;
}

void close_font()
{
  font_batch_state.reset();
  destroy_shader(bitmap_font.shader);
  bitmap_font.shader = nullptr;
  bitmap_font.vdecl = nullptr;
  release_texture(bitmap_font.texture);
  bitmap_font.texture = nullptr;
}

StdRenderBatchState* get_font_batch_state() { return &font_batch_state; }

// ---------------------------------------------------------------- settings --

void push_font_settings()
{
  FontSettings s;
  get_font_settings(s);
  font_settings_stack.push_back(s);
}

void pop_font_settings()
{
  int num = font_settings_stack.num;
  ASSERT(num>0);
  set_font_settings(font_settings_stack.back());
  font_settings_stack.pop_back();
}

void get_font_settings(FontSettings& out)
{
  out.lineGap = bitmap_font.lineGap;
  out.charSpacing = bitmap_font.charSpacing;
  out.scale = bitmap_font.scale;
}

void set_font_settings(const FontSettings& in)
{
  bitmap_font.lineGap = in.lineGap;
  bitmap_font.charSpacing = in.charSpacing;
  bitmap_font.scale = in.scale;
}

// --------------------------------------------------------------- measuring --

static int glyph_advance(unsigned char c)
{
  const FontGlyph& g = bitmap_font.glyphs[c];
  return (g.x1 - g.x0 + 1) * bitmap_font.scale + bitmap_font.charSpacing;
}

static int text_length(const char* text, int length)
{
  if (!text) return 0;
  return length < 0 ? int(strlen(text)) : length;
}

void calc_text_size(const char* text, int length, int& width, int& height)
{
  width = height = 0;
  int n = text_length(text, length);
  if (n == 0) return;
  const BitmapFont& f = bitmap_font;
  int line = 0, widest = 0, h = 0;
  for (int i = 0; i < n; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n') {
      if (line > widest) widest = line;
      h += f.scale * f.cellH + f.lineGap;
      line = 0;
    } else {
      line += glyph_advance(c);
    }
  }
  if (line > widest) widest = line;
  if (line > 0) h += f.scale * f.cellH;
  width = widest;
  height = h;
}

std::string wrap_text(const char* text, int max_width)
{
  std::string out;
  int n = text_length(text, -1);
  int start = 0;
  while (start <= n) {
    int end = start;
    while (end < n && text[end] != '\n') ++end;
    // One line of the text: cut before the first character that does not fit,
    // at the last space before it when there is one.
    int pos = start;
    for (;;) {
      int width = 0, i = pos, last_space = -1;
      while (i < end) {
        int w = glyph_advance((unsigned char)text[i]);
        if (width + w > max_width && i > pos) break;
        if (text[i] == ' ') last_space = i;
        width += w;
        ++i;
      }
      if (i >= end) {
        out.append(text + pos, size_t(end - pos));
        break;
      }
      int cut = last_space > pos ? last_space : i;
      out.append(text + pos, size_t(cut - pos));
      out += '\n';
      pos = cut;
      while (pos < end && text[pos] == ' ') ++pos;
      if (pos >= end) break;
    }
    if (end >= n) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

// ------------------------------------------------------------------ quads --

static int16_t clamp16(int v) { return int16_t(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }

static void put_quad(void* dst, int x0, int y0, int x1, int y1, uint32_t color, int u0, int v0, int u1, int v1)
{
  const int16_t X0 = clamp16(x0), Y0 = clamp16(y0), X1 = clamp16(x1), Y1 = clamp16(y1);
  const int16_t U0 = clamp16(u0), V0 = clamp16(v0), U1 = clamp16(u1), V1 = clamp16(v1);
  const FontVertex q[6] = {
      {X0, Y0, color, U0, V0}, {X1, Y0, color, U1, V0}, {X1, Y1, color, U1, V1},
      {X0, Y0, color, U0, V0}, {X1, Y1, color, U1, V1}, {X0, Y1, color, U0, V1},
  };
  memcpy(dst, q, sizeof(q));
}

// Where the quads of a text go: the shared writer, or a batch with the
// rectangle of the whole text.
struct QuadSink
{
  RenderBatch* batch;
  vec4f rect;

  void quad(int x0, int y0, int x1, int y1, uint32_t color, int u0, int v0, int u1, int v1)
  {
    void* dst;
    if (batch) {
      dst = batch->add(&font_batch_state, rect, FONT_QUAD_BYTES, 2);
    } else {
      DynVBWriter& w = common_vb_writer;
      if (w.bytesWritten() + int(FONT_QUAD_BYTES) > w.size) w.flush(false);
      dst = w.ptr;
      w.ptr += FONT_QUAD_BYTES;
      w.count += 2;
    }
    put_quad(dst, x0, y0, x1, y1, color, u0, v0, u1, v1);
  }
};

static void emit_text(QuadSink& sink, const char* text, int length, int x, int y, int alignX, int alignY,
                      D3dColor color)
{
  int n = text_length(text, length);
  int W = 0, H = 0;
  calc_text_size(text, n, W, H);
  const BitmapFont& f = bitmap_font;
  const int left = x - ((alignX + 1) * W) / 2;
  const int bottom = y - ((alignY + 1) * H) / 2;
  int baseline = y + H - ((alignY + 1) * H) / 2 - f.scale * f.cellH + f.lineGap;
  sink.rect = make4f(float(left), float(bottom), float(left + W), float(bottom + H));

  const uint32_t shadow = (uint32_t(color) >> 1) & 0x7F000000u;
  const int gh = f.cellH * f.scale;
  int pen = left;
  for (int i = 0; i < n; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c == '\n') {
      pen = left;
      baseline -= f.scale * f.cellH + f.lineGap;
      continue;
    }
    if (c != 0 && c != ' ') {
      const FontGlyph& g = f.glyphs[c];
      const int gw = (g.x1 - g.x0) * f.scale;
      sink.quad(pen + 1, baseline - 1, pen + 1 + gw, baseline - 1 + gh, shadow, g.x0, g.y0, g.x1, g.y1);
      sink.quad(pen, baseline, pen + gw, baseline + gh, color, g.x0, g.y0, g.x1, g.y1);
    }
    pen += glyph_advance(c);
  }
}

// ------------------------------------------------------------ render state --

static void text_render_setup(float inv_tex_w, float inv_tex_h)
{
  set_texture_filter(0, false);
  const float w = float(d3d_wd), h = float(d3d_ht);
  const float c16[4] = {2.0f / w, 2.0f / h, -1.0f - 0.5f / w, 0.5f / h - 1.0f};
  const float c17[4] = {inv_tex_w, inv_tex_h, 0.0f, 0.0f};
  set_vs_constants(16, c16, 1);
  set_vs_constants(17, c17, 1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_alpha();
  set_atest(1);
}

static void text_render_teardown()
{
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
  set_atest(0);
  set_texture_filter(0, true);
}

void FontBatchState::apply(BaseRenderBatchState* previous)
{
  StdRenderBatchState::apply(previous);
  text_render_setup(bitmap_font.invTexW, bitmap_font.invTexH);
}

void FontBatchState::flush()
{
  common_vb_writer.flush(true);
  text_render_teardown();
}

static void begin_immediate(Texture tex, float inv_w, float inv_h)
{
  set_vertex_decl(bitmap_font.vdecl);
  set_vb(0, common_vb_writer.vb, 0, 12);
  set_shader(bitmap_font.shader);
  set_texture(0, tex);
  text_render_setup(inv_w, inv_h);
  common_vb_writer.begin(dyn_vb_draw_triangles, 4);
}

// ---------------------------------------------------------------- drawing --

void start_draw_text() { begin_immediate(bitmap_font.texture, bitmap_font.invTexW, bitmap_font.invTexH); }

void end_draw_text()
{
  common_vb_writer.flush(true);
  text_render_teardown();
}

void draw_text(const char* text, int length, int x, int y, int alignX, int alignY, D3dColor color)
{
  QuadSink sink = {nullptr, v_zero()};
  emit_text(sink, text, length, x, y, alignX, alignY, color);
}

void draw_rect(int x0, int y0, int x1, int y1, D3dColor color)
{
  QuadSink sink = {nullptr, v_zero()};
  sink.quad(x0, y0, x1, y1, color, -1, -1, -1, -1);
}

void draw_box(int x0, int y0, int x1, int y1, D3dColor color)
{
  draw_rect(x0, y0, x0 + 1, y1, color);
  draw_rect(x1, y0, x1 + 1, y1, color);
  draw_rect(x0, y0, x1 + 1, y0 + 1, color);
  draw_rect(x0 + 1, y1, x1, y1 + 1, color);
}

void batch_rect(RenderBatch& batch, int x0, int y0, int x1, int y1, D3dColor color)
{
  QuadSink sink = {&batch, make4f(float(x0), float(y0), float(x1), float(y1))};
  sink.quad(x0, y0, x1, y1, color, -1, -1, -1, -1);
}

void batch_text(RenderBatch& batch, const char* text, int length, int x, int y, int alignX, int alignY,
                D3dColor color)
{
  QuadSink sink = {&batch, v_zero()};
  emit_text(sink, text, length, x, y, alignX, alignY, color);
}

void start_draw_image(Texture tex, int width, int height)
{
  begin_immediate(tex, width ? 1.0f / float(width) : 0.0f, height ? 1.0f / float(height) : 0.0f);
}

void draw_image_quad(int x0, int y0, int x1, int y1, D3dColor color, int left_u, int bottom_v, int right_u, int top_v)
{
  QuadSink sink = {nullptr, v_zero()};
  sink.quad(x0, y0, x1, y1, color, left_u, bottom_v, right_u, top_v);
}

void end_draw_image() { end_draw_text(); }

// ----------------------------------------------------------------- splash --

void show_splash(const char* text, float progress)
{
  splash_text = text;
  splash_progress = progress;
  draw_splash_frame();
}

void draw_splash()
{
  const BitmapFont& f = bitmap_font;
  set_back_buffer_target();
  clear_view(0xFF000A28u);
  start_draw_text();
  draw_text(splash_text, -1, d3d_wd / 2, d3d_ht / 4, 0, 0, 0xFFFFFFFFu);
  if (splash_progress >= 0) {
    const int bar_w = d3d_wd / 4;
    const int bar_h = (3 * f.scale * f.cellH) / 2;
    const int left = (d3d_wd - bar_w) / 2;
    const int bottom = d3d_ht / 4 - 3 * f.scale * f.cellH;
    draw_rect(left, bottom, left + bar_w, bottom + bar_h, 0xFF000000u);
    const float p = splash_progress < 1.0f ? splash_progress : 1.0f;  // never past the bar's end
    const int filled = int(lrintf(float(bar_w) * p));
    draw_rect(left, bottom, left + filled, bottom + bar_h, 0xFF32960Au);
  }
  end_draw_text();
}
