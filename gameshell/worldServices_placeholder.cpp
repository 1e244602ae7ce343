// PLACEHOLDER: stand-ins for what the world grid needs from the game shell,
// the plug-in binding and the renderer (world/worldServices.h), so that the
// `game` program links before those layers exist. The sound functions do
// nothing, the plug-in functions stay unbound and the camera sits at the
// origin. Delete each definition here as the real one is written.
#include "world/worldServices.h"

unsigned get_sound_event_channel(int) { return 0; }


vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};
