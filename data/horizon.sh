// Far land beyond the main land disk, drawn at high quality into the scene
// image where nothing nearer was drawn: cell colours lit by the normals and
// fogged toward the sky. The positions sink with distance (done on the CPU).
// POSITION0 = (x, z), POSITION1.x = height. Stages: s2 cell colours, s5
// normals (1024). The constant registers are the scene's: vs_c[0..3] view-
// projection, vs_c[7] camera, vs_c[8].x fog on, vs_c[30..42] and
// ps_c[0..12] sun and sky.

#include "land_lighting.glsl"

VARYING vec2 tc_col;
VARYING vec2 tc_nrm;
VARYING vec3 fog_amount;
VARYING vec3 view_vec;

#ifdef VSH
in vec4 POSITION0;
in vec4 POSITION1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  tc_col = p.xz * (1.0 / 256.0) + 1.0 / 512.0;
  tc_nrm = p.xz * (1.0 / 256.0) + 1.0 / 2048.0;
  vec3 eye = vs_c[7].xyz;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  view_vec = p - eye;
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = normalize(textureLod(s5, tc_nrm, 0.0).xyz * 2.0 - 1.0);
  vec3 albedo = textureLod(s2, tc_col, 0.0).rgb;
  vec3 lit = albedo * land_light(n, ps_c[0].xyz, ps_c[4], ps_c[5], ps_c[12], 1.0);
  out_color0 = vec4(mix(lit, sky_fog_color(view_vec, ps_c[0].xyz, ps_c[1], ps_c[6], ps_c[7]), fog_amount), 1.0);
}
#endif
