// Shadow balls (deferred path): one instanced quad per screen tile and
// record, multiplied into the quarter-size shadow image. NUMVEC (8, 4, 2 or
// 1) spheres per record: TEXCOORD0.. = (centre, radius) in world space.
// POSITION0 the quad corner (0 or 1), POSITION1 the tile (column, row);
// vs_c[15] = (tile width, tile height, left, bottom) in clip units;
// vs_c[17..19] the view rays (dr_gbuffer.glsl); s9 the quarter copy of gbuf1;
// ps_c[0].xyz the direction toward the sun, ps_c[16] the camera position.
// vs_c[21].xyz the same sun direction for the vertex stage; vs_c[21].w = 1
// skips the pixels of a tile the record's spheres cannot darken (0: every
// pixel computed); vs_c[22..25] the view-projection rows.
// A point is shaded by a sphere that lies between it and the sun: fully
// near the sphere's axis toward the sun, softly at its rim, fading over
// eight radii of distance.

#include "dr_gbuffer.glsl"

VARYING vec2 tc;
VARYING vec3 view_ray;
flat VARYING vec4 sph[NUMVEC];
// Clip-space rectangle outside which the spheres of the record leave every
// point as it is (x0, y0, x1, y1).
flat VARYING vec4 shade_area;

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

// Screen rectangle (clip x0, y0, x1, y1) of the points a sphere can shade:
// within 1.2 radii of its axis, from its centre up to 8 radii away from the
// sun (the pixel stage leaves every other point exactly as it was). The box
// round that cylinder is projected corner by corner; a box reaching behind
// the camera gives the whole screen.
vec4 shade_rect(vec4 sph_i)
{
  float r = max(sph_i.w, 1e-3);
  vec3 a = sph_i.xyz;
  vec3 b = a - vs_c[21].xyz * (8.0 * r);
  vec3 e = vec3(1.2 * r) + vec3(1e-3 * r);
  vec3 lo = min(a, b) - e, hi = max(a, b) + e;
  vec4 rect = vec4(1e30, 1e30, -1e30, -1e30);
  for (int k = 0; k < 8; ++k) {
    vec3 c = vec3((k & 1) != 0 ? hi.x : lo.x, (k & 2) != 0 ? hi.y : lo.y, (k & 4) != 0 ? hi.z : lo.z);
    vec4 q = c.x * vs_c[22] + c.y * vs_c[23] + c.z * vs_c[24] + vs_c[25];
    if (q.w < 0.05) return vec4(-2.0, -2.0, 2.0, 2.0);
    vec2 s = q.xy / q.w;
    rect.xy = min(rect.xy, s);
    rect.zw = max(rect.zw, s);
  }
  return rect;
}

void vsh()
{
  vec2 p = vs_c[15].zw + (POSITION1.xy + POSITION0.xy) * vs_c[15].xy;
  if (vs_c[21].w > 0.0) {
    vec4 rect = shade_rect(TEXCOORD0);
#if NUMVEC > 1
    vec4 r1 = shade_rect(TEXCOORD1);
    rect = vec4(min(rect.xy, r1.xy), max(rect.zw, r1.zw));
#endif
#if NUMVEC > 2
    vec4 r2 = shade_rect(TEXCOORD2), r3 = shade_rect(TEXCOORD3);
    rect = vec4(min(rect.xy, min(r2.xy, r3.xy)), max(rect.zw, max(r2.zw, r3.zw)));
#endif
#if NUMVEC > 4
    vec4 r4 = shade_rect(TEXCOORD4), r5 = shade_rect(TEXCOORD5);
    vec4 r6 = shade_rect(TEXCOORD6), r7 = shade_rect(TEXCOORD7);
    rect = vec4(min(rect.xy, min(min(r4.xy, r5.xy), min(r6.xy, r7.xy))),
                max(rect.zw, max(max(r4.zw, r5.zw), max(r6.zw, r7.zw))));
#endif
    // A margin of a quarter-size pixel round it.
    vec2 m = vs_c[15].xy * 0.05;
    shade_area = vec4(rect.xy - m, rect.zw + m);
  } else {
    shade_area = vec4(-1e30, -1e30, 1e30, 1e30);
  }
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
  // Outside the spheres' rectangle the shade would be exactly 1: nothing to
  // multiply. (The quad itself stays the whole tile, so every pixel inside
  // is computed from the same interpolated values as ever.)
  vec2 clip = vec2(tc.x * 2.0 - 1.0, 1.0 - tc.y * 2.0);
  if (any(lessThan(clip, shade_area.xy)) || any(greaterThan(clip, shade_area.zw))) discard;
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
