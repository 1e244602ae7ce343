// PLACEHOLDER: stand-ins for what the world grid needs from the game shell,
// the plug-in binding and the renderer (world/worldServices.h), so that the
// `game` program links before those layers exist (the sound functions are
// the audio layer's and the sound events'): the plug-in functions stay
// unbound and the camera sits at the origin. Delete each definition here as
// the real one is written.
#include "world/worldServices.h"

vec4f scene_camera_pos = {0.f, 0.f, 0.f, 1.f};
