// The full final pass: the scene image (s0) with the frame colour ps_c[1]
// (rgb, strength a) laid over it, weighted toward the edges of the screen
// while the strength is partial, so a flash or a fade closes in from the
// border. At strength 0 the picture passes unchanged, at 1 it is all frame
// colour. ps_c[0] = (1 / width, 1 / height, width, height).

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
void psh()
{
  vec4 c = textureLod(s0, tc, 0.0);
  vec4 frame = ps_c[1];
  float a = clamp(frame.a, 0.0, 1.0);
  // No frame colour (the usual case): the picture as it is, without the
  // blend's arithmetic on every pixel.
  if (a == 0.0) {
    out_color0 = c;
    return;
  }
  vec2 q = tc * 2.0 - 1.0;
  float edge = dot(q, q) * 0.5;  // 0 at the centre, 1 in the corners
  float k = clamp(a * (1.0 + (1.0 - a) * (edge - 0.5)), 0.0, 1.0);
  out_color0 = vec4(mix(c.rgb, frame.rgb, k), c.a);
}
#endif
