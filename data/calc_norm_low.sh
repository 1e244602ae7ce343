// Land normals from the height texture (s0) by central differences over one
// cell each way (ps_c[0].xy: one cell in texture units). Stored as
// n * 0.5 + 0.5 with y up; alpha 1.

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec2 d = ps_c[0].xy;
  float hl = land_height(tc - vec2(d.x, 0.0));
  float hr = land_height(tc + vec2(d.x, 0.0));
  float hd = land_height(tc - vec2(0.0, d.y));
  float hu = land_height(tc + vec2(0.0, d.y));
  vec3 n = normalize(vec3(hl - hr, 2.0, hd - hu));
  out_color0 = vec4(n * 0.5 + 0.5, 1.0);
}
#endif
