// Trails and lightning bolts in the effects pass: triangles of effect
// vertices (POSITION0 world position, COLOR0, TEXCOORD0), added as light
// (premultiplied by the colour's alpha, no cover). s0 "glowfx.dds" for
// trails, "lightning.dds" for bolts. Without SINGLE_RT the second of the two
// targets is left empty.

VARYING vec2 uv;
VARYING vec4 color;

#ifdef VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 TEXCOORD0;

void vsh()
{
  vec3 p = POSITION0.xyz;
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  uv = TEXCOORD0.xy;
  color = COLOR0;
}
#endif

#ifdef PSH
void psh()
{
  vec4 c = color * textureLod(s0, uv, 0.0);
  out_color0 = vec4(c.rgb * c.a, 0.0);
#ifndef SINGLE_RT
  out_color1 = vec4(0.0);
#endif
}
#endif
