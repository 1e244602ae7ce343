// Debug drawing: coloured triangles, lines and boxes in world space, drawn
// immediately for debugging. The scene paths open a block
// (start_draw_debug_vis ... end_draw_debug_vis) in which the plug-in draws
// its objects' debug shapes with the current view and projection constants
// (vertex-shader registers 0-3 hold the view-projection matrix's rows).
// Primitives stream into common_vb_writer; changing between triangles and
// lines draws what was written first, so runs of one kind share a draw.
// Points are vec4f of which x, y and z are used. Main thread only.
#pragma once

#include "engine/color.h"
#include "engine/vec4f.h"

// One vertex: position, colour 0xAARRGGBB.
struct DebugVisVertex
{
  float x, y, z;
  uint32_t color;
};
static_assert(sizeof(DebugVisVertex) == 16, "debug vertices are 16 bytes");

void init_debug_vis();
void close_debug_vis();
void start_draw_debug_vis();
void end_draw_debug_vis();

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc);
void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor color);
void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb);
void draw_debug_vis_line(vec4f a, vec4f b, D3dColor color);
// The axis-aligned box from min(a, b) - margin to max(a, b) + margin, as 12
// triangles; corners may be given in any order.
void draw_debug_vis_solid_box(vec4f a, vec4f b, D3dColor color, float margin);
// A solid cube of half-edge `size` round the centre.
void draw_debug_vis_cube(vec4f centre, float size, D3dColor color);
// The 12 edges of the box from min(a, b) to max(a, b).
void draw_debug_vis_wire_box(vec4f a, vec4f b, D3dColor color);
// Three lines through p, from p - size to p + size along x, y and z.
void draw_debug_vis_cross_point(vec4f p, float size, D3dColor color);
