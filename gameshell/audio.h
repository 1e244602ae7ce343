// The audio layer: the only way the game and the gameobj plug-in reach the
// sound device. Free functions over OpenAL Soft, with libsndfile decoding
// sound files (WAV, OGG, FLAC, ...).
//
// Handles are unsigned 32-bit values, 0 meaning none or failed: samples
// (decoded sounds, played through channels), sample channels and streams
// (music decoded while it plays; a stream is its own channel). A sample
// channel is freed when it is stopped or overridden; one that ended stays
// valid until the sample reuses its place. Streams live until freed.
//
// Game sound flags: SOUND_3D (positional; 3D samples are mixed as mono),
// SOUND_LOOP, SOUND_CHAIN (streams only: report the stream's end through
// sound_stream_to_chain). Override modes of a sample whose playbacks are all
// busy when a channel is asked for: 1 automatic (furthest for a 3D sample,
// else the one that played longest), 2 the quietest, 3 the one that played
// longest, 4 the furthest from the listener; others give no channel.
//
// Volumes: a channel's own volume (0..1) times the global sample or stream
// volume (0..10000) times the master volume (0..1). Slides and fades run in
// the mixing time of the device. Positions, velocities and the listener are
// game coordinates (left-handed, x right, y up, z forward); they take effect
// at the next apply_3d_sound. Distances: min is where attenuation starts,
// max where it stops.
//
// Without a sound device everything still loads (files are decoded and
// checked) but no channel is ever given, so the game runs silent; failures
// are one log line each and a 0 or false result, never fatal.
//
// Streams are decoded on a feeder thread from a memory image of their file;
// it also runs slides and fades. Every function here is for the main thread;
// the feeder writes sound_stream_to_chain, which the main thread reads and
// clears.
#pragma once

#include "engine/vec4f.h"

#include <atomic>
#include <cstdint>

enum
{
  SOUND_3D = 1,
  SOUND_LOOP = 2,
  SOUND_CHAIN = 4,
};

enum
{
  SOUND_OVERRIDE_AUTO = 1,
  SOUND_OVERRIDE_VOLUME = 2,
  SOUND_OVERRIDE_POSITION = 3,
  SOUND_OVERRIDE_DISTANCE = 4,
};

// The last chained stream whose end was decoded; 0 when none since the last
// clear.
extern std::atomic<uint32_t> sound_stream_to_chain;

// Opens the default device at 44100 Hz; logs "sound init OK, 3d mode" (or
// "2d mode") and returns true, or returns false and the game runs silent.
bool init_sound(bool use3d);
// Logs "closing sound" and frees the device and every handle.
bool close_sound();

float get_master_volume();
void set_master_volume(float volume);  // 0..1
void set_global_sample_volume(int volume);  // 0 silent .. 10000 full
int get_global_sample_volume();
void set_global_stream_volume(int volume);  // 0 silent .. 10000 full
int get_global_stream_volume();

// size <= 0: from offset to the file's end. loop_start_seconds >= 0: when
// the stream's end is decoded it goes on from there without a gap.
uint32_t load_sound_stream(const char* path, double loop_start_seconds, int flags, int offset, int size);
bool free_sound_stream(uint32_t stream);
// length 0: from offset to the file's end.
uint32_t load_sound_sample(const char* path, int max_playbacks, int flags, int override_mode, int offset,
                           int length);
bool free_sound_sample(uint32_t sample);
// Defaults for the channels the sample gives from now on.
bool set_sound_sample_volume(uint32_t sample, float volume);
bool set_sound_sample_dist(uint32_t sample, float min_dist, float max_dist);
// only_new: never reuse or override a busy playback.
uint32_t get_sound_sample_channel(uint32_t sample, bool only_new);

bool play_sound(uint32_t channel, bool restart);
bool pause_sound(uint32_t channel);
bool stop_sound(uint32_t channel);
// Paused and stopped channels are not playing; sliding ones are.
bool is_sound_playing(uint32_t channel);
bool set_sound_volume(uint32_t channel, float volume);
bool set_sound_pan(uint32_t channel, float pan);  // -1 left .. 1 right; 2D channels
// ms <= 0 sets the volume at once.
bool slide_sound_volume(uint32_t channel, float volume, int ms);
// ms <= 0 stops at once; otherwise fades to silence over ms, then stops.
bool fade_out_and_stop_sound(uint32_t channel, int ms);
// Moves the playing position to that fraction of the channel's length.
bool set_relative_sound_pos(uint32_t channel, float fraction);

// distance: game units per metre (scales the speed of sound); rolloff and
// doppler: 1 is the real world's.
bool set_listener_3d_factors(float distance, float rolloff, float doppler);
bool set_listener_pos(vec4f pos, vec4f vel, vec4f front, const vec4f& top);
bool set_sound_3d_params(uint32_t channel, float min_dist, float max_dist);
bool set_sound_3d_pos(uint32_t channel, vec4f pos, vec4f vel);
bool set_sound_3d_pos(uint32_t channel, vec4f pos);  // velocity unchanged
// On success out = (x, y, z, 1); on failure out is left alone.
bool get_sound_3d_pos(uint32_t channel, vec4f& out);
void apply_3d_sound();

// ---- for tests and benchmarks ----

// Like init_sound, on a loopback device that renders stereo floats into
// memory at `rate` Hz; nothing runs on a thread: audio_render_loopback mixes
// and advances streams, slides and fades.
bool init_sound_loopback(int rate);
// Renders frames stereo frames (interleaved left, right) in steps of 10 ms.
void audio_render_loopback(float* out, int frames);
// Channels the sample holds that are playing now.
int sound_sample_playing_count(uint32_t sample);
