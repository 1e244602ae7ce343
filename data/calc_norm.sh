// Land normals from the height texture (s0), smoothed over the 3 x 3 cells
// round each point (ps_c[0].xy: one cell in texture units). Stored as
// n * 0.5 + 0.5 with y up; alpha holds the hollowness of the spot (0.5 on a
// plane, more in hollows and creases, less on ridges), which the deferred
// shading uses to darken creases.

#include "land_height_pass.glsl"

#ifdef PSH
void psh()
{
  vec2 d = ps_c[0].xy;
  float h00 = land_height(tc + vec2(-d.x, -d.y));
  float h10 = land_height(tc + vec2(0.0, -d.y));
  float h20 = land_height(tc + vec2(d.x, -d.y));
  float h01 = land_height(tc + vec2(-d.x, 0.0));
  float h11 = land_height(tc);
  float h21 = land_height(tc + vec2(d.x, 0.0));
  float h02 = land_height(tc + vec2(-d.x, d.y));
  float h12 = land_height(tc + vec2(0.0, d.y));
  float h22 = land_height(tc + vec2(d.x, d.y));
  // Sobel weights 1 2 1 across, differences over two cells.
  float gx = (h20 + 2.0 * h21 + h22) - (h00 + 2.0 * h01 + h02);
  float gz = (h02 + 2.0 * h12 + h22) - (h00 + 2.0 * h10 + h20);
  vec3 n = normalize(vec3(-gx, 8.0, -gz));
  float mean = (h00 + h10 + h20 + h01 + h21 + h02 + h12 + h22) * 0.125;
  float hollow = clamp(0.5 + (mean - h11) * 0.5, 0.0, 1.0);
  out_color0 = vec4(n * 0.5 + 0.5, hollow);
}
#endif
