// What the world grid needs from the layers above it: the game shell's sound
// functions, the two functions the shell binds from the gameobj plug-in, and
// the camera position of the last rendered scene.
//
// The world only declares these; the game shell and the renderer define them,
// and test programs supply their own doubles. Channel handle 0 means "no
// channel": every sound function accepts it and does nothing. The plug-in
// functions are variables that stay null until the plug-in is bound, so every
// caller tests them for null first. Main thread only.
#pragma once

#include "engine/vec4f.h"

// ---- sound (game shell) ----

// Runs the sound script for event id (27 is "land_moving"); the channel it
// gives, 0 for none (also for ids above 42 and for a script error).
unsigned get_sound_event_channel(int id);
// True only while the channel plays (false for 0 and for a stopped channel).
bool is_sound_playing(unsigned channel);
bool set_sound_3d_params(unsigned channel, float min_dist, float max_dist);
// Position and velocity from the first three components.
bool set_sound_3d_pos(unsigned channel, vec4f pos, vec4f vel);
// ms <= 0 sets the volume at once; otherwise slides to it over ms milliseconds.
bool slide_sound_volume(unsigned channel, float volume, int ms);
// Starts the channel, from its beginning when restart is true.
bool play_sound(unsigned channel, bool restart);
// ms < 1 stops at once; otherwise fades out over ms milliseconds, then stops.
bool fade_out_and_stop_sound(unsigned channel, int ms);
// Moves the playing position to that fraction of the channel's length.
bool set_relative_sound_pos(unsigned channel, float fraction);

// ---- bound from the gameobj plug-in by the game shell (null until bound) ----

// Water-vapour effect at cell (x, z), rising from height level, for that
// quantity of fluid turned into land.
extern void (*spawn_water_vapor_fx)(int x, int z, float level, float amount);
// Land height under the horizontal position (x, z) of p.
extern float (*get_land_height_at)(vec4f p);

// ---- renderer ----

// Camera position (x, y, z, w) the scene was last rendered with; the scene
// render writes it each time it renders with a camera.
extern vec4f scene_camera_pos;
