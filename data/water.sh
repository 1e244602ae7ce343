// Water at low quality, blended over the land: the sky reflected by the
// surface normal, a dark body colour, the sun's glint and the water's foam.
// POSITION0 = (x, z), POSITION1.x = the water surface, TEXCOORD1.x = foam
// (0..1). Stage s1: normals of the heights with fluid (1024).
// ps_c[0..12] and vs_c[30..42]: sun and sky registers; vs_c[8].x: fog on.

#include "land_lighting.glsl"

VARYING vec2 tc_nrm;
VARYING vec3 to_eye;
VARYING float foam;
VARYING vec3 fog_amount;

#ifdef VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  tc_nrm = p.xz * vs_c[16].xy + vs_c[16].ww;
  vec3 eye = vs_c[7].xyz;
  to_eye = eye - p;
  foam = TEXCOORD1.x;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = normalize(textureLod(s1, tc_nrm, 0.0).xyz * 2.0 - 1.0);
  vec3 v = normalize(to_eye);
  vec3 l = ps_c[0].xyz;
  vec3 r = reflect(-v, n);
  float c = max(dot(n, v), 0.0);
  float fresnel = 0.02 + 0.98 * pow(1.0 - c, 5.0);
  vec3 sky = ps_c[1].rgb + ps_c[2].rgb * exp(-ps_c[3].rgb / max(r.y, 0.05));
  vec3 light = land_light(n, l, ps_c[4], ps_c[5], ps_c[12], 1.0);
  vec3 body = vec3(0.03, 0.11, 0.14) * light;
  vec3 col = mix(body, sky, fresnel);
  col += ps_c[4].rgb * pow(max(dot(r, l), 0.0), 120.0);
  float f = clamp(foam, 0.0, 1.0);
  col = mix(col, vec3(0.85) * light, f);
  float alpha = clamp(0.6 + 0.4 * fresnel + f, 0.0, 1.0);
  out_color0 = vec4(mix(col, sky_fog_color(-to_eye, ps_c[0].xyz, ps_c[1], ps_c[6], ps_c[7]), fog_amount), alpha);
}
#endif
