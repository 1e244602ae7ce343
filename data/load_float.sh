// One grid value per cell into a 256 x 256 float target, drawn as points.
// vs_c[16]: cell to clip space (x/128 - 1, 1 - z/128).

flat VARYING float value;

#ifdef VSH
in vec4 POSITION0;  // cell x, z
in vec4 TEXCOORD0;  // the value

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
  value = TEXCOORD0.x;
}
#endif

#ifdef PSH
void psh()
{
  out_color0 = vec4(value, 0.0, 0.0, 1.0);
}
#endif
