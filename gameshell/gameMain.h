// The game's life: start-up in a fixed order ending in the main menu, the
// 20-a-second tick (the current mode's update, then the listener, music, GUI
// clean-up and a forced plug-in reload when asked), the world step the modes
// run, the frame (the mode's scene and overlay, then the error message, the
// visual log and the camera line), the loading screen, the once-a-second
// hot-reload poll, the device-reset hook and shut-down in about the reverse
// order of start-up. The engine calls the entry points of
// engine/gameShellServices.h; this header adds what the modes and the
// renderer use. Main thread only.
#pragma once

#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/renderBatch.h"

// Render resources owned by the game: the scene picture (screen size) and the
// quarter-size shadow and G-buffer copies; 0 when not made.
extern Texture scene_image;
extern Texture shadow_image, shadow_blur_image, gbuf0_quarter, gbuf1_quarter;
// The deferred path's shaders (high quality only).
extern Shader* deferred_final_shader;
extern Shader* deferred_light_shader;
extern Shader* deferred_shadow_blur_shader;
// The loading screen's background quad; the scene grab gives it scene_image.
extern StdRenderBatchState loading_image_state;

// One world step: fluid surfaces, heights, fluid, effects, the plug-in's objects.
void world_tick(float dt);
// Runs the world alone for that many seconds in 0.05 s steps behind the
// splash "Simulating the world" (shown at most about 20 times a second, so
// the run is not bound to the display's rate); nothing for seconds <= 0.
void simulate_world(float seconds);
// Releases and makes again the four quarter-size textures; fatal
// "Can't create low-resolution scene textures" when one cannot be made.
void init_low_res_scene_textures();
