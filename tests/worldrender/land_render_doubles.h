// Test doubles for the world-renderer tests: what the heightmap world needs
// from the layers above it (world/worldServices.h: silent sounds, no plug-in
// hooks, the scene camera) and what the land renderer needs
// (worldrender/hmRenderServices.h: a recorder for render_building, a camera
// the tests place, the sky's constants).
#pragma once

#include <vector>

#include "engine/vec4f.h"
#include "world/heightmapData.h"

namespace land_doubles
{

struct BuildingCall
{
  const HeightmapData::Surface* surface;
  int x, z;
};

extern std::vector<BuildingCall> building_calls;
// Returned by land_camera_pos().
extern vec4f camera_pos;

// Clears the records, binds the render_building recorder and puts the camera
// at the origin.
void reset();

}  // namespace land_doubles
