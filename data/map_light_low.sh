// World map, last pass at low quality: shading from the latest normals (s0),
// multiplied into the map, lit from the upper left of the map.

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec3 n = normalize(texture(s0, tc).xyz * 2.0 - 1.0);
  float l = clamp(0.45 + 0.5 * dot(n, normalize(vec3(-1.0, 1.5, -1.0))), 0.0, 1.0);
  out_color0 = vec4(vec3(l), 1.0);
}
#endif
