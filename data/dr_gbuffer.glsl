// The G-buffer of the deferred (high quality) path: what every shader drawn
// between the G-buffer clear and the light pass writes, and how the light,
// shadow and composite passes read it back. Three A8R8G8B8 screen textures,
// bound as render targets 0, 1 and 2:
//
//   gbuf0  rgb  surface colour (albedo), 0..1
//          a    emission: the share of the colour shown as written instead of
//               lit by the sun and the sky (0 = fully lit land and objects,
//               1 = water or glowing lava that light themselves)
//   gbuf1  rg   view depth / far (far = 512) in 16 bits, r the high byte
//          b    specular strength of the sun's glint (0 = matt)
//          a    1 where gbuf2 holds this surface's normal and aperture;
//               water: 0.5 over drawn ground (gbuf2 holds the ground's,
//               which lights what is seen through the water), 0 over nothing
//               drawn (gbuf2 holds nothing for the pixel). Water's glint,
//               and its light where there is no ground, come from the
//               heights (s1) in the light pass.
//   gbuf2  rgb  world-space normal * 0.5 + 0.5
//          a    aperture: how much of the sky the point sees (1 = open sky)
//
// The clear gives gbuf0 = (1, 1, 1, 0); gbuf1 and gbuf2 are not cleared, so
// only pixels whose stencil bit 0 is set (everything the G-buffer pass drew)
// hold meaningful values. Water is drawn with target 2 unbound: it writes
// gbuf0 and gbuf1 only and keeps the normal and aperture of the ground
// below. Depth is packed into two bytes and normals are not blendable,
// so the G-buffer is always sampled with point filtering.
//
// View depth of a world point p: dot(vec4(p, 1), vs_c[9]) (the third column
// of the view matrix divided by far). The view ray of a full-screen pass,
// vs_c[19] + x * vs_c[17] + y * vs_c[18] for clip (x, y), reaches the far
// plane, so a pixel's world position is camera + ray * gbuf_depth(gbuf1).

#ifdef VSH
// View depth / far of a world point, for the pixel stage's gbuf_write.
float gbuf_view_depth(vec3 p)
{
  return dot(vec4(p, 1.0), vs_c[9]);
}
#endif

#ifdef PSH
// Fills the three targets from the values above.
void gbuf_write(vec3 albedo, float emission, float view_depth, float specular, vec3 normal, float aperture)
{
  float d = clamp(view_depth, 0.0, 1.0) * 65535.0;
  float hi = floor(d / 256.0);
  float lo = floor(d - hi * 256.0);
  out_color0 = vec4(albedo, emission);
  out_color1 = vec4(hi / 255.0, lo / 255.0, specular, 1.0);
  out_color2 = vec4(normalize(normal) * 0.5 + 0.5, aperture);
}

// Water: targets 0 and 1 only.
void gbuf_write_fluid(vec3 color, float emission, float view_depth, float specular, bool over_ground)
{
  float d = clamp(view_depth, 0.0, 1.0) * 65535.0;
  float hi = floor(d / 256.0);
  float lo = floor(d - hi * 256.0);
  out_color0 = vec4(color, emission);
  out_color1 = vec4(hi / 255.0, lo / 255.0, specular, over_ground ? 0.5 : 0.0);
}

// View depth / far from a gbuf1 texel.
float gbuf_depth(vec4 g1)
{
  vec2 b = floor(g1.rg * 255.0 + 0.5);
  return (b.x * 256.0 + b.y) / 65535.0;
}

vec3 gbuf_normal(vec4 g2)
{
  vec3 n = g2.rgb * 2.0 - 1.0;
  float l = length(n);
  return l > 1e-4 ? n / l : vec3(0.0, 1.0, 0.0);
}
#endif
