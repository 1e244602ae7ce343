// MLAA edges: r = 1 where the pixel's luma differs from the pixel below it,
// g = 1 where it differs from the pixel to its right. s0: the scene image
// (clamped, so the screen border has no edges); vs_c[17].xy: one pixel.
// With NEAR_ONLY pixels far from every edge are discarded (see below).

#include "screen_quad.glsl"

flat VARYING vec2 one_pixel;

#ifdef VSH
void vsh()
{
  screen_quad();
  one_pixel = vs_c[17].xy;
}
#endif

#ifdef PSH
const float EDGE_THRESHOLD = 0.1;

float luma(vec2 p)
{
  return dot(textureLod(s0, p, 0.0).rgb, vec3(0.299, 0.587, 0.114));
}

void psh()
{
  float c = luma(tc);
  float below = luma(tc + vec2(0.0, one_pixel.y));
  float right = luma(tc + vec2(one_pixel.x, 0.0));
#ifdef NEAR_ONLY
  // Only pixels on an edge of their own or of the pixel above or to the left
  // (the edges the blend reads for them) are kept, and marked in the stencil
  // for the later passes; the target is cleared to no edges beforehand. Half
  // the threshold keeps every such pixel whatever the rounding.
  float above = luma(tc - vec2(0.0, one_pixel.y));
  float left = luma(tc - vec2(one_pixel.x, 0.0));
  float most = max(max(abs(c - below), abs(c - right)), max(abs(above - c), abs(left - c)));
  if (most <= EDGE_THRESHOLD * 0.5) discard;
#endif
  out_color0 = vec4(abs(c - below) > EDGE_THRESHOLD ? 1.0 : 0.0, abs(c - right) > EDGE_THRESHOLD ? 1.0 : 0.0, 0.0, 0.0);
}
#endif
