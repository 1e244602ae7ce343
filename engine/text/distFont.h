// Distance-field fonts and icons: scalable text and icons drawn from
// signed-distance-field atlases into a RenderBatch, so they interleave with
// the GUI's other batched primitives.
//
// A DistFont reads a text descriptor (face line, common line, one page,
// glyph metrics, kerning pairs) and the page's DDS atlas; a DistIcons reads
// an icon descriptor (atlas line, named icons) and its DDS atlas. Atlases
// come through the shared texture cache. Descriptors are untrusted: load
// checks every line and number and returns false (with a log line naming
// the file and line) for anything it cannot use; whatever was read before
// the bad line stays loaded.
//
// Each quad carries packed shading parameters read by "distfont.sh" and
// "disticon.sh": a face threshold (alpha), a second-layer threshold (blue)
// and the second layer's texture offset (red, green; 0.5 - 32 x offset), the
// second layer being for example a drop shadow. Coordinates are screen
// pixels, origin top-left, y downward. Draw a batch holding these quads
// between start_dist_font_render and end_dist_font_render.
//
// The game's shared instances are default_font and ui_icons (gameobjExports)
// and the plug-in uses these classes directly, so their field layouts are
// part of its contract. Main thread only; init_dist_fonts, init_dist_icons,
// load and drawing need the device.
#pragma once

#include "engine/color.h"
#include "engine/d3d_misc.h"
#include "engine/dynArray.h"
#include "engine/renderBatch.h"
#include "engine/vec4f.h"

// The batch state of distance-field quads: binds exactly as
// StdRenderBatchState does; the render states come from
// start_dist_font_render.
struct DistFontBatchState : StdRenderBatchState
{
  DistFontBatchState(Shader* shader_, VertexDecl vdecl_, int stride_, Texture texture_)
      : StdRenderBatchState(shader_, vdecl_, stride_, texture_) {}
  ~DistFontBatchState() override {}
  void apply(BaseRenderBatchState* previous) override;
  void flush() override;
};

// Font vertex, 28 bytes: position, text colour, second-layer colour,
// texture coordinate, packed parameters.
struct DistFontVertex
{
  float x, y;
  D3dColor color, color2;
  float u, v;
  D3dColor params;
};
static_assert(sizeof(DistFontVertex) == 28, "font vertices are 28 bytes");

// Icon vertex, 40 bytes: position, first colour, packed parameters,
// texture coordinate, second to fifth colours.
struct DistIconVertex
{
  float x, y;
  D3dColor color0, params;
  float u, v;
  D3dColor color1, color2, color3, color4;
};
static_assert(sizeof(DistIconVertex) == 40, "icon vertices are 40 bytes");

// Alignment codes of renderText: horizontal in bits 0-1, vertical in 2-3.
enum
{
  DIST_ALIGN_LEFT = 1,
  DIST_ALIGN_RIGHT = 2,
  DIST_ALIGN_TOP = 4,
  DIST_ALIGN_BOTTOM = 8,  // neither bit of a pair: centred
};

class DistFont
{
public:
  struct Glyph
  {
    float u, v;  // atlas position / atlas size
    float width, height, xoffset, yoffset, xadvance;  // atlas pixels
  };
  struct CharRange
  {
    int firstId, endId, firstIndex;  // codes firstId..endId-1 -> glyphs firstIndex..
  };
  struct Kerning
  {
    int second;
    float amount;
  };
  struct KernRange
  {
    int first, startIndex, count;
  };

  int size;        // font size the atlas was made for
  int spread;      // distance-field spread in atlas pixels
  int lineHeight;  // pixels between baselines at `size`
  float invScaleW, invScaleH;
  Texture texture;
  DistFontBatchState* state;  // null while the shared shader is missing
  DynArray<Glyph> chars;
  DynArray<CharRange> charRanges;
  DynArray<Kerning> kernings;
  DynArray<KernRange> kernRanges;

  DistFont();
  ~DistFont();
  DistFont(const DistFont&) = delete;
  DistFont& operator=(const DistFont&) = delete;

  // Reads the descriptor at `path` (relative to the program's folder) and
  // its atlas "<page file>.dds". False for a missing file (nothing changes),
  // a bad line, a premature end or a missing atlas.
  bool load(const char* path);
  void clear();

  // The glyph of a character code, null when the font has none.
  const Glyph* findGlyph(int code) const;
  // The kerning between two codes; 0 when the pair has none.
  float getKerning(int first, int second) const;

  // The ink box (x0, y0, x1, y1) of a text in font units at `size`,
  // relative to the pen's start on the first baseline. A negative length
  // means up to the terminating zero.
  vec4f calcTextBox(const char* text, int length, int* glyphCount = nullptr) const;
  // Appends the text's quads to the batch, placed in rect by align (see the
  // DIST_ALIGN codes), size being the wanted font size in pixels. The edge
  // values are in screen pixels (faceEdge 0: the face edge where the glyph
  // outline is; positive values grow it), the shadow offsets in percent of
  // the font size. A null state means the font's own.
  void renderText(RenderBatch& batch, vec4f rect, int align, D3dColor color, float size, const char* text,
                  int length, float faceEdge, float shadowOffsetX, float shadowOffsetY, float shadowEdge,
                  D3dColor shadowColor, BaseRenderBatchState* state);
};

class DistIcons
{
public:
  struct Icon
  {
    char* name;  // owned
    float u, v, width, height, xoffset, yoffset, orgW, orgH;
  };

  int spread;
  float invScaleW, invScaleH;
  Texture texture;
  DistFontBatchState* state;
  DynArray<Icon> icons;

  DistIcons();
  ~DistIcons();
  DistIcons(const DistIcons&) = delete;
  DistIcons& operator=(const DistIcons&) = delete;

  bool load(const char* path);
  void clear();

  int getIconId(const char* name) const;  // -1 when absent
  float getOrgW(int id) const;            // 0 for an id outside the set
  float getOrgH(int id) const;
  // One icon quad at place = (x, y, cos, sin) of its rotation, scaled by
  // size screen pixels per atlas pixel. Offsets are in atlas pixels. An id
  // outside the set draws nothing.
  void renderIcon(RenderBatch& batch, vec4f place, float size, int id, float faceEdge, float shadowOffsetX,
                  float shadowOffsetY, float shadowEdge, D3dColor color0, D3dColor color1, D3dColor color2,
                  D3dColor color3, D3dColor color4, BaseRenderBatchState* state);
};

// The shared shaders and vertex declarations; run before load for the
// loaded object to get a batch state.
void init_dist_fonts();
void init_dist_icons();

// Render states around a batch of distance-field quads: pixel-to-clip
// constants in vertex register 16, no culling, no depth, pre-multiplied
// alpha blending, wrap addressing on stage 0; and back.
void start_dist_font_render();
void end_dist_font_render();

// One packed-parameter byte: 255 x clamp(value, 0, 1), rounded.
uint32_t dist_param_byte(float value);
