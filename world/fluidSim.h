// The water and lava simulation (HeightmapData::simWater) and the cell rules
// by which fluid turns into land (raise_cell_with_ash, add_cell_lava,
// add_cell_water), declared in heightmapData.h. This header adds only the
// step's timer. The step's arithmetic is written in a fixed float order, so a
// world evolves bit-identically on every correct build. Main thread only.
#pragma once

#include "engine/updateStats.h"
#include "world/heightmapData.h"

namespace HeightmapData
{

// Times every fluid step for the performance graph ("fluid sim").
extern UpdateStatsTracker fluidSimTiming;

// The outflow pass takes four cells of a row at once wherever no lava is
// involved (true, the default); false sends every cell through the one-cell
// rules. Both give the same bits: the switch is there to compare the two.
extern bool fluidGroupedOutflow;

// The velocity pass takes eight cells at once with AVX2 (true by default
// where the processor has it); false takes four at a time with SSE. Both give
// the same bits. Set it to true only where the processor has AVX2.
extern bool fluidWideAdvection;

}  // namespace HeightmapData
