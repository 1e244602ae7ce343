// PLACEHOLDER: a stand-in for the camera matrix that the sky quad is laid out
// from (worldrender/sky.cpp), so that `game` links before the scene passes
// that write it exist. Delete it when the real definition is written.
#include "engine/vec4f.h"

Matrix44 cur_view_itm = Matrix44::identity();
