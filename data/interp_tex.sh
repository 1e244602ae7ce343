// Blend of the two members of a ping-pong texture pair:
// previous (s0) + (current (s1) - previous) * ps_c[0].
// vs_c[16]: clip space to texel centres of the target's size.

VARYING vec2 tc;

#ifdef VSH
in vec4 POSITION0;

void vsh()
{
  // An eighth of a pixel up and left: the target's first row and column lie
  // on the quad's edges and must be covered (see land_height_pass.glsl).
  vec2 p = POSITION0.xy - 0.25 * draw_pixel_offset.xy;
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vs_c[16].xy + vs_c[16].zw;
}
#endif

#ifdef PSH
void psh()
{
  // Target and pair have one size, so each pixel reads its own texel: the
  // texel at tc, fetched without filtering.
  ivec2 texel = ivec2(gl_FragCoord.xy);
  vec4 a = texelFetch(s0, texel, 0);
  vec4 b = texelFetch(s1, texel, 0);
  out_color0 = a + (b - a) * ps_c[0];
}
#endif
