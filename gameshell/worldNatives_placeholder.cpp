// PLACEHOLDER: stand-ins for what the world script's natives need from the
// world renderer, the game shell's sound events and the plug-in binding
// (scripting/worldNativesServices.h), so that the `game` program links before
// those subsystems exist: the sun direction is ignored, no sound event plays
// and the plug-in's land height stays unbound. Delete each definition here as
// the real one is written.
#include "scripting/worldNativesServices.h"

unsigned play_sound_event(const char*) { return 0; }

