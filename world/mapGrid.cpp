#include "world/mapGrid.h"

#include "engine/debug.h"
#include "engine/random.h"

// The finest level whose count of cells per row (256 * 2^-level) fits an int.
static const int k_min_level = -22;

void walk_map_grid(int level, IWalkMapGrid& callback)
{
  if (level > 8) level = 8;
  if (level >= 0) {
    int step = 1 << level;
    for (int z = 0; z < 256; z += step)
      for (int x = 0; x < 256; x += step) callback.on_map_grid_walk(float(x), float(z), float(step));
    return;
  }
  if (level < k_min_level) {
    debug("walk_map_grid: level %d is too fine, nothing visited", level);
    return;
  }
  int n = 1 << -level;
  float size = 1.0f / float(n);
  int m = 256 * n;
  for (int j = 0; j < m; j++)
    for (int i = 0; i < m; i++) callback.on_map_grid_walk(float(i) * size, float(j) * size, size);
}

void GenMapCellPoints::on_map_grid_walk(float x, float z, float size)
{
  for (int k = 0; k < count; k++) {
    float px = x + rnd_float() * size;
    float pz = z + rnd_float() * size;
    target->on_map_point(px, pz);
  }
}
