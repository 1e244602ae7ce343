#include "engine/text/distFont.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debug.h"
#include "engine/dynVBWriter.h"
#include "engine/paths.h"
#include "engine/textureCache.h"
#include "engine/utils.h"

// ------------------------------------------------------ shared shaders --

static Shader* font_shader = nullptr;
static VertexDecl font_vdecl = nullptr;
static Shader* icon_shader = nullptr;
static VertexDecl icon_vdecl = nullptr;

static const VertexElementDesc font_vertex_elements[] = {
    {0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
    {8, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},     // text colour
    {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 1},    // second-layer colour
    {16, 0, VDECL_FLOAT2, VDECL_TEXCOORD, 0},
    {24, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 1}, // packed parameters
    {0, 255, 0, 0, 0},
};

static const VertexElementDesc icon_vertex_elements[] = {
    {0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
    {8, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},     // first colour
    {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 1},    // packed parameters
    {16, 0, VDECL_FLOAT2, VDECL_TEXCOORD, 0},
    {24, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 1}, // second to fifth colours
    {28, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 2},
    {32, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 3},
    {36, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 4},
    {0, 255, 0, 0, 0},
};

void init_dist_fonts()
{
  font_vdecl = get_vertex_decl(font_vertex_elements);
  if (!font_shader) font_shader = create_shader("distfont.sh", nullptr);
}

void init_dist_icons()
{
  icon_vdecl = get_vertex_decl(icon_vertex_elements);
  if (!icon_shader) icon_shader = create_shader("disticon.sh", nullptr);
}

void DistFontBatchState::apply(BaseRenderBatchState* previous) { StdRenderBatchState::apply(previous); }

void DistFontBatchState::flush() { common_vb_writer.flush(true); }

void start_dist_font_render()
{
  const float w = float(d3d_wd), h = float(d3d_ht);
  const float c16[4] = {2.0f / w, -2.0f / h, -1.0f - 0.5f / w, 1.0f + 0.5f / h};
  set_vs_constants(16, c16, 1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_prealpha();
  set_atest(0);
  set_texture_address(0, 0, 0, 0);
}

void end_dist_font_render()
{
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
}

uint32_t dist_param_byte(float value)
{
  if (!(value > 0.0f)) return 0;  // NaN too
  if (value >= 1.0f) return 255;
  return uint32_t(lrintf(value * 255.0f));
}

// alpha: face threshold, blue: second-layer threshold, red and green: the
// second layer's texture offset. P is the spread in screen pixels.
static D3dColor pack_params(float P, float faceEdge, float shadowEdge, float ox, float oy)
{
  float a = 0.5f * (1.0f - (faceEdge + 1.0f) * 0.5f / P);
  float b = 0.5f * (1.0f - (shadowEdge + 1.0f) * 0.5f / P);
  float r = 0.5f * (1.0f - 64.0f * ox);
  float g = 0.5f * (1.0f - 64.0f * oy);
  D3dColor c;
  c.u = dist_param_byte(a) << 24 | dist_param_byte(r) << 16 | dist_param_byte(g) << 8 | dist_param_byte(b);
  return c;
}

// ------------------------------------------------------ descriptor reading --

namespace
{
// Reads a descriptor line by line, remembering where it is for messages.
struct DescriptorReader
{
  FILE* f = nullptr;
  const char* path;
  int lineNo = 0;
  char line[256];

  explicit DescriptorReader(const char* path_) : path(path_)
  {
    f = fopen(make_full_path(path_).c_str(), "r");
  }
  ~DescriptorReader()
  {
    if (f) fclose(f);
  }
  bool next()
  {
    ++lineNo;
    if (!fgets(line, sizeof(line), f)) {
      debug("%s: ends early at line %d", path, lineNo);
      return false;
    }
    return true;
  }
  bool fail(const char* what)
  {
    debug("%s: line %d: %s", path, lineNo, what);
    return false;
  }
};

bool finite_all(const float* v, int n)
{
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(v[i])) return false;
  return true;
}

// Counts are checked against the lines really there as they are read, so a
// descriptor's count never sizes an allocation by itself.
const int MAX_DESCRIPTOR_COUNT = 1 << 20;
const int MAX_ATLAS_SIZE = 1 << 16;

// "<name>.dds", false when it does not fit a path.
bool atlas_name(const char* file, TempString<260>& out)
{
  if (strlen(file) + 4 >= 260) return false;
  out = file;
  out += ".dds";
  return true;
}
}  // namespace

// ---------------------------------------------------------------- DistFont --

DistFont::DistFont() : size(0), spread(0), lineHeight(0), invScaleW(0), invScaleH(0), texture(nullptr), state(nullptr) {}

DistFont::~DistFont() { clear(); }

void DistFont::clear()
{
  delete state;
  state = nullptr;
  if (texture) free_texture(texture);
  texture = nullptr;
  chars.clear();
  charRanges.clear();
  kernings.clear();
  kernRanges.clear();
}

bool DistFont::load(const char* path)
{
  DescriptorReader r(path);
  if (!r.f) return false;
  clear();

  char text[256];
  int a = 0, b = 0, c = 0;
  if (!r.next()) return false;
  if (sscanf(r.line, "info face=\"%255[^\"]\" size=%d spread=%d", text, &a, &b) != 3)
    return r.fail("expected the info line");
  if (a <= 0 || b < 0 || b > MAX_ATLAS_SIZE) return r.fail("bad size or spread");
  size = a;
  spread = b;

  if (!r.next()) return false;
  if (sscanf(r.line, "common lineHeight=%d base=0 scaleW=%d scaleH=%d", &a, &b, &c) != 3)
    return r.fail("expected the common line");
  if (b <= 0 || c <= 0 || b > MAX_ATLAS_SIZE || c > MAX_ATLAS_SIZE) return r.fail("bad atlas size");
  lineHeight = a;
  invScaleW = 1.0f / float(b);
  invScaleH = 1.0f / float(c);

  TempString<260> atlas;
  if (!r.next()) return false;
  if (sscanf(r.line, "page id=0 file=\"%255[^\"]\"", text) != 1) return r.fail("expected the page line");
  if (!atlas_name(text, atlas)) return r.fail("page file name too long");

  int count = 0;
  if (!r.next()) return false;
  if (sscanf(r.line, "chars count=%d", &count) != 1 || count < 0 || count > MAX_DESCRIPTOR_COUNT)
    return r.fail("expected the chars line");
  for (int i = 0; i < count; ++i) {
    int id = 0;
    float v[7];
    if (!r.next()) return false;
    if (sscanf(r.line, "char id=%d x=%f y=%f width=%f height=%f xoffset=%f yoffset=%f xadvance=%f", &id, &v[0], &v[1],
               &v[2], &v[3], &v[4], &v[5], &v[6]) != 8)
      return r.fail("expected a char line");
    if (id < 0 || id == 0x7FFFFFFF || !finite_all(v, 7)) return r.fail("bad char values");
    Glyph g = {v[0] * invScaleW, v[1] * invScaleH, v[2], v[3], v[4], v[5], v[6]};
    if (charRanges.num && charRanges.back().endId == id) {
      ++charRanges.back().endId;
    } else {
      CharRange cr = {id, id + 1, chars.num};
      charRanges.push_back(cr);
    }
    chars.push_back(g);
  }

  if (!r.next()) return false;
  if (sscanf(r.line, "kernings count=%d", &count) != 1 || count < 0 || count > MAX_DESCRIPTOR_COUNT)
    return r.fail("expected the kernings line");
  for (int i = 0; i < count; ++i) {
    int first = 0, second = 0;
    float amount = 0;
    if (!r.next()) return false;
    if (sscanf(r.line, "kerning first=%d second=%d amount=%f", &first, &second, &amount) != 3)
      return r.fail("expected a kerning line");
    if (!std::isfinite(amount)) return r.fail("bad kerning amount");
    if (kernRanges.num && kernRanges.back().first == first) {
      ++kernRanges.back().count;
    } else {
      KernRange kr = {first, kernings.num, 1};
      kernRanges.push_back(kr);
    }
    Kerning k = {second, amount};
    kernings.push_back(k);
  }
  fclose(r.f);
  r.f = nullptr;

  texture = get_texture(atlas.c_str(), false);
  if (!texture) return false;
  if (font_shader) state = new DistFontBatchState(font_shader, font_vdecl, int(sizeof(DistFontVertex)), texture);
  return true;
}

const DistFont::Glyph* DistFont::findGlyph(int code) const
{
  for (int i = 0; i < charRanges.num; ++i) {
    const CharRange& r = charRanges[i];
    if (r.firstId <= code && code < r.endId) return &chars[r.firstIndex + (code - r.firstId)];
  }
  return nullptr;
}

float DistFont::getKerning(int first, int second) const
{
  for (int i = 0; i < kernRanges.num; ++i) {
    const KernRange& r = kernRanges[i];
    if (r.first != first) continue;
    for (int j = r.startIndex; j < r.startIndex + r.count; ++j)
      if (kernings[j].second == second) return kernings[j].amount;
  }
  return 0.0f;
}

static int text_length(const char* text, int length)
{
  if (!text) return 0;
  return length < 0 ? int(strlen(text)) : length;
}

vec4f DistFont::calcTextBox(const char* text, int length, int* glyphCount) const
{
  length = text_length(text, length);
  float penX = 0, lineY = 0;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int n = 0, prev = -1;
  for (int i = 0; i < length; ++i) {
    int code = (unsigned char)text[i];
    if (code == 10) {
      penX = 0;
      prev = -1;
      lineY += float(lineHeight);
      continue;
    }
    if (const Glyph* g = findGlyph(code)) {
      float k = getKerning(prev, code);
      if (g->width != 0) {
        float gx0 = penX + k + g->xoffset, gy0 = lineY - g->yoffset;
        float gx1 = gx0 + g->width, gy1 = gy0 + g->height;
        x0 = gx0 < x0 ? gx0 : x0;
        y0 = gy0 < y0 ? gy0 : y0;
        x1 = gx1 > x1 ? gx1 : x1;
        y1 = gy1 > y1 ? gy1 : y1;
        ++n;
      }
      penX += k + g->xadvance;
    }
    prev = code;
  }
  if (n > 0) {
    const float s = float(spread);
    x0 += s;
    y0 += s;
    x1 -= s;
    y1 -= s;
  }
  if (glyphCount) *glyphCount = n;
  return make4f(x0, y0, x1, y1);
}

// The shared vertex buffer holds 65,536 bytes, and a chunk must fit it
// whole: longer texts go into several chunks of the same rectangle.
enum { MAX_GLYPHS_PER_CHUNK = COMMON_VB_SIZE / (6 * int(sizeof(DistFontVertex))) };

void DistFont::renderText(RenderBatch& batch, vec4f rect, int align, D3dColor color, float size_, const char* text,
                          int length, float faceEdge, float shadowOffsetX, float shadowOffsetY, float shadowEdge,
                          D3dColor shadowColor, BaseRenderBatchState* st)
{
  if (!st) st = state;
  if (!st || size <= 0) return;  // not loaded: nothing to draw with
  length = text_length(text, length);
  const float scale = size_ / float(size);
  const float P = scale * float(spread);
  const D3dColor params = pack_params(P, faceEdge, shadowEdge, shadowOffsetX * invScaleW * float(size) * 0.01f,
                                      shadowOffsetY * invScaleH * float(size) * 0.01f);

  int n = 0;
  vec4f box = calcTextBox(text, length, &n);
  const float bx0 = v_extract_x(box), by0 = v_extract_y(box), bx1 = v_extract_z(box), by1 = v_extract_w(box);
  const float rx0 = v_extract_x(rect), ry0 = v_extract_y(rect), rx1 = v_extract_z(rect), ry1 = v_extract_w(rect);

  float startX, startY;
  switch (align & 3) {
  case 1: startX = rx0 - scale * bx0; break;
  case 2: startX = rx1 - scale * bx1; break;
  default: startX = ((rx0 - scale * bx0) + (rx1 - scale * bx1)) * 0.5f; break;
  }
  switch (align & 12) {
  case 4: startY = ry0 - scale * by0; break;
  case 8: startY = ry1 - scale * by1; break;
  default: startY = ((ry0 - scale * by0) + (ry1 - scale * by1)) * 0.5f; break;
  }
  const float grow = scale * float(spread);
  const vec4f chunkRect = make4f(startX + scale * bx0 - grow, startY + scale * by0 - grow, startX + scale * bx1 + grow,
                                 startY + scale * by1 + grow);

  int left = n;
  int room = left < MAX_GLYPHS_PER_CHUNK ? left : MAX_GLYPHS_PER_CHUNK;
  DistFontVertex* out = (DistFontVertex*)batch.add(st, chunkRect, room * 6 * int(sizeof(DistFontVertex)), room * 2);

  float penX = startX, penY = startY;
  int prev = -1;
  for (int i = 0; i < length && left > 0; ++i) {
    int code = (unsigned char)text[i];
    if (code == 10) {
      penX = startX;
      penY += float(lineHeight) * scale;
      prev = -1;
      continue;
    }
    if (const Glyph* g = findGlyph(code)) {
      float k = getKerning(prev, code);
      if (g->width != 0) {
        if (room == 0) {
          room = left < MAX_GLYPHS_PER_CHUNK ? left : MAX_GLYPHS_PER_CHUNK;
          out = (DistFontVertex*)batch.add(st, chunkRect, room * 6 * int(sizeof(DistFontVertex)), room * 2);
        }
        float X0 = penX + scale * (k + g->xoffset), Y0 = penY - scale * g->yoffset;
        float X1 = X0 + scale * g->width, Y1 = Y0 + scale * g->height;
        float s0 = g->u, t0 = g->v, s1 = g->u + g->width * invScaleW, t1 = g->v + g->height * invScaleH;
        const float corners[6][4] = {{X0, Y0, s0, t0}, {X1, Y0, s1, t0}, {X1, Y1, s1, t1},
                                     {X0, Y0, s0, t0}, {X1, Y1, s1, t1}, {X0, Y1, s0, t1}};
        for (const auto& cv : corners) {
          DistFontVertex& vx = *out++;
          vx.x = cv[0];
          vx.y = cv[1];
          vx.color = color;
          vx.color2 = shadowColor;
          vx.u = cv[2];
          vx.v = cv[3];
          vx.params = params;
        }
        --room;
        --left;
      }
      penX += scale * (k + g->xadvance);
    }
    prev = code;
  }
}

// --------------------------------------------------------------- DistIcons --

DistIcons::DistIcons() : spread(0), invScaleW(0), invScaleH(0), texture(nullptr), state(nullptr) {}

DistIcons::~DistIcons() { clear(); }

void DistIcons::clear()
{
  delete state;
  state = nullptr;
  if (texture) free_texture(texture);
  texture = nullptr;
  for (int i = 0; i < icons.num; ++i) free(icons[i].name);
  icons.clear();
}

bool DistIcons::load(const char* path)
{
  DescriptorReader r(path);
  if (!r.f) return false;
  clear();

  char text[256];
  int w = 0, h = 0, s = 0;
  if (!r.next()) return false;
  if (sscanf(r.line, "info file=\"%255[^\"]\" scaleW=%d scaleH=%d spread=%d", text, &w, &h, &s) != 4)
    return r.fail("expected the info line");
  if (w <= 0 || h <= 0 || w > MAX_ATLAS_SIZE || h > MAX_ATLAS_SIZE || s < 0 || s > MAX_ATLAS_SIZE)
    return r.fail("bad atlas size or spread");
  TempString<260> atlas;
  if (!atlas_name(text, atlas)) return r.fail("atlas file name too long");
  invScaleW = 1.0f / float(w);
  invScaleH = 1.0f / float(h);
  spread = s;

  int count = 0;
  if (!r.next()) return false;
  if (sscanf(r.line, "icons count=%d", &count) != 1 || count < 0 || count > MAX_DESCRIPTOR_COUNT)
    return r.fail("expected the icons line");
  for (int i = 0; i < count; ++i) {
    float v[8];
    if (!r.next()) return false;
    if (sscanf(r.line, "icon \"%255[^\"]\" %f %f %f %f %f %f %f %f", text, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
               &v[6], &v[7]) != 9)
      return r.fail("expected an icon line");
    if (!finite_all(v, 8)) return r.fail("bad icon values");
    Icon icon;
    icon.name = strdup(text);
    ASSERT(icon.name);
    icon.orgW = v[0];
    icon.orgH = v[1];
    icon.u = v[2] * invScaleW;
    icon.v = v[3] * invScaleH;
    icon.width = v[4];
    icon.height = v[5];
    icon.xoffset = v[6];
    icon.yoffset = v[7];
    icons.push_back(icon);
  }
  fclose(r.f);
  r.f = nullptr;

  texture = get_texture(atlas.c_str(), false);
  if (!texture) return false;
  if (icon_shader) state = new DistFontBatchState(icon_shader, icon_vdecl, int(sizeof(DistIconVertex)), texture);
  return true;
}

int DistIcons::getIconId(const char* name) const
{
  if (!name) return -1;
  for (int i = 0; i < icons.num; ++i)
    if (strcmp(icons[i].name, name) == 0) return i;
  return -1;
}

float DistIcons::getOrgW(int id) const { return id >= 0 && id < icons.num ? icons[id].orgW : 0.0f; }

float DistIcons::getOrgH(int id) const { return id >= 0 && id < icons.num ? icons[id].orgH : 0.0f; }

void DistIcons::renderIcon(RenderBatch& batch, vec4f place, float size, int id, float faceEdge, float shadowOffsetX,
                           float shadowOffsetY, float shadowEdge, D3dColor color0, D3dColor color1, D3dColor color2,
                           D3dColor color3, D3dColor color4, BaseRenderBatchState* st)
{
  if (id < 0 || id >= icons.num) return;
  if (!st) st = state;
  if (!st) return;
  const Icon& icon = icons[id];
  const D3dColor params =
      pack_params(size * float(spread), faceEdge, shadowEdge, shadowOffsetX * invScaleW, shadowOffsetY * invScaleH);

  const float x = v_extract_x(place), y = v_extract_y(place), c = v_extract_z(place), s = v_extract_w(place);
  const float X0 = icon.xoffset * size, Y0 = -icon.yoffset * size;
  const float X1 = X0 + icon.width * size, Y1 = Y0 + icon.height * size;
  const float s0 = icon.u, t0 = icon.v, s1 = icon.u + icon.width * invScaleW, t1 = icon.v + icon.height * invScaleH;
  const float local[6][4] = {{X0, Y0, s0, t0}, {X1, Y0, s1, t0}, {X1, Y1, s1, t1},
                             {X0, Y0, s0, t0}, {X1, Y1, s1, t1}, {X0, Y1, s0, t1}};

  float px[6], py[6];
  float minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int i = 0; i < 6; ++i) {
    px[i] = x + local[i][0] * c - local[i][1] * s;
    py[i] = y + local[i][0] * s + local[i][1] * c;
    if (i == 0 || px[i] < minX) minX = px[i];
    if (i == 0 || py[i] < minY) minY = py[i];
    if (i == 0 || px[i] > maxX) maxX = px[i];
    if (i == 0 || py[i] > maxY) maxY = py[i];
  }
  const float grow = float(spread);
  DistIconVertex* out = (DistIconVertex*)batch.add(
      st, make4f(minX - grow, minY - grow, maxX + grow, maxY + grow), 6 * int(sizeof(DistIconVertex)), 2);
  for (int i = 0; i < 6; ++i) {
    DistIconVertex& v = out[i];
    v.x = px[i];
    v.y = py[i];
    v.color0 = color0;
    v.params = params;
    v.u = local[i][2];
    v.v = local[i][3];
    v.color1 = color1;
    v.color2 = color2;
    v.color3 = color3;
    v.color4 = color4;
  }
}
