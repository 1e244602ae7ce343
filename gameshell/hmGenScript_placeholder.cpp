// PLACEHOLDER: stand-ins for what the world script VM needs from the effects
// and the game shell's universe and modes (scripting/hmGenScriptServices.h),
// so that the `game` program links before those subsystems exist: the resets
// do nothing, there is no universe or game mode yet. Delete each definition here as the real one is
// written.
#include "scripting/hmGenScriptServices.h"

void reset_common_fx() {}
