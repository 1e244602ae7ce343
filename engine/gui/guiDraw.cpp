// Rounded boxes, lines and images for the GUI batch.
#include "engine/gui/guiDraw.h"

#include <algorithm>
#include <cmath>

#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"

GuiBoxBatchState rounded_box_state;

namespace
{
Shader* ui_image_shader = nullptr;
VertexDecl ui_image_decl = nullptr;

uint32_t pack4(float r, float g, float b, float a)
{
  return (uint32_t(pack_unit_byte(a)) << 24) | (uint32_t(pack_unit_byte(r)) << 16) |
         (uint32_t(pack_unit_byte(g)) << 8) | uint32_t(pack_unit_byte(b));
}

// The six corners of a rectangle in drawing order.
void rect_corners(vec4f r, float out[6][2])
{
  const float xs[6] = {r[0], r[2], r[2], r[0], r[2], r[0]};
  const float ys[6] = {r[1], r[1], r[3], r[1], r[3], r[3]};
  for (int i = 0; i < 6; i++) {
    out[i][0] = xs[i];
    out[i][1] = ys[i];
  }
}
}  // namespace

uint8_t pack_unit_byte(float value)
{
  float v = value > 0.f ? (value < 1.f ? value : 1.f) : 0.f;
  return uint8_t(lrintf(v * 255.f));
}

void set_gui_render_states()
{
  set_blend_prealpha();
  set_zenable(false);
  set_zwrite(false);
  set_cull_mode(0);
  set_atest(0);
  set_texture_filter(0, true);
}

void GuiBoxBatchState::apply(BaseRenderBatchState* previous)
{
  StdRenderBatchState::apply(previous);
  set_gui_render_states();
}

// ------------------------------------------------------------------- boxes --

void init_rounded_box_render()
{
  static const VertexElementDesc elements[] = {
      {0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
      {8, 0, VDECL_FLOAT4, VDECL_TEXCOORD, 0},    // centre, size
      {24, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 1}, // radii
      {28, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
      {32, 0, VDECL_D3DCOLOR, VDECL_COLOR, 1},
      {36, 0, VDECL_D3DCOLOR, VDECL_TEXCOORD, 2}, // offset, spread, softness
      {40, 0, VDECL_FLOAT1, VDECL_TEXCOORD, 3},   // blur
      {0, 255, 0, 0, 0},
  };
  if (!rounded_box_state.shader) rounded_box_state.shader = create_shader("roundedBox.sh", nullptr);
  rounded_box_state.vdecl = get_vertex_decl(elements);
  rounded_box_state.stride = int(sizeof(RoundedBoxVertex));
  rounded_box_state.texture = nullptr;
}

void close_rounded_box_render()
{
  destroy_shader(rounded_box_state.shader);
  rounded_box_state.shader = nullptr;
  rounded_box_state.vdecl = nullptr;
}

void render_rounded_box(RenderBatch& batch, vec4f rect, vec4f radii, D3dColor color, float softness, float offset_x,
                        float offset_y, float spread, D3dColor color2, float blur)
{
  if (!(softness > 0.5f)) softness = 0.5f;
  vec4f cover = rect + make4f(-softness, -softness, softness, softness);
  if (blur >= 0.f) {
    float g = spread + blur;
    vec4f second = rect + make4f(offset_x - g, offset_y - g, offset_x + g, offset_y + g);
    cover = make4f(std::min(cover[0], second[0]), std::min(cover[1], second[1]), std::max(cover[2], second[2]),
                   std::max(cover[3], second[3]));
  }
  RoundedBoxVertex v;
  v.cx = (rect[0] + rect[2]) / 2.f;
  v.cy = (rect[1] + rect[3]) / 2.f;
  v.w = rect[2] - rect[0];
  v.h = rect[3] - rect[1];
  v.radii = pack4(radii[0] / 255.f, radii[1] / 255.f, radii[2] / 255.f, radii[3] / 255.f);
  v.color = color.u;
  v.color2 = color2.u;
  v.params = pack4(offset_x / 255.f + 0.5f, offset_y / 255.f + 0.5f, spread / 255.f + 0.5f, softness / 255.f);
  v.blur = blur;

  RoundedBoxVertex* out = static_cast<RoundedBoxVertex*>(batch.add(&rounded_box_state, cover, 6 * int(sizeof(v)), 2));
  float corners[6][2];
  rect_corners(cover, corners);
  for (int i = 0; i < 6; i++) {
    out[i] = v;
    out[i].x = corners[i][0];
    out[i].y = corners[i][1];
  }
}

void render_ui_line(RenderBatch& batch, vec4f line, float width, D3dColor color)
{
  float cx = (line[0] + line[2]) / 2.f, cy = (line[1] + line[3]) / 2.f;
  float hx = (line[2] - line[0]) / 2.f, hy = (line[3] - line[1]) / 2.f;
  float len = sqrtf(hx * hx + hy * hy);
  if (!(len > 0.f)) return;  // no direction to put the width across
  float s = (width / 2.f) / len;
  float nx = s * hy, ny = -s * hx;
  float ex = fabsf(hx) + fabsf(s * hy), ey = fabsf(hy) + fabsf(s * hx);

  RoundedBoxVertex v;
  v.cx = cx;
  v.cy = cy;
  v.w = 3.f * ex;
  v.h = 3.f * ey;
  v.radii = 0;
  v.color = color.u;
  v.color2 = 0;
  v.params = 0x00808080u;
  v.blur = 0.f;

  vec4f bounds = make4f(cx - ex - 0.5f, cy - ey - 0.5f, cx + ex + 0.5f, cy + ey + 0.5f);
  RoundedBoxVertex* out = static_cast<RoundedBoxVertex*>(batch.add(&rounded_box_state, bounds, 6 * int(sizeof(v)), 2));
  const float px[6] = {line[0] + nx, line[2] + nx, line[2] - nx, line[0] + nx, line[2] - nx, line[0] - nx};
  const float py[6] = {line[1] + ny, line[3] + ny, line[3] - ny, line[1] + ny, line[3] - ny, line[1] - ny};
  for (int i = 0; i < 6; i++) {
    out[i] = v;
    out[i].x = px[i];
    out[i].y = py[i];
  }
}

// ------------------------------------------------------------------ images --

void init_ui_image_render()
{
  static const VertexElementDesc elements[] = {
      {0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
      {8, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
      {12, 0, VDECL_FLOAT2, VDECL_TEXCOORD, 0},
      {0, 255, 0, 0, 0},
  };
  if (!ui_image_shader) ui_image_shader = create_shader("uiImage.sh", nullptr);
  ui_image_decl = get_vertex_decl(elements);
}

void close_ui_image_render()
{
  destroy_shader(ui_image_shader);
  ui_image_shader = nullptr;
  ui_image_decl = nullptr;
}

void init_ui_image_state(StdRenderBatchState& state, Texture texture, Shader* shader)
{
  state.shader = shader ? shader : ui_image_shader;
  state.vdecl = ui_image_decl;
  state.stride = int(sizeof(UiImageVertex));
  state.texture = texture;
}

void render_ui_image(RenderBatch& batch, StdRenderBatchState& state, vec4f rect, D3dColor color, vec4f uv)
{
  UiImageVertex* out = static_cast<UiImageVertex*>(batch.add(&state, rect, 6 * int(sizeof(UiImageVertex)), 2));
  float corners[6][2], tc[6][2];
  rect_corners(rect, corners);
  rect_corners(uv, tc);
  for (int i = 0; i < 6; i++) out[i] = {corners[i][0], corners[i][1], color.u, tc[i][0], tc[i][1]};
}
