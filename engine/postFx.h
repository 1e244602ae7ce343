// Post effects: the last step of every 3D frame. The scene paths draw into
// the scene image (scene_tex); apply_post_effects optionally anti-aliases it
// with morphological anti-aliasing (MLAA: edges, four run passes over rows
// and columns together, combine; all but the edge pass only where the
// stencil marks a pixel near an edge) and then draws it onto the back buffer
// through the final post-effect pass, which lays the frame colour
// (postfx_params) over the picture. MLAA clears the shared depth-stencil
// buffer for its marks.
//
// The module also owns the screen-size textures of the deferred path (the
// G-buffer and the light image) and the floating-point effects target, made
// and released with the MLAA textures. Every texture here is a screen-size
// render texture, so it follows the back buffer through a resize.
//
// MLAA exchanges texture handles instead of copying pixels: after an MLAA
// frame scene_tex names a different texture than before, and the old scene
// texture has become one of the MLAA scratch textures. Never keep a copy of
// scene_tex across frames; read the variable.
//
// Pass-recorder marks (engine/passRecorder.h): "post effects", then with
// MLAA "mlaa edges", "mlaa runs" (4), "mlaa combine", and last "postfx";
// each but the first draws one full-screen quad. With mlaa_near_edges_only
// off MLAA runs its earlier form, 18 full-screen passes over every pixel
// ("mlaa edges", "mlaa rows" (8), "mlaa columns" (8), "mlaa combine"),
// which gives the same picture.
//
// The scene image and the effects target are each one variable known by two
// names (the engine's and the world renderer's). The scene image's variable
// belongs to the game shell: a program that links this module without the
// shell defines `scene_image` itself. Main thread only; needs the device.
#pragma once

#include "engine/d3d_misc.h"
#include "engine/vec4f.h"

// The scene colour image (screen-size A8R8G8B8). The game shell owns the
// variable, creates the texture at start-up and releases it at shut-down;
// the scene paths render into it. scene_tex is the same variable.
extern Texture scene_image;
extern Texture& scene_tex;

// Screen-size A16B16G16R16F target of the effects pass, made only when the
// device can blend into that format; null otherwise. fp_effects_tex is the
// same variable.
extern Texture effect_image;
extern Texture& fp_effects_tex;

// The deferred path's G-buffer targets 0..2 and its light image (screen-size
// A8R8G8B8); see data/dr_gbuffer.glsl for what each channel holds.
extern Texture gbuf0, gbuf1, gbuf2, light_image;

// MLAA scratch textures (screen-size A8R8G8B8). Their handles rotate with
// scene_tex from frame to frame.
extern Texture edge_tex, mlaa_tex_a, mlaa_tex_b, mlaa_tex_c;

// The frame colour (r, g, b, strength a) laid over the picture, set by the
// scene render of every frame; zero strength leaves the picture as it is.
extern vec4f postfx_params;

// Switches read by the post effects: the full post-effect pass (else the
// plain one) and wireframe drawing (which also picks the plain pass). The
// MLAA switch use_ppaa lives with the configuration (config.h).
extern bool use_postfx;
extern bool use_wireframe;
// MLAA works only near edges (true, the default); false runs every pass
// over the whole screen, the slower form kept to compare the two.
extern bool mlaa_near_edges_only;
// Shortcuts that reach the same pixels with less work: the land grid is
// handed to the rasteriser in two halves, the final pass
// copies the scene image when there is no frame colour, shadow-ball records
// skip the pixels their spheres cannot shade, the effects pass blends only the
// pixels its effects reached. Off: every pass drawn whole, for the
// benchmarks and tests that compare the two.
extern bool frame_shortcuts;

// Defines of the effect shaders' single-target variants, used when
// fp_effects_tex exists.
extern const char single_rt_defines[];

// Start-up after the device: fatal "can't create textures for post-effect"
// when a screen texture cannot be made.
void init_post_effects();
// Releases the shaders and every texture above but scene_tex.
void close_post_effects();

// The end of a mode's scene render: MLAA when use_ppaa is on, then the final
// pass from scene_tex to the back buffer.
void apply_post_effects();
// The MLAA passes alone; replaces scene_tex by the anti-aliased image.
void apply_mlaa();
