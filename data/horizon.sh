// Far land beyond the main land disk, drawn at high quality into the scene
// image where nothing nearer was drawn. Ground is coloured and lit as the
// near land is (cell and top colours with the detail grain, the sky seen
// through the aperture); water and lava show their own colours, since the
// ground under them is not what the eye sees; everything is fogged toward
// the sky. The positions sink with distance (done on the CPU). The mesh is
// drawn in grid order with depth writes on, so its own ridges hide the land
// behind them.
// POSITION0 = (x, z), POSITION1.x = height. The vertices lie on every fourth
// cell, so the two low bits of x are free: they carry what is on top (0
// ground, 1 water, 2 lava). Stages: s0 aperture (256), s2 cell colours, s3
// top colours, s4 detail, s5 normals (1024). The constant registers are the
// scene's: vs_c[0..3] view-projection, vs_c[7] camera, vs_c[8].x fog on,
// vs_c[30..42] and ps_c[0..12] sun and sky.

#include "land_common.glsl"
#include "land_lighting.glsl"

VARYING vec2 wxz;
VARYING vec2 fluid;   // x water share, y lava share
VARYING vec3 fog_amount;
VARYING vec3 view_vec;

#ifdef VSH
void vsh()
{
  float x = floor(POSITION0.x * 0.25) * 4.0;
  float kind = POSITION0.x - x;
  vec3 p = vec3(x, POSITION1.x, POSITION0.y);
  gl_Position = world_to_clip(p);
  wxz = p.xz;
  fluid = vec2(kind == 1.0 ? 1.0 : 0.0, kind == 2.0 ? 1.0 : 0.0);
  vec3 eye = vs_c[7].xyz;
  fog_amount = vs_c[8].x > 0.0 ? sky_fog_amount(eye, p, vs_c[39], vs_c[38]) : vec3(0.0);
  view_vec = p - eye;
}
#endif

#ifdef PSH
void psh()
{
  vec4 nt = textureLod(s5, normal_tc_ps(wxz), 0.0);
  vec3 n = normalize(nt.xyz * 2.0 - 1.0);
  vec2 tc = color_tc_ps(wxz);
  vec3 albedo = land_albedo(tc, wxz, n);
  float crease = clamp((nt.a - 0.51) * 4.0, 0.0, 0.5);
  vec4 light_mix = ps_c[5];
  light_mix.x *= textureLod(s0, tc, 0.0).a * (1.0 - crease);
  vec3 lit = albedo * land_light(n, ps_c[0].xyz, ps_c[4], light_mix, ps_c[12], 1.0);

  // Far water is flat and coloured as near water is: the ground below tinted
  // by the water, the sky mirrored toward the eye, and that lit by the sun and
  // the sky as far as it does not light itself. Lava glows.
  vec3 up = vec3(0.0, 1.0, 0.0);
  vec3 v = normalize(-view_vec);
  float fresnel = 0.02 + 0.98 * pow(1.0 - max(v.y, 0.0), 5.0);
  vec3 r = reflect(-v, up);
  vec3 sky = ps_c[1].rgb + ps_c[2].rgb * exp(-ps_c[3].rgb / max(r.y, 0.05));
  vec3 surface = mix(mix(albedo * vec3(0.45, 0.7, 0.75), vec3(0.02, 0.09, 0.12), 0.3), sky, fresnel);
  vec3 water_light = land_light(up, ps_c[0].xyz, ps_c[4], ps_c[5], ps_c[12], 1.0);
  // The sun's glint, as the light pass gives near water, so that the bright
  // path on the water carries on past the edge of the main disk.
  vec3 half_dir = normalize(ps_c[0].xyz + v);
  vec3 glint = ps_c[4].rgb * (0.9 * pow(max(half_dir.y, 0.0), 48.0));
  vec3 water = mix(surface * water_light + glint, surface, fresnel);
  vec3 lava = vec3(1.0, 0.45, 0.08);
  vec3 col = mix(lit, water, clamp(fluid.x, 0.0, 1.0));
  col = mix(col, lava, clamp(fluid.y, 0.0, 1.0));
  out_color0 = vec4(mix(col, sky_fog_color(view_vec, ps_c[0].xyz, ps_c[1], ps_c[6], ps_c[7]), fog_amount), 1.0);
}
#endif
