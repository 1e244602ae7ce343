// One direction of the shadow image's blur (quarter resolution): five
// point-sampled taps of s11 with weights 1 4 6 4 1, each scaled down by how
// far its depth lies from the centre's (s9, the quarter copy of gbuf1), so
// that the shade of a far slope and the light on a nearer ridge in front of
// it do not blur into each other at the ridge's silhouette. ps_c[18].xy is
// one texel along the blur, ps_c[18].zw two texels, in texture units.

#include "screen_quad.glsl"
#include "dr_gbuffer.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
float centre_depth;

// Weight k of the tap at offset o, less the farther its depth is from the
// centre's: depth steps within a few per cent of the distance count as one
// surface, a silhouette's step hardly counts.
vec2 tap(vec2 o, float k)
{
  float d = gbuf_depth(textureLod(s9, tc + o, 0.0));
  float s = (d - centre_depth) / (0.05 * centre_depth + 0.001);
  float w = k / (1.0 + s * s);
  return vec2(textureLod(s11, tc + o, 0.0).r * w, w);
}

void psh()
{
  vec2 d1 = ps_c[18].xy, d2 = ps_c[18].zw;
  centre_depth = gbuf_depth(textureLod(s9, tc, 0.0));
  vec2 sum = tap(vec2(0.0), 6.0);
  sum += tap(-d1, 4.0) + tap(d1, 4.0);
  sum += tap(-d2, 1.0) + tap(d2, 1.0);
  float shade = sum.x / sum.y;
  out_color0 = vec4(shade, shade, shade, 1.0);
}
#endif
