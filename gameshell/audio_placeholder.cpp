// PLACEHOLDER: stand-ins for the audio layer, the sound script and the
// tracked sounds, so that the game runs silent before they exist. Delete each
// definition here as the real one is written.
#include "gameshell/shellPending.h"

#include "worldrender/scenePassesServices.h"

void init_sound(bool) {}
void close_sound() {}
void init_sound_vm(const char*) {}
void close_sound_vm() {}
void reload_sound_vm() {}
void set_listener_3d_factors(float, float, float) {}
void set_global_stream_volume(int) {}
void set_listener_pos(vec4f, vec4f, vec4f, vec4f) {}
void shift_tracked_sounds(vec4f) {}
void update_music_chaining() {}
void apply_3d_sound() {}
