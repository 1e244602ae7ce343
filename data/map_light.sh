// World map, last pass at high quality: shading from the latest aperture
// (s0: open direction and open share of the sky), multiplied into the map,
// lit from the upper left of the map and darkened in hollows.

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec4 aper = texture(s0, tc);
  vec3 axis = normalize(aper.xyz * 2.0 - 1.0);
  float side = dot(axis, normalize(vec3(-1.0, 1.5, -1.0)));
  float l = clamp((0.45 + 0.5 * side) * (0.4 + 0.6 * aper.a), 0.0, 1.0);
  out_color0 = vec4(vec3(l), 1.0);
}
#endif
