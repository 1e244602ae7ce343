// The per-user configuration store and the settings it fills at start-up.
//
// The store is one text file, "$XDG_CONFIG_HOME/Quillmere/config" (default
// "~/.config/Quillmere/config"), shared by `game` and `launcher`. Each value
// keeps its name and its type (32-bit integer or byte string); every write
// rewrites the whole file atomically, so a crash never leaves half a store.
// Each call opens the file anew: a value written by one program is seen by the
// next read of any program. Bad content never ends the program: an unreadable
// line or a value of the wrong type reads as missing, with a log line.
//
// read_app_config() fills the settings globals below once at start-up from
// the store and the command line. Main thread only.
#pragma once

// Value types, numbered as the original store numbered them.
enum
{
  CONFIG_TYPE_NONE = 0,
  CONFIG_TYPE_STR = 1,
  CONFIG_TYPE_INT = 4,
};

// Settings filled by read_app_config (the launcher and the plug-in's options
// screen write some of them back through the store).
extern int app_screen_wd, app_screen_ht;   // configured window size; below 1 = not set
extern bool config_fullscreen;             // fullscreen requested at start-up
extern bool use_ppaa;                      // MLAA anti-aliasing
extern bool app_use_vsync;
extern bool use_obj_shadows;
extern bool left_handed;
extern int land_shadow_quality;
extern bool invert_mouse_y;
extern int gfx_quality;                    // index into gfx_quality_name
extern const char* gfx_quality_name[];     // "low", "high", nullptr

// Renderer switches no setting changes: no multisampled scene, and frames are
// drawn straight into the back buffer.
extern bool use_scene_msaa;
extern bool skip_scene_rt;

// Primitives. write: stores `bytes` bytes of `data` under `name` with `type`;
// false when the store cannot be written. read: on entry *bytes is the room
// in `data` (data may be null to ask only for type and size); true when the
// value exists and fits, with *type and *bytes set and the bytes copied. A
// value that does not fit fails with *type and *bytes set and nothing copied.
bool write_config_value(const char* name, int type, const void* data, int bytes);
bool read_config_value(const char* name, int* type, void* data, int* bytes);

bool set_config_int(const char* name, int value);
// A negative length stores strlen(text) bytes. Strings may hold any bytes.
bool set_config_str(const char* name, const char* text, int length);
// True and *value set only when the value exists and is an integer;
// otherwise *value is left as it was.
bool get_config_int(const char* name, int* value);
// Reads at most size - 1 bytes and terminates them; true only when the value
// exists, is a string and fits. On failure the buffer is not touched.
bool get_config_str(const char* name, char* buffer, int size);
// Replaces the bits of `mask` in the integer value `name` by those of `bits`
// and keeps the others as stored (0 when missing or not an integer), in one
// locked read-modify-write, so a bit another program wrote meanwhile stays.
bool set_config_int_bits(const char* name, int mask, int bits);

// Fills the settings from the store, then from the command-line switches
// ("-720", "-360", "-1024", "-aa", "-noaa", "-vs", "-novs", "-fullscr",
// "-win", "-gfx-high", "-gfx-low"; exact, later ones win, others ignored),
// and applies the stored process priority.
void read_app_config(int argc, char** argv);

// The store's file. Null restores the default location, which follows
// XDG_CONFIG_HOME at each call; tests point it at a folder of their own.
void set_config_path(const char* file_path);
// The file the store uses now; empty when no home folder can be found.
const char* get_config_path();
