// Lava at low quality: glowing melt under a broken crust that thins where the
// lava runs deep. POSITION0 = (x, z), POSITION1.x = the lava surface,
// TEXCOORD1.x = depth of the lava over the ground. Stages: s1 normals
// (1024), s4 detail. ps_c[0..12] and vs_c[30..42]: sun and sky registers;
// vs_c[8].x: fog on.

#include "land_lighting.glsl"

VARYING vec2 tc_nrm;
VARYING vec2 wxz;
VARYING float depth;
VARYING vec3 fog_amount;
VARYING vec3 view_vec;

#ifdef VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  tc_nrm = p.xz * vs_c[16].xy + vs_c[16].ww;
  wxz = p.xz;
  depth = TEXCOORD1.x;
  vec3 eye = vs_c[7].xyz;
  // The glow shows through the fog more than lit ground does.
  fog_amount = vs_c[8].x > 0.0 ? 0.6 * sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  view_vec = p - eye;
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = normalize(textureLod(s1, tc_nrm, 0.0).xyz * 2.0 - 1.0);
  float crack = texture(s4, wxz * 0.25).a;
  float crust = smoothstep(0.42, 0.62, crack) * clamp(1.2 - depth, 0.2, 1.0);
  vec3 hot = vec3(1.0, 0.32, 0.05) * (1.4 + min(depth, 1.0));
  vec3 cold = vec3(0.09, 0.06, 0.05) * land_light(n, ps_c[0].xyz, ps_c[4], ps_c[5], ps_c[12], 1.0);
  vec3 col = mix(hot, cold, crust);
  out_color0 = vec4(mix(col, sky_fog_color(view_vec, ps_c[0].xyz, ps_c[1], ps_c[6], ps_c[7]), fog_amount), 1.0);
}
#endif
