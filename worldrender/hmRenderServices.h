// What the land renderer needs from outside the world renderer: the
// plug-in's drawing of house tiles, a variable the game shell binds from the
// plug-in. It stays null until then, so the renderer tests it first; test
// programs bind their own. Main thread only.
#pragma once

#include "world/heightmapData.h"

// Draws the house tile of one cell; x and z are the unwrapped coordinates of
// the cell as the land mesh lays it out (wrap them with & 255 for the grid).
extern void (*render_building)(HeightmapData::Surface* surface, int x, int z);
