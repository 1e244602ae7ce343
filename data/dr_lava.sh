// Lava at high quality, into the G-buffer (dr_gbuffer.glsl): glowing melt
// that lights itself, under a crust that drifts with the flow (the foam
// coordinates) and thins where the lava runs deep. POSITION0 = (x, z),
// POSITION1.x = surface, TEXCOORD0 = the two foam coordinate pairs,
// TEXCOORD1 = (1024 * depth over the ground, 256 * speed^2).
// Stages: s0 aperture (256), s1 normals (1024), s3 detail, s4 lava.
// ps_c[12].x: weight of the first coordinate pair.

#include "dr_gbuffer.glsl"

VARYING vec2 tc_nrm;
VARYING vec2 tc_col;
VARYING vec4 flow_tc;
VARYING vec2 depth_speed;
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
  tc_nrm = p.xz * vs_c[16].xy + vs_c[16].ww;
  tc_col = p.xz * vs_c[16].xy + vs_c[16].zz;
  flow_tc = TEXCOORD0 * 0.0625;  // the lava texture repeats every 16 cells
  depth_speed = TEXCOORD1.xy * vec2(1.0 / 1024.0, 1.0 / 256.0);
  view_depth = gbuf_view_depth(p);
}
#endif

#ifdef PSH
void psh()
{
  // The surfaces that close the shores come down to the ground at the dry
  // cells round the lava. Where the lava is thinner than the depth can tell
  // from the ground it lies on the ground itself: drawn, it would glow in
  // lines along the edges of the land's triangles.
  if (depth_speed.x < 1.0 / 128.0) discard;
  vec3 n = normalize(textureLod(s1, tc_nrm, 0.0).xyz * 2.0 - 1.0);
  float w = clamp(ps_c[12].x, 0.0, 1.0);
  vec4 melt = texture(s4, flow_tc.xy) * w + texture(s4, flow_tc.zw) * (1.0 - w);
  float grain = texture(s3, tc_col * 32.0).a;
  float depth = depth_speed.x;
  float crust = smoothstep(0.4, 0.7, melt.a * 0.8 + grain * 0.2) * clamp(1.3 - depth, 0.15, 1.0);
  vec3 hot = melt.rgb * (1.2 + min(depth, 1.0) + min(depth_speed.y, 1.0));
  vec3 col = mix(hot, vec3(0.08, 0.06, 0.05), crust);
  gbuf_write(col, 1.0 - crust, view_depth, 0.1 * crust, n, textureLod(s0, tc_col, 0.0).a);
}
#endif
