// The scene passes: one frame of the 3D world drawn into the scene image
// (scene_image, engine/postFx.h), which the mode's post effects then turn
// into the picture.
//
// render_scene sets up the camera, the projection and the frame's
// interpolations (t: seconds since the last tick, f = 20 t), lets the land
// renderer update its textures and meshes, then runs the forward path at low
// quality or the deferred path at high quality:
//
//   forward   land, objects, lava, water straight into the scene image;
//             the sky where nothing was drawn; debug visuals; effects.
//   deferred  G-buffer (land, objects, lava; water over a copy of the
//             colours), quarter-size shadow image and its two blur passes,
//             light pass into light_image, then into the scene image: the
//             horizon, the sky, the composite of the lit image with fog,
//             debug visuals and effects. What each G-buffer channel holds is
//             written down in data/dr_gbuffer.glsl.
//
// The stencil of the scene holds 1 where land, objects, lava or water were
// drawn, 2 where the horizon was drawn (deferred only) and 0 for the sky,
// which is drawn only there. Every pixel of the scene image is written each
// frame. Each pass begins with a mark of the pass recorder
// (engine/passRecorder.h): "scene", "land update", then
//   forward   "forward", "land", "objects", "lava", "water", "sky",
//             "debug vis", "effects";
//   deferred  "g-buffer", "land", "objects", "lava", "water", "shadows",
//             "shadow blur" (twice), "light", "horizon", "sky",
//             "composite", "debug vis", "effects".
// Wireframe frames leave out "sky".
//
// Camera globals written every frame are shared with the plug-in. Main
// thread only; needs the device and the land renderer, sky and post-effect
// textures.
#pragma once

#include "engine/vec4f.h"

// The camera matrix (rows right, up, forward, position); the game shell
// stores it every tick and render_scene every frame.
extern Matrix44 cur_view_itm;
extern Matrix44 cur_view_tm;   // its inverse: world to view
extern Matrix44 cur_glob_tm;   // cur_view_tm times the projection
// Per component, the sum of the absolute values of rows 0, 1 and 2 of
// cur_glob_tm: how far a unit of world distance can move a clip coordinate.
extern vec4f cur_glob_rk;

enum { SCENE_FAR = 512 };
// The grey of wireframe frames (180 = 255 * sqrt(0.5) in every channel).
static const unsigned WIREFRAME_CLEAR_COLOR = 0xB4B4B4B4u;

void render_scene(float t);

// Copies the back buffer into the scene image and makes it the loading
// screen's background; a failed copy is logged.
void grab_scene_image();

// ---- the arithmetic of render_scene, for tests ----

// The full inverse (cofactors over the determinant); a singular matrix gives
// the identity.
Matrix44 invert_matrix(const Matrix44& m);
// Left-handed perspective with near 0.1 and far 512; 74 degrees of vertical
// field of view at zoom 1, narrower as the zoom grows.
Matrix44 scene_projection(float zoom, float aspect);
// The listener's velocity: the camera's move over the tick, x and z taken the
// short way round the wrapping world, times 20 ticks a second.
vec4f listener_velocity(vec4f pos, vec4f prev_pos);
