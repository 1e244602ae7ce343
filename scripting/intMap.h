// IntMap: one 32-bit integer per cell of the 256 x 256 wrapping world grid,
// the world script's map of object ids and region numbers, with a cached
// wrapped bounding box of its non-zero cells so that placements can be tested
// for overlap cheaply. Also the three root natives that pack and unpack cell
// indices, and the wrapped-extent rule shared with BitMap.
//
// Cell (x, z) lives at index z * 256 + x; every coordinate wraps with & 255.
// Script integers are 64-bit: the natives keep the low 32 bits of what they
// are given and return 32-bit values sign-extended. Instances are plain data
// on the heap, owned by their script instance. Main thread only.
#pragma once

#include "scripting/sqbindCall.h"

#include <cstdint>

struct IntMap
{
  int32_t cells[65536];
  int32_t bounds[4];    // x, z, w, h of the non-zero cells, wrapped
  uint8_t boundsValid;  // 0: bounds must be recomputed before use

  int get(int x, int z) const { return cells[((z & 255) << 8) | (x & 255)]; }
  void set(int x, int z, int value)
  {
    cells[((z & 255) << 8) | (x & 255)] = value;
    boundsValid = 0;
  }
  int getIndex(int index) const { return cells[index & 0xFFFF]; }
  void setIndex(int index, int value)
  {
    cells[index & 0xFFFF] = value;
    boundsValid = 0;
  }
  void updateBounds();
  // A new array [x, z, w, h] in vm.
  sqbind::SqObject boundsArray(HSQUIRRELVM vm);
  // Cells non-zero in both maps, other shifted by (dx, dz); 0 for null.
  int testOverlap(IntMap* other, int dx, int dz);
};

// Registers the class "IntMap" (constructor, get, set, _get, _set, bounds,
// testOverlap) and the root natives "make_map_index", "map_index_x" and
// "map_index_z".
void register_int_map(HSQUIRRELVM vm);

// ---- shared with BitMap ----

// (a + b) & 255 and (a - b) & 255 for any 32-bit script offsets, without
// signed overflow.
inline int wrap_add(int a, int b) { return int((unsigned(a) + unsigned(b)) & 255u); }
inline int wrap_sub(int a, int b) { return int((unsigned(a) - unsigned(b)) & 255u); }

// The wrapped box (x, z, w, h) of the marked columns and rows: each axis is
// the circle minus its longest run of unmarked entries (the first such run on
// a tie); everything marked gives (0, 256); nothing marked gives all zeros.
void wrapped_bounds(const uint8_t col_marked[256], const uint8_t row_marked[256], int32_t bounds[4]);
// Which entries of one axis two boxes share: a = [a0, a0 + aw) and the other
// box [o0, o0 + ow), both possibly reaching past 255; covered[i] is set for
// each shared position i & 255. False when they share none.
bool overlap_axis(int a0, int aw, int o0, int ow, uint8_t covered[256]);
// A new array of n integers in vm, as a handle.
sqbind::SqObject new_int_array(HSQUIRRELVM vm, const int32_t* values, int n);
