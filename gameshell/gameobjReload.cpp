#include "gameshell/gameobjReload.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/timer.h"
#include "engine/visualLog.h"
#include "gameshell/gameobjHost.h"

extern char** environ;

DynArray<GameobjDep> gameobj_deps;
TempString<260> gameobj_source_dir;
TempString<260> gameobj_main_source;

namespace
{
// The running build: its process and the read end of its output.
pid_t rebuild_pid = -1;
int rebuild_fd = -1;
int64_t rebuild_start_time = 0;
std::string rebuild_partial;  // output after the last complete line

int64_t file_time(const char* path)
{
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool word_char(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

void record_sources()
{
  gameobj_deps.clear();
  scan_dll_deps(gameobj_main_source.c_str());
  // Every translation unit beside the main source, in name order.
  TempString<260> dir = make_full_path(gameobj_source_dir.c_str());
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      size_t n = strlen(e->d_name);
      if (n > 4 && strcmp(e->d_name + n - 4, ".cpp") == 0) names.push_back(e->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    TempString<260> p;
    p.printf("%s%s", gameobj_source_dir.c_str(), name.c_str());
    scan_dll_deps(p.c_str());
  }
}

void output_line(const char* line)
{
  fputs(line, stdout);
  fputc('\n', stdout);
  fflush(stdout);
  if (is_error_word(line)) {
    append_error_message(line, int(strlen(line)));
    append_error_message("\n", 1);
  }
}

// Echoes the complete lines waiting in the build's output; at its end, the
// rest too. False at the end of the output.
bool drain_rebuild_output()
{
  char buf[4096];
  for (;;) {
    ssize_t n = read(rebuild_fd, buf, sizeof(buf));
    if (n > 0) {
      rebuild_partial.append(buf, size_t(n));
      size_t nl;
      while ((nl = rebuild_partial.find('\n')) != std::string::npos) {
        std::string line = rebuild_partial.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 1023) line.resize(1023);
        output_line(line.c_str());
        rebuild_partial.erase(0, nl + 1);
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    // End of the output (or an error reading it).
    if (!rebuild_partial.empty()) {
      if (rebuild_partial.size() > 1023) rebuild_partial.resize(1023);
      output_line(rebuild_partial.c_str());
      rebuild_partial.clear();
    }
    return false;
  }
}

void finish_rebuild()
{
  close(rebuild_fd);
  rebuild_fd = -1;
  int status = 0, code = -1;
  while (waitpid(rebuild_pid, &status, 0) < 0 && errno == EINTR) {
  }
  rebuild_pid = -1;
  if (WIFEXITED(status)) code = WEXITSTATUS(status);
  if (code == 0 && !has_error_message()) {
    debug("=== DLL rebuild done in %d ms", get_time_msec(get_ref_time() - rebuild_start_time));
  } else {
    static const char failed[] = "gameobj rebuild failed!!!";
    append_error_message(failed, int(sizeof(failed) - 1));
    debug("!!! failed to rebuild gameobj DLL (code %d)", code);
  }
}

// Starts the source folder's rebuild script in that folder, its standard
// output and error on one pipe. The program's folder is in QM_PROGRAM_DIR.
bool start_rebuild()
{
  TempString<260> dir = make_full_path(gameobj_source_dir.c_str());
  TempString<260> script;
  script.printf("%s%s", dir.c_str(), GAMEOBJ_REBUILD_SCRIPT);
  if (access(script.c_str(), R_OK) != 0) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  setenv("QM_PROGRAM_DIR", app_path, 1);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  char sh[] = "/bin/sh";
  char* argv[] = {sh, const_cast<char*>(script.c_str()), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, sh, &fa, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  rebuild_pid = pid;
  rebuild_fd = fds[0];
  rebuild_partial.clear();
  return true;
}
}  // namespace

int find_dll_dep(const char* full_path)
{
  for (int i = 0; i < gameobj_deps.num; i++)
    if (strcasecmp(gameobj_deps[i].path.c_str(), full_path) == 0) return i;
  return -1;
}

void scan_dll_deps(const char* path)
{
  TempString<260> full = make_full_path(path);
  if (find_dll_dep(full.c_str()) >= 0) return;
  FILE* f = fopen(full.c_str(), "rt");
  if (!f) return;
  GameobjDep dep;
  dep.path = full;
  dep.time = file_time(full.c_str());
  gameobj_deps.push_back(dep);

  // Includes are rooted at the folder above the plug-in's sources.
  char line[256];
  while (fgets(line, sizeof(line), f)) {
    if (strncmp(line, "#include \"", 10) != 0) continue;
    const char* name = line + 10;
    const char* end = strchr(name, '"');
    if (!end || end == name) continue;
    TempString<260> inc;
    inc.printf("%s../%.*s", gameobj_source_dir.c_str(), int(end - name), name);
    scan_dll_deps(inc.c_str());
  }
  fclose(f);
}

bool dll_deps_changed()
{
  for (int i = 0; i < gameobj_deps.num; i++)
    if (file_time(gameobj_deps[i].path.c_str()) != gameobj_deps[i].time) return true;
  return false;
}

bool is_error_word(const char* line)
{
  for (const char* p = line; *p; p++) {
    if (p > line && word_char(p[-1])) continue;
    if (strncasecmp(p, "error", 5) != 0) continue;
    char c = p[5];
    if (!word_char(c)) return true;
    if ((c == 's' || c == 'S') && !word_char(p[6])) return true;
  }
  return false;
}

bool gameobj_rebuild_running() { return rebuild_fd >= 0; }

bool update_dll_rebuild()
{
  if (rebuild_fd >= 0) {
    if (drain_rebuild_output()) return true;
    finish_rebuild();
    return false;
  }
  if (!dll_deps_changed()) return false;
  record_sources();
  set_error_message(nullptr);
  debug("=== rebuilding gameobj DLL");
  rebuild_start_time = get_ref_time();
  if (!start_rebuild()) {
    debug("!!! Error starting DLL rebuild");
    return true;
  }
  if (!drain_rebuild_output()) finish_rebuild();
  return true;
}

void load_gameobj(const char* source_dir, const char* main_source)
{
  unload_gameobj();
  gameobj_deps.clear();
  gameobj_deps = DynArray<GameobjDep>();
  gameobj_source_dir = source_dir ? source_dir : "";
  gameobj_main_source.printf("%s%s", gameobj_source_dir.c_str(), main_source ? main_source : "");
  load_gameobj_library(nullptr);
  record_sources();
}

bool reload_gameobj(bool force)
{
  if (update_dll_rebuild()) return false;
  TempString<260> fresh = make_full_path(GAMEOBJ_NEW_LIBRARY_NAME);
  if (file_time(fresh.c_str()) == 0 && !force) return false;
  unload_gameobj();
  bool ok = true;
  if (!force) {
    TempString<260> lib = make_full_path(GAMEOBJ_LIBRARY_NAME);
    if (unlink(lib.c_str()) != 0 && errno != ENOENT)
      ok = false;
    else if (rename(fresh.c_str(), lib.c_str()) != 0)
      ok = false;
  }
  load_gameobj_library(nullptr);
  debug("gameobj reload %s", ok ? "ok" : "failed");
  return ok;
}

void free_gameobj()
{
  unload_gameobj();
  gameobj_deps.clear();
  gameobj_deps = DynArray<GameobjDep>();
}
