// The light pass of the deferred path, on the pixels the G-buffer pass drew
// (stencil not 0): each surface colour lit by the sun, with the soft shadow
// of the shadow balls, and by the sky, seen through the point's aperture.
// The result (light_image) is what the composite fogs and shows.
//
// s8 gbuf0, s9 gbuf1, s10 gbuf2 (see dr_gbuffer.glsl); s11 the blurred
// shadow image and s13 the quarter-size copy of gbuf1 it was made over, all
// point-sampled; s1 the land heights with fluid (256, linear, wrapping).
// vs_c[7]: camera position; vs_c[17..19]: view rays (see dr_gbuffer.glsl);
// ps_c[0] = (direction toward the sun, sun constant), ps_c[1..12] the sky
// registers (worldrender/sky.h), ps_c[17].xy the quarter image's size.

#include "screen_quad.glsl"
#include "dr_gbuffer.glsl"
#include "land_lighting.glsl"

VARYING vec3 view_ray;
VARYING vec3 eye;

#ifdef VSH
void vsh()
{
  screen_quad();
  vec2 p = gl_Position.xy;
  view_ray = vs_c[19].xyz + p.x * vs_c[17].xyz + p.y * vs_c[18].xyz;
  eye = vs_c[7].xyz;
}
#endif

#ifdef PSH
// The shadow image is four times coarser than the screen: of its four texels
// round this pixel, the ones whose depth matches the pixel's count most, so
// shadows stop at the silhouettes of nearer things instead of bleeding over.
float upsampled_shadow(float depth)
{
  vec2 size = ps_c[17].xy;
  vec2 q = tc * size - 0.5;
  vec2 base = floor(q);
  vec2 fr = q - base;
  float sum = 0.0, weight = 0.0;
  for (int j = 0; j < 2; ++j) {
    for (int i = 0; i < 2; ++i) {
      vec2 cell = clamp(base + vec2(i, j), vec2(0.0), size - 1.0);
      vec2 ctc = (cell + 0.5) / size;
      float bilinear = (i == 0 ? 1.0 - fr.x : fr.x) * (j == 0 ? 1.0 - fr.y : fr.y);
      float dq = gbuf_depth(textureLod(s13, ctc, 0.0));
      float w = bilinear / (1e-4 + abs(dq - depth) * 512.0) + 1e-6;
      sum += textureLod(s11, ctc, 0.0).r * w;
      weight += w;
    }
  }
  return sum / weight;
}

// Normal of the surface with fluid at world point p, by central differences
// over one cell of the linearly filtered heights (as the normal texture is
// made, but at the point itself and at full precision).
vec3 fluid_surface_normal(vec3 p)
{
  const float d = 1.0 / 256.0;
  vec2 t = (p.xz + 0.5) * d;
  float hl = textureLod(s1, t - vec2(d, 0.0), 0.0).r;
  float hr = textureLod(s1, t + vec2(d, 0.0), 0.0).r;
  float hd = textureLod(s1, t - vec2(0.0, d), 0.0).r;
  float hu = textureLod(s1, t + vec2(0.0, d), 0.0).r;
  return normalize(vec3(hl - hr, 2.0, hd - hu));
}

void psh()
{
  vec4 g0 = textureLod(s8, tc, 0.0);
  vec4 g1 = textureLod(s9, tc, 0.0);
  vec4 g2 = textureLod(s10, tc, 0.0);
  vec3 n = gbuf_normal(g2);
  float aperture = g2.a;
  // Water keeps the normal of the ground seen through it, which lies
  // elsewhere (deeper along the ray, or hidden by a ridge of the bed): the
  // glint, a mirror image on the surface, takes the water surface's own
  // normal at the water's point, and so does the light where no ground lies
  // behind the water (past the edge of the land disk).
  vec3 surface_n = n;
  if (g1.a < 0.75) {
    surface_n = fluid_surface_normal(eye + view_ray * gbuf_depth(g1));
    if (g1.a < 0.25) {
      n = surface_n;
      aperture = 1.0;
    }
  }
  float shadow = upsampled_shadow(gbuf_depth(g1));
  vec4 light_mix = ps_c[5];
  light_mix.x *= aperture;  // the sky lights only what of it the point sees
  vec3 lit = g0.rgb * land_light(n, ps_c[0].xyz, ps_c[4], light_mix, ps_c[12], shadow);
  // The sun's glint, for the surfaces that have one.
  vec3 half_dir = normalize(ps_c[0].xyz - normalize(view_ray));
  vec3 glint = ps_c[4].rgb * (g1.b * shadow * pow(max(dot(surface_n, half_dir), 0.0), 48.0));
  out_color0 = vec4(mix(lit + glint, g0.rgb, clamp(g0.a, 0.0, 1.0)), 1.0);
}
#endif
