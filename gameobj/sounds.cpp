#include "gameobj/sounds.h"
#include "gameobj/objects.h"

#include "gameshell/audio.h"
#include "gameshell/soundEvents.h"

#include <vector>

namespace
{

const char* const MENU_CLICK = "main_menu";
const char* const UNIVERSE_CLICK = "universe_map";
const char* const USE_PORTAL = "use_portal";
const char* const DASH = "generic_cast";
const int PORTAL_LOOP = 3;

struct PortalHum
{
  uint32_t serialId;
  unsigned channel;
};
std::vector<PortalHum> portal_hums;

bool portal_exists(uint32_t serial_id)
{
  for (WorldPortal* p : WorldPortal_list)
    if (p->serialId == serial_id) return true;
  return false;
}

PortalHum* hum_of(uint32_t serial_id)
{
  for (PortalHum& h : portal_hums)
    if (h.serialId == serial_id) return &h;
  return nullptr;
}

}  // namespace

void menu_click_sound(bool universe) { play_sound_event(universe ? UNIVERSE_CLICK : MENU_CLICK); }
void portal_entered_sound() { play_sound_event(USE_PORTAL); }
void player_flight_sound(int turn)
{
  static int last_turn = 0;
  if (turn != 0 && turn != last_turn) play_sound_event(DASH);
  last_turn = turn;
}

void update_object_sounds()
{
  for (size_t i = 0; i < portal_hums.size();) {
    if (portal_exists(portal_hums[i].serialId)) {
      i++;
      continue;
    }
    fade_out_and_stop_sound(portal_hums[i].channel, 200);
    portal_hums[i] = portal_hums.back();
    portal_hums.pop_back();
  }
  for (WorldPortal* p : WorldPortal_list) {
    PortalHum* h = hum_of(p->serialId);
    if (h && is_sound_playing(h->channel)) continue;
    // Where the portal stands, a little above the ground.
    unsigned ch = play_sound_event(PORTAL_LOOP, p->pos + make4f(0.f, 1.5f, 0.f, 0.f), v_zero());
    if (h)
      h->channel = ch;
    else
      portal_hums.push_back({p->serialId, ch});
  }
}

void stop_object_sounds()
{
  for (const PortalHum& h : portal_hums) fade_out_and_stop_sound(h.channel, 200);
  portal_hums.clear();
}
