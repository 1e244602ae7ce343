// PLACEHOLDER: stand-ins for what the scene passes need from the developer
// mode's switches, the shadow balls and the common effects
// (worldrender/scenePassesServices.h), so that the `game` program links
// before those exist: fog is on, and no shadow or effect is drawn. Delete each
// definition here as the real one is written.
#include "worldrender/scenePassesServices.h"


void start_render_shadows() {}
void end_render_shadows() {}

void render_common_fx(float, float) {}
