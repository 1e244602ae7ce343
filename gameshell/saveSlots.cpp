// The save slot on disk: paths, the "info" / "uni" / world files, saving and
// loading them.
#include "gameshell/universe.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"

#include "engine/app.h"
#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/streams.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"
#include "scripting/scriptSave.h"
#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"
#include "worldrender/sky.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using sqbind::SqObject;
using sqbind::SquirrelError;

// ------------------------------------------------------------------ paths --

TempString<260> get_saved_games_folder() { return get_appdata_path() + SAVED_GAMES_FOLDER; }

TempString<260> saved_game_path(int slot, const char* file)
{
  TempString<260> base = get_appdata_path();
  char path[512];
  int n = snprintf(path, sizeof(path), "%s%s/%d/%s", base.c_str(), SAVED_GAMES_FOLDER, slot, file ? file : "");
  // A cut path could name another file: give none instead.
  if (n < 0 || n >= 260) return TempString<260>();
  return TempString<260>(path);
}

TempString<32> world_file_name(int index) { return TempString<32>::format("w%03d", index); }

// --------------------------------------------------------- atomic writing --

namespace
{
// The folder part of a path, with its trailing "/".
TempString<260> folder_of(const char* path)
{
  const char* slash = strrchr(path, '/');
  return slash ? TempString<260>(path, int(slash - path + 1)) : TempString<260>("./");
}

// Makes a rename in the folder durable. Some file systems cannot sync a
// folder; the file itself is on disk by then, so that is only logged.
void sync_folder(const char* path)
{
  int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0 || fsync(fd) != 0) debug("can't sync the folder of %s (errno %d)", path, errno);
  if (fd >= 0) close(fd);
}

// A file written as "<name>.tmp.<process id>" beside its final name and put
// in place by commit() only when all of it is on disk, so a crash, a full
// disk or a failed write leaves the old file as it was, and two processes
// never write into one temporary file. Without commit the temporary file is
// removed.
class AtomicFile
{
public:
  FileOutputStream stream;

  explicit AtomicFile(const char* path) : final_path(path), temp_path(path)
  {
    temp_path += TempString<32>::format(".tmp.%d", int(getpid())).c_str();
    if (final_path.empty() || !stream.open(temp_path, "wb"))
      throw OutputStream::Exception("Can't create output file", -1);
  }
  ~AtomicFile()
  {
    if (committed) return;
    stream.close();
    unlink(temp_path);
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void commit()
  {
    stream.flush(true);
    if (!stream.close()) throw OutputStream::Exception("error writing file", -1);
    if (rename(temp_path, final_path) != 0) throw OutputStream::Exception("Can't replace the saved file", -1);
    committed = true;
    sync_folder(final_path);
  }

private:
  TempString<260> final_path;
  TempString<288> temp_path;
  bool committed = false;
};

// ---- the slot lock ----
//
// A running game holds an exclusive lock on the file "lock" in the folder of
// the slot it plays, from its first load or save of that slot until it plays
// another one or goes back to the main menu. Another game finds the slot in
// use and neither loads nor writes it.
int slot_lock_fd = -1;
TempString<260> slot_lock_path;  // the lock file held

// Temporary files left by a process that died while saving; only the holder
// of the slot's lock removes them.
void remove_stale_temp_files(int slot)
{
  TempString<260> folder = saved_game_path(slot, "");
  DIR* dir = folder.empty() ? nullptr : opendir(folder);
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    if (!strstr(e->d_name, ".tmp.")) continue;
    TempString<260> path = saved_game_path(slot, e->d_name);
    if (!path.empty() && unlink(path) == 0) debug("removed the leftover file %s", path.c_str());
  }
  closedir(dir);
}

// False when another process holds the slot. A lock that cannot be made at
// all (no such folder, a read-only disk) is no obstacle: the file operations
// themselves then report what is wrong.
bool lock_slot(int slot)
{
  TempString<260> path = saved_game_path(slot, "lock");
  if (slot_lock_fd >= 0 && !path.empty() && strcmp(path, slot_lock_path) == 0) return true;
  int fd = path.empty() ? -1 : open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return true;
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    bool busy = errno == EWOULDBLOCK;
    close(fd);
    return !busy;
  }
  release_slot_lock();
  slot_lock_fd = fd;
  slot_lock_path = path;
  remove_stale_temp_files(slot);
  return true;
}

const char* const slot_in_use_text = "The slot is in use by another running game";

void make_folder(const char* path)
{
  if (*path) mkdir(path, 0755);  // an existing folder is fine; other failures show when writing
}

// "<header>\n<text>" as the on-screen error message, formatted into 1024 characters.
void show_error(const char* header, const char* text)
{
  TempString<1024> msg;
  msg.printf("%s\n%s", header, text);
  set_error_message(msg);
}

void show_stream_error(const char* header, const StreamIOException& e)
{
  TempString<1024> msg;
  msg.printf("%s\n%s (at %X)", header, e.message, unsigned(e.position));
  set_error_message(msg);
}

HSQUIRRELVM require_world_vm()
{
  if (!world_script_vm.vm) throw SquirrelError("the world script is not running");
  return world_script_vm.vm;
}
}  // namespace

void release_slot_lock()
{
  if (slot_lock_fd >= 0) close(slot_lock_fd);
  slot_lock_fd = -1;
  slot_lock_path = "";
}

// ----------------------------------------------------------------- saving --

bool save_world(const char* path)
{
  try {
    debug("saving world to %s", path);
    if (delete_gameobj) delete_gameobj();
    AtomicFile file(path);
    OutputStream& out = file.stream;
    out.writeValue(uint32_t(WORLD_FILE_VERSION));
    HeightmapData::saveWorldData(out);
    float sun[4] = {sky_sun_dir_target[0], sky_sun_dir_target[1], sky_sun_dir_target[2], sky_sun_dir_target[3]};
    out.write(sun, int(sizeof(sun)));
    out.writeValue(sky_sun_constant);
    out.writeValue(camera_heading);
    out.writeValue(camera_pitch);
    out.writeValue(camera_roll);
    debug("saving gameobjs");
    if (save_gameobjs) save_gameobjs(out);
    file.commit();
    return true;
  } catch (const OutputStream::Exception& e) {
    show_error("Error saving the world:", e.message);
  } catch (const SquirrelError& e) {
    show_error("Error saving the world:", e.desc);
  }
  return false;
}

bool save_game()
{
  set_error_message(nullptr);
  if (cur_game_slot < 0) {
    set_error_message("No slot selected for the saved game");
    return false;
  }
  const int slot = cur_game_slot;
  make_folder(get_appdata_path() + "Quillmere");
  make_folder(get_appdata_path() + SAVED_GAMES_FOLDER);
  make_folder(saved_game_path(slot, ""));
  if (!lock_slot(slot)) {
    show_error("Error saving the game:", slot_in_use_text);
    return false;
  }
  if (save_spells) save_spells();

  try {
    // Both values are written out in memory first: a value that cannot be
    // saved, or a universe without "enteredWorld", fails before any file of
    // the slot is touched.
    MemoryOutputBuffer info, uni;
    info.writeValue(uint32_t(SAVE_INFO_MAGIC));
    info.writeValue(uint32_t(SAVE_VERSION));
    save_data(cur_game_info, info);
    uni.writeValue(uint32_t(SAVE_VERSION));
    save_data(universe, uni);
    int entered = get_entered_world();

    // "uni" and "info" go in place only after the world file, so the slot
    // never names a world state older than the file holding it, and a world
    // that cannot be saved leaves the slot's other files as they were.
    AtomicFile info_file(saved_game_path(slot, "info"));
    info_file.stream.write(info.bytes.data, info.bytes.num);
    AtomicFile uni_file(saved_game_path(slot, "uni"));
    uni_file.stream.write(uni.bytes.data, uni.bytes.num);
    if (entered >= 0 && !save_world(saved_game_path(slot, world_file_name(entered)))) return false;
    uni_file.commit();
    info_file.commit();
    return true;
  } catch (const OutputStream::Exception& e) {
    show_error("Error saving the game:", e.message);
  } catch (const SquirrelError& e) {
    show_error("Error saving the game:", e.desc);
  }
  return false;
}

// ---------------------------------------------------------------- loading --

SqObject read_slot_value(InputStream& in, HSQUIRRELVM vm)
{
  SqObject value = load_data(in, vm);
  // The value is the whole rest of the file; more bytes mean a length or a
  // count inside it was damaged.
  char extra;
  if (in.readSome(&extra, 1) > 0) throw InputStream::Exception("unexpected data after the saved value", in.tell() - 1);
  return value;
}

namespace
{
// "info" or "uni" of a slot: the headers, then the value.
SqObject read_slot_file(int slot, const char* name, bool with_magic, HSQUIRRELVM vm)
{
  FileInputStream in;
  if (!in.open(saved_game_path(slot, name), "rb")) throw InputStream::Exception("Can't open input file", -1);
  if (with_magic && in.readValue<uint32_t>() != SAVE_INFO_MAGIC)
    throw InputStream::Exception("Unsupported saved game version", -1);
  if (in.readValue<uint32_t>() != SAVE_VERSION) throw InputStream::Exception("Unsupported saved game version", -1);
  return read_slot_value(in, vm);
}

// The universe map and the world entry need a table with a "worlds" array
// and an integer "enteredWorld" that is -1 or one of its worlds.
void check_loaded_universe(const SqObject& uni)
{
  if (uni.getType() != OT_TABLE) throw SquirrelError("the saved universe is not a table");
  HSQUIRRELVM vm = uni.vm;
  sqbind::StackRestore restore(vm);
  sq_pushobject(vm, uni.o);
  sq_pushstring(vm, "worlds", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY)
    throw SquirrelError("the saved universe has no \"worlds\" array");
  SQInteger count = sq_getsize(vm, -1);
  sq_poptop(vm);
  sq_pushstring(vm, "enteredWorld", -1);
  SQInteger entered = 0;
  if (SQ_FAILED(sq_get(vm, -2)) || SQ_FAILED(sq_getinteger(vm, -1, &entered)) || sq_gettype(vm, -1) != OT_INTEGER)
    throw SquirrelError("the saved universe has no integer \"enteredWorld\"");
  if (entered < -1 || entered >= count) throw SquirrelError("the saved universe enters a world it does not have");
}
}  // namespace

bool load_saved_game(int slot)
{
  set_error_message(nullptr);
  if (slot < 0) {
    set_error_message("No slot selected for loading the game");
    return false;
  }
  try {
    // Staged: the game in memory changes only once both files have been read
    // and checked whole.
    HSQUIRRELVM vm = require_world_vm();
    if (!lock_slot(slot)) throw InputStream::Exception(slot_in_use_text, -1);
    SqObject info = read_slot_file(slot, "info", true, vm);
    SqObject uni = read_slot_file(slot, "uni", false, vm);
    check_loaded_universe(uni);

    cur_game_slot = -1;
    release_universe_data();
    cur_game_info = info;
    universe = uni;
    fetch_universe_data();
    if (load_spells) load_spells();
    cur_game_slot = slot;
    return true;
  } catch (const InputStream::Exception& e) {
    show_error("Error loading the game:", e.message);
  } catch (const SquirrelError& e) {
    show_error("Error loading the game:", e.desc);
  }
  return false;
}

TempString<260> get_saved_game_name(int slot, bool& outdated)
{
  outdated = false;
  TempString<260> name;
  HSQUIRRELVM vm = world_script_vm.vm;
  if (slot < 0 || !vm) return name;
  try {
    FileInputStream in;
    if (!in.open(saved_game_path(slot, "info"), "rb")) throw InputStream::Exception("Can't open input file", -1);
    if (in.readValue<uint32_t>() != SAVE_INFO_MAGIC) {
      outdated = true;
      return TempString<260>("? ? ?");
    }
    if (in.readValue<uint32_t>() != SAVE_VERSION) outdated = true;
    SqObject info = read_slot_value(in, vm);
    SqObject value = sqbind::get_slot(vm, info.o, "name");
    if (value.getType() == OT_NULL) return name;
    if (value.getType() != OT_STRING) throw SquirrelError("sq_get*() failed (type error)");
    const SQChar* text = nullptr;
    sqbind::StackRestore restore(vm);
    sq_pushobject(vm, value.o);
    sq_getstring(vm, -1, &text);
    // The game's own names are short; a longer one is shown cut.
    int length = int(sqbind::string_length(value.o));
    name.assign(text, length < 259 ? length : 259);
  } catch (const InputStream::Exception&) {
    name = "";
  } catch (const SquirrelError&) {
    name = "";
  }
  return name;
}

// ---------------------------------------------------------------- worlds --

namespace
{
// The grid a world load replaces: one copy for every load (main thread only),
// made at the first load.
struct GridCopy
{
  float hmap[HeightmapData::HMAP_CELLS];
  float target[HeightmapData::HMAP_CELLS];
  HeightmapData::Surface surface[HeightmapData::HMAP_CELLS];
  HeightmapData::Water water[HeightmapData::HMAP_CELLS];
  HeightmapData::Water tmpw[HeightmapData::HMAP_CELLS];
};

// The state a world load replaces, kept until the load has succeeded.
struct WorldSnapshot
{
  GridCopy* grid = nullptr;
  HeightmapData::WaterRow *water_ptr = nullptr, *tmpw_ptr = nullptr;
  MemoryOutputBuffer objects;
  bool have_grid = false, have_objects = false;

  void takeGrid()
  {
    using namespace HeightmapData;
    static std::unique_ptr<GridCopy> copy;
    if (!copy) copy.reset(new GridCopy);
    grid = copy.get();
    const size_t fluid = sizeof(Water) * HMAP_CELLS;
    memcpy(grid->hmap, HeightmapData::hmap, sizeof(HeightmapData::hmap));
    memcpy(grid->target, target_hmap, sizeof(target_hmap));
    memcpy(grid->surface, HeightmapData::surface, sizeof(HeightmapData::surface));
    memcpy(grid->water, HeightmapData::water, fluid);
    memcpy(grid->tmpw, HeightmapData::tmpw, fluid);
    water_ptr = HeightmapData::water;
    tmpw_ptr = HeightmapData::tmpw;
    have_grid = true;
  }

  void restoreGrid()
  {
    using namespace HeightmapData;
    if (!have_grid) return;
    const size_t fluid = sizeof(Water) * HMAP_CELLS;
    HeightmapData::water = water_ptr;
    HeightmapData::tmpw = tmpw_ptr;
    memcpy(HeightmapData::hmap, grid->hmap, sizeof(HeightmapData::hmap));
    memcpy(target_hmap, grid->target, sizeof(target_hmap));
    memcpy(HeightmapData::surface, grid->surface, sizeof(HeightmapData::surface));
    memcpy(HeightmapData::water, grid->water, fluid);
    memcpy(HeightmapData::tmpw, grid->tmpw, fluid);
  }

  // The plug-in's objects in its own saved form, to be loaded back if the
  // new ones are refused.
  void takeObjects()
  {
    if (!save_gameobjs || !load_gameobjs) return;
    try {
      if (delete_gameobj) delete_gameobj();
      save_gameobjs(objects);
      have_objects = true;
    } catch (const OutputStream::Exception& e) {
      debug("can't keep the objects for a failed load: %s", e.message);
    } catch (const SquirrelError& e) {
      debug("can't keep the objects for a failed load: %s", e.desc);
    }
  }

  void restoreObjects()
  {
    if (!have_objects) return;
    try {
      if (remove_all_gameobj) remove_all_gameobj();
      MemoryInputStream in(objects.bytes.data, objects.bytes.num);
      load_gameobjs(in);
      local_player = Player_list.num ? Player_list[0] : nullptr;
    } catch (const InputStream::Exception& e) {
      debug("can't restore the objects after a failed load: %s", e.message);
    } catch (const SquirrelError& e) {
      debug("can't restore the objects after a failed load: %s", e.desc);
    }
  }
};

float read_finite_float(InputStream& in)
{
  float v = in.readValue<float>();
  if (!std::isfinite(v)) throw InputStream::Exception("corrupt world file: sun or camera value not a number", in.tell() - 4);
  return v;
}
}  // namespace

WorldLoadResult load_world_file(const char* path)
{
  debug("loading world from %s", path);
  FileInputStream in;
  if (!in.open(path, "rb")) {
    // Only a missing file means the world has not been visited yet.
    if (errno == ENOENT) return WORLD_MISSING;
    show_stream_error("Error loading the world:", InputStream::Exception("Can't open input file", -1));
    return WORLD_FAILED;
  }

  WorldSnapshot old;
  try {
    if (in.readValue<uint32_t>() != WORLD_FILE_VERSION)
      throw InputStream::Exception("Unsupported saved game version", -1);

    old.takeGrid();
    HeightmapData::loadWorldData(in);  // checks the whole block before it changes the grid
    float sun[4];
    for (float& v : sun) v = read_finite_float(in);
    float sun_constant = read_finite_float(in);
    float heading = read_finite_float(in);
    float pitch = read_finite_float(in);
    float roll = read_finite_float(in);

    old.takeObjects();
    if (remove_all_gameobj) remove_all_gameobj();
    reset_common_fx();
    if (load_gameobjs) load_gameobjs(in);
    // The objects end the file; more bytes mean a count or a length in the
    // file was damaged.
    char extra;
    if (in.readSome(&extra, 1) > 0) throw InputStream::Exception("unexpected data after the saved objects", in.tell() - 1);
    in.close();

    set_sun_direction(make4f(sun[0], sun[1], sun[2], sun[3]), false);
    set_sky_sun_constant(sun_constant);
    camera_heading = heading;
    camera_pitch = pitch;
    camera_roll = roll;
    if (Player_list.num) local_player = Player_list[0];
    reset_fluid_surfaces();
    reset_update_time();
    return WORLD_LOADED;
  } catch (const InputStream::Exception& e) {
    show_stream_error("Error loading the world:", e);
  } catch (const SquirrelError& e) {
    show_error("Error loading the world:", e.desc);
  }
  old.restoreGrid();
  old.restoreObjects();
  return WORLD_FAILED;
}

bool load_world(const char* path) { return load_world_file(path) == WORLD_LOADED; }

bool load_world(int index)
{
  if (index < 0 || cur_game_slot < 0) return false;
  return load_world(saved_game_path(cur_game_slot, world_file_name(index)));
}
