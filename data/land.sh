// Land at low quality, drawn straight into the scene image: ground colours,
// sun and sky light, and fog per vertex. With INST: the detail patches round
// the camera (see land_common.glsl). Stages: s1 normals (1024), s2 cell
// colours, s3 top colours, s4 detail. ps_c[0..12] and vs_c[30..42]: sun and
// sky registers; vs_c[8].x: fog on.

#include "land_common.glsl"
#include "land_lighting.glsl"

VARYING vec2 wxz;
VARYING vec3 fog_amount;
// The fog colour is the horizon plus the glow times this: one value
// interpolated in place of a colour.
VARYING float fog_haze;

#ifdef VSH
void vsh()
{
  vec3 p = land_position();
  gl_Position = world_to_clip(p);
  wxz = p.xz;
  vec3 eye = vs_c[7].xyz;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  fog_haze = sky_fog_haze(p - eye, vs_c[30].xyz, vs_c[37]);
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = land_normal(normal_tc_ps(wxz));
  vec3 albedo = land_albedo(color_tc_ps(wxz), wxz, n);
  vec3 lit = albedo * land_light(n, ps_c[0].xyz, ps_c[4], ps_c[5], ps_c[12], 1.0);
  vec3 fog_color = ps_c[1].rgb + ps_c[6].rgb * fog_haze;
  out_color0 = vec4(mix(lit, fog_color, fog_amount), 1.0);
}
#endif
