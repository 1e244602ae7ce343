// One packed colour per cell into a 256 x 256 colour target, drawn as points.
// vs_c[16]: cell to clip space (x/128 - 1, 1 - z/128).

flat VARYING vec4 color;

#ifdef VSH
in vec4 POSITION0;  // cell x, z
in vec4 COLOR0;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
  color = COLOR0;
}
#endif

#ifdef PSH
void psh()
{
  out_color0 = color;
}
#endif
