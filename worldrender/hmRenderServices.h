// What the land renderer needs from outside its own modules: the plug-in's
// house-tile drawing, the scene camera and the sky's shader constants.
//
// render_building is a variable the game shell binds from the plug-in; it
// stays null until then, so the renderer tests it first. The camera and sky
// accessors are thin reads of the scene passes' and the sky's state; test
// programs supply their own. Main thread only.
#pragma once

#include "engine/vec4f.h"
#include "world/heightmapData.h"

// Draws the house tile of one cell; x and z are the unwrapped coordinates of
// the cell as the land mesh lays it out (wrap them with & 255 for the grid).
extern void (*render_building)(HeightmapData::Surface* surface, int x, int z);

// Position of the camera the world is drawn from (row 3 of the camera matrix).
vec4f land_camera_pos();

// Pixel-shader constants the land passes read: [0] = (sun direction, sun
// constant), [1..12] = the 12 sky registers.
void get_land_sky_constants(vec4f out[13]);
