#include "engine/debugDraw.h"

#include <cstring>

#include "engine/d3d_misc.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/dynVBWriter.h"

enum { PRIM_LINE_LIST = 2, PRIM_TRIANGLE_LIST = 4 };

static Shader* debug_vis_shader = nullptr;
static VertexDecl debug_vis_vdecl = nullptr;
static int debug_vis_prim = PRIM_TRIANGLE_LIST;

static const VertexElementDesc debug_vis_elements[] = {
    {0, 0, VDECL_FLOAT3, VDECL_POSITION, 0},
    {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
    {0, 255, 0, 0, 0},
};

void init_debug_vis()
{
  debug_vis_vdecl = get_vertex_decl(debug_vis_elements);
  debug_vis_shader = create_shader("debug_vis.sh", nullptr);
}

void close_debug_vis()
{
  destroy_shader(debug_vis_shader);
  debug_vis_shader = nullptr;
}

void start_draw_debug_vis()
{
  set_vertex_decl(debug_vis_vdecl);
  set_vb(0, common_vb_writer.vb, 0, int(sizeof(DebugVisVertex)));
  set_shader(debug_vis_shader);
  set_cull_mode(0);
  debug_vis_prim = PRIM_TRIANGLE_LIST;
  common_vb_writer.begin(dyn_vb_draw_triangles, PRIM_TRIANGLE_LIST);
}

void end_draw_debug_vis()
{
  common_vb_writer.flush(true);
  set_cull_mode(1);
}

// Room for one primitive of the given type and vertex count, drawing what
// was written first when the type changes or the buffer is full.
static DebugVisVertex* reserve(int prim, int verts)
{
  DynVBWriter& w = common_vb_writer;
  if (prim != debug_vis_prim) {
    w.flush(true);
    w.begin(dyn_vb_draw_triangles, prim);
    debug_vis_prim = prim;
  }
  const int bytes = verts * int(sizeof(DebugVisVertex));
  if (w.bytesWritten() + bytes > w.size) w.flush(false);
  DebugVisVertex* v = (DebugVisVertex*)w.ptr;
  w.ptr += bytes;
  w.count += 1;
  return v;
}

static DebugVisVertex vertex(vec4f p, D3dColor c) { return {p[0], p[1], p[2], c.u}; }

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc)
{
  const DebugVisVertex v[3] = {vertex(a, ca), vertex(b, cb), vertex(c, cc)};
  memcpy(reserve(PRIM_TRIANGLE_LIST, 3), v, sizeof(v));
}

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor color) { draw_debug_vis_tri(a, b, c, color, color, color); }

void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb)
{
  const DebugVisVertex v[2] = {vertex(a, ca), vertex(b, cb)};
  memcpy(reserve(PRIM_LINE_LIST, 2), v, sizeof(v));
}

void draw_debug_vis_line(vec4f a, vec4f b, D3dColor color) { draw_debug_vis_line(a, b, color, color); }

// Corner i of the box: bit 0 picks max x, bit 1 max y, bit 2 max z.
static vec4f corner(vec4f lo, vec4f hi, int i)
{
  return make4f((i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2], 1.0f);
}

void draw_debug_vis_solid_box(vec4f a, vec4f b, D3dColor color, float margin)
{
  const vec4f lo = v_min(a, b) - v_splat(margin);
  const vec4f hi = v_max(a, b) + v_splat(margin);
  // Each face as four corners round its edge.
  static const int faces[6][4] = {
      {0, 2, 6, 4}, {1, 5, 7, 3},  // -x, +x
      {0, 4, 5, 1}, {2, 3, 7, 6},  // -y, +y
      {0, 1, 3, 2}, {4, 6, 7, 5},  // -z, +z
  };
  for (const auto& f : faces) {
    vec4f p0 = corner(lo, hi, f[0]), p1 = corner(lo, hi, f[1]), p2 = corner(lo, hi, f[2]), p3 = corner(lo, hi, f[3]);
    draw_debug_vis_tri(p0, p1, p2, color);
    draw_debug_vis_tri(p0, p2, p3, color);
  }
}

void draw_debug_vis_cube(vec4f centre, float size, D3dColor color) { draw_debug_vis_solid_box(centre, centre, color, size); }

void draw_debug_vis_wire_box(vec4f a, vec4f b, D3dColor color)
{
  const vec4f lo = v_min(a, b), hi = v_max(a, b);
  // Every pair of corners that differ in exactly one axis.
  for (int i = 0; i < 8; ++i)
    for (int axis = 1; axis < 8; axis <<= 1)
      if (!(i & axis)) draw_debug_vis_line(corner(lo, hi, i), corner(lo, hi, i | axis), color);
}

void draw_debug_vis_cross_point(vec4f p, float size, D3dColor color)
{
  draw_debug_vis_line(p - make4f(size, 0, 0, 0), p + make4f(size, 0, 0, 0), color);
  draw_debug_vis_line(p - make4f(0, size, 0, 0), p + make4f(0, size, 0, 0), color);
  draw_debug_vis_line(p - make4f(0, 0, size, 0), p + make4f(0, 0, size, 0), color);
}
