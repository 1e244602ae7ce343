// The sound script's VM, its natives, its runs and the music chaining.
#include "gameshell/soundScript.h"
#include "gameshell/audio.h"
#include "gameshell/soundEvents.h"

#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/random.h"
#include "engine/visualLog.h"
#include "scripting/sqbindCall.h"

#include <cstdio>
#include <string>

using namespace sqbind;

SqReloadableVM sound_script_vm;
std::vector<uint32_t> loaded_sound_samples, loaded_sound_streams;

static uint64_t sound_rnd_state = 0;
static std::string sound_load_failures;

void show_sound_script_error(const char* text)
{
  char buf[1024];
  snprintf(buf, sizeof(buf), "Error in sound script:\n%s", text ? text : "");
  set_error_message(buf);
}

// ---- natives ----

static void note_load(uint32_t handle, const char* path, std::vector<uint32_t>& list)
{
  if (handle) {
    list.push_back(handle);
    return;
  }
  if (sound_load_failures.empty()) sound_load_failures = "Can't load sound files:\n";
  sound_load_failures += path;
  sound_load_failures += "\n";
}

static uint32_t sn_load_sample(const char* path, int max_playbacks, int flags)
{
  uint32_t h = load_sound_sample(make_full_path(path).c_str(), max_playbacks, flags, SOUND_OVERRIDE_AUTO, 0, 0);
  note_load(h, path, loaded_sound_samples);
  return h;
}

static uint32_t sn_get_channel(uint32_t sample) { return get_sound_sample_channel(sample, false); }
static bool sn_set_channel_volume(uint32_t ch, float v) { return set_sound_volume(ch, v); }
static bool sn_set_channel_3d_params(uint32_t ch, float mn, float mx) { return set_sound_3d_params(ch, mn, mx); }
static bool sn_play_channel(uint32_t ch, bool restart) { return play_sound(ch, restart); }
static bool sn_stop_channel(uint32_t ch) { return stop_sound(ch); }
static bool sn_fade_out_and_stop(uint32_t ch, int ms) { return fade_out_and_stop_sound(ch, ms); }
static bool sn_set_sample_volume(uint32_t s, float v) { return set_sound_sample_volume(s, v); }
static bool sn_set_sample_dist(uint32_t s, float mn, float mx) { return set_sound_sample_dist(s, mn, mx); }

static int sn_game_rnd()
{
  sound_rnd_state = sound_rnd_state * 6364136223846793005ull + 1442695040888963407ull;
  return int(uint32_t(sound_rnd_state >> 32) & 0x7fffffffu);
}

static uint32_t sn_load_music(const char* path, float loop_start)
{
  uint32_t h = load_sound_stream(make_full_path(path).c_str(), loop_start, 0, 0, 0);
  note_load(h, path, loaded_sound_streams);
  return h;
}

static uint32_t sn_load_chained_music(const char* path)
{
  uint32_t h = load_sound_stream(make_full_path(path).c_str(), -1.0, SOUND_CHAIN, 0, 0);
  note_load(h, path, loaded_sound_streams);
  return h;
}

static void register_sound_natives(HSQUIRRELVM vm)
{
  bind_function(vm, sn_load_sample, "load_sample");
  bind_function(vm, sn_get_channel, "get_channel");
  bind_function(vm, sn_set_channel_volume, "set_channel_volume");
  bind_function(vm, sn_set_channel_3d_params, "set_channel_3d_params");
  bind_function(vm, sn_play_channel, "play_channel");
  bind_function(vm, sn_stop_channel, "stop_channel");
  bind_function(vm, sn_fade_out_and_stop, "fade_out_and_stop");
  bind_function(vm, sn_set_sample_volume, "set_sample_volume");
  bind_function(vm, sn_set_sample_dist, "set_sample_dist");
  bind_function(vm, sn_game_rnd, "game_rnd");
  bind_function(vm, sn_load_music, "load_music");
  bind_function(vm, sn_load_chained_music, "load_chained_music");
  register_int_constant(vm, "SNDF_3D", SOUND_3D);
  register_int_constant(vm, "SNDF_LOOP", SOUND_LOOP);
}

// ---- runs ----

static void free_handles(std::vector<uint32_t>& samples, std::vector<uint32_t>& streams)
{
  for (uint32_t s : samples) free_sound_sample(s);
  samples.clear();
  for (uint32_t s : streams) free_sound_stream(s);
  streams.clear();
}

void free_sound_lists() { free_handles(loaded_sound_samples, loaded_sound_streams); }

// Runs the script (include or forced reload), binds the events and reports
// files that failed; true when all of it succeeded.
static bool run_sound_script(const char* path)
{
  sound_load_failures.clear();
  try {
    bool ran = path ? sound_script_vm.include(path) : sound_script_vm.reload(true);
    if (!ran) throw SquirrelError(sound_script_vm.vm);
    load_sound_events(sound_script_vm);
    if (!sound_load_failures.empty()) throw SquirrelError(sound_load_failures.c_str());
    return true;
  } catch (const SquirrelError& e) {
    show_sound_script_error(e.desc);
    return false;
  }
}

void init_sound_vm(const char* script_path)
{
  sound_rnd_state = game_rnd_seed;
  if (!sound_script_vm.create(1024)) fatal("error creating sound script VM");
  register_sound_natives(sound_script_vm.vm);
  run_sound_script(make_full_path(script_path).c_str());
}

void reload_sound_vm()
{
  if (!sound_script_vm.vm || !sound_script_vm.filesChanged()) return;
  debug("sound script changed, reloading");
  set_error_message(nullptr);
  // The last good run's sounds stay until the new run has succeeded: its
  // event functions keep working when the edited script fails.
  std::vector<uint32_t> old_samples, old_streams;
  old_samples.swap(loaded_sound_samples);
  old_streams.swap(loaded_sound_streams);
  if (run_sound_script(nullptr)) {
    free_handles(old_samples, old_streams);
  } else {
    loaded_sound_samples.insert(loaded_sound_samples.begin(), old_samples.begin(), old_samples.end());
    loaded_sound_streams.insert(loaded_sound_streams.begin(), old_streams.begin(), old_streams.end());
  }
}

void close_sound_vm()
{
  clear_sound_events();
  free_sound_lists();
  sound_script_vm.close();
}

void update_music_chaining()
{
  uint32_t stream = sound_stream_to_chain.exchange(0);
  if (!stream || !sound_script_vm.vm) return;
  try {
    SqFunc<void> chain;
    chain.bindRoot(sound_script_vm.vm, "do_music_chaining");
    if (!chain.isNull()) chain(SQInteger(stream));
  } catch (const SquirrelError& e) {
    show_sound_script_error(e.desc);
  }
}
