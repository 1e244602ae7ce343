// PLACEHOLDER: stand-ins for what the world grid needs from the game shell,
// the plug-in binding and the renderer (world/worldServices.h), so that the
// `game` program links before those layers exist. The sound functions do
// nothing. Delete each definition here as the real one is written.
#include "world/worldServices.h"

unsigned get_sound_event_channel(int) { return 0; }
bool is_sound_playing(unsigned) { return false; }
bool set_sound_3d_params(unsigned, float, float) { return false; }
bool set_sound_3d_pos(unsigned, vec4f, vec4f) { return false; }
bool slide_sound_volume(unsigned, float, int) { return false; }
bool play_sound(unsigned, bool) { return false; }
bool fade_out_and_stop_sound(unsigned, int) { return false; }
bool set_relative_sound_pos(unsigned, float) { return false; }

