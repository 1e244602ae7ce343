// The proximity grid: finds the game objects near a place without scanning
// every object. Each object sits in exactly one bin chosen from its ground
// footprint (an x/z box): a fine bin when the box lies inside one 8 x 8 cell,
// else a coarse bin when it lies inside one 16 x 16 cell of a grid shifted by
// 4 units, else the single overflow bin. Both grids wrap with the 256-unit
// world. The game owns the bins; the gameobj plug-in keeps its objects in
// them (update_proximity whenever an object moves or is created,
// remove_proximity_object when it goes) and walks the bins a query returns.
// Main thread only.
#pragma once

#include "engine/dynArray.h"
#include "engine/vec4f.h"

class GameObj;

// Objects of one bin, in no particular order.
typedef DynArray<GameObj*> ProximityBin;

enum
{
  PROXIMITY_FINE_BINS = 1024,  // 32 x 32 cells of 8 units
  PROXIMITY_COARSE_FIRST = 1024,  // 16 x 16 cells of 16 units, shifted by 4
  PROXIMITY_OVERFLOW_BIN = 1280,
  PROXIMITY_BINS = 1281,
};

extern ProximityBin proximity[PROXIMITY_BINS];

struct ProximityQuery
{
  DynArray<int> bins;  // gathered bin indices: fine rows, then coarse, then overflow
  int cursor = 0;      // the plug-in's walk through the result
  int subCursor = -1;

  // Lists the non-empty bins that may hold objects overlapping box
  // (x0, z0, x1, z1); the overflow bin unless skip_overflow. Resets the
  // cursors to 0 and -1.
  void proximityQuery(vec4f box, bool skip_overflow);
};

// The bin of box (x0, z0, x1, z1).
int proximity_bin_of_box(vec4f box);
// Moves the object into the bin of its box; its bin index follows.
void update_proximity(GameObj* object, vec4f box);
// Takes the object out of its bin (bin index -1); null, or an object in no
// bin, is ignored.
void remove_proximity_object(GameObj* object);
