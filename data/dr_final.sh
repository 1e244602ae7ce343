// The composite of the deferred path: the lit image (s11, light_image) with
// the fog between the camera and each point, on the pixels the G-buffer pass
// drew (stencil bit 0). The point is found from the view ray of the pixel and
// its depth in gbuf1 (s9).
// vs_c[17..19]: view rays (see dr_gbuffer.glsl); ps_c[16] camera position;
// ps_c[17].x fog on; ps_c[0] sun, ps_c[1..12] sky registers.

#include "screen_quad.glsl"
#include "dr_gbuffer.glsl"
#include "land_lighting.glsl"

VARYING vec3 view_ray;

#ifdef VSH
void vsh()
{
  screen_quad();
  vec2 p = gl_Position.xy;
  view_ray = vs_c[19].xyz + p.x * vs_c[17].xyz + p.y * vs_c[18].xyz;
}
#endif

#ifdef PSH
void psh()
{
  vec3 lit = textureLod(s11, tc, 0.0).rgb;
  vec3 eye = ps_c[16].xyz;
  vec3 point = eye + view_ray * gbuf_depth(textureLod(s9, tc, 0.0));
  vec3 fog_amount = ps_c[17].x > 0.0 ? sky_fog_amount(eye, point, ps_c[9], ps_c[8]) : vec3(0.0);
  vec3 fog_color = sky_fog_color(point - eye, ps_c[0].xyz, ps_c[1], ps_c[6], ps_c[7]);
  out_color0 = vec4(mix(lit, fog_color, fog_amount), 1.0);
}
#endif
