// Instanced objects at low quality, straight into the scene image: lit per
// vertex by the sun and the sky (vs_c[30..42]), fogged like the land. With
// BUILDING: house and castle tiles. See inst_common.glsl.

#include "inst_common.glsl"
#include "land_lighting.glsl"

VARYING vec3 color;
VARYING vec3 fog_amount;
VARYING vec3 fog_color;

#ifdef VSH
void vsh()
{
  vec3 p, n, albedo;
  float emission;
  inst_vertex(p, n, albedo, emission);
  gl_Position = inst_world_to_clip(p);
  vec3 lit = albedo * land_light(n, vs_c[30].xyz, vs_c[34], vs_c[35], vs_c[42], 1.0);
  color = mix(lit, albedo, emission);
  vec3 eye = vs_c[7].xyz;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  fog_color = vs_c[31].rgb + vs_c[36].rgb * sky_fog_haze(p - eye, vs_c[30].xyz, vs_c[37]);
}
#endif

#ifdef PSH
void psh() { out_color0 = vec4(mix(color, fog_color, fog_amount), 1.0); }
#endif
