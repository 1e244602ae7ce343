// What the readers' libraries take from the game shell, for programs that
// link them alone (the rest comes from the test doubles of the world and the
// world script). No game objects exist, so a saved reference to one is
// refused as in a world without it.
#include "scripting/scriptServices.h"
#include "scripting/worldNativesServices.h"

BaseObject* (*get_gameobj_by_ser_id)(unsigned serial_id) = nullptr;
float (*get_land_height)(float x, float z) = nullptr;
void set_sun_direction(vec4f, bool) {}
unsigned play_sound_event(const char*) { return 0; }

#include "fuzz/fuzzSupport.h"
#include "world/world_services_doubles.h"

void fuzz_forget_recorded_calls()
{
  world_doubles::sound_calls.clear();
  world_doubles::event_requests.clear();
  world_doubles::vapour_calls.clear();
}
