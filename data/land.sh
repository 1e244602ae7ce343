// Land at low quality, drawn straight into the scene image: ground colours,
// sun and sky light, and fog per vertex. With INST: the detail patches round
// the camera (see land_common.glsl). Stages: s1 normals (1024), s2 cell
// colours, s3 top colours, s4 detail. ps_c[0..12] and vs_c[30..42]: sun and
// sky registers; vs_c[8].x: fog on.

#include "land_common.glsl"
#include "land_lighting.glsl"

VARYING vec2 tc_col;
VARYING vec2 tc_nrm;
VARYING vec2 wxz;
VARYING vec3 fog_amount;
VARYING vec3 fog_color;

#ifdef VSH
void vsh()
{
  vec3 p = land_position();
  gl_Position = world_to_clip(p);
  tc_col = color_tc(p.xz);
  tc_nrm = normal_tc(p.xz);
  wxz = p.xz;
  vec3 eye = vs_c[7].xyz;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  fog_color = sky_fog_color(p - eye, vs_c[30].xyz, vs_c[31], vs_c[36], vs_c[37]);
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = land_normal(tc_nrm);
  vec3 albedo = land_albedo(tc_col, wxz, n);
  vec3 lit = albedo * land_light(n, ps_c[0].xyz, ps_c[4], ps_c[5], ps_c[12], 1.0);
  out_color0 = vec4(mix(lit, fog_color, fog_amount), 1.0);
}
#endif
