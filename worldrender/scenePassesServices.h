// What the scene passes need from outside the world renderer's finished
// modules: the game shell's camera, frame colour and scene resources, the
// audio listener, the plug-in's object drawing, the shadow balls and the
// common effects pass.
//
// The scene passes only declare these; their owners define them, the game
// program links stand-ins until then, and test programs supply their own.
// The plug-in functions are variables that stay null until the plug-in is
// bound, so every caller tests them first. Main thread only.
#pragma once

#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/renderBatch.h"
#include "engine/vec4f.h"

// ---- game shell: camera and frame state ----

// The camera matrix (rows right, up, forward, position) t seconds after the
// last tick.
Matrix44 get_camera_view(float t);
// Camera position at the end and at the start of the current tick.
extern vec4f camera_pos, camera_prev_pos;
// Zoom at the end and at the start of the tick; 1 at rest.
extern float camera_zoom, camera_prev_zoom;
// The colour laid over the frame (r, g, b, strength a), now and at the
// start of the tick.
extern vec4f cur_frame_color, prev_frame_color;
// While set the frame stands at the latest tick.
extern bool world_paused;
extern bool use_fog;

// ---- game shell: scene resources ----

// Quarter-size (d3d_wd / 4 x d3d_ht / 4) A8R8G8B8 render textures of the
// deferred path, made at start-up (high quality) and at every device reset.
extern Texture shadow_image, shadow_blur_image, gbuf0_quarter, gbuf1_quarter;
// "dr_final.sh", "dr_calc_light.sh" and "dr_shadow_blur.sh"; null at low
// quality.
extern Shader* deferred_final_shader;
extern Shader* deferred_light_shader;
extern Shader* deferred_shadow_blur_shader;
// The loading screen's background quad; the scene grab gives it the scene
// image.
extern StdRenderBatchState loading_image_state;

// ---- audio ----

bool set_listener_pos(vec4f pos, vec4f vel, vec4f front, const vec4f& top);
void update_music_chaining();
void apply_3d_sound();

// ---- bound from the gameobj plug-in by the game shell (null until bound) ----

extern void (*render_gameobj)(float t);
extern void (*render_gameobj_shadow)(float t);
extern void (*render_debug_vis_gameobj)(float t);

// ---- shadow balls ----

// Empties the submitted spheres (before the plug-in's shadow drawing).
void start_render_shadows();
// Draws the collected spheres into the bound shadow target.
void end_render_shadows();

// ---- common effects ----

// Particles, trails and lightning, drawn into their own target and blended
// over the scene image; last in the 3D frame.
void render_common_fx(float t, float f);
