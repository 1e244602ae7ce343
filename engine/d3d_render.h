// The rendering device: one OpenGL 3.3 core context on the main window.
//
// It keeps the device model the rest of the engine is written against: an
// off-screen back buffer (presented by a flipped blit and a buffer swap),
// frames with at most two in flight, render textures sharing one
// depth-stencil buffer at back-buffer size, a viewport that follows every
// change of render target, clears that ignore the write masks, the small set
// of render states with their classic defaults (cull counter-clockwise, depth
// test off, depth function less-or-equal), surface copies and read-backs.
// Rows run top-down and clip depth runs 0..1 everywhere (clip control), so
// textures and render targets share one orientation.
// Main thread only; every function but init_d3d expects the device to exist
// unless it says otherwise.
#pragma once

#include <cstdint>

#include "engine/color.h"
#include "engine/d3d_misc.h"
#include "engine/dynArray.h"
#include "engine/vec4f.h"

struct SDL_Window;

extern void* d3d;              // the GL context; null when there is no device
extern int d3d_wd, d3d_ht;     // back-buffer size in pixels
extern bool d3d_limit_buffered_frames;  // keep at most two frames in flight
extern bool isFullscreen;      // owned by the application shell

// Render-target format codes asked for by the renderer's users.
enum {
  RT_A8R8G8B8 = 1, RT_G16R16, RT_R16F, RT_G16R16F, RT_A16B16G16R16F, RT_R32F, RT_G32R32F, RT_A32B32G32R32F
};
int rt_format_to_d3d(int code);  // TexFormat, FMT_UNKNOWN for other codes

struct D3dMode {
  int width, height;
};

// Render state that shaders read (alpha test is done in the fragment shader).
struct D3dShaderState {
  int alpha_ref;  // 0: alpha test off; else pass when alpha * 255 >= ref
};
extern D3dShaderState d3d_shader_state;

// Device and frame.
bool init_d3d(SDL_Window* window, int width, int height);
void close_d3d();
bool resize_d3d(int width, int height, bool fullscreen, bool force);
bool check_device_lost();
bool draw_frame(float dt);
void present_frame();
void draw_splash_frame();
bool begin_scene();
void end_scene();
void flush_gpu();
// Starts the work queued so far without waiting for it: a software
// rasteriser then draws it while the caller prepares what follows.
void submit_queued_draws();
unsigned get_free_texmem();
void get_d3d_modes(DynArray<D3dMode>& modes);
// Pixels (A8R8G8B8, rows top-down) of what was last presented.
const uint8_t* capture_front_buffer(int* width, int* height, int* pitch);
void release_front_buffer_capture();

// Render targets and copies.
Texture create_render_texture(int width, int height, int format_code);
Texture create_screen_render_texture();
bool rt_format_supports_blending(int format_code);
void set_render_target(Texture tex, int index, bool with_depth);
void set_back_buffer_target();
void copy_texture(Texture fromTex, Texture toTex);
bool copy_back_buffer_to_texture(Texture tex);
// Copies a screen-size A8R8G8B8 render texture into the back buffer, texel
// for pixel; false (nothing done) for any other texture or while colour
// writes are masked.
bool copy_texture_to_back_buffer(Texture tex);
void set_scene_target();
void resolve_scene_target(Texture tex);
void* lock_texture_for_update(Texture tex, int* pitch);
bool unlock_texture_update(Texture tex);
const void* read_render_texture(Texture tex, int* pitch);
bool end_read_render_texture(Texture tex);

// Drawing. Primitive types: 1 points, 2 lines, 3 line strip, 4 triangles,
// 5 triangle strip, 6 triangle fan.
void draw_postfx();
void draw_indexed(int prim_type, int base_vertex, int min_index, int num_vertices, int start_index, int prim_count);
void draw_prim(int prim_type, int start_vertex, int prim_count);
void clear_view(D3dColor color);
void clear_view_color(D3dColor color);
void clear_view_z();
void set_viewport(int x, int y, int width, int height);
void set_view_tm(const Matrix44& tm);
void set_proj_tm(const Matrix44& tm);
void set_proj_tm(float fov, float aspect, float znear, float zfar);
void get_glob_tm(Matrix44& tm);
extern Matrix44 d3d_view_tm, d3d_proj_tm;

// Render states. Stencil compare functions: 1 never, 2 less, 3 equal,
// 4 less-equal, 5 greater, 6 not-equal, 7 greater-equal, 8 always.
void set_blend_none();
void set_blend_additive();
void set_blend_smooth_add();
void set_blend_alpha();
void set_blend_prealpha();
void set_blend_multiply();
void set_atest(int ref);
void set_cull_mode(int mode);
void set_zenable(bool enable);
void set_zwrite(bool enable);
void set_color_write_mask(int mask);
void set_wireframe(bool enable);
void set_stencil_test(int mask, int ref, int func);
void set_stencil_replace_bits(int bits);
