// PLACEHOLDER: stand-ins for what the world script VM needs from the audio
// layer (scripting/hmGenScriptServices.h), so that the `game` program links
// before it exists: no sound plays. Delete each definition here as the real one is
// written.
#include "scripting/hmGenScriptServices.h"

void stop_world_sounds() {}
unsigned play_sound_event(int) { return 0; }
