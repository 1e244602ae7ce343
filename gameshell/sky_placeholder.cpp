// PLACEHOLDER: a stand-in for the shared camera matrix (declared in
// worldrender/scenePasses.h) that the game shell's camera owns, so that `game`
// links before that definition is written. Delete it when the real one exists.
#include "worldrender/scenePasses.h"

Matrix44 cur_view_itm = Matrix44::identity();
