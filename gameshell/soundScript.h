// The sound script "sound/sound.nut": every sound the game makes is decided
// there, in its own reloadable script VM. The game offers the script twelve
// natives over the audio layer and the constants SNDF_3D and SNDF_LOOP;
// the script loads its samples and music at its top level, fills a root
// table `events` with one function per sound event (soundEvents.h) and may
// define do_music_chaining(stream), called when a stream loaded with
// load_chained_music has reached its end.
//
//   load_sample(path, max_playbacks, flags)   sample handle or 0
//   get_channel(sample)                       channel or 0
//   set_channel_volume(channel, volume)       bool
//   set_channel_3d_params(channel, min, max)  bool
//   play_channel(channel, restart)            bool
//   stop_channel(channel)                     bool
//   fade_out_and_stop(channel, ms)            bool
//   set_sample_volume(sample, volume)         bool
//   set_sample_dist(sample, min, max)         bool
//   game_rnd()                                0 .. 2147483647, its own sequence
//   load_music(path, loop_start_seconds)      stream or 0
//   load_chained_music(path)                  stream or 0
//
// Paths are relative to the program's folder. A file that fails to load
// gives 0 and, after the run, the message "Can't load sound files:" with
// its name. Script errors are shown on screen as "Error in sound script:"
// with the error's text; the game goes on with what was loaded.
//
// A changed script file is reloaded in place by the once-a-second poll. A
// run that fails keeps the sounds and event functions of the last good one.
// Main thread only.
#pragma once

#include "scripting/sqVMReload.h"

#include <cstdint>
#include <vector>

extern SqReloadableVM sound_script_vm;
extern std::vector<uint32_t> loaded_sound_samples, loaded_sound_streams;

// Start-up, after init_sound; fatal "error creating sound script VM" when
// no VM can be made.
void init_sound_vm(const char* script_path);
void reload_sound_vm();
// Shut-down, before close_sound.
void close_sound_vm();
// Frees every sample and stream the script loaded.
void free_sound_lists();
// Every tick and frame: hands a chained stream's end to do_music_chaining.
void update_music_chaining();

// "Error in sound script:\n" and the text, on screen.
void show_sound_script_error(const char* text);
