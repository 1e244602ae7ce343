// The full-screen quad of the post passes: POSITION0 in clip units (-1..1),
// tc the texture coordinate of the pixel's centre from vs_c[16] = (0.5,
// -0.5, 0.5 + 0.5 / width, 0.5 + 0.5 / height). Rows run top-down, so clip
// y = 1 is texture row 0.

VARYING vec2 tc;

#ifdef VSH
in vec4 POSITION0;

// The quad is drawn twice as large and clipped to the viewport: the
// half-pixel offset puts the centres of the top row exactly on the quad's top
// edge, and GL's fill rule leaves such pixels out. tc is the same affine
// function of the position, so every pixel still reads its own texel.
void screen_quad()
{
  vec2 p = POSITION0.xy * 2.0;
  gl_Position = vec4(p, 0.0, 1.0);
  tc = p * vs_c[16].xy + vs_c[16].zw;
}
#endif
