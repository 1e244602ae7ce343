// Textured, tinted GUI rectangles: the texture (pre-multiplied) times the
// vertex colour. Positions are screen pixels, y down, pixel centres on whole
// coordinates.

VARYING vec2 tc;
VARYING vec4 color;

#ifdef VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  vec2 p = POSITION0.xy;
  // Moved up and left by 1/64 pixel for rasterising only: an edge through a
  // pixel centre then takes the pixel on its left or top side and leaves it
  // on its right or bottom side, whatever the driver's tie rule.
  vec2 r = p - vec2(1.0 / 64.0);
  gl_Position = vec4(r.x * 2.0 * draw_pixel_offset.x - 1.0, 1.0 + r.y * 2.0 * draw_pixel_offset.y, 0.0, 1.0);
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
