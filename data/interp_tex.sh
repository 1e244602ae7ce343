// Blend of the two members of a ping-pong texture pair:
// previous (s0) + (current (s1) - previous) * ps_c[0].
// vs_c[16]: clip space to texel centres of the target's size.

VARYING vec2 tc;

#ifdef VSH
in vec4 POSITION0;

// See land_height_pass.glsl: covers the target's first row and column.
const vec2 EDGE_NUDGE = vec2(-1.0 / 4096.0, 1.0 / 4096.0);

void vsh()
{
  vec2 p = POSITION0.xy + EDGE_NUDGE;
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vs_c[16].xy + vs_c[16].zw;
}
#endif

#ifdef PSH
void psh()
{
  vec4 a = texture(s0, tc);
  vec4 b = texture(s1, tc);
  out_color0 = a + (b - a) * ps_c[0];
}
#endif
