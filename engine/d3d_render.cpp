#include "engine/d3d_render.h"

#include <SDL.h>
#include <sys/sysinfo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/gameShellServices.h"
#include "engine/gl.h"
#include "engine/passRecorder.h"

void* d3d = nullptr;
int d3d_wd = 0, d3d_ht = 0;
bool d3d_limit_buffered_frames = true;
D3dShaderState d3d_shader_state = {0};
Matrix44 d3d_view_tm = Matrix44::identity();
Matrix44 d3d_proj_tm = Matrix44::identity();

static SDL_Window* d3d_window = nullptr;

// The back buffer: a colour renderbuffer in its own framebuffer; presenting
// blits it (flipped to the window's bottom-up rows) into the window.
static GLuint bb_fbo = 0, bb_color = 0;
// Render textures are attached to this framebuffer.
static GLuint rt_fbo = 0;
// The one depth-stencil buffer, back-buffer size.
static GLuint scene_zbuffer = 0;
// Scratch framebuffers for copies between textures.
static GLuint copy_fbo[2] = {0, 0};
static GLuint default_vao = 0;
static GLuint postfx_vb = 0;
static GLuint samplers[16];

static GLsync frame_queries[2] = {nullptr, nullptr};
static int cur_frame_query = 0;

static uint8_t* front_buffer_capture = nullptr;
static uint8_t* staging_surface = nullptr;

// What is bound now, so clears can restore the masks they lift.
static Texture rt_bound[4] = {nullptr, nullptr, nullptr, nullptr};
static bool rt_depth = false;
static bool bb_bound = true;
static int color_write_mask = 15;
static bool zwrite_enabled = true;
static GLuint stencil_write_mask = 0xFFFFFFFFu;

int rt_format_to_d3d(int code)
{
  switch (code) {
    case RT_A8R8G8B8: return FMT_A8R8G8B8;
    case RT_G16R16: return FMT_G16R16;
    case RT_R16F: return FMT_R16F;
    case RT_G16R16F: return FMT_G16R16F;
    case RT_A16B16G16R16F: return FMT_A16B16G16R16F;
    case RT_R32F: return FMT_R32F;
    case RT_G32R32F: return FMT_G32R32F;
    case RT_A32B32G32R32F: return FMT_A32B32G32R32F;
    default: return FMT_UNKNOWN;
  }
}

// ---------------------------------------------------------------- device --

static void release_frame_queries()
{
  for (GLsync& q : frame_queries) {
    if (q) glDeleteSync(q);
    q = nullptr;
  }
}

static void create_frame_queries()
{
  release_frame_queries();
  // Issued once so the first two frames find them signalled.
  for (GLsync& q : frame_queries) q = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  cur_frame_query = 0;
}

static void release_scene_targets()
{
  if (scene_zbuffer) glDeleteRenderbuffers(1, &scene_zbuffer);
  if (bb_color) glDeleteRenderbuffers(1, &bb_color);
  scene_zbuffer = bb_color = 0;
}

static bool create_scene_targets()
{
  while (glGetError() != GL_NO_ERROR) {}
  glGenRenderbuffers(1, &bb_color);
  glBindRenderbuffer(GL_RENDERBUFFER, bb_color);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, d3d_wd, d3d_ht);
  glBindFramebuffer(GL_FRAMEBUFFER, bb_fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, bb_color);
  GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  GLenum err = glGetError();
  if (status != GL_FRAMEBUFFER_COMPLETE || err != GL_NO_ERROR) {
    debug("FAILED to create scene render target surface (code 0x%08X)", (unsigned)(err ? err : status));
    return false;
  }
  glGenRenderbuffers(1, &scene_zbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, scene_zbuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, d3d_wd, d3d_ht);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  err = glGetError();
  if (err != GL_NO_ERROR) {
    debug("FAILED to create scene z-buffer surface (code 0x%08X)", (unsigned)err);
    return false;
  }
  return true;
}

static void set_default_samplers()
{
  for (int i = 0; i < 16; ++i) {
    if (!samplers[i]) glGenSamplers(1, &samplers[i]);
    GLuint s = samplers[i];
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glBindSampler(i, s);
  }
}

// The classic device defaults that the drawing code assumes.
static void set_default_states()
{
  glFrontFace(GL_CW);  // clockwise on screen is the front, counter-clockwise is culled
  set_cull_mode(1);
  set_zenable(false);
  set_zwrite(true);
  glDepthFunc(GL_LEQUAL);
  set_blend_none();
  set_atest(0);
  set_color_write_mask(15);
  set_stencil_test(0, 0, 8);
  set_stencil_replace_bits(0);
  glStencilMask(0xFFFFFFFFu);
  stencil_write_mask = 0xFFFFFFFFu;
  set_wireframe(false);
  glDisable(GL_SCISSOR_TEST);
}

// Fills the back-buffer size the way the device's present parameters do:
// windowed 0 means the window's client size, fullscreen 0 the desktop's.
static void fill_present_size(int* width, int* height)
{
  int w = *width, h = *height;
  if (isFullscreen) {
    if (w < 1 || h < 1) {
      SDL_DisplayMode dm;
      if (SDL_GetDesktopDisplayMode(0, &dm) == 0) {
        w = dm.w;
        h = dm.h;
      }
    }
  } else if (w < 1 || h < 1) {
    int cw = 0, ch = 0;
    if (d3d_window) SDL_GL_GetDrawableSize(d3d_window, &cw, &ch);
    if (w < 1) w = cw;
    if (h < 1) h = ch;
  }
  if (w < 1) w = 1;
  if (h < 1) h = 1;
  *width = w;
  *height = h;
}

static void apply_swap_interval()
{
  // Refused under some X servers: then frames simply run unsynchronised.
  SDL_GL_SetSwapInterval(app_use_vsync ? 1 : 0);
}

bool init_d3d(SDL_Window* window, int width, int height)
{
  close_d3d();
  if (!window) return false;
  SDL_GLContext ctx = SDL_GL_CreateContext(window);
  if (!ctx) {
    debug("failed to create the GL context: %s", SDL_GetError());
    return false;
  }
  d3d = ctx;
  d3d_window = window;
  SDL_GL_MakeCurrent(window, ctx);

  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33) {
    debug("OpenGL 3.3 is needed, the driver gives %d.%d", major, minor);
    close_d3d();
    return false;
  }
  // Top-down rows and a 0..1 depth range: render textures and uploads share
  // the texture orientation the game's data and shaders are written for.
  if (major * 10 + minor >= 45 || SDL_GL_ExtensionSupported("GL_ARB_clip_control")) {
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  } else {
    debug("clip control is missing: the picture will be upside down");
  }

  apply_swap_interval();
  fill_present_size(&width, &height);
  d3d_wd = width;
  d3d_ht = height;
  debug("starting d3d in %dx%d", d3d_wd, d3d_ht);

  glGenVertexArrays(1, &default_vao);
  glBindVertexArray(default_vao);
  glGenFramebuffers(1, &bb_fbo);
  glGenFramebuffers(1, &rt_fbo);
  glGenFramebuffers(2, copy_fbo);
  if (!create_scene_targets()) {
    close_d3d();
    return false;
  }
  create_frame_queries();
  memset(samplers, 0, sizeof(samplers));
  set_default_samplers();
  set_default_states();
  set_back_buffer_target();
  init_shader_compiler();
  debug("init d3d ok (%dx%d)", d3d_wd, d3d_ht);
  return true;
}

void close_d3d()
{
  debug("close d3d");
  release_front_buffer_capture();
  free(staging_surface);
  staging_surface = nullptr;
  if (!d3d) return;
  release_frame_queries();
  release_all_textures();
  release_all_buffers();
  release_vertex_decls();
  close_shaders();
  release_scene_targets();
  for (GLuint& s : samplers) {
    if (s) glDeleteSamplers(1, &s);
    s = 0;
  }
  if (postfx_vb) glDeleteBuffers(1, &postfx_vb);
  GLuint fbos[4] = {bb_fbo, rt_fbo, copy_fbo[0], copy_fbo[1]};
  glDeleteFramebuffers(4, fbos);
  glDeleteVertexArrays(1, &default_vao);
  postfx_vb = bb_fbo = rt_fbo = copy_fbo[0] = copy_fbo[1] = default_vao = 0;
  for (Texture& t : rt_bound) t = nullptr;
  SDL_GL_DeleteContext((SDL_GLContext)d3d);
  d3d = nullptr;
}

bool resize_d3d(int width, int height, bool fullscreen, bool force)
{
  if (!d3d) return false;
  if (!fullscreen) {
    if (width == 0) width = d3d_wd;
    if (height == 0) height = d3d_ht;
  }
  if (!force && width == d3d_wd && height == d3d_ht && fullscreen == isFullscreen) return true;
  debug("=== resizing d3d to %dx%d %s", width, height, fullscreen ? "fullscreen" : "windowed");

  buffers_on_device_lost();
  textures_on_device_lost();
  release_frame_queries();
  release_scene_targets();

  isFullscreen = fullscreen;
  apply_swap_interval();
  fill_present_size(&width, &height);
  d3d_wd = width;
  d3d_ht = height;

  textures_on_device_reset();
  buffers_on_device_reset();
  if (!create_scene_targets()) {
    debug("failed to recreate scene RT");
    return false;
  }
  create_frame_queries();
  set_default_samplers();
  set_back_buffer_target();
  debug("resized d3d to %dx%d %s", d3d_wd, d3d_ht, fullscreen ? "fullscreen" : "windowed");
  on_game_device_reset();
  return true;
}

// A GL context is never lost: the device can render whenever it exists.
bool check_device_lost() { return d3d != nullptr; }

bool begin_scene() { return d3d != nullptr; }
void end_scene() {}

bool draw_frame(float dt)
{
  if (!d3d) return false;
  GLsync& q = frame_queries[cur_frame_query];
  if (d3d_limit_buffered_frames && q) {
    GLenum r = glClientWaitSync(q, GL_SYNC_FLUSH_COMMANDS_BIT, 0);
    if (r == GL_TIMEOUT_EXPIRED || r == GL_WAIT_FAILED) return false;
  }
  if (!begin_scene()) return false;
  set_cull_mode(1);
  render_game_frame(dt);
  end_scene();
  if (q) glDeleteSync(q);
  q = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  cur_frame_query = 1 - cur_frame_query;
  return true;
}

void present_frame()
{
  if (!d3d || !d3d_window) return;
  int ww = 0, wh = 0;
  SDL_GL_GetDrawableSize(d3d_window, &ww, &wh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, bb_fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // The back buffer's row 0 is the top of the picture; the window's is the bottom.
  glBlitFramebuffer(0, 0, d3d_wd, d3d_ht, 0, wh, ww, 0, GL_COLOR_BUFFER_BIT,
                    (ww == d3d_wd && wh == d3d_ht) ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(d3d_window);
  int m = color_write_mask;
  glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
  // Rebind what the frame had bound.
  if (bb_bound) {
    glBindFramebuffer(GL_FRAMEBUFFER, bb_fbo);
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, rt_fbo);
  }
}

void draw_splash_frame()
{
  // The window keeps answering while long work draws progress frames: a
  // close, a resize or a key is handled as in the main loop.
  pump_messages();
  if (d3d) {
    if (begin_scene()) {
      set_cull_mode(1);
      draw_loading_screen();
      end_scene();
    }
    present_frame();
  }
}

void submit_queued_draws()
{
  if (d3d) glFlush();
}

void flush_gpu()
{
  ASSERT(d3d);
  GLsync q = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  ASSERT(q);
  while (glClientWaitSync(q, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000) == GL_TIMEOUT_EXPIRED) {}
  glDeleteSync(q);
}

unsigned get_free_texmem()
{
  ASSERT(d3d);
  // Vendor queries where the driver has them; a software renderer's video
  // memory is the machine's free memory.
  if (SDL_GL_ExtensionSupported("GL_NVX_gpu_memory_info")) {
    GLint kb = 0;
    glGetIntegerv(0x9049, &kb);  // current available video memory, KiB
    return (unsigned)kb * 1024u;
  }
  struct sysinfo si;
  if (sysinfo(&si) == 0) {
    unsigned long long bytes = (unsigned long long)si.freeram * si.mem_unit;
    return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : (unsigned)bytes;
  }
  return 0;
}

void get_d3d_modes(DynArray<D3dMode>& modes)
{
  int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode dm;
    if (SDL_GetDisplayMode(0, i, &dm) != 0) continue;
    bool seen = false;
    for (int j = 0; j < modes.num; ++j) {
      if (modes[j].width == dm.w && modes[j].height == dm.h) seen = true;
    }
    if (!seen) {
      D3dMode m = {dm.w, dm.h};
      modes.append(1, &m);
    }
  }
}

const uint8_t* capture_front_buffer(int* width, int* height, int* pitch)
{
  release_front_buffer_capture();
  *width = *height = *pitch = 0;
  if (!d3d || d3d_wd < 1 || d3d_ht < 1) return nullptr;
  front_buffer_capture = (uint8_t*)malloc((size_t)d3d_wd * d3d_ht * 4);
  if (!front_buffer_capture) return nullptr;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, bb_fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, d3d_wd, d3d_ht, GL_BGRA, GL_UNSIGNED_BYTE, front_buffer_capture);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, bb_bound ? bb_fbo : rt_fbo);
  *width = d3d_wd;
  *height = d3d_ht;
  *pitch = d3d_wd * 4;
  return front_buffer_capture;
}

void release_front_buffer_capture()
{
  free(front_buffer_capture);
  front_buffer_capture = nullptr;
}

// ---------------------------------------------------------- render targets --

Texture create_render_texture(int width, int height, int format_code)
{
  return create_texture(width, height, 1, TEXUSAGE_RENDERTARGET, rt_format_to_d3d(format_code), TEXPOOL_DEFAULT);
}

Texture create_screen_render_texture() { return create_render_texture(0, 0, RT_A8R8G8B8); }

// Every float format of the core profile can be blended into.
bool rt_format_supports_blending(int format_code) { return rt_format_to_d3d(format_code) != FMT_UNKNOWN; }

static void apply_draw_buffers()
{
  GLenum bufs[4];
  int n = 0;
  for (int i = 0; i < 4; ++i) bufs[n++] = rt_bound[i] ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
  while (n > 1 && bufs[n - 1] == GL_NONE) --n;
  glDrawBuffers(n, bufs);
}

void set_render_target(Texture tex, int index, bool with_depth)
{
  if (index < 0 || index > 3) return;
  if (bb_bound && index != 0 && !tex) return;
  if (bb_bound && index != 0) {
    // Extra targets only go with a render texture at index 0.
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, rt_fbo);
  bb_bound = false;
  rt_bound[index] = tex;
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + index, GL_TEXTURE_2D, tex ? tex->texture : 0, 0);
  if (index == 0) {
    rt_depth = with_depth && tex;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              rt_depth ? scene_zbuffer : 0);
    // Changing the target resets the viewport to the target's size.
    if (tex) glViewport(0, 0, tex->real_width, tex->real_height);
  }
  apply_draw_buffers();
}

void set_back_buffer_target()
{
  if (!d3d) return;
  if (!bb_bound) {
    glBindFramebuffer(GL_FRAMEBUFFER, rt_fbo);
    for (int i = 0; i < 4; ++i) {
      if (rt_bound[i]) glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, 0, 0);
      rt_bound[i] = nullptr;
    }
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, bb_fbo);
  bb_bound = true;
  rt_depth = false;
  glViewport(0, 0, d3d_wd, d3d_ht);
}

static void blit_fbos(GLuint from, GLuint to, int fw, int fh, int tw, int th)
{
  glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, fw, fh, 0, 0, tw, th, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  int m = color_write_mask;
  glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
  glBindFramebuffer(GL_FRAMEBUFFER, bb_bound ? bb_fbo : rt_fbo);
}

void copy_texture(Texture fromTex, Texture toTex)
{
  ASSERT_AT("d3d_render.cpp", __LINE__, fromTex);
  ASSERT_AT("d3d_render.cpp", __LINE__, toTex);
  glBindFramebuffer(GL_FRAMEBUFFER, copy_fbo[0]);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fromTex->texture, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, copy_fbo[1]);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, toTex->texture, 0);
  blit_fbos(copy_fbo[0], copy_fbo[1], fromTex->real_width, fromTex->real_height, toTex->real_width,
            toTex->real_height);
}

bool copy_back_buffer_to_texture(Texture tex)
{
  if (!tex || !tex->texture) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, copy_fbo[1]);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex->texture, 0);
  blit_fbos(bb_fbo, copy_fbo[1], d3d_wd, d3d_ht, tex->real_width, tex->real_height);
  return true;
}

bool copy_texture_to_back_buffer(Texture tex)
{
  if (!d3d || !tex || !tex->texture || tex->real_width != d3d_wd || tex->real_height != d3d_ht) return false;
  if (tex->format != rt_format_to_d3d(RT_A8R8G8B8) || color_write_mask != 15) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, copy_fbo[0]);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex->texture, 0);
  blit_fbos(copy_fbo[0], bb_fbo, d3d_wd, d3d_ht, d3d_wd, d3d_ht);
  return true;
}

// There is no separate scene target in this configuration: the scene is the
// back buffer.
void set_scene_target() { set_back_buffer_target(); }
void resolve_scene_target(Texture tex) { copy_back_buffer_to_texture(tex); }

static int slot_bpp(Texture tex)
{
  GlFormatInfo fi;
  if (!tex || !get_gl_format(tex->format, &fi)) return 0;
  return fi.bytes_per_pixel;
}

void* lock_texture_for_update(Texture tex, int* pitch)
{
  if (staging_surface || !tex || !tex->texture) return nullptr;
  int bpp = slot_bpp(tex);
  if (bpp == 0) return nullptr;
  staging_surface = (uint8_t*)calloc((size_t)tex->real_width * tex->real_height, bpp);
  if (!staging_surface) return nullptr;
  *pitch = tex->real_width * bpp;
  return staging_surface;
}

bool unlock_texture_update(Texture tex)
{
  if (!staging_surface || !tex || !tex->texture) return false;
  GlFormatInfo fi;
  get_gl_format(tex->format, &fi);
  glActiveTexture(GL_TEXTURE0);
  GLint prev = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev);
  glBindTexture(GL_TEXTURE_2D, tex->texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tex->real_width, tex->real_height, fi.format, fi.type, staging_surface);
  glBindTexture(GL_TEXTURE_2D, prev);
  free(staging_surface);
  staging_surface = nullptr;
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    debug("UpdateSurface failed, code 0x%08X", (unsigned)err);
    return false;
  }
  return true;
}

const void* read_render_texture(Texture tex, int* pitch)
{
  if (staging_surface || !tex || !tex->texture) return nullptr;
  int bpp = slot_bpp(tex);
  if (bpp == 0) return nullptr;
  GlFormatInfo fi;
  get_gl_format(tex->format, &fi);
  staging_surface = (uint8_t*)malloc((size_t)tex->real_width * tex->real_height * bpp);
  if (!staging_surface) return nullptr;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, copy_fbo[0]);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex->texture, 0);
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, tex->real_width, tex->real_height, fi.format, fi.type, staging_surface);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, bb_bound ? bb_fbo : rt_fbo);
  *pitch = tex->real_width * bpp;
  return staging_surface;
}

bool end_read_render_texture(Texture)
{
  if (!staging_surface) return false;
  free(staging_surface);
  staging_surface = nullptr;
  return true;
}

// ----------------------------------------------------------------- drawing --

void draw_postfx()
{
  mark_pass(PASS_FULLSCREEN_QUAD);
  prepare_shader_draw();
  if (!postfx_vb) {
    static const float quad[12] = {-1, -1, 0, -1, 1, 0, 1, -1, 0, 1, 1, 0};
    glGenBuffers(1, &postfx_vb);
    glBindBuffer(GL_ARRAY_BUFFER, postfx_vb);
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
  }
  glBindBuffer(GL_ARRAY_BUFFER, postfx_vb);
  for (int i = 1; i < 16; ++i) glDisableVertexAttribArray(i);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
  glVertexAttribDivisor(0, 0);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

static GLenum prim_mode(int type, int prim_count, int* index_count)
{
  switch (type) {
    case 1: *index_count = prim_count; return GL_POINTS;
    case 2: *index_count = prim_count * 2; return GL_LINES;
    case 3: *index_count = prim_count + 1; return GL_LINE_STRIP;
    case 4: *index_count = prim_count * 3; return GL_TRIANGLES;
    case 5: *index_count = prim_count + 2; return GL_TRIANGLE_STRIP;
    case 6: *index_count = prim_count + 2; return GL_TRIANGLE_FAN;
    default: *index_count = 0; return GL_NONE;
  }
}

void draw_indexed(int prim_type, int base_vertex, int, int, int start_index, int prim_count)
{
  if (prim_count < 1) return;
  int count = 0;
  GLenum mode = prim_mode(prim_type, prim_count, &count);
  int instances = prepare_vertex_inputs();
  const void* first = (const void*)((intptr_t)start_index * 2);
  if (instances > 0)
    glDrawElementsInstancedBaseVertex(mode, count, GL_UNSIGNED_SHORT, first, instances, base_vertex);
  else
    glDrawElementsBaseVertex(mode, count, GL_UNSIGNED_SHORT, first, base_vertex);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) fatal("draw_indexed failed (code 0x%08X)", (unsigned)err);
}

void draw_prim(int prim_type, int start_vertex, int prim_count)
{
  if (prim_count < 1) return;
  int count = 0;
  GLenum mode = prim_mode(prim_type, prim_count, &count);
  prepare_vertex_inputs();
  glDrawArrays(mode, start_vertex, count);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) fatal("draw_prim failed (code 0x%08X)", (unsigned)err);
}

static void clear_with(GLbitfield bits, D3dColor color)
{
  // Clears ignore the write masks: lift them, then put them back.
  if (bits & GL_COLOR_BUFFER_BIT) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(((color >> 16) & 255) / 255.0f, ((color >> 8) & 255) / 255.0f, (color & 255) / 255.0f,
                 ((color >> 24) & 255) / 255.0f);
  }
  if (bits & GL_DEPTH_BUFFER_BIT) {
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
  }
  if (bits & GL_STENCIL_BUFFER_BIT) {
    glStencilMask(0xFFFFFFFFu);
    glClearStencil(0);
  }
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  glClear(bits);
  if (scissor) glEnable(GL_SCISSOR_TEST);
  int m = color_write_mask;
  glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
  glDepthMask(zwrite_enabled);
  glStencilMask(stencil_write_mask);
}

void clear_view(D3dColor color)
{
  GLbitfield bits = GL_COLOR_BUFFER_BIT;
  if (!bb_bound && rt_depth) bits |= GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
  clear_with(bits, color);
}

void clear_view_color(D3dColor color) { clear_with(GL_COLOR_BUFFER_BIT, color); }

void clear_view_z()
{
  if (!bb_bound && rt_depth) clear_with(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, 0);
}

void set_viewport(int x, int y, int width, int height)
{
  // Viewport rows count from the top, as the rest of the renderer does.
  glViewport(x, y, width, height);
  glDepthRange(0.0, 1.0);
}

void set_view_tm(const Matrix44& tm) { d3d_view_tm = tm; }
void set_proj_tm(const Matrix44& tm) { d3d_proj_tm = tm; }

void set_proj_tm(float fov, float aspect, float znear, float zfar)
{
  float y_scale = 1.0f / tanf(fov / 2);
  float x_scale = y_scale / aspect;
  float q = zfar / (zfar - znear);
  Matrix44 m;
  m.row[0] = make4f(x_scale, 0, 0, 0);
  m.row[1] = make4f(0, y_scale, 0, 0);
  m.row[2] = make4f(0, 0, q, 1);
  m.row[3] = make4f(0, 0, -znear * q, 0);
  d3d_proj_tm = m;
}

void get_glob_tm(Matrix44& tm) { tm = d3d_view_tm * d3d_proj_tm; }

// ------------------------------------------------------------- render state --

static void set_blend(GLenum src, GLenum dst)
{
  glEnable(GL_BLEND);
  glBlendFunc(src, dst);
}

void set_blend_none() { glDisable(GL_BLEND); }
void set_blend_additive() { set_blend(GL_ONE, GL_ONE); }
void set_blend_smooth_add() { set_blend(GL_ONE, GL_ONE_MINUS_SRC_COLOR); }
void set_blend_alpha() { set_blend(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }
void set_blend_prealpha() { set_blend(GL_ONE, GL_ONE_MINUS_SRC_ALPHA); }
void set_blend_multiply() { set_blend(GL_DST_COLOR, GL_ZERO); }

void set_atest(int ref) { d3d_shader_state.alpha_ref = ref < 1 ? 0 : ref; }

void set_cull_mode(int mode)
{
  if (mode) {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
}

void set_zenable(bool enable)
{
  if (enable) glEnable(GL_DEPTH_TEST);
  else glDisable(GL_DEPTH_TEST);
}

void set_zwrite(bool enable)
{
  zwrite_enabled = enable;
  glDepthMask(enable ? GL_TRUE : GL_FALSE);
}

void set_color_write_mask(int mask)
{
  color_write_mask = mask & 15;
  glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
}

void set_wireframe(bool enable) { glPolygonMode(GL_FRONT_AND_BACK, enable ? GL_LINE : GL_FILL); }

static GLenum compare_func(int func)
{
  static const GLenum funcs[9] = {GL_ALWAYS, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL,
                                  GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
  return (func >= 1 && func <= 8) ? funcs[func] : GL_ALWAYS;
}

void set_stencil_test(int mask, int ref, int func)
{
  if (mask == 0) {
    glDisable(GL_STENCIL_TEST);
    return;
  }
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(compare_func(func), ref, (GLuint)mask);
}

void set_stencil_replace_bits(int bits)
{
  stencil_write_mask = (GLuint)bits;
  glStencilMask((GLuint)bits);
  glStencilOp(GL_KEEP, GL_KEEP, bits ? GL_REPLACE : GL_KEEP);
}
