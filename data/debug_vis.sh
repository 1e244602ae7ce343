// Debug shapes in world space: positions times the view-projection matrix,
// whose rows are vs_c[0..3] (a point is a row vector), in the vertex colour.

VARYING vec4 color;

#ifdef VSH
in vec4 POSITION0;
in vec4 COLOR0;

void vsh()
{
  vec3 p = POSITION0.xyz;
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  color = COLOR0;
}
#endif

#ifdef PSH
void psh()
{
  out_color0 = color;
}
#endif
