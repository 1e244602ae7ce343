// The instance records of the object meshes the build generates
// (tools/make_meshes.cpp) as their shaders read them (data/inst_common.glsl):
// simple objects placed by a matrix whose rows carry their turn and scale,
// and house tiles over their cell's four corner heights with the tile's
// quarter turns. Shared by the gameobj plug-in and the renderer's tests.
// Main thread only.
#pragma once

#include "engine/color.h"
#include "world/heightmapData.h"
#include "worldrender/renderInst.h"

// A turn about y by `yaw` and a uniform scale (at most 8) at pos, placed at
// its image nearest the camera (cur_view_itm).
Matrix44 object_matrix(vec4f pos, float yaw, float scale);
// One simple record: rows 0-2 of tm (unit direction * 0.5 + 0.5, length / 8
// in alpha), its row 3, the tint (alpha: extra emission). Nothing when the
// renderer has no mesh.
void queue_simple(SimpleInstRender& inst, const Matrix44& tm, D3dColor tint);
// The tile of a house cell (its surface record and unwrapped cell) into the
// house-tile renderer of its material, over the heights shown this frame.
void queue_house_tile(const HeightmapData::Surface* surface, int x, int z);
