#include "land_render_doubles.h"

#include "world/worldServices.h"
#include "worldrender/hmRenderServices.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

namespace land_doubles
{

std::vector<BuildingCall> building_calls;
vec4f& camera_pos = cur_view_itm.row[3];

static void record_building(HeightmapData::Surface* s, int x, int z) { building_calls.push_back({s, x, z}); }

void reset()
{
  building_calls.clear();
  render_building = record_building;
  cur_view_itm = Matrix44::identity();
}

void use_default_sky()
{
  sky_sun_dir = sky_sun_dir_prev = sky_sun_dir_target = normalize_sun_dir(make4f(0.f, 1.f, 3.f, 0.f));
  sky_sun_constant = 0.9396926f;
  for (int i = 0; i < SKY_COLORS; ++i) {
    const float* c = sky_default_colors[i];
    sky_registers[i] = sky_colors_prev[i] = sky_colors_target[i] = make4f(c[0], c[1], c[2], 0.f);
  }
  calc_derived_sky_colors();
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
__attribute__((weak)) vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};

// ---- hmRenderServices.h ----
void (*render_building)(HeightmapData::Surface* surface, int x, int z) = nullptr;
