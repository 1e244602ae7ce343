// The event table, the binding of the script's event functions, playing
// events and the tracked positional sounds.
#include "gameshell/soundEvents.h"
#include "gameshell/audio.h"
#include "gameshell/gameCamera.h"
#include "gameshell/soundScript.h"

#include "engine/debug.h"
#include "engine/visualLog.h"
#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"

#include <cstring>

using namespace sqbind;

const char* const sound_event_name[NUM_SOUND_EVENTS] = {
    "use_portal",        "enter_world",        "portal_appears",    "portal_loop",       "trigger_activated",
    "player_hit",        "start_combat",       "end_combat",        "spell_appears",     "spell_loop",
    "spell_discharge",   "pick_up_spell",      "generic_cast",      "generic_missile",   "fireball_cast",
    "fireball_missile",  "fireball_hit",       "fireball_hit_water", "meteor_cast",      "meteor_missile",
    "meteor_hit",        "lightning_cast",     "thstorm_cast",      "thstorm_missile",   "thstorm_lightning",
    "burn_loop",         "tree_regrows",       "land_moving",       "mana_idle",         "wyvern_spawn",
    "wyvern_idle",       "wyvern_attack",      "wyvern_hit",        "caterpillar_spawn", "caterpillar_idle",
    "caterpillar_attack", "caterpillar_hit",   "bird_idle",         "bird_hit",          "volcano_explosion",
    "volcano_eruption",  "main_menu",          "universe_map",
};

bool sound_event_log = false;
std::vector<uint32_t> tracked_3d_sounds;

static SqFunc<SQInteger> sound_event_funcs[NUM_SOUND_EVENTS];

void clear_sound_events()
{
  for (SqFunc<SQInteger>& f : sound_event_funcs) f.release();
}

void load_sound_events(SqReloadableVM& vm)
{
  clear_sound_events();
  SqObject events;
  {
    StackRestore restore(vm.vm);
    push_global(vm.vm, "events");  // logs "getGlobal 'events' failed" and throws when missing
    events = SqObject::fromStack(vm.vm, -1);
  }
  for (int id = 0; id < NUM_SOUND_EVENTS; id++) sound_event_funcs[id].bind(vm.vm, events, sound_event_name[id]);
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_funcs[id].isNull()) debug("warning: no sound for event '%s'", sound_event_name[id]);
}

unsigned get_sound_event_channel(int id)
{
  if (unsigned(id) >= unsigned(NUM_SOUND_EVENTS)) return 0;
  if (sound_event_log) {
    debug("sound event '%s'", sound_event_name[id]);
    visual_log("sound event '%s'", sound_event_name[id]);
  }
  const SqFunc<SQInteger>& f = sound_event_funcs[id];
  try {
    if (!f.vm || f.isNull()) return 0;
    return unsigned(f());
  } catch (const SquirrelError& e) {
    show_sound_script_error(e.desc);
    return 0;
  }
}

unsigned get_sound_event_channel(const char* name)
{
  if (!name) return 0;
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (strcmp(name, sound_event_name[id]) == 0) return get_sound_event_channel(id);
  return 0;
}

static unsigned play_channel(unsigned channel)
{
  if (channel) play_sound(channel, true);
  return channel;
}

unsigned play_sound_event(int id) { return play_channel(get_sound_event_channel(id)); }
unsigned play_sound_event(const char* name) { return play_channel(get_sound_event_channel(name)); }

unsigned play_sound_event(int id, vec4f position, vec4f velocity)
{
  unsigned channel = get_sound_event_channel(id);
  if (!channel) return 0;
  tracked_3d_sounds.push_back(channel);
  set_sound_3d_pos(channel, nearest_world_image(position, camera_pos), velocity);
  play_sound(channel, true);
  return channel;
}

void update_3d_sound(unsigned channel, vec4f position, vec4f velocity)
{
  if (channel) set_sound_3d_pos(channel, nearest_world_image(position, camera_pos), velocity);
}

void shift_tracked_sounds(vec4f camera)
{
  size_t i = 0;
  while (i < tracked_3d_sounds.size()) {
    vec4f p;
    if (!get_sound_3d_pos(tracked_3d_sounds[i], p)) {
      // Gone: the last entry takes its place and is looked at next.
      tracked_3d_sounds[i] = tracked_3d_sounds.back();
      tracked_3d_sounds.pop_back();
      continue;
    }
    vec4f q = nearest_world_image(p, camera);
    if (q[0] != p[0] || q[1] != p[1] || q[2] != p[2] || q[3] != p[3]) set_sound_3d_pos(tracked_3d_sounds[i], q);
    i++;
  }
}

void stop_world_sounds()
{
  HeightmapData::stopSounds();
  for (uint32_t ch : tracked_3d_sounds) fade_out_and_stop_sound(ch, 10);
  tracked_3d_sounds.clear();
}
