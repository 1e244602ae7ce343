// World map, first pass: the ground colour of every map pixel, the cell
// colour (s0) with the top colour (s1) laid over it by its alpha, lightly
// grained by the detail texture (s2). Map pixel k lies at cell coordinate
// k / 2 (vs_c[16], vs_c[17] as in the height passes).

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec4 base = texture(s0, tc);
  vec4 top = texture(s1, tc);
  float grain = texture(s2, tc * 16.0).g - 0.5;
  vec3 col = mix(base.rgb, top.rgb, top.a) * (1.0 + 0.25 * grain);
  out_color0 = vec4(col, 1.0);
}
#endif
