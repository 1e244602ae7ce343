// The plug-in's drawing of its world: every object through the instanced
// meshes (the game's exported renderers for trees, stones and house tiles,
// and the plug-in's own for the player, castles, guard towers, portals,
// missiles and birds), their shadow spheres, and the house tiles the land hands over
// cell by cell. Objects are drawn at their image nearest the camera on the
// wrapping world. Main thread only.
#pragma once

#include "gameobj/objects.h"
#include "world/heightmapData.h"
#include "worldrender/instRecords.h"

extern SimpleInstRender player_inst, castle_inst, guard_tower_inst, portal_inst, missile_inst, bird_inst;

// Gives every renderer the plug-in uses its mesh (meshes/<name>.mesh).
void init_object_meshes();
// Queues every object and draws every renderer with records.
void draw_objects(float t);
// Shadow spheres of every object (high quality only).
void draw_object_shadows(float t);
