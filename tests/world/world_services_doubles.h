// Test doubles of what the world grid needs from outside (world/worldServices.h):
// sound functions that record every call and keep a set of playing channels,
// a recorder for the plug-in's water-vapour hook, a land-height function the
// tests choose, and the scene camera position.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/vec4f.h"

namespace world_doubles
{

struct SoundCall
{
  std::string fn;        // function name without arguments
  unsigned channel = 0;
  float a = 0.f, b = 0.f;  // min/max distance, volume, fraction
  int ms = 0;
  vec4f pos = {0, 0, 0, 0};
};

struct VapourCall
{
  int x, z;
  float level, amount;
};

extern std::vector<SoundCall> sound_calls;
extern std::set<unsigned> playing;     // channels is_sound_playing() reports
extern unsigned next_channel;          // handed out by get_sound_event_channel, then incremented (0: none)
extern std::vector<int> event_requests;

extern std::vector<VapourCall> vapour_calls;

// Land height under p for trace_hmap_ray; counts its calls.
extern float (*land_height)(vec4f p);
extern int land_height_calls;

// Clears every record, binds the vapour recorder and the land-height hook,
// puts the camera at the origin and hands out channels from 100.
void reset();

std::vector<SoundCall> calls_named(const char* fn);

}  // namespace world_doubles
