// The plain final pass: the scene image (s0) with the frame colour ps_c[1]
// (rgb, strength a) laid evenly over it.

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
void psh()
{
  vec4 c = textureLod(s0, tc, 0.0);
  vec4 frame = ps_c[1];
  out_color0 = vec4(mix(c.rgb, frame.rgb, clamp(frame.a, 0.0, 1.0)), c.a);
}
#endif
