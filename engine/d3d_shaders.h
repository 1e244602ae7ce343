// Shaders: one ".sh" file of GLSL (3.30 core, without "#version") holds both
// stages of a program and is compiled twice, once with VSH and once with PSH
// defined as " 1", after the caller's defines and the shared prelude
// "prelude.glsl" (beside the program, like every shader file). Shaders are
// shared by file name and defines list and counted by references, at most
// MAX_SHADERS at once.
//
// What a shader file writes (the prelude declares the rest):
//   - `void vsh()` writes gl_Position (clip space: x right, y up, depth 0..1)
//     and the stage outputs; `void psh()` writes out_color0 (out_color1..3
//     for further render targets). The prelude's main() calls them, moves
//     every vertex by the half-pixel offset that puts pixel centres where
//     the game's coordinates expect them, and applies the alpha test (in
//     a second program with ALPHA_TEST defined, used while the test is on).
//   - Vertex inputs are named by meaning and index: `in vec4 POSITION0;`,
//     NORMAL0, COLOR0, TEXCOORD0..15, TANGENT0 (see vertex_input_name).
//     POSITION0 is always attribute 0, the full-screen quad's position.
//   - Values passed between the stages are declared `VARYING vec2 tc;`.
//   - Constants: vs_c[256] (vertex stage) and ps_c[224] (pixel stage), the
//     registers set by set_vs_constants / set_ps_constants; they are shared
//     by every shader and kept across shader switches. Samplers: s0..s15,
//     texture units 0..15.
//   - `#include "name"` inserts the file named relative to the program
//     directory; every file read is a dependency of the shader.
//
// Compiled programs are cached in "cache/<name><define suffix>.cache" under
// the program directory (see shaderCache.h); a fresh cache file is loaded
// instead of compiling. reload_shaders(false), called once a second,
// rebuilds every shader one of whose files changed; a failed rebuild keeps
// the old program and shows the compiler's text as the on-screen error
// message. Main thread only; needs the device.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"
#include "engine/gl.h"

enum { MAX_SHADERS = 64, SHADER_NAME_SIZE = 260, SHADER_DEFINES_SIZE = 512 };
enum { VS_CONST_REGS = 256, PS_CONST_REGS = 224 };

struct ShaderDependency {
  char path[260];   // the file name as the shader named it
  int64_t file_time;  // its modification time when recorded
};

struct Shader {
  GLuint program;  // the slot is taken while this is non-zero
  uint32_t serial;  // unique per linked program (program names are reused)
  char name[SHADER_NAME_SIZE];
  char defines[SHADER_DEFINES_SIZE];  // NAME, VALUE pairs, each NUL-ended, then an empty string
  DynArray<ShaderDependency> dependencies;
  int refcount;
  bool from_cache;  // the live program came from the cache file
  // The same file with ALPHA_TEST defined, built when a draw first needs
  // the alpha test; atest_failed: it could not be built; atest_skip_cache:
  // compile it afresh (the file was reloaded).
  GLuint atest_program;
  uint32_t atest_serial;
  bool atest_failed;
  bool atest_skip_cache;

  bool empty() const { return program == 0; }
};

extern Shader shader_table[MAX_SHADERS];
extern bool shader_reload_in_progress;

// Logs "shader compiler available" (the GL driver compiles GLSL).
void init_shader_compiler();

// defines: null, or NAME, VALUE pairs of NUL-ended strings ended by an
// empty string ("FIRST\0 1\0\0"). Fatal when all 64 slots are taken
// ("reached maximum shader count!") or when neither the cache nor a build
// gives a program ("can't create shader from '%s'").
Shader* create_shader(const char* name, const char* defines);
void destroy_shader(Shader* s);  // null is ignored
void set_shader(Shader* s);      // null unbinds
Shader* get_current_shader();

// Rebuilds changed shaders (all with force); see the banner.
void reload_shaders(bool force);
// Frees every slot whatever its count, and the constant buffers.
void close_shaders();

// Float4 registers [first, first + count) of the vertex or pixel stage.
// Registers outside the range are ignored.
void set_vs_constants(int first, const float* data, int count);
void set_ps_constants(int first, const float* data, int count);

// Called by the device right before each draw: makes the current shader's
// program current and updates the per-draw values its prelude reads (the
// half-pixel offset of the viewport, the alpha-test reference).
void prepare_shader_draw();
