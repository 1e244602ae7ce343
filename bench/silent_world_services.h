// The world's outside services, silent: no sound, no plug-in, camera at the
// origin. Definitions, not declarations: include this in exactly one source
// file of a benchmark program that links the world without the game shell.
#pragma once

#include "world/worldServices.h"

unsigned get_sound_event_channel(int) { return 0; }
bool is_sound_playing(unsigned) { return false; }
bool set_sound_3d_params(unsigned, float, float) { return false; }
bool set_sound_3d_pos(unsigned, vec4f, vec4f) { return false; }
bool slide_sound_volume(unsigned, float, int) { return false; }
bool play_sound(unsigned, bool) { return false; }
bool fade_out_and_stop_sound(unsigned, int) { return false; }
bool set_relative_sound_pos(unsigned, float) { return false; }
void (*spawn_water_vapor_fx)(int, int, float, float) = nullptr;
float (*get_land_height_at)(vec4f) = nullptr;
vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};
