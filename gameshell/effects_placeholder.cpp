// PLACEHOLDER: stand-ins for the common effects,
// so that the world steps before they exist: there are no particles, trails
// or bolts to move. Delete each definition here as the real one is written.
#include "gameshell/shellPending.h"

void init_common_fx() {}
void update_common_fx(float) {}
