// Shared by every shader, inserted after the defines (VSH or PSH tells the
// stage). Declares what the game's shaders share: the constant registers,
// the sampler units, the per-draw values of the device, and main(), which
// runs the file's vsh() or psh() and then does what every draw needs.

#ifdef VSH
#define VARYING out
#else
#define VARYING in
#endif

// Filled by the device before each draw.
layout(std140) uniform DrawState {
  // (1 / viewport width, -1 / viewport height): half a pixel in clip units,
  // which moves pixel centres onto whole pixel coordinates.
  vec4 draw_pixel_offset;
  // x: alpha-test reference 1..255; 0 when the test is off.
  vec4 draw_alpha_ref;
};

uniform sampler2D s0, s1, s2, s3, s4, s5, s6, s7, s8, s9, s10, s11, s12, s13, s14, s15;

#ifdef VSH
layout(std140) uniform VsConstants {
  vec4 vs_c[256];
};

void vsh();

void main()
{
  vsh();
  gl_Position.xy += draw_pixel_offset.xy * gl_Position.w;
}
#endif

#ifdef PSH
layout(std140) uniform PsConstants {
  vec4 ps_c[224];
};

layout(location = 0) out vec4 out_color0;
layout(location = 1) out vec4 out_color1;
layout(location = 2) out vec4 out_color2;
layout(location = 3) out vec4 out_color3;

void psh();

void main()
{
  out_color0 = vec4(0.0);
  psh();
#ifdef ALPHA_TEST
  // The test compares the alpha as stored in 8 bits, so k / 255 passes a
  // reference of k however the division rounded. Only the program built for
  // the test may discard: without it, hidden fragments are rejected before
  // they are shaded.
  if (floor(clamp(out_color0.a, 0.0, 1.0) * 255.0 + 0.5) < draw_alpha_ref.x) discard;
#endif
}
#endif
