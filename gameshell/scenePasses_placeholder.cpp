// PLACEHOLDER: stand-ins for what the scene passes need from the shadow balls and the common effects
// (worldrender/scenePassesServices.h), so that the `game` program links
// before those exist: no shadow ball darkens the shadow image (it is only
// cleared to white, as the real pass does before drawing) and no effect is
// drawn. Delete each definition here as the real one is written.
#include "engine/d3d_render.h"
#include "worldrender/scenePassesServices.h"

void render_common_fx(float, float) {}
