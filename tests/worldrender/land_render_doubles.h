// Test doubles for the world-renderer tests: what the heightmap world needs
// from the layers above it (world/worldServices.h: silent sounds, no plug-in
// hooks, the scene camera) and what the land renderer needs
// (worldrender/hmRenderServices.h: a recorder for render_building), with
// helpers that place the camera and give the sky its default colours.
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
// The position row of the camera matrix, which the land renderer centres
// its meshes on.
extern vec4f& camera_pos;

// Clears the records, binds the render_building recorder and puts the camera
// at the origin (camera matrix = identity).
void reset();
// The sky's default colours with the sun at its start-up direction, without
// the sky script.
void use_default_sky();

}  // namespace land_doubles
