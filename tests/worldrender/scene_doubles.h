// Test doubles for the scene passes (worldrender/scenePassesServices.h and
// the game shell's scene image): a camera the tests place, a silent
// listener, no plug-in, a shadow pass that only clears its target as the
// real one does. The definitions are weak, so the
// real modules take their place in a program that links them.
#pragma once

#include <vector>

#include "engine/vec4f.h"

namespace scene_doubles
{

// What get_camera_view returns, and the t of each call.
extern Matrix44 camera_view;
extern std::vector<float> camera_view_calls;

// A camera at `pos` turned by heading (about y, 0 = looking along +z) and
// pitch (positive looks up), rows right, up, forward, position.
Matrix44 make_camera(vec4f pos, float heading, float pitch);

// Camera, frame colour, zoom and switches back to rest; records cleared.
void reset();

}  // namespace scene_doubles
