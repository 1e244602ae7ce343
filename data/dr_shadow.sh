// Shadow balls (deferred path): one instanced quad per screen tile and
// record, multiplied into the quarter-size shadow image. NUMVEC (8, 4, 2 or
// 1) spheres per record: TEXCOORD0.. = (centre, radius) in world space.
// POSITION0 the quad corner (0 or 1), POSITION1 the tile (column, row);
// vs_c[15] = (tile width, tile height, left, bottom) in clip units;
// vs_c[17..19] the view rays (dr_gbuffer.glsl); s9 the quarter copy of gbuf1;
// ps_c[0].xyz the direction toward the sun, ps_c[16] the camera position.
// A point is shaded by a sphere that lies between it and the sun: fully
// near the sphere's axis toward the sun, softly at its rim, fading over
// eight radii of distance.

#include "dr_gbuffer.glsl"

VARYING vec2 tc;
VARYING vec3 view_ray;
flat VARYING vec4 sph[NUMVEC];

#ifdef VSH
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 TEXCOORD0;
#if NUMVEC > 1
in vec4 TEXCOORD1;
#endif
#if NUMVEC > 2
in vec4 TEXCOORD2;
in vec4 TEXCOORD3;
#endif
#if NUMVEC > 4
in vec4 TEXCOORD4;
in vec4 TEXCOORD5;
in vec4 TEXCOORD6;
in vec4 TEXCOORD7;
#endif

void vsh()
{
  vec2 p = vs_c[15].zw + (POSITION1.xy + POSITION0.xy) * vs_c[15].xy;
  gl_Position = vec4(p, 0.5, 1.0);
  tc = p * vec2(0.5, -0.5) + 0.5;
  view_ray = vs_c[19].xyz + p.x * vs_c[17].xyz + p.y * vs_c[18].xyz;
  sph[0] = TEXCOORD0;
#if NUMVEC > 1
  sph[1] = TEXCOORD1;
#endif
#if NUMVEC > 2
  sph[2] = TEXCOORD2;
  sph[3] = TEXCOORD3;
#endif
#if NUMVEC > 4
  sph[4] = TEXCOORD4;
  sph[5] = TEXCOORD5;
  sph[6] = TEXCOORD6;
  sph[7] = TEXCOORD7;
#endif
}
#endif

#ifdef PSH
void psh()
{
  float depth = gbuf_depth(textureLod(s9, tc, 0.0));
  vec3 p = ps_c[16].xyz + view_ray * depth;
  vec3 to_sun = ps_c[0].xyz;
  float shade = 1.0;
  for (int i = 0; i < NUMVEC; ++i) {
    vec3 v = sph[i].xyz - p;
    float r = max(sph[i].w, 1e-3);
    float t = dot(v, to_sun);
    float d2 = max(dot(v, v) - t * t, 0.0);
    float axis = 1.0 - smoothstep(0.25 * r * r, 1.44 * r * r, d2);
    float reach = clamp(1.0 - t / (8.0 * r), 0.0, 1.0) * step(0.0, t);
    shade *= 1.0 - 0.75 * axis * reach;
  }
  out_color0 = vec4(shade, shade, shade, 1.0);
}
#endif
