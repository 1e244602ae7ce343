// Vertex stage shared by the passes that compute a texture from the height
// texture (normals, aperture). The full-screen quad is squeezed onto the
// region being computed (vs_c[16]: scale xy, offset zw), and the texture
// coordinates follow the squeezed position (vs_c[17]: clip space to the
// height texture's texel centres). A target texel thus sits at the same
// world position whatever the target's size: texel k of an n-wide target at
// cell coordinate k * 256 / n.

VARYING vec2 tc;

#ifdef VSH
in vec4 POSITION0;

// The edges of a pass lie on pixel centres. Nudged an eighth of a pixel up
// and left, the first row and column of the region are covered and the row
// and column just past it are not, whatever way the rasteriser breaks ties;
// the coordinates follow the nudged position, so every covered pixel samples
// where it would without the nudge.
vec2 edge_nudge() { return -0.25 * draw_pixel_offset.xy; }

void vsh()
{
  vec2 p = POSITION0.xy * vs_c[16].xy + vs_c[16].zw + edge_nudge();
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vs_c[17].xy + vs_c[17].zw;
}
#endif

#ifdef PSH
// Height with fluid at a texture coordinate (s0, wrapping, linear).
float land_height(vec2 at)
{
  return textureLod(s0, at, 0.0).r;
}
#endif
