// World map, second pass: water and lava blended over the ground, fading out
// toward the dry corners of a shore quad. POSITION0 = vertex (x, z) of the
// 257 x 257 map grid (two map pixels per cell); TEXCOORD0 = (fluid amount:
// above 0 water, below 0 lava; foam).

VARYING vec2 fluid;

#ifdef VSH
in vec4 POSITION0;
in vec4 TEXCOORD0;

void vsh()
{
  // Quad edges lie on pixel centres: an eighth of a pixel up and left keeps
  // the map's first row and column covered (see land_height_pass.glsl).
  vec2 p = vec2(POSITION0.x / 128.0 - 1.0, 1.0 - POSITION0.y / 128.0);
  gl_Position = vec4(p - 0.25 * draw_pixel_offset.xy, 0.0, 1.0);
  fluid = TEXCOORD0.xy;
}
#endif

#ifdef PSH
void psh()
{
  float a = fluid.x;
  vec3 water = mix(vec3(0.10, 0.28, 0.46), vec3(0.03, 0.12, 0.30), clamp(a * 0.5, 0.0, 1.0));
  water = mix(water, vec3(0.85, 0.9, 0.95), clamp(fluid.y, 0.0, 1.0) * 0.6);
  vec3 lava = mix(vec3(1.0, 0.45, 0.08), vec3(0.85, 0.12, 0.02), clamp(-a * 0.5, 0.0, 1.0));
  vec3 col = a >= 0.0 ? water : lava;
  out_color0 = vec4(col, clamp(abs(a) * 8.0, 0.0, 0.9));
}
#endif
