#include "world_services_doubles.h"

#include "world/worldServices.h"

namespace world_doubles
{

std::vector<SoundCall> sound_calls;
std::set<unsigned> playing;
unsigned next_channel = 100;
std::vector<int> event_requests;
std::vector<VapourCall> vapour_calls;
float (*land_height)(vec4f p) = nullptr;
int land_height_calls = 0;

static void record_vapour(int x, int z, float level, float amount) { vapour_calls.push_back({x, z, level, amount}); }

static float counted_land_height(vec4f p)
{
  ++land_height_calls;
  return land_height ? land_height(p) : 0.f;
}

static bool record(const char* fn, unsigned channel, float a = 0.f, float b = 0.f, int ms = 0, vec4f pos = v_zero())
{
  SoundCall c;
  c.fn = fn;
  c.channel = channel;
  c.a = a;
  c.b = b;
  c.ms = ms;
  c.pos = pos;
  sound_calls.push_back(c);
  return channel != 0;
}

void reset()
{
  sound_calls.clear();
  playing.clear();
  next_channel = 100;
  event_requests.clear();
  vapour_calls.clear();
  land_height = nullptr;
  land_height_calls = 0;
  spawn_water_vapor_fx = record_vapour;
  get_land_height_at = counted_land_height;
  scene_camera_pos = make4f(0.f, 0.f, 0.f, 1.f);
}

std::vector<SoundCall> calls_named(const char* fn)
{
  std::vector<SoundCall> r;
  for (const SoundCall& c : sound_calls)
    if (c.fn == fn) r.push_back(c);
  return r;
}

}  // namespace world_doubles

using namespace world_doubles;

unsigned get_sound_event_channel(int id)
{
  event_requests.push_back(id);
  unsigned ch = next_channel;
  if (next_channel) ++next_channel;
  return ch;
}
bool is_sound_playing(unsigned channel) { return channel != 0 && playing.count(channel) != 0; }
bool set_sound_3d_params(unsigned channel, float min_dist, float max_dist)
{
  return record("set_sound_3d_params", channel, min_dist, max_dist);
}
bool set_sound_3d_pos(unsigned channel, vec4f pos, vec4f) { return record("set_sound_3d_pos", channel, 0, 0, 0, pos); }
bool slide_sound_volume(unsigned channel, float volume, int ms) { return record("slide_sound_volume", channel, volume, 0, ms); }
bool play_sound(unsigned channel, bool restart)
{
  if (channel) playing.insert(channel);
  return record("play_sound", channel, restart ? 1.f : 0.f);
}
bool fade_out_and_stop_sound(unsigned channel, int ms) { return record("fade_out_and_stop_sound", channel, 0, 0, ms); }
bool set_relative_sound_pos(unsigned channel, float fraction) { return record("set_relative_sound_pos", channel, fraction); }

void (*spawn_water_vapor_fx)(int x, int z, float level, float amount) = nullptr;
float (*get_land_height_at)(vec4f p) = nullptr;
vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};
