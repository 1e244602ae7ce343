// Sound events: the game and the plug-in never name sound files. They raise
// one of 43 fixed events, by id or by name (names are case-sensitive), and
// the sound script's function for it (soundScript.h) decides what plays and
// gives back the channel. An unknown id or name, an event the script has no
// function for, or a script error gives channel 0; a script error is shown
// on screen and never reaches the caller.
//
// Positional events are tracked: every tick their sounds move to the copy of
// their position nearest the camera in the world that wraps every 256 units
// along x and z, so a sound never jumps to the far side of the listener.
// Main thread only.
#pragma once

#include "engine/vec4f.h"
#include "scripting/sqVMReload.h"

#include <cstdint>
#include <vector>

enum { NUM_SOUND_EVENTS = 43 };

// Indexed by event id; 27 is "land_moving".
extern const char* const sound_event_name[NUM_SOUND_EVENTS];
// While set every raised event is logged (the developer key Ctrl+F3).
extern bool sound_event_log;
extern std::vector<uint32_t> tracked_3d_sounds;

// Binds the functions of the script's `events` table; throws SquirrelError
// when the table is missing. A missing function is a warning in the log.
void load_sound_events(SqReloadableVM& vm);
void clear_sound_events();

unsigned get_sound_event_channel(int id);
unsigned get_sound_event_channel(const char* name);
// Plays the event's channel from its start; the channel, or 0.
unsigned play_sound_event(int id);
unsigned play_sound_event(const char* name);
// The same at a place in the world, tracked from now on.
unsigned play_sound_event(int id, vec4f position, vec4f velocity);
// Moves a positional sound (channel 0 does nothing).
void update_3d_sound(unsigned channel, vec4f position, vec4f velocity);
// Every tick after the listener is placed; drops channels that are gone.
void shift_tracked_sounds(vec4f camera_pos);
// The land sounds and every tracked sound fade out over 10 ms.
void stop_world_sounds();
