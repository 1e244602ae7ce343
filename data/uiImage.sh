// Textured, tinted GUI rectangles: the texture (pre-multiplied) times the
// vertex colour. Positions are screen pixels, y down, pixel centres on whole
// coordinates.

VARYING vec2 tc;
VARYING vec4 color;

#ifdef VSH
#include "gui_common.glsl"

in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  vec2 p = POSITION0.xy;
  vec2 r = gui_raster_pos(p);
  gl_Position = gui_clip_pos(r);
  tc = TEXCOORD0.xy;
  color = COLOR0;
}
#endif

#ifdef PSH
void psh()
{
  out_color0 = texture(s0, tc) * color;
}
#endif
