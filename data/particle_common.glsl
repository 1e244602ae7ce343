// The particles of the effects pass (worldrender/commonFx.h): an instanced
// quad per particle. POSITION10 the quad corner (-1 or 1); per instance
// POSITION0 the world position, POSITION1 (size, roll), COLOR0 the colour,
// TEXCOORD0 (sprite centre in the atlas, half extents: u, then v downward).
// The quad faces the camera: vs_c[4] and vs_c[5] are its right and up.
// Both pools output premultiplied colour; the blend pool adds its alpha as
// cover of the scene behind, the glow pool adds light only (alpha 0).
// Without SINGLE_RT the pass draws into two 8-bit targets, the second left
// empty.

VARYING vec2 uv;
VARYING vec4 color;

#ifdef VSH
in vec4 POSITION10;
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  vec2 c = POSITION10.xy;
  float s = sin(POSITION1.y), k = cos(POSITION1.y);
  vec2 r = vec2(c.x * k - c.y * s, c.x * s + c.y * k) * POSITION1.x;
  vec3 p = POSITION0.xyz + r.x * vs_c[4].xyz + r.y * vs_c[5].xyz;
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  uv = TEXCOORD0.xy + c * TEXCOORD0.zw;
  color = COLOR0;
}
#endif

#ifdef PSH
void write_effect(vec3 rgb, float cover)
{
  out_color0 = vec4(rgb, cover);
#ifndef SINGLE_RT
  out_color1 = vec4(0.0);
#endif
}
#endif
