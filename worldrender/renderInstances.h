// The 38 instanced-mesh renderers the game exports to the gameobj plug-in,
// one per mesh kind, and the table of the 19 house and castle tiles in the
// order of their material letters a-s. The game holds no mesh for them: the
// plug-in's init_inst_render gives each used one its mesh. Main thread only.
#pragma once

#include "worldrender/renderInst.h"

#define SIMPLE_INST_RENDERS(X)                                                                                  \
  X(stone1) X(menhir1) X(menhir2) X(stone_cup1) X(humanoid) X(tree1) X(tree1f) X(wyvern_head) X(wyvern_tail)    \
  X(ctrplr_head) X(ctrplr_tail) X(gatherer_eye)
#define MORPH_INST_RENDERS(X) X(bird_body) X(gatherer_body)
#define SPLINE_INST_RENDERS(X) \
  X(wyvern_body) X(ctrplr_body01) X(ctrplr_body02) X(ctrplr_body03) X(ctrplr_body04)
#define BUILDING_INST_RENDERS(X)                                                                                \
  X(roof_corner) X(tower_corner) X(tower_wall1) X(tower_wall2) X(castle_walk) X(merlon_top) X(merlon_corner)    \
  X(merlon_wall1) X(merlon_wall2) X(castle_wall1) X(castle_wall2) X(castle_wall3) X(castle_wall4)               \
  X(castle_slant1) X(castle_slant2) X(castle_slant3) X(castle_slant4) X(castle_corner1) X(castle_corner2)

#define DECLARE_SIMPLE_INST(name) extern SimpleInstRender name##_inst;
#define DECLARE_MORPH_INST(name) extern MorphInstRender name##_inst;
#define DECLARE_SPLINE_INST(name) extern SplineInstRender name##_inst;
#define DECLARE_BUILDING_INST(name) extern BuildingInstRender name##_inst;
SIMPLE_INST_RENDERS(DECLARE_SIMPLE_INST)
MORPH_INST_RENDERS(DECLARE_MORPH_INST)
SPLINE_INST_RENDERS(DECLARE_SPLINE_INST)
BUILDING_INST_RENDERS(DECLARE_BUILDING_INST)
#undef DECLARE_SIMPLE_INST
#undef DECLARE_MORPH_INST
#undef DECLARE_SPLINE_INST
#undef DECLARE_BUILDING_INST

namespace HeightmapRenderer
{
struct HouseTileInfo
{
  BuildingInstRender* inst;
};
enum { NUM_HOUSE_TILES = 19 };
// Entry m draws the tiles of material m (roof_corner_inst first).
extern HouseTileInfo house_tile_info[NUM_HOUSE_TILES];
extern int num_house_tiles;
}  // namespace HeightmapRenderer
