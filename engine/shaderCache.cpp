#include "engine/shaderCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/streams.h"

const char* const shader_prelude_name = "prelude.glsl";

// Shader caches are a few hundred kilobytes at most; anything far larger is
// not one of ours.
static const int kMaxCacheFileSize = 64 << 20;
static const int kMaxShaderFileSize = 16 << 20;
static const int kMaxIncludeDepth = 16;

// ------------------------------------------------------------ defines list --

int shader_defines_size(const char* defines)
{
  if (!defines) return 1;
  const char* p = defines;
  while (*p) p += strlen(p) + 1;
  return int(p - defines) + 1;
}

bool shader_defines_equal(const char* a, const char* b)
{
  static const char empty[2] = {0, 0};
  if (!a) a = empty;
  if (!b) b = empty;
  int n = shader_defines_size(a);
  return n == shader_defines_size(b) && memcmp(a, b, size_t(n)) == 0;
}

bool make_shader_cache_name(const char* name, const char* defines, TempString<1024>& out)
{
  char buf[1024];
  size_t n = 0;
  auto put = [&](char c) {
    if (n + 1 >= sizeof(buf)) return false;
    buf[n++] = c;
    return true;
  };
  for (const char* s = "cache/"; *s; ++s)
    if (!put(*s)) return false;
  for (const char* s = name; s && *s; ++s)
    if (!put(*s)) return false;
  for (const char* p = defines; p && *p; p += strlen(p) + 1) {
    if (!put('@')) return false;
    for (const char* s = p; *s; ++s) {
      char c = *s;
      bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!put(keep ? c : '_')) return false;
    }
  }
  for (const char* s = ".cache"; *s; ++s)
    if (!put(*s)) return false;
  buf[n] = 0;
  out = buf;
  return true;
}

// -------------------------------------------------------------- cache file --

// Plain system calls: a stdio stream would allocate its buffer for each file
// only to copy the bytes through it.
static bool read_whole_file(const char* path, int max_size, DynArray<char>& out)
{
  out.clear();
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  off_t size = lseek(fd, 0, SEEK_END);
  bool ok = size >= 0 && size <= max_size && lseek(fd, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(int(size));
    for (off_t done = 0; ok && done < size;) {
      ssize_t n = read(fd, out.data + done, size_t(size - done));
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += n;
    }
  }
  close(fd);
  if (!ok) out.clear();
  return ok;
}

bool read_shader_cache(const char* path, ShaderCacheData& out, TempString<128>* reason)
{
  auto fail = [&](const char* why) {
    if (reason) *reason = why;
    out.dependencies.clear();
    out.vs_code.clear();
    out.ps_code.clear();
    return false;
  };
  out.dependencies.clear();
  out.vs_code.clear();
  out.ps_code.clear();

  DynArray<char> file;
  if (!read_whole_file(path, kMaxCacheFileSize, file)) return fail("cannot be read");
  MemoryInputStream in(file.data, file.num);
  try {
    uint32_t header[4];
    in.read(header, sizeof(header));
    if (header[0] != SHADER_CACHE_MAGIC) return fail("wrong magic");
    uint64_t d = header[1], v = header[2], p = header[3];
    // Sizes are checked against the bytes really present before anything
    // is allocated.
    if (d < 1 || 16 + d + v + p > uint64_t(file.num)) return fail("sizes exceed the file");
    const char* block = file.data + 16;
    if (block[d - 1] != 0) return fail("dependency block is not terminated");
    // Paths, each NUL-ended, then an empty one that ends the list.
    uint64_t at = 0;
    while (at < d && block[at]) {
      size_t len = strnlen(block + at, size_t(d - at));
      if (at + len >= d) return fail("dependency block is not terminated");
      if (len >= 260) return fail("dependency path too long");
      out.dependencies.push_back(TempString<260>(block + at, int(len)));
      at += len + 1;
    }
    if (at >= d) return fail("dependency block is not terminated");
    in.seekTo(int(16 + d));
    out.vs_code.resize(int(v));
    in.read(out.vs_code.data, int(v));
    out.ps_code.resize(int(p));
    in.read(out.ps_code.data, int(p));
  } catch (const InputStream::Exception&) {
    return fail("file is truncated");
  }
  return true;
}

bool write_shader_cache(const char* path, const DynArray<TempString<260>>& dependencies, const void* vs_code,
                        int vs_size, const void* ps_code, int ps_size)
{
  TempString<300> tmp = TempString<300>::format("%s.tmp", path);
  FileOutputStream out;
  if (!out.open(tmp, "wb")) {
    // The cache folder was removed: make it again (its parent must exist).
    const char* slash = strrchr(path, '/');
    if (errno != ENOENT || !slash || slash == path) return false;
    TempString<300> folder(path, int(slash - path));
    if (mkdir(folder, 0755) != 0 && errno != EEXIST) return false;
    debug("made the shader cache folder '%s' again", folder.c_str());
    if (!out.open(tmp, "wb")) return false;
  }
  try {
    uint32_t d = 1;
    for (const TempString<260>& dep : dependencies) d += uint32_t(dep.length()) + 1;
    uint32_t header[4] = {SHADER_CACHE_MAGIC, d, uint32_t(vs_size), uint32_t(ps_size)};
    out.write(header, sizeof(header));
    for (const TempString<260>& dep : dependencies) out.write(dep.c_str(), dep.length() + 1);
    out.write("", 1);
    if (vs_size) out.write(vs_code, vs_size);
    if (ps_size) out.write(ps_code, ps_size);
    out.flush();
  } catch (const OutputStream::Exception&) {
    out.close();
    remove(tmp);
    return false;
  }
  if (!out.close() || rename(tmp, path) != 0) {
    remove(tmp);
    return false;
  }
  return true;
}

// ------------------------------------------------------------ stage source --

// The file on disk for a name relative to the program directory (names were
// written on a system that ignores case). False when the path is too long.
static bool shader_file_path(const char* name, TempString<260>& out)
{
  if (!name || strlen(app_path) + strlen(name) + 2 >= 260) return false;
  out = find_file_nocase(make_full_path(name));
  return true;
}

bool read_shader_file(const char* name, DynArray<char>& out)
{
  TempString<260> path;
  return shader_file_path(name, path) && read_whole_file(path, kMaxShaderFileSize, out);
}

static void append_text(DynArray<char>& out, const char* text, int length = -1)
{
  out.append(length < 0 ? int(strlen(text)) : length, text);
}

static void append_error(DynArray<char>& error, const char* text)
{
  error.clear();
  append_text(error, text);
  error.push_back(0);
}

// Index of a file in the dependency list, appended when new.
static int dependency_index(DynArray<TempString<260>>& deps, const char* name)
{
  for (int i = 0; i < deps.num; ++i)
    if (strcmp(deps[i].c_str(), name) == 0) return i;
  return deps.push_back(TempString<260>(name));
}

// The file name of an `#include "name"` (or <name>) line; false for other lines.
static bool parse_include(const char* line, const char* end, TempString<260>& name, bool* bad)
{
  *bad = false;
  const char* p = line;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p >= end || *p != '#') return false;
  ++p;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (end - p < 7 || strncmp(p, "include", 7) != 0) return false;
  p += 7;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  char close = p < end && *p == '"' ? '"' : (p < end && *p == '<' ? '>' : 0);
  if (!close) {
    *bad = true;
    return true;
  }
  const char* s = ++p;
  while (p < end && *p != close) ++p;
  if (p >= end || p == s || p - s >= 260) {
    *bad = true;
    return true;
  }
  name.assign(s, int(p - s));
  return true;
}

static bool expand_file(const DynArray<char>& text, int source, int depth, DynArray<char>& out,
                        DynArray<TempString<260>>& deps, DynArray<char>& error)
{
  const char* p = text.data;
  const char* end = text.data + text.num;
  int line_no = 0;
  while (p < end) {
    const char* eol = (const char*)memchr(p, '\n', size_t(end - p));
    const char* line_end = eol ? eol : end;
    ++line_no;
    TempString<260> inc;
    bool bad = false;
    if (parse_include(p, line_end, inc, &bad)) {
      if (bad) {
        append_error(error, TempString<400>::format("%s(%d): bad #include line", deps[source].c_str(), line_no));
        return false;
      }
      if (depth >= kMaxIncludeDepth) {
        append_error(error, TempString<400>::format("%s(%d): includes nested too deeply", deps[source].c_str(), line_no));
        return false;
      }
      DynArray<char> child;
      int index = dependency_index(deps, inc);
      if (!read_shader_file(inc, child)) {
        append_error(error, TempString<600>::format("%s(%d): can't open include file '%s'", deps[source].c_str(),
                                                    line_no, inc.c_str()));
        return false;
      }
      append_text(out, TempString<64>::format("#line 1 %d\n", index));
      if (!expand_file(child, index, depth + 1, out, deps, error)) return false;
      append_text(out, TempString<64>::format("\n#line %d %d\n", line_no + 1, source));
    } else {
      append_text(out, p, int(line_end - p));
      out.push_back('\n');
    }
    p = eol ? eol + 1 : end;
  }
  return true;
}

bool build_stage_source(const char* name, const char* defines, bool vertex_stage, DynArray<char>& out,
                        DynArray<TempString<260>>& deps, DynArray<char>& error)
{
  out.clear();
  error.clear();
  DynArray<char> main_text, prelude;
  int main_index = dependency_index(deps, name);
  if (!read_shader_file(name, main_text)) {
    append_error(error, TempString<400>::format("can't open shader file '%s'", name));
    return false;
  }
  int prelude_index = dependency_index(deps, shader_prelude_name);
  if (!read_shader_file(shader_prelude_name, prelude)) {
    append_error(error, TempString<400>::format("can't open shader prelude '%s'", shader_prelude_name));
    return false;
  }

  append_text(out, "#version 330 core\n");
  // The compiler's list ends at an empty name or an empty value.
  for (const char* p = defines; p && *p;) {
    const char* value = p + strlen(p) + 1;
    if (!*value) break;
    append_text(out, "#define ");
    append_text(out, p);
    append_text(out, " ");
    append_text(out, value);
    append_text(out, "\n");
    p = value + strlen(value) + 1;
  }
  append_text(out, vertex_stage ? "#define VSH  1\n" : "#define PSH  1\n");
  append_text(out, TempString<64>::format("#line 1 %d\n", prelude_index));
  if (!expand_file(prelude, prelude_index, 1, out, deps, error)) return false;
  append_text(out, TempString<64>::format("#line 1 %d\n", main_index));
  return expand_file(main_text, main_index, 0, out, deps, error);
}

void name_source_numbers(const char* log, const DynArray<TempString<260>>& deps, DynArray<char>& out)
{
  out.clear();
  const char* p = log;
  while (p && *p) {
    const char* q = p;
    int index = 0, digits = 0;
    while (*q >= '0' && *q <= '9' && digits < 6) index = index * 10 + (*q++ - '0'), ++digits;
    if (digits > 0 && (*q == ':' || *q == '(') && index < deps.num) {
      append_text(out, deps[index].c_str());
      p = q;
    }
    const char* eol = strchr(p, '\n');
    int n = eol ? int(eol - p) + 1 : int(strlen(p));
    append_text(out, p, n);
    p += n;
  }
  out.push_back(0);
}
