// Map-grid walk: visits the whole 256 x 256 world in square cells of a
// power-of-two size and hands each to a callback; GenMapCellPoints is a
// ready-made callback that scatters random points (from game_rnd_seed) in every
// visited cell. Both are for the gameobj plug-in; the game itself calls
// neither. Main thread only.
#pragma once

// One virtual operation each (no virtual destructor), so the plug-in's objects
// and ours agree on the table layout.
class IWalkMapGrid
{
public:
  // (x, z) is the cell's corner with the smallest coordinates, size its edge,
  // all in world cells.
  virtual void on_map_grid_walk(float x, float z, float size) = 0;

protected:
  ~IWalkMapGrid() = default;
};

// What GenMapCellPoints hands its points to.
class IMapPointTarget
{
public:
  virtual void on_map_point(float x, float z) = 0;

protected:
  ~IMapPointTarget() = default;
};

// Level 0 to 8: cells of 2^level, rows of z ascending, x ascending within a
// row (level 8: one call (0, 0, 256); level 0: 65,536 calls). Above 8 is taken
// as 8. Negative: cells of 2^level, (256 * 2^-level)^2 calls (level -1: 512 x
// 512 of size 0.5). Levels below -22 would overflow a row's cell count and
// are refused (logged, no calls).
void walk_map_grid(int level, IWalkMapGrid& callback);

class GenMapCellPoints : public IWalkMapGrid
{
public:
  IMapPointTarget* target;  // not owned
  int count;                // points per visited cell

  GenMapCellPoints(IMapPointTarget* target_, int count_) : target(target_), count(count_) {}

  // count times: px = x + rnd * size, then pz = z + rnd * size (two draws, x
  // first), passed to the target. Points are not wrapped: [x, x + size).
  void on_map_grid_walk(float x, float z, float size) override;
};
