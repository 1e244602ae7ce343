// PLACEHOLDER: stand-ins for the sound script and the tracked sounds, so that
// the game runs silent before they exist. Delete each definition here as the
// real one is written.
#include "gameshell/shellPending.h"

#include "worldrender/scenePassesServices.h"

void init_sound_vm(const char*) {}
void close_sound_vm() {}
void reload_sound_vm() {}
void shift_tracked_sounds(vec4f) {}
void update_music_chaining() {}
