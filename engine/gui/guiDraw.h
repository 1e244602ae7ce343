// The GUI's drawing primitives: boxes with rounded corners (with an optional
// offset second box behind them and soft edges), thick lines and textured,
// tinted rectangles, each added to a RenderBatch as one entry of two
// triangles. Boxes and lines share the shader "roundedBox.sh", which works
// out each pixel's coverage from the vertex parameters; images use
// "uiImage.sh". Coordinates are screen pixels, origin top-left, y down,
// pixel centres on whole coordinates.
//
// Rounded-box vertex (44 bytes): position (2 floats), box centre and size
// (4 floats), radii (4 bytes: the radii vector's components in red, green,
// blue, alpha; top-left, top-right, bottom-right, bottom-left), fill colour,
// second colour, parameters (red, green, blue: offset x, offset y, spread,
// each as value / 255 + 0.5; alpha: softness / 255), blur (float). Every
// byte is the value clamped to 0..1, times 255, rounded halves to even.
// Image vertex (20 bytes): position, colour, u, v.
//
// The GUI draws with pre-multiplied alpha, without depth or culling
// (set_gui_render_states); the box state sets them itself, images rely on
// them. Main thread only; the init functions need the device.
#pragma once

#include <cstdint>

#include "engine/color.h"
#include "engine/renderBatch.h"

struct RoundedBoxVertex
{
  float x, y;
  float cx, cy, w, h;
  uint32_t radii;
  uint32_t color;
  uint32_t color2;
  uint32_t params;
  float blur;
};
static_assert(sizeof(RoundedBoxVertex) == 44, "the rounded-box vertex is 44 bytes");

struct UiImageVertex
{
  float x, y;
  uint32_t color;
  float u, v;
};
static_assert(sizeof(UiImageVertex) == 20, "the image vertex is 20 bytes");

// The box state: binds as StdRenderBatchState does and sets the GUI states.
struct GuiBoxBatchState : StdRenderBatchState
{
  GuiBoxBatchState() : StdRenderBatchState(nullptr, nullptr, int(sizeof(RoundedBoxVertex)), nullptr) {}
  void apply(BaseRenderBatchState* previous) override;
};
extern GuiBoxBatchState rounded_box_state;

// Creates "roundedBox.sh" and the box declaration into rounded_box_state.
void init_rounded_box_render();
void close_rounded_box_render();
void render_rounded_box(RenderBatch& batch, vec4f rect, vec4f radii, D3dColor color, float softness, float offset_x,
                        float offset_y, float spread, D3dColor color2, float blur);
// A line of `width` pixels between the two points of `line` {x0, y0, x1, y1};
// a line of zero length draws nothing.
void render_ui_line(RenderBatch& batch, vec4f line, float width, D3dColor color);

void init_ui_image_render();
void close_ui_image_render();
// shader: null for "uiImage.sh". The texture is sampled as pre-multiplied.
void init_ui_image_state(StdRenderBatchState& state, Texture texture, Shader* shader);
void render_ui_image(RenderBatch& batch, StdRenderBatchState& state, vec4f rect, D3dColor color, vec4f uv);

// Pre-multiplied blending, no depth test or write, no culling, no alpha
// test, linear filtering on stage 0.
void set_gui_render_states();

// value clamped to 0..1 (a NaN to 0), times 255, rounded halves to even.
uint8_t pack_unit_byte(float value);
