// Land at high quality, into the G-buffer (dr_gbuffer.glsl): ground colour,
// normal, the sky the ground sees (aperture, darker in creases) and its view
// depth; the light pass lights it. With INST: the detail patches round the
// camera (land_common.glsl). Stages: s0 aperture (256), s1 normals (1024),
// s2 cell colours, s3 top colours, s4 detail.

#include "land_common.glsl"
#include "dr_gbuffer.glsl"

VARYING vec2 tc_col;
VARYING vec2 tc_nrm;
VARYING vec2 wxz;
VARYING float view_depth;

#ifdef VSH
void vsh()
{
  vec3 p = land_position();
  gl_Position = world_to_clip(p);
  tc_col = color_tc(p.xz);
  tc_nrm = normal_tc(p.xz);
  wxz = p.xz;
  view_depth = gbuf_view_depth(p);
}
#endif

#ifdef PSH
void psh()
{
  vec4 nt = textureLod(s1, tc_nrm, 0.0);
  vec3 n = normalize(nt.xyz * 2.0 - 1.0);
  vec3 albedo = land_albedo(tc_col, wxz, n);
  // The normal texture's alpha is 0.5 on open ground (stored as 128 / 255)
  // and more in creases.
  float crease = clamp((nt.a - 0.51) * 4.0, 0.0, 0.5);
  float aperture = textureLod(s0, tc_col, 0.0).a * (1.0 - crease);
  gbuf_write(albedo, 0.0, view_depth, 0.04, n, aperture);
}
#endif
