#include "worldrender/renderInstances.h"

#define DEFINE_SIMPLE_INST(name) SimpleInstRender name##_inst;
#define DEFINE_MORPH_INST(name) MorphInstRender name##_inst;
#define DEFINE_SPLINE_INST(name) SplineInstRender name##_inst;
#define DEFINE_BUILDING_INST(name) BuildingInstRender name##_inst;
SIMPLE_INST_RENDERS(DEFINE_SIMPLE_INST)
MORPH_INST_RENDERS(DEFINE_MORPH_INST)
SPLINE_INST_RENDERS(DEFINE_SPLINE_INST)
BUILDING_INST_RENDERS(DEFINE_BUILDING_INST)

namespace HeightmapRenderer
{
#define HOUSE_TILE_ENTRY(name) {&name##_inst},
HouseTileInfo house_tile_info[NUM_HOUSE_TILES] = {BUILDING_INST_RENDERS(HOUSE_TILE_ENTRY)};
#undef HOUSE_TILE_ENTRY
int num_house_tiles = NUM_HOUSE_TILES;
}  // namespace HeightmapRenderer
