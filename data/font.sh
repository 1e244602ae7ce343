// Bitmap-font glyphs, flat rectangles and image quads in screen pixels.
// vs_c[16]: pixel to clip space (scale xy, offset zw); vs_c[17].xy: 1 / the
// texture size, turning texel coordinates into texture coordinates.
// Rectangles carry the texel coordinate (-1, -1) and keep their flat colour.

VARYING vec2 tc;
VARYING vec4 color;

#ifdef VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
  tc = TEXCOORD0.xy * vs_c[17].xy;
  color = COLOR0;
}
#endif

#ifdef PSH
void psh()
{
  vec4 t = tc.x < 0.0 ? vec4(1.0) : texture(s0, tc);
  out_color0 = t * color;
}
#endif
