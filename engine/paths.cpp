#include "engine/paths.h"

#include <dirent.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

char app_path[260];

bool get_exe_filename(char* buffer, int size)
{
  if (!buffer || size <= 0) return false;
  ssize_t n = readlink("/proc/self/exe", buffer, size_t(size));
  if (n < 0 || n >= size) {
    buffer[0] = 0;
    return false;
  }
  buffer[n] = 0;
  return true;
}

bool get_exe_path(char* buffer, int size)
{
  if (!get_exe_filename(buffer, size)) return false;
  char* slash = strrchr(buffer, '/');
  if (slash) {
    slash[1] = 0;
  } else {
    buffer[0] = 0;
  }
  return true;
}

bool init_app_path()
{
  if (get_exe_path(app_path, sizeof(app_path))) return true;
  app_path[0] = 0;
  return false;
}

// Resolves "." and ".." and repeated slashes in an absolute path, by text
// alone: the path need not exist and symbolic links are not followed.
static std::string normalise(const std::string& path)
{
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string seg = path.substr(i, j - i);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  if (out.empty()) {
    out = "/";
  } else if (path.back() == '/') {
    out += '/';
  }
  return out;
}

TempString<260> make_full_path(const char* path)
{
  if (!path || !path[0]) return TempString<260>(app_path);
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p[0] != '/') {
    std::string base = app_path;
    if (base.empty()) {
      char cwd[4096];
      if (getcwd(cwd, sizeof(cwd))) base = std::string(cwd) + "/";
    }
    if (base.empty()) return TempString<260>(p.c_str());
    p = base + p;
  }
  return TempString<260>(normalise(p).c_str());
}

static std::string home_folder()
{
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return home;
  struct passwd pw, *found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof(buf), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return found->pw_dir;
  return "";
}

TempString<260> get_appdata_path()
{
  // A relative XDG_DATA_HOME is invalid and is ignored.
  const char* xdg = getenv("XDG_DATA_HOME");
  std::string folder;
  if (xdg && xdg[0] == '/') {
    folder = xdg;
  } else {
    std::string home = home_folder();
    if (!home.empty()) folder = home + "/.local/share";
  }
  if (folder.empty()) return TempString<260>(app_path);
  if (folder.back() != '/') folder += '/';
  return TempString<260>(folder.c_str());
}

TempString<260> get_appdata_path(const char* name) { return get_appdata_path() + name; }

int64_t get_file_time(const char* path)
{
  struct stat st;
  if (!path || stat(path, &st) != 0) return 0;
  return int64_t(st.st_mtim.tv_sec);
}

TempString<260> find_file_nocase(const char* path)
{
  struct stat st;
  if (!path || !path[0] || stat(path, &st) == 0) return TempString<260>(path);

  std::string found = path[0] == '/' ? "/" : "";
  const char* p = path;
  while (*p) {
    while (*p == '/') ++p;
    if (!*p) break;
    const char* end = strchr(p, '/');
    if (!end) end = p + strlen(p);
    std::string name(p, size_t(end - p));
    std::string candidate = found + name;
    if (lstat(candidate.c_str(), &st) != 0) {
      DIR* dir = opendir(found.empty() ? "." : found.c_str());
      if (!dir) return TempString<260>(path);
      bool matched = false;
      while (dirent* d = readdir(dir)) {
        if (strcasecmp(d->d_name, name.c_str()) == 0) {
          candidate = found + d->d_name;
          matched = true;
          break;
        }
      }
      closedir(dir);
      if (!matched) return TempString<260>(path);
    }
    found = candidate;
    if (*end) found += '/';
    p = end;
  }
  return TempString<260>(found.c_str());
}
