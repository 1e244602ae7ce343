#include "engine/d3d_shaders.h"

#include <cstring>

#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/shaderCache.h"
#include "engine/visualLog.h"

Shader shader_table[MAX_SHADERS];
bool shader_reload_in_progress = false;

static Shader* current_shader = nullptr;
static uint32_t bound_serial = 0;  // serial of the program in use, 0 for none
static uint32_t next_serial = 1;

// The shared float constants and the per-draw values, as uniform buffers on
// fixed binding points that every program's blocks are tied to.
enum { VS_CONST_BINDING = 0, PS_CONST_BINDING = 1, DRAW_STATE_BINDING = 2 };
static GLuint vs_const_ubo = 0, ps_const_ubo = 0, draw_state_ubo = 0;
static float draw_state[8];  // pixel offset (4), alpha reference (4)
static bool draw_state_valid = false;

// Whether the driver can hand out program binaries for the cache.
static int program_binary_formats = -1;

static void ensure_constant_buffers()
{
  if (vs_const_ubo) return;
  auto make = [](GLuint* ubo, int bytes, GLuint binding) {
    glGenBuffers(1, ubo);
    glBindBuffer(GL_UNIFORM_BUFFER, *ubo);
    glBufferData(GL_UNIFORM_BUFFER, bytes, nullptr, GL_DYNAMIC_DRAW);
    // Registers start at zero, as the device's constants do.
    void* p = glMapBufferRange(GL_UNIFORM_BUFFER, 0, bytes, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
    if (p) {
      memset(p, 0, size_t(bytes));
      glUnmapBuffer(GL_UNIFORM_BUFFER);
    }
    glBindBufferBase(GL_UNIFORM_BUFFER, binding, *ubo);
  };
  make(&vs_const_ubo, VS_CONST_REGS * 16, VS_CONST_BINDING);
  make(&ps_const_ubo, PS_CONST_REGS * 16, PS_CONST_BINDING);
  make(&draw_state_ubo, int(sizeof(draw_state)), DRAW_STATE_BINDING);
  glBindBuffer(GL_UNIFORM_BUFFER, 0);
  draw_state_valid = false;
}

void init_shader_compiler()
{
  program_binary_formats = -1;
  debug("shader compiler available");
}

static bool binaries_supported()
{
  if (program_binary_formats < 0) {
    GLint n = 0;
    glGetIntegerv(GL_NUM_PROGRAM_BINARY_FORMATS, &n);
    while (glGetError() != GL_NO_ERROR) {}
    program_binary_formats = n;
  }
  return program_binary_formats > 0;
}

// ---------------------------------------------------------------- messages --

// Compiler output goes to the log, and on screen while reloading.
static void report_compiler_text(const Shader* s, const char* func, const char* text,
                                 const DynArray<TempString<260>>& deps)
{
  DynArray<char> named;
  name_source_numbers(text, deps, named);
  TempString<400> heading = TempString<400>::format("HLSL '%s', func '%s':", s->name, func);
  debug("%s", heading.c_str());
  debug("%s", named.data);
  if (shader_reload_in_progress) {
    append_error_message(heading, -1);
    append_error_message(named.data, -1);
  }
}

static void get_log(GLuint object, bool program, DynArray<char>& out)
{
  GLint len = 0;
  if (program) glGetProgramiv(object, GL_INFO_LOG_LENGTH, &len);
  else glGetShaderiv(object, GL_INFO_LOG_LENGTH, &len);
  out.resize(len > 0 ? len + 1 : 1);
  out[0] = 0;
  if (len > 0) {
    if (program) glGetProgramInfoLog(object, len, nullptr, out.data);
    else glGetShaderInfoLog(object, len, nullptr, out.data);
    out[len] = 0;
  }
}

static bool log_is_blank(const char* text)
{
  for (; *text; ++text)
    if (*text != ' ' && *text != '\n' && *text != '\r' && *text != '\t') return false;
  return true;
}

// -------------------------------------------------------------- programs --

// Compiles one stage; 0 on failure (messages reported).
static GLuint compile_stage(const Shader* s, bool vertex, const char* text, int length,
                            const DynArray<TempString<260>>& deps)
{
  const char* func = vertex ? "vsh" : "psh";
  GLuint sh = glCreateShader(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  GLint len = length;
  glShaderSource(sh, 1, &text, &len);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  DynArray<char> log;
  get_log(sh, false, log);
  if (!log_is_blank(log.data)) report_compiler_text(s, func, log.data, deps);
  if (!ok) {
    debug("FAILED to compile HLSL shader '%s', func '%s'", s->name, func);
    glDeleteShader(sh);
    return 0;
  }
  return sh;
}

// Ties a freshly linked program to the shared constants and texture units.
static void setup_program(GLuint program)
{
  static const struct { const char* name; GLuint binding; } blocks[] = {
      {"VsConstants", VS_CONST_BINDING}, {"PsConstants", PS_CONST_BINDING}, {"DrawState", DRAW_STATE_BINDING}};
  for (const auto& b : blocks) {
    GLuint index = glGetUniformBlockIndex(program, b.name);
    if (index != GL_INVALID_INDEX) glUniformBlockBinding(program, index, b.binding);
  }
  glUseProgram(program);
  for (int i = 0; i < 16; ++i) {
    char name[8];
    snprintf(name, sizeof(name), "s%d", i);
    GLint loc = glGetUniformLocation(program, name);
    if (loc >= 0) glUniform1i(loc, i);
  }
  // Whatever program was in use is put back by the next draw.
  bound_serial = 0;
}

static GLuint link_program(const Shader* s, GLuint vs, GLuint ps, const DynArray<TempString<260>>& deps)
{
  GLuint p = glCreateProgram();
  glAttachShader(p, vs);
  glAttachShader(p, ps);
  // The full-screen quad feeds attribute 0.
  glBindAttribLocation(p, 0, "POSITION0");
  glBindAttribLocation(p, 0, "POSITION");
  if (binaries_supported()) glProgramParameteri(p, GL_PROGRAM_BINARY_RETRIEVABLE_HINT, GL_TRUE);
  glLinkProgram(p);
  glDetachShader(p, vs);
  glDetachShader(p, ps);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  DynArray<char> log;
  get_log(p, true, log);
  if (!ok || !log_is_blank(log.data)) report_compiler_text(s, "link", log.data, deps);
  if (!ok) {
    debug("FAILED to link HLSL shader '%s'", s->name);
    glDeleteProgram(p);
    return 0;
  }
  setup_program(p);
  return p;
}

static GLuint program_from_texts(const Shader* s, const char* vs_text, int vs_len, const char* ps_text, int ps_len,
                                 const DynArray<TempString<260>>& deps)
{
  GLuint vs = compile_stage(s, true, vs_text, vs_len, deps);
  if (!vs) return 0;
  GLuint ps = compile_stage(s, false, ps_text, ps_len, deps);
  if (!ps) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint p = link_program(s, vs, ps, deps);
  glDeleteShader(vs);
  glDeleteShader(ps);
  return p;
}

// ------------------------------------------------------------------ cache --

static bool cache_path(const Shader* s, const char* defines, TempString<260>& out)
{
  TempString<1024> rel;
  if (!make_shader_cache_name(s->name, defines, rel)) return false;
  if (strlen(app_path) + size_t(rel.length()) + 2 >= 260) return false;
  out = make_full_path(rel);
  return true;
}

static int64_t dependency_time(const char* name)
{
  if (strlen(app_path) + strlen(name) + 2 >= 260) return 0;
  return get_file_time(find_file_nocase(make_full_path(name)));
}

static void record_dependencies(Shader* s, const DynArray<TempString<260>>& names)
{
  s->dependencies.clear();
  for (const TempString<260>& n : names) {
    ShaderDependency d;
    memcpy(d.path, n.buffer, sizeof(d.path));
    d.file_time = dependency_time(n);
    s->dependencies.push_back(d);
  }
}

static void write_cache(const Shader* s, const char* defines, GLuint program, const DynArray<char>& vs_text,
                        const DynArray<char>& ps_text, const DynArray<TempString<260>>& deps)
{
  TempString<260> path;
  if (!cache_path(s, defines, path)) return;
  bool ok = false;
  GLint length = 0;
  if (binaries_supported()) glGetProgramiv(program, GL_PROGRAM_BINARY_LENGTH, &length);
  if (length > 0) {
    DynArray<uint8_t> code;
    code.resize(8 + length);
    GLenum format = 0;
    GLsizei got = 0;
    glGetProgramBinary(program, length, &got, &format, code.data + 8);
    if (got > 0) {
      uint32_t head[2] = {SHADER_BINARY_TAG, format};
      memcpy(code.data, head, 8);
      ok = write_shader_cache(path, deps, code.data, 8 + got, nullptr, 0);
      if (!ok) debug("can't write shader cache '%s'", path.c_str());
      return;
    }
  }
  ok = write_shader_cache(path, deps, vs_text.data, vs_text.num, ps_text.data, ps_text.num);
  if (!ok) debug("can't write shader cache '%s'", path.c_str());
}

// The program of the shader's file built with `defines` from its cache
// file, 0 when there is no usable one.
static GLuint load_from_cache(Shader* s, const char* defines)
{
  s->dependencies.clear();
  TempString<260> path;
  if (!cache_path(s, defines, path)) return 0;
  ShaderCacheData data;
  TempString<128> reason;
  if (!read_shader_cache(path, data, &reason)) {
    if (get_file_time(path)) debug("shader cache '%s' ignored: %s", path.c_str(), reason.c_str());
    return 0;
  }
  record_dependencies(s, data.dependencies);
  int64_t cache_time = get_file_time(path);
  for (const ShaderDependency& d : s->dependencies)
    if (d.file_time > cache_time) return 0;

  GLuint p = 0;
  uint32_t tag = 0;
  if (data.vs_code.num >= 8) memcpy(&tag, data.vs_code.data, 4);
  if (tag == SHADER_BINARY_TAG) {
    if (data.ps_code.num != 0) return 0;
    uint32_t format = 0;
    memcpy(&format, data.vs_code.data + 4, 4);
    while (glGetError() != GL_NO_ERROR) {}
    p = glCreateProgram();
    glProgramBinary(p, format, data.vs_code.data + 8, data.vs_code.num - 8);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    while (glGetError() != GL_NO_ERROR) {}
    if (!ok) {
      // Another driver or version: compile instead.
      debug("shader cache '%s': program binary refused", path.c_str());
      glDeleteProgram(p);
      return 0;
    }
    setup_program(p);
  } else {
    if (data.vs_code.num == 0 || data.ps_code.num == 0) return 0;
    p = program_from_texts(s, (const char*)data.vs_code.data, data.vs_code.num, (const char*)data.ps_code.data,
                           data.ps_code.num, data.dependencies);
    if (!p) return 0;
  }
  debug("loaded shader '%s' from cache", s->name);
  return p;
}

// Compiles the shader's file with `defines`, links it and writes the cache;
// 0 on failure. The dependencies are recorded either way.
static GLuint build_program(Shader* s, const char* defines)
{
  s->dependencies.clear();
  DynArray<TempString<260>> deps;
  DynArray<char> vs_text, ps_text, error;
  bool ok = build_stage_source(s->name, defines, true, vs_text, deps, error);
  if (ok) ok = build_stage_source(s->name, defines, false, ps_text, deps, error);
  record_dependencies(s, deps);
  if (!ok) {
    report_compiler_text(s, vs_text.num && !ps_text.num ? "psh" : "vsh", error.data, deps);
    debug("FAILED to compile HLSL shader '%s'", s->name);
    return 0;
  }
  GLuint p = program_from_texts(s, vs_text.data, vs_text.num, ps_text.data, ps_text.num, deps);
  if (p) write_cache(s, defines, p, vs_text, ps_text, deps);
  return p;
}

// Builds the shader's own program; on success the slot holds it.
static bool build_shader(Shader* s)
{
  GLuint p = build_program(s, s->defines);
  if (!p) return false;
  s->program = p;
  s->serial = next_serial++;
  s->from_cache = false;
  return true;
}

static bool load_shader_from_cache(Shader* s)
{
  GLuint p = load_from_cache(s, s->defines);
  if (!p) return false;
  s->program = p;
  s->serial = next_serial++;
  s->from_cache = true;
  return true;
}

// The program with the alpha test. A shader that may discard fragments
// keeps the rasteriser from rejecting hidden ones before shading them, so
// the test is compiled only into a second program, built the first time a
// draw needs it: the shader's defines plus ALPHA_TEST. When it cannot be
// built, the plain program draws without the test.
static void drop_alpha_test_program(Shader* s, bool skip_cache)
{
  if (s->atest_program) glDeleteProgram(s->atest_program);
  s->atest_program = 0;
  s->atest_serial = 0;
  s->atest_failed = false;
  s->atest_skip_cache = skip_cache;
}

static void ensure_alpha_test_program(Shader* s)
{
  if (s->atest_program || s->atest_failed) return;
  char defines[SHADER_DEFINES_SIZE + 16];
  const int n = shader_defines_size(s->defines) - 1;  // without the closing empty string
  memcpy(defines, s->defines, size_t(n));
  static const char extra[] = "ALPHA_TEST\0 1\0";  // and the closing empty string
  memcpy(defines + n, extra, sizeof(extra));
  // The dependencies are the plain program's files either way; keep its
  // record, which the reload compares against.
  DynArray<ShaderDependency> kept = s->dependencies;
  GLuint p = s->atest_skip_cache ? 0 : load_from_cache(s, defines);
  if (!p) p = build_program(s, defines);
  s->atest_skip_cache = false;
  s->dependencies = kept;
  if (!p) {
    debug("shader '%s' draws without its alpha test", s->name);
    s->atest_failed = true;
    return;
  }
  s->atest_program = p;
  s->atest_serial = next_serial++;
}

// ------------------------------------------------------------------ table --

static void free_slot(Shader* s)
{
  if (current_shader == s) set_shader(nullptr);
  drop_alpha_test_program(s, false);
  s->dependencies.clear();
  if (s->program) glDeleteProgram(s->program);
  s->program = 0;
  s->serial = 0;
  s->refcount = 0;
  s->name[0] = 0;
  memset(s->defines, 0, sizeof(s->defines));
  ASSERT(s->empty());
}

Shader* create_shader(const char* name, const char* defines)
{
  ensure_constant_buffers();
  for (Shader& s : shader_table) {
    if (!s.empty() && strcmp(s.name, name) == 0 && shader_defines_equal(s.defines, defines)) {
      s.refcount++;
      return &s;
    }
  }
  Shader* s = nullptr;
  for (Shader& t : shader_table) {
    if (t.empty()) {
      s = &t;
      break;
    }
  }
  if (!s) fatal("reached maximum shader count!");

  TempString<SHADER_NAME_SIZE> checked(name);  // fails "l<BS" when too long
  memcpy(s->name, checked.buffer, sizeof(s->name));
  int dsize = shader_defines_size(defines);
  ASSERT(dsize<=SHADER_DEFINES_SIZE);
  memset(s->defines, 0, sizeof(s->defines));
  if (defines) memcpy(s->defines, defines, size_t(dsize));
  s->refcount = 0;

  if (load_shader_from_cache(s) || build_shader(s)) {
    s->refcount++;
    return s;
  }
  TempString<SHADER_NAME_SIZE> failed(s->name);
  free_slot(s);
  fatal("can't create shader from %s'%s'", "", failed.c_str());
}

void destroy_shader(Shader* s)
{
  if (!s) return;
  ASSERT(s->refcount>0);
  if (--s->refcount == 0) free_slot(s);
}

void set_shader(Shader* s)
{
  current_shader = s && !s->empty() ? s : nullptr;
  glUseProgram(current_shader ? current_shader->program : 0);
  bound_serial = current_shader ? current_shader->serial : 0;
}

Shader* get_current_shader() { return current_shader; }

static bool dependencies_changed(const Shader& s)
{
  if (s.dependencies.num == 0) return true;
  for (const ShaderDependency& d : s.dependencies)
    if (dependency_time(d.path) != d.file_time) return true;
  return false;
}

void reload_shaders(bool force)
{
  if (!d3d) return;
  for (Shader& s : shader_table) {
    if (s.empty()) continue;
    if (!force && !dependencies_changed(s)) continue;
    if (!shader_reload_in_progress) {
      shader_reload_in_progress = true;
      set_error_message(nullptr);
    }
    GLuint old_program = s.program;
    uint32_t old_serial = s.serial;
    bool old_from_cache = s.from_cache;
    s.program = 0;
    if (build_shader(&s)) {
      debug("reloaded shader '%s'", s.name);
      glDeleteProgram(old_program);
      // Compiled from the new files when next needed (a cache written in
      // the same second as the edit would look fresh).
      drop_alpha_test_program(&s, true);
    } else {
      append_error_message(TempString<400>::format("FAILED to reload shader '%s'", s.name), -1);
      s.program = old_program;
      s.serial = old_serial;
      s.from_cache = old_from_cache;
    }
  }
  shader_reload_in_progress = false;
}

void close_shaders()
{
  for (Shader& s : shader_table) free_slot(&s);
  current_shader = nullptr;
  bound_serial = 0;
  if (vs_const_ubo) {
    GLuint ubos[3] = {vs_const_ubo, ps_const_ubo, draw_state_ubo};
    glDeleteBuffers(3, ubos);
  }
  vs_const_ubo = ps_const_ubo = draw_state_ubo = 0;
  draw_state_valid = false;
  program_binary_formats = -1;
}

// -------------------------------------------------------------- constants --

static void set_constants(GLuint ubo, int regs, int first, const float* data, int count)
{
  if (!data || count <= 0 || first < 0 || first >= regs) return;
  if (count > regs - first) count = regs - first;
  glBindBuffer(GL_UNIFORM_BUFFER, ubo);
  glBufferSubData(GL_UNIFORM_BUFFER, first * 16, count * 16, data);
  glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

void set_vs_constants(int first, const float* data, int count)
{
  ensure_constant_buffers();
  set_constants(vs_const_ubo, VS_CONST_REGS, first, data, count);
}

void set_ps_constants(int first, const float* data, int count)
{
  ensure_constant_buffers();
  set_constants(ps_const_ubo, PS_CONST_REGS, first, data, count);
}

void prepare_shader_draw()
{
  ensure_constant_buffers();
  if (current_shader) {
    GLuint program = current_shader->program;
    uint32_t serial = current_shader->serial;
    if (d3d_shader_state.alpha_ref > 0) {
      ensure_alpha_test_program(current_shader);
      if (current_shader->atest_program) {
        program = current_shader->atest_program;
        serial = current_shader->atest_serial;
      }
    }
    if (serial != bound_serial) {
      glUseProgram(program);
      bound_serial = serial;
    }
  }
  GLint vp[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, vp);
  float state[8] = {vp[2] > 0 ? 1.0f / float(vp[2]) : 0.0f, vp[3] > 0 ? -1.0f / float(vp[3]) : 0.0f, 0, 0,
                    float(d3d_shader_state.alpha_ref), 0, 0, 0};
  if (!draw_state_valid || memcmp(state, draw_state, sizeof(state)) != 0) {
    memcpy(draw_state, state, sizeof(state));
    draw_state_valid = true;
    glBindBuffer(GL_UNIFORM_BUFFER, draw_state_ubo);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(state), state);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
  }
}
