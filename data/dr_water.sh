// Water at high quality, into G-buffer targets 0 and 1 (dr_gbuffer.glsl):
// the ground behind it (s8, a copy of the G-buffer colours) bent by the
// surface normal and tinted by the water, the sky reflected toward the eye,
// and drifting foam. The reflection lights itself (emission); the ground
// seen through the water is lit by the light pass with its own normal.
// POSITION0 = (x, z), POSITION1.x = surface, TEXCOORD0 = the two foam
// coordinate pairs, TEXCOORD1 = (256 * foam, 256 * speed^2).
// Stages: s1 normals (1024), s4 foam, s8 the colours behind. ps_c[12].x:
// weight of the first foam pair; ps_c[13]: screen position to texture
// coordinates; ps_c[0..11]: sun and sky registers.

#include "dr_gbuffer.glsl"

VARYING vec2 tc_nrm;
VARYING vec4 foam_tc;
VARYING vec2 foam_speed;
VARYING vec3 to_eye;
VARYING vec4 clip_pos;
VARYING float view_depth;

#ifdef VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;

void vsh()
{
  vec3 p = vec3(POSITION0.x, POSITION1.x, POSITION0.y);
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  clip_pos = gl_Position;
  tc_nrm = p.xz * vs_c[16].xy + vs_c[16].ww;
  foam_tc = TEXCOORD0 * 0.125;  // the foam texture repeats every 8 cells
  foam_speed = TEXCOORD1.xy * (1.0 / 256.0);
  to_eye = vs_c[7].xyz - p;
  view_depth = gbuf_view_depth(p);
}
#endif

#ifdef PSH
void psh()
{
  vec3 n = normalize(textureLod(s1, tc_nrm, 0.0).xyz * 2.0 - 1.0);
  vec3 v = normalize(to_eye);
  vec3 r = reflect(-v, n);
  vec2 screen = clip_pos.xy / clip_pos.w * ps_c[13].xy + ps_c[13].zw;
  // The ground a little aside, as the bent surface shows it; where that
  // falls outside anything drawn (the G-buffer's white clear colour, past the
  // edge of the land), the ground straight behind, and past the edge of the
  // land disk a plain sea floor.
  // Where nothing was drawn straight behind, the G-buffer holds no ground
  // normal for this pixel either, and the light pass is told so.
  vec3 straight = textureLod(s8, screen, 0.0).rgb;
  bool over_ground = min(straight.r, min(straight.g, straight.b)) <= 0.999;
  vec3 behind = textureLod(s8, screen + n.xz * 0.015, 0.0).rgb;
  if (min(behind.r, min(behind.g, behind.b)) > 0.999) behind = straight;
  if (!over_ground && min(behind.r, min(behind.g, behind.b)) > 0.999) behind = vec3(0.35, 0.33, 0.25);

  float fresnel = 0.02 + 0.98 * pow(1.0 - max(dot(n, v), 0.0), 5.0);
  vec3 sky = ps_c[1].rgb + ps_c[2].rgb * exp(-ps_c[3].rgb / max(r.y, 0.05));
  vec3 col = mix(behind * vec3(0.45, 0.7, 0.75), vec3(0.02, 0.09, 0.12), 0.3);
  col = mix(col, sky, fresnel);

  float w = clamp(ps_c[12].x, 0.0, 1.0);
  float pattern = texture(s4, foam_tc.xy).a * w + texture(s4, foam_tc.zw).a * (1.0 - w);
  float foam = clamp(foam_speed.x * 1.5 + foam_speed.y * 0.05, 0.0, 1.0) * pattern;
  col = mix(col, vec3(0.9), foam);
  gbuf_write_fluid(col, fresnel * (1.0 - foam), view_depth, 0.9 * (1.0 - foam), over_ground);
}
#endif
