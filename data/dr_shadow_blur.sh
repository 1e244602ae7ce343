// One direction of the shadow image's blur (quarter resolution): five
// point-sampled taps of s11 with weights 1 4 6 4 1. ps_c[18].xy is one texel
// along the blur, ps_c[18].zw two texels, in texture units.

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
void psh()
{
  vec2 d1 = ps_c[18].xy, d2 = ps_c[18].zw;
  vec4 sum = textureLod(s11, tc, 0.0) * 6.0;
  sum += (textureLod(s11, tc - d1, 0.0) + textureLod(s11, tc + d1, 0.0)) * 4.0;
  sum += textureLod(s11, tc - d2, 0.0) + textureLod(s11, tc + d2, 0.0);
  out_color0 = sum * (1.0 / 16.0);
}
#endif
