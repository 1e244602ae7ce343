#include "scripting/intMap.h"

#include "scripting/worldNatives.h"

#include "engine/debug.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace sqbind;

// The type tag lives in the game, so the plug-in shares it.
template struct sqbind::ClassTag<IntMap>;

// ---- wrapped extents ----

// One axis: start and length of the marked part of the circle.
static void wrapped_extent(const uint8_t marked[256], int32_t& start, int32_t& len)
{
  int lowest = 0;
  while (lowest < 256 && !marked[lowest]) lowest++;
  // Step over the run of marked entries that begins at the lowest one.
  int first_gap = lowest, steps = 0;
  while (steps < 256 && marked[first_gap & 255]) {
    first_gap++;
    steps++;
  }
  if (steps == 256) {
    start = 0;
    len = 256;
    return;
  }
  // Walk once round from that gap; the entry before it is marked, so no gap
  // run straddles the end of the walk.
  int best_start = 0, best_len = 0, run_start = 0, run_len = 0;
  for (int i = 0; i <= 256; i++) {
    int c = (first_gap + i) & 255;
    if (i < 256 && !marked[c]) {
      if (run_len == 0) run_start = c;
      run_len++;
      continue;
    }
    if (run_len > best_len) {
      best_len = run_len;
      best_start = run_start;
    }
    run_len = 0;
  }
  start = (best_start + best_len) & 255;
  len = 256 - best_len;
}

void wrapped_bounds(const uint8_t col_marked[256], const uint8_t row_marked[256], int32_t bounds[4])
{
  int any_col = 0;
  for (int i = 0; i < 256; i++) any_col |= col_marked[i];
  if (!any_col) {
    bounds[0] = bounds[1] = bounds[2] = bounds[3] = 0;
    return;
  }
  enum { HMAP_SIZE = 256 };
  int sz = 0;
  while (sz < HMAP_SIZE && !row_marked[sz]) sz++;
  // A marked column always comes with a marked row.
  ASSERT_AT("hmGenScript", __LINE__, sz<HMAP_SIZE);
  wrapped_extent(col_marked, bounds[0], bounds[2]);
  wrapped_extent(row_marked, bounds[1], bounds[3]);
}

bool overlap_axis(int a0, int aw, int o0, int ow, uint8_t covered[256])
{
  int s1 = std::max(a0, o0);
  int e1 = std::max(std::min(a0 + aw, o0 + ow), s1);
  // The part where one box reaches past 255 onto the other's start.
  int s2 = a0;
  int e2 = std::min(a0 + aw, o0 + ow - 256);
  if (e2 <= a0) {
    s2 = o0;
    e2 = std::max(o0, std::min(a0 + aw - 256, o0 + ow));
  }
  if (e1 <= s1 && e2 <= s2) return false;
  memset(covered, 0, 256);
  for (int i = s1; i < e1; i++) covered[i & 255] = 1;
  for (int i = s2; i < e2; i++) covered[i & 255] = 1;
  return true;
}

SqObject new_int_array(HSQUIRRELVM vm, const int32_t* values, int n)
{
  StackRestore restore(vm);
  sq_newarray(vm, 0);
  for (int i = 0; i < n; i++) {
    sq_pushinteger(vm, values[i]);
    sq_arrayappend(vm, -2);
  }
  return SqObject::fromStack(vm, -1);
}

// ---- IntMap ----

void IntMap::updateBounds()
{
  if (boundsValid) return;
  boundsValid = 1;
  uint8_t cols[256] = {}, rows[256] = {};
  for (int z = 0; z < 256; z++) {
    const int32_t* row = cells + z * 256;
    for (int x = 0; x < 256; x++)
      if (row[x]) {
        cols[x] = 1;
        rows[z] = 1;
      }
  }
  wrapped_bounds(cols, rows, bounds);
}

int IntMap::testOverlap(IntMap* other, int dx, int dz)
{
  if (!other) return 0;
  updateBounds();
  other->updateBounds();
  uint8_t xs[256], zs[256];
  if (!overlap_axis(bounds[0], bounds[2], wrap_add(other->bounds[0], dx), other->bounds[2], xs)) return 0;
  if (!overlap_axis(bounds[1], bounds[3], wrap_add(other->bounds[1], dz), other->bounds[3], zs)) return 0;
  int count = 0;
  for (int z = 0; z < 256; z++) {
    if (!zs[z]) continue;
    const int32_t* row = cells + z * 256;
    const int32_t* orow = other->cells + wrap_sub(z, dz) * 256;
    for (int x = 0; x < 256; x++)
      if (xs[x] && row[x] && orow[wrap_sub(x, dx)]) count++;
  }
  return count;
}

// ---- script bindings ----

// IntMap(fill): an integer fills every cell; anything else is called as
// fill(x, z) for every cell, rows outer, and the cell takes its result.
static void int_map_ctor(HSQUIRRELVM vm, SqObject fill)
{
  IntMap* m = (IntMap*)malloc(sizeof(IntMap));
  if (!m) throw SquirrelError("out of memory");
  memset(m->bounds, 0, sizeof(m->bounds));
  m->boundsValid = 0;
  if (sq_isinteger(fill.o)) {
    int32_t v = (int32_t)sq_objtointeger(&fill.o);
    for (int i = 0; i < 65536; i++) m->cells[i] = v;
  } else {
    try {
      SqFunc<int> fn;
      fn.set(vm, fill);
      RepeatedCall<int> call(fn);
      for (int z = 0; z < 256; z++)
        for (int x = 0; x < 256; x++) m->cells[z * 256 + x] = call(x, z);
    } catch (...) {
      free(m);
      throw;
    }
  }
  init_native_instance(m, vm);
}

SqObject IntMap::boundsArray(HSQUIRRELVM vm)
{
  updateBounds();
  return new_int_array(world_vm_or(vm), bounds, 4);
}

static int make_map_index(int x, int z) { return (z & 255) * 256 + (x & 255); }
static int map_index_x(int index) { return index & 255; }
static int map_index_z(int index) { return (index >> 8) & 255; }

void register_int_map(HSQUIRRELVM vm)
{
  ClassDef<IntMap>(vm, "IntMap")
    .ctor(int_map_ctor)
    .method(&IntMap::get, "get")
    .method(&IntMap::set, "set")
    .method(&IntMap::getIndex, "_get")
    .method(&IntMap::setIndex, "_set")
    .method(&IntMap::boundsArray, "bounds")
    .method(&IntMap::testOverlap, "testOverlap");
  bind_function(vm, make_map_index, "make_map_index");
  bind_function(vm, map_index_x, "map_index_x");
  bind_function(vm, map_index_z, "map_index_z");
}
