#include "engine/dirWatch.h"

#include "engine/debug.h"
#include "engine/paths.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

static const uint32_t k_watch_mask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ONLYDIR;
// A program folder holds a few hundred folders at most; a tree far larger is
// a mistake (a link to "/") and is not walked further.
static const size_t k_max_watches = 4096;
static const int k_max_depth = 16;

static int watch_fd = -1;
static std::map<int, std::string> watched_folders;         // watch -> folder with "/"
static std::set<std::pair<dev_t, ino_t>> seen_folders;    // guards against link loops

static void watch_tree(const std::string& folder, int depth)
{
  struct stat st;
  if (depth > k_max_depth || watched_folders.size() >= k_max_watches) return;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (!seen_folders.insert({st.st_dev, st.st_ino}).second) return;
  int wd = inotify_add_watch(watch_fd, folder.c_str(), k_watch_mask);
  if (wd < 0) return;
  watched_folders[wd] = folder;

  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* d = readdir(dir)) {
    if (!strcmp(d->d_name, ".") || !strcmp(d->d_name, "..")) continue;
    if (d->d_type != DT_DIR && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) continue;
    watch_tree(folder + d->d_name + "/", depth + 1);
  }
  closedir(dir);
}

void start_dir_watch()
{
  stop_dir_watch();
  if (!app_path[0]) return;
  watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_fd < 0) return;
  watch_tree(app_path, 0);
  poll_dir_watch();
}

void poll_dir_watch()
{
  if (watch_fd < 0) return;
  alignas(inotify_event) char buffer[64000];
  for (;;) {
    ssize_t n = read(watch_fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;   // nothing more for now
    for (char* p = buffer; p + sizeof(inotify_event) <= buffer + n;) {
      const inotify_event* ev = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + ev->len;
      if (p > buffer + n) break;
      if (ev->mask & IN_IGNORED) {
        watched_folders.erase(ev->wd);
        continue;
      }
      char name[260];
      size_t len = ev->len ? strnlen(ev->name, ev->len) : 0;
      if (len > sizeof(name) - 1) len = sizeof(name) - 1;
      memcpy(name, ev->name, len);
      name[len] = 0;
      // A new folder is watched too; the changed names themselves are
      // dropped (nothing else in the program is told).
      if ((ev->mask & IN_ISDIR) && (ev->mask & (IN_CREATE | IN_MOVED_TO)) && len) {
        auto it = watched_folders.find(ev->wd);
        if (it != watched_folders.end()) watch_tree(it->second + name + "/", 1);
      }
    }
  }
}

void stop_dir_watch()
{
  if (watch_fd >= 0) close(watch_fd);
  watch_fd = -1;
  watched_folders.clear();
  seen_folders.clear();
}

int dir_watch_folder_count() { return int(watched_folders.size()); }

bool dir_watch_watches(const char* folder)
{
  for (const auto& w : watched_folders)
    if (w.second == folder) return true;
  return false;
}
