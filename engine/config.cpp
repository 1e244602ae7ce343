#include "engine/config.h"

#include "engine/debug.h"
#include "engine/priority.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <strings.h>
#include <unordered_map>
#include <vector>

int app_screen_wd = 0, app_screen_ht = 0;
bool config_fullscreen = false;
bool use_ppaa = false;
bool app_use_vsync = true;
bool use_obj_shadows = true;
bool left_handed = false;
int land_shadow_quality = 2;
bool invert_mouse_y = false;
int gfx_quality = 1;
const char* gfx_quality_name[] = {"low", "high", nullptr};
bool use_scene_msaa = false;
bool skip_scene_rt = true;

// ---------------------------------------------------------------------------
// The file
//
// One value a line:
//     int NAME VALUE          VALUE a decimal 32-bit integer
//     str NAME "TEXT"         TEXT with \\, \" and \xHH escapes
// Names use the same escapes (no quotes). Lines starting with "#" and blank
// lines are comments. Names compare without regard to case, as the original
// store's did, so "Flags" and "flags" are one value.

static const char* const k_header = "# Quillmere settings, written by the game and the launcher.\n";

// A settings file is a few hundred bytes; anything this large is not ours.
static const off_t k_max_file_size = 1 << 20;

struct ConfigEntry
{
  std::string name;
  int type;
  std::string data;   // 4 bytes for integers
};

static std::string config_path_override;
static bool has_config_path_override = false;

void set_config_path(const char* file_path)
{
  has_config_path_override = file_path != nullptr;
  config_path_override = file_path ? file_path : "";
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

static std::string config_file_path()
{
  if (has_config_path_override) return config_path_override;
  // XDG: a relative XDG_CONFIG_HOME is invalid and is ignored.
  const char* xdg = getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    std::string home = home_folder();
    if (home.empty()) return "";
    base = home + "/.config";
  }
  return base + "/Quillmere/config";
}

const char* get_config_path()
{
  static std::string path;
  path = config_file_path();
  return path.c_str();
}

static std::string folder_of(const std::string& path)
{
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

static void escape_into(std::string& out, const std::string& bytes, bool is_name)
{
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char c : bytes) {
    bool plain = c > 0x20 && c < 0x7F && c != '\\' && c != '"';
    if (c == ' ' && !is_name) plain = true;
    if (plain) {
      out += char(c);
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += char(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
}

static int hex_digit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads escaped text from `p` up to (not including) a stop character: space
// for names, '"' for strings. Returns null on a bad escape.
static const char* unescape(const char* p, const char* end, char stop, std::string& out)
{
  while (p < end && *p != stop) {
    if (stop == ' ' && *p == '\t') break;
    char c = *p++;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (p >= end) return nullptr;
    char e = *p++;
    switch (e) {
    case '\\': out += '\\'; break;
    case '"': out += '"'; break;
    case 'n': out += '\n'; break;
    case 't': out += '\t'; break;
    case 'r': out += '\r'; break;
    case 'x': {
      if (end - p < 2) return nullptr;
      int hi = hex_digit(p[0]), lo = hex_digit(p[1]);
      if (hi < 0 || lo < 0) return nullptr;
      out += char(hi * 16 + lo);
      p += 2;
      break;
    }
    default: return nullptr;
    }
  }
  return p;
}

static const char* skip_blanks(const char* p, const char* end)
{
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
  return p;
}

// Parses one line; false when it is not a value line.
static bool parse_line(const char* p, const char* end, ConfigEntry& entry)
{
  p = skip_blanks(p, end);
  if (end - p < 4) return false;
  if (memcmp(p, "int ", 4) == 0) {
    entry.type = CONFIG_TYPE_INT;
  } else if (memcmp(p, "str ", 4) == 0) {
    entry.type = CONFIG_TYPE_STR;
  } else {
    return false;
  }
  p = skip_blanks(p + 4, end);
  entry.name.clear();
  p = unescape(p, end, ' ', entry.name);
  if (!p || entry.name.empty() || p >= end) return false;
  p = skip_blanks(p, end);
  entry.data.clear();
  if (entry.type == CONFIG_TYPE_INT) {
    // Signed 32-bit, or an unsigned double word as a hand-edited file may hold.
    bool negative = p < end && *p == '-';
    if (negative || (p < end && *p == '+')) ++p;
    if (p >= end || *p < '0' || *p > '9') return false;
    int64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
      v = v * 10 + (*p++ - '0');
      if (v > 0xFFFFFFFFll) return false;
    }
    if (negative) v = -v;
    if (v < INT32_MIN) return false;
    int32_t value = int32_t(uint32_t(uint64_t(v)));
    entry.data.assign(reinterpret_cast<const char*>(&value), 4);
  } else {
    if (p >= end || *p != '"') return false;
    p = unescape(p + 1, end, '"', entry.data);
    if (!p || p >= end) return false;
    ++p;   // closing quote
  }
  return skip_blanks(p, end) == end;
}

// The values in file order, with an index by name folded to lower case, so
// a file near the size limit reads in linear time.
namespace {
struct ConfigStore
{
  std::vector<ConfigEntry> entries;
  std::unordered_map<std::string, size_t> index;

  static std::string key_of(const std::string& name)
  {
    std::string key = name;
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
  }
  ConfigEntry* find(const std::string& name)
  {
    auto it = index.find(key_of(name));
    return it == index.end() ? nullptr : &entries[it->second];
  }
  // Adds the value, or replaces the one of the same name.
  void put(const ConfigEntry& entry)
  {
    auto ins = index.emplace(key_of(entry.name), entries.size());
    if (ins.second) {
      entries.push_back(entry);
    } else {
      ConfigEntry& old = entries[ins.first->second];
      old.type = entry.type;
      old.data = entry.data;
    }
  }
  void clear()
  {
    entries.clear();
    index.clear();
  }
};
}  // namespace

// The identity of the last file whose bad lines were reported, so that one
// damaged file is reported once rather than at every read.
static struct { dev_t dev; ino_t ino; off_t size; int64_t mtime_ns; } reported_file;

static bool report_once(const struct stat& st)
{
  int64_t mtime_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (reported_file.dev == st.st_dev && reported_file.ino == st.st_ino && reported_file.size == st.st_size &&
      reported_file.mtime_ns == mtime_ns)
    return false;
  reported_file = {st.st_dev, st.st_ino, st.st_size, mtime_ns};
  return true;
}

static bool name_in(const std::string& name, const char* const* names)
{
  for (; *names; ++names)
    if (strcasecmp(name.c_str(), *names) == 0) return true;
  return false;
}

// Reads the store: every value, or with `only` (a null-terminated list) just
// the values of those names. A missing file is an empty store. False only
// when the file exists but cannot be read at all; damaged lines are skipped.
static bool load_store(const std::string& path, ConfigStore& store, const char* const* only = nullptr)
{
  store.clear();
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    debug("config: '%s' is not a readable file", path.c_str());
    return false;
  }
  if (st.st_size > k_max_file_size) {
    close(fd);
    if (report_once(st)) debug("config: '%s' is too large to be a settings file; using defaults", path.c_str());
    return true;
  }
  std::string text;
  text.resize(size_t(st.st_size));
  size_t got = 0;
  while (got < text.size()) {
    ssize_t n = read(fd, &text[got], text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  close(fd);
  text.resize(got);

  int bad_lines = 0, first_bad = 0, line_no = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* eol = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
    if (!eol) eol = end;
    ++line_no;
    const char* q = skip_blanks(p, eol);
    if (q < eol && *q != '#') {
      ConfigEntry entry;
      if (parse_line(q, eol, entry)) {
        // A repeated name: the later line wins.
        if (!only || name_in(entry.name, only)) store.put(entry);
      } else if (bad_lines++ == 0) {
        first_bad = line_no;
      }
    }
    p = eol < end ? eol + 1 : end;
  }
  if (bad_lines && report_once(st))
    debug("config: ignored %d unreadable line(s) in '%s' (first at line %d)", bad_lines, path.c_str(), first_bad);
  return true;
}

static bool make_folders(const std::string& folder)
{
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = folder_of(folder);
  if (parent != folder && !make_folders(parent)) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

static bool write_all(int fd, const std::string& text)
{
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Replaces the file with `store`: a temporary file in the same folder is
// written and synced, renamed over the old one, and the folder is synced, so
// the old file stays whole until the new one is.
static bool save_store(const std::string& path, const std::string& folder, int folder_fd,
                       const ConfigStore& store)
{
  std::string text = k_header;
  for (const ConfigEntry& e : store.entries) {
    text += e.type == CONFIG_TYPE_INT ? "int " : "str ";
    escape_into(text, e.name, true);
    text += ' ';
    if (e.type == CONFIG_TYPE_INT) {
      int32_t v;
      memcpy(&v, e.data.data(), 4);
      text += std::to_string(v);
    } else {
      text += '"';
      escape_into(text, e.data, false);
      text += '"';
    }
    text += '\n';
  }

  std::string tmp = path + ".tmp-XXXXXX";
  int fd = mkostemp(&tmp[0], O_CLOEXEC);
  if (fd < 0) {
    debug("config: cannot create a file in '%s': %s", folder.c_str(), strerror(errno));
    return false;
  }
  bool ok = write_all(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    debug("config: cannot write '%s': %s", path.c_str(), strerror(errno));
    unlink(tmp.c_str());
    return false;
  }
  fsync(folder_fd);
  return true;
}

// One locked read-modify-write of the store: `change` gets the stored entry
// of `name` (null when missing) and fills the entry to store; false from it
// leaves the file as it was.
static bool update_store(const char* name, const std::function<bool(const ConfigEntry*, ConfigEntry&)>& change)
{
  std::string path = config_file_path();
  if (path.empty()) return false;
  std::string folder = folder_of(path);
  if (!make_folders(folder)) {
    debug("config: cannot create the folder '%s'", folder.c_str());
    return false;
  }
  // The game and the launcher may both write: the lock on the folder keeps
  // one program's read-modify-write from losing the other's value.
  int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return false;
  while (flock(folder_fd, LOCK_EX) != 0 && errno == EINTR) {
  }

  ConfigStore store;
  bool ok = load_store(path, store);
  if (ok) {
    ConfigEntry* old = store.find(name);
    ConfigEntry entry{name, CONFIG_TYPE_NONE, std::string()};
    ok = change(old, entry);
    if (ok) {
      store.put(entry);
      ok = save_store(path, folder, folder_fd, store);
    }
  }
  close(folder_fd);   // also releases the lock
  return ok;
}

bool write_config_value(const char* name, int type, const void* data, int bytes)
{
  if (!name || !name[0] || bytes < 0 || (bytes > 0 && !data)) return false;
  if (type == CONFIG_TYPE_INT ? bytes != 4 : type != CONFIG_TYPE_STR) return false;
  return update_store(name, [&](const ConfigEntry*, ConfigEntry& out) {
    out.type = type;
    out.data.assign(static_cast<const char*>(data), size_t(bytes));
    return true;
  });
}

bool set_config_int_bits(const char* name, int mask, int bits)
{
  if (!name || !name[0]) return false;
  return update_store(name, [&](const ConfigEntry* old, ConfigEntry& out) {
    int32_t v = 0;
    if (old && old->type == CONFIG_TYPE_INT && old->data.size() == 4) memcpy(&v, old->data.data(), 4);
    v = int32_t((uint32_t(v) & ~uint32_t(mask)) | (uint32_t(bits) & uint32_t(mask)));
    out.type = CONFIG_TYPE_INT;
    out.data.assign(reinterpret_cast<const char*>(&v), 4);
    return true;
  });
}

// While read_app_config runs, the store it read once; reads are served from it.
static ConfigStore* startup_store = nullptr;

bool read_config_value(const char* name, int* type, void* data, int* bytes)
{
  if (!name || !type || !bytes) return false;
  ConfigStore loaded;
  ConfigStore* store = startup_store;
  if (!store) {
    const char* const only[] = {name, nullptr};
    if (!load_store(config_file_path(), loaded, only)) return false;
    store = &loaded;
  }
  ConfigEntry* e = store->find(name);
  if (!e) return false;
  int room = data ? *bytes : 0;
  *type = e->type;
  *bytes = int(e->data.size());
  if (!data) return true;
  if (int(e->data.size()) > room) return false;
  memcpy(data, e->data.data(), e->data.size());
  return true;
}

bool set_config_int(const char* name, int value)
{
  int32_t v = value;
  return write_config_value(name, CONFIG_TYPE_INT, &v, 4);
}

bool set_config_str(const char* name, const char* text, int length)
{
  if (!text) text = "";
  if (length < 0) length = int(strlen(text));
  return write_config_value(name, CONFIG_TYPE_STR, text, length);
}

bool get_config_int(const char* name, int* value)
{
  int type = CONFIG_TYPE_NONE, bytes = 4;
  int32_t v;
  if (!read_config_value(name, &type, &v, &bytes) && type == CONFIG_TYPE_NONE) return false;
  if (type != CONFIG_TYPE_INT || bytes != 4) {
    debug("config: value '%s' is not an integer; ignored", name);
    return false;
  }
  *value = v;
  return true;
}

bool get_config_str(const char* name, char* buffer, int size)
{
  if (!buffer || size <= 0) return false;
  int type = CONFIG_TYPE_NONE, bytes = 0;
  if (!read_config_value(name, &type, nullptr, &bytes)) return false;
  if (type != CONFIG_TYPE_STR) {
    debug("config: value '%s' is not a string; ignored", name);
    return false;
  }
  if (bytes > size - 1) {
    debug("config: value '%s' is longer than %d bytes; ignored", name, size - 1);
    return false;
  }
  // Read again into a scratch buffer: the caller's buffer changes only on
  // success, even if another program rewrote the value in between.
  std::string scratch(size_t(size), '\0');
  bytes = size - 1;
  if (!read_config_value(name, &type, &scratch[0], &bytes) || type != CONFIG_TYPE_STR) return false;
  memcpy(buffer, scratch.data(), size_t(bytes));
  buffer[bytes] = 0;
  return true;
}

// ---------------------------------------------------------------------------
// Start-up settings

void read_app_config(int argc, char** argv)
{
  // One reading of the file for all the settings below.
  static const char* const names[] = {"screen_wd", "screen_ht", "flags", "land_shadows", "invert_mouse_y",
                                      "gfx_quality", "process_priority", nullptr};
  ConfigStore store;
  bool readable = load_store(config_file_path(), store, names);
  ConfigStore empty;
  startup_store = readable ? &store : &empty;
  config_fullscreen = false;
  app_screen_wd = app_screen_ht = 0;
  use_scene_msaa = false;
  app_use_vsync = true;
  use_ppaa = false;

  get_config_int("screen_wd", &app_screen_wd);
  get_config_int("screen_ht", &app_screen_ht);

  skip_scene_rt = true;

  int flags;
  if (get_config_int("flags", &flags)) {
    config_fullscreen = (flags & 1) != 0;
    use_ppaa = (flags & 2) != 0;
    app_use_vsync = (flags & 4) != 0;
    use_obj_shadows = (flags & 8) != 0;
    left_handed = (flags & 16) != 0;
  }

  get_config_int("land_shadows", &land_shadow_quality);

  int invert = 0;
  invert_mouse_y = get_config_int("invert_mouse_y", &invert) && invert != 0;

  char quality[32];
  if (get_config_str("gfx_quality", quality, sizeof(quality))) {
    for (int i = 0; gfx_quality_name[i]; ++i) {
      if (strcasecmp(quality, gfx_quality_name[i]) == 0) {
        gfx_quality = i;
        break;
      }
    }
  }

  int priority = 0;
  get_config_int("process_priority", &priority);
  startup_store = nullptr;
  set_process_priority(priority);

  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!a) continue;
    if (!strcmp(a, "-720")) {
      app_screen_wd = 1280;
      app_screen_ht = 720;
    } else if (!strcmp(a, "-360")) {
      app_screen_wd = 640;
      app_screen_ht = 360;
    } else if (!strcmp(a, "-1024")) {
      app_screen_wd = 1280;
      app_screen_ht = 1024;
    } else if (!strcmp(a, "-aa")) {
      use_ppaa = true;
    } else if (!strcmp(a, "-noaa")) {
      use_ppaa = false;
    } else if (!strcmp(a, "-vs")) {
      app_use_vsync = true;
    } else if (!strcmp(a, "-novs")) {
      app_use_vsync = false;
    } else if (!strcmp(a, "-fullscr")) {
      config_fullscreen = true;
    } else if (!strcmp(a, "-win")) {
      config_fullscreen = false;
    } else if (!strcmp(a, "-gfx-high")) {
      gfx_quality = 1;
    } else if (!strcmp(a, "-gfx-low")) {
      gfx_quality = 0;
    }
  }
  debug("settings: fullscreen %d, anti-aliasing %d, vsync %d, object shadows %d, land shadows %d, quality %s",
        int(config_fullscreen), int(use_ppaa), int(app_use_vsync), int(use_obj_shadows), land_shadow_quality,
        gfx_quality == 0 ? gfx_quality_name[0] : gfx_quality_name[1]);
}
