// PLACEHOLDER: stand-ins for what the land renderer needs from the plug-in
// binding, the scene passes and the sky (worldrender/hmRenderServices.h), so
// that `game` links before those exist: no house tiles are drawn, the camera
// sits at the origin and the sky constants hold the sky's default colours.
// Delete each definition here as the real one is written.
#include <cmath>

#include "worldrender/hmRenderServices.h"


vec4f land_camera_pos() { return make4f(0.f, 0.f, 0.f, 1.f); }

void get_land_sky_constants(vec4f out[13])
{
  const float len = std::sqrt(10.f);
  out[0] = make4f(0.f, 1.f / len, 3.f / len, 0.9396926f);
  const float c[10][3] = {{1, 1, 1}, {0, 0, 0}, {0.45f, 0.15f, 0.06f}, {0, 0, 0}, {1, 0, 0},
                          {0.346021f, 0, 0}, {1, 0, 0}, {3, 6, 15}, {2, 0, 0}, {2, 0, 0}};
  for (int i = 0; i < 10; ++i) out[1 + i] = make4f(c[i][0], c[i][1], c[i][2], 0.f);
  out[11] = make4f(1.f, 1.f, 1.f, 0.f);
  out[12] = make4f(1.f, 1.f, 1.f, 0.f);
}
