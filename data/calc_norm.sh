// Land normals from the height texture (s0) by central differences over one
// cell each way (ps_c[0].xy: one cell in texture units), as at low quality.
// Stored as n * 0.5 + 0.5 with y up; alpha holds the hollowness of the spot
// (0.5 on a slope or plane, more in hollows and creases, less on ridges),
// which the deferred land shading uses to darken creases.

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec2 d = ps_c[0].xy;
  float hl = land_height(tc - vec2(d.x, 0.0));
  float hr = land_height(tc + vec2(d.x, 0.0));
  float hd = land_height(tc - vec2(0.0, d.y));
  float hu = land_height(tc + vec2(0.0, d.y));
  float hc = land_height(tc);
  vec3 n = normalize(vec3(hl - hr, 2.0, hd - hu));
  float hollow = clamp(0.5 + ((hl + hr + hd + hu) * 0.25 - hc) * 0.5, 0.0, 1.0);
  out_color0 = vec4(n * 0.5 + 0.5, hollow);
}
#endif
