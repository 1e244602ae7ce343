#include "land_render_doubles.h"

#include <cmath>

#include "world/worldServices.h"
#include "worldrender/hmRenderServices.h"

namespace land_doubles
{

std::vector<BuildingCall> building_calls;
vec4f camera_pos = {0.f, 0.f, 0.f, 1.f};

static void record_building(HeightmapData::Surface* s, int x, int z) { building_calls.push_back({s, x, z}); }

void reset()
{
  building_calls.clear();
  render_building = record_building;
  camera_pos = make4f(0.f, 0.f, 0.f, 1.f);
}

}  // namespace land_doubles

// ---- worldServices.h ----
unsigned get_sound_event_channel(int) { return 0; }
bool is_sound_playing(unsigned) { return false; }
bool set_sound_3d_params(unsigned, float, float) { return false; }
bool set_sound_3d_pos(unsigned, vec4f, vec4f) { return false; }
bool slide_sound_volume(unsigned, float, int) { return false; }
bool play_sound(unsigned, bool) { return false; }
bool fade_out_and_stop_sound(unsigned, int) { return false; }
bool set_relative_sound_pos(unsigned, float) { return false; }
void (*spawn_water_vapor_fx)(int x, int z, float level, float amount) = nullptr;
float (*get_land_height_at)(vec4f p) = nullptr;
vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};

// ---- hmRenderServices.h ----
void (*render_building)(HeightmapData::Surface* surface, int x, int z) = nullptr;

vec4f land_camera_pos() { return land_doubles::camera_pos; }

// The sky's default colours with the sun at its start-up direction.
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
