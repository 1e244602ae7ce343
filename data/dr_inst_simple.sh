// Instanced objects at high quality, into the G-buffer (dr_gbuffer.glsl);
// the light pass lights them. With BUILDING: house and castle tiles. See
// inst_common.glsl.

#include "inst_common.glsl"
#include "dr_gbuffer.glsl"

VARYING vec3 albedo_v;
VARYING vec3 normal_v;
VARYING float emission_v;
VARYING float view_depth;

#ifdef VSH
void vsh()
{
  vec3 p;
  inst_vertex(p, normal_v, albedo_v, emission_v);
  gl_Position = inst_world_to_clip(p);
  view_depth = gbuf_view_depth(p);
}
#endif

#ifdef PSH
void psh() { gbuf_write(albedo_v, emission_v, view_depth, 0.08, normal_v, 0.85); }
#endif
