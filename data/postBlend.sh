// The effects laid over the scene image: the effect target (s0) holds
// premultiplied light and the cover of the blended particles, drawn with
// blending (ONE, INVSRCALPHA). vs_c[16]: see screen_quad.glsl.

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
void psh() { out_color0 = textureLod(s0, tc, 0.0); }
#endif
