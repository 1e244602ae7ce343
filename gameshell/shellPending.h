// Steps of the game's start-up, tick, frame and shut-down that belong to
// modules still to be written: audio, effects and the developer
// mode. The game shell calls them by these names; the *_placeholder.cpp files
// hold stand-in bodies until each module exists, and each module moves its
// declarations into its own header.
// Main thread only.
#pragma once

#include "engine/vec4f.h"

// ---- audio (the listener's three are declared with the scene passes) ----
void init_sound(bool with_3d);
void close_sound();
void init_sound_vm(const char* script);
void close_sound_vm();
void reload_sound_vm();
void set_listener_3d_factors(float distance, float rolloff, float doppler);
void set_global_stream_volume(int volume);  // 0 silent .. 10000 full
void shift_tracked_sounds(vec4f camera_prev_pos);

// ---- effects ----
void init_common_fx();
void update_common_fx(float dt);
void init_shadow_shaders();

// ---- developer mode ----
extern bool show_fps;
void draw_perf_graph();
