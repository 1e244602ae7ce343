// Land aperture: the cone of open sky above each cell, from the horizon
// seen in a ring of directions over the height texture (s0; ps_c[0].xy: one
// cell in texture units). Stored as the cone's axis (the mean open
// direction, n * 0.5 + 0.5, y up) and, in alpha, the open share of the sky
// (1 on a plane, toward 0 in a deep hole). QUALITY 0, 1, 2 trades speed for
// more directions and samples.

#include "land_height_pass.glsl"

#ifdef PSH
#if QUALITY >= 2
#define APER_DIRS 12
#define APER_STEPS 10
#elif QUALITY == 1
#define APER_DIRS 8
#define APER_STEPS 8
#else
#define APER_DIRS 6
#define APER_STEPS 5
#endif

// Sample distances grow with the step so the search reaches about 40 cells.
float aper_distance(int k)
{
  float t = float(k + 1) / float(APER_STEPS);
  return 0.75 + 40.0 * t * t;
}

void psh()
{
  vec2 cell = ps_c[0].xy;
  float h0 = land_height(tc);
  vec3 axis = vec3(0.0);
  float open_sum = 0.0;
  for (int i = 0; i < APER_DIRS; ++i) {
    float a = 6.2831853 * (float(i) + 0.5) / float(APER_DIRS);
    vec2 dir = vec2(cos(a), sin(a));
    float slope = 0.0;  // tangent of the horizon's elevation, never below level
    for (int k = 0; k < APER_STEPS; ++k) {
      float t = aper_distance(k);
      float h = land_height(tc + dir * cell * t);
      slope = max(slope, (h - h0) / t);
    }
    float sin_h = slope / sqrt(1.0 + slope * slope);
    float open = 1.0 - sin_h;
    // The middle of the open arc, between the horizon and straight up.
    float e = 0.5 * (asin(sin_h) + 1.5707963);
    axis += open * vec3(cos(e) * dir.x, sin(e), cos(e) * dir.y);
    open_sum += open;
  }
  vec3 n = length(axis) > 0.0 ? normalize(axis) : vec3(0.0, 1.0, 0.0);
  out_color0 = vec4(n * 0.5 + 0.5, open_sum / float(APER_DIRS));
}
#endif
