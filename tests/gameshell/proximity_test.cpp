// The proximity grid: the bin of a footprint, wrapping, moving between bins,
// removal, and the bins a query lists.
#include "gameshell/proximity.h"

#include <gtest/gtest.h>

#include <vector>

#include "gameshell/gameobjExports.h"

namespace
{
class Dummy : public GameObj
{
public:
  void move(float, float, vec4f*, Matrix44*, int) override {}
  vec4f* getPos(vec4f* out) override { return out; }
  void onLeaveDevMode() override {}
  void onNewPlayer() override {}
};

void clear_grid()
{
  for (ProximityBin& b : proximity) b.clear();
}

vec4f box(float x0, float z0, float x1, float z1) { return make4f(x0, z0, x1, z1); }

TEST(ProximityGrid, BinOfABox)
{
  struct Case
  {
    vec4f b;
    int bin;
  } cases[] = {
      // inside one 8-unit cell: fine, row-major
      {box(1, 1, 7, 7), 0},
      {box(9, 1, 15, 7), 1},
      {box(1, 9, 7, 15), 32},
      {box(8, 8, 8, 8), 33},
      // cells wrap: -1 and 255 share a column, negative rows too
      {box(-1, 0, -0.5f, 1), 31},
      {box(255, 0, 255.5f, 1), 31},
      {box(1, -1, 2, -0.5f), 31 * 32},
      // a border belongs to the cell it starts
      {box(7.99f, 1, 7.99f, 1), 0},
      {box(8, 1, 8, 1), 1},
      // across an 8-unit border, inside one coarse cell (borders at 16k - 4)
      {box(6, 1, 10, 3), 1024 + 0 * 16 + 0},
      {box(14, 1, 17, 3), 1024 + 1},
      {box(-3, -3, 2, 2), 1024},
      {box(-9, 1, -6, 2), 1024 + 15},
      // across a coarse border too: overflow
      {box(11, 1, 21, 3), 1280},
      {box(0, 0, 40, 40), 1280},
  };
  for (const Case& c : cases)
    EXPECT_EQ(proximity_bin_of_box(c.b), c.bin) << c.b[0] << "," << c.b[1] << " .. " << c.b[2] << "," << c.b[3];
}

TEST(ProximityGrid, UpdateMovesBetweenBinsAndRemovalClears)
{
  clear_grid();
  Dummy a, b, c;
  update_proximity(&a, box(1, 1, 2, 2));
  update_proximity(&b, box(1, 1, 2, 2));
  update_proximity(&c, box(1, 1, 2, 2));
  ASSERT_EQ(proximity[0].num, 3);
  EXPECT_EQ(a.proximityBin, 0);

  // Leaving a bin moves its last entry into the freed place.
  update_proximity(&a, box(100, 100, 101, 101));
  const int to = proximity_bin_of_box(box(100, 100, 101, 101));
  EXPECT_EQ(a.proximityBin, to);
  ASSERT_EQ(proximity[0].num, 2);
  EXPECT_EQ(proximity[0][0], &c);
  EXPECT_EQ(proximity[0][1], &b);
  ASSERT_EQ(proximity[to].num, 1);

  // Staying inside the cell changes nothing.
  update_proximity(&a, box(101, 101, 102, 102));
  EXPECT_EQ(proximity[to].num, 1);

  remove_proximity_object(&a);
  EXPECT_EQ(a.proximityBin, -1);
  EXPECT_EQ(proximity[to].num, 0);

  // Never added, already removed, a bogus index, null: nothing changes.
  Dummy never;
  remove_proximity_object(&never);
  remove_proximity_object(&a);
  remove_proximity_object(nullptr);
  Dummy bogus;
  bogus.proximityBin = 5000;
  remove_proximity_object(&bogus);
  EXPECT_EQ(bogus.proximityBin, 5000);
  EXPECT_EQ(never.proximityBin, -1);
  EXPECT_EQ(proximity[0].num, 2);
  clear_grid();
}

TEST(ProximityGrid, QueryListsNonEmptyBinsInOrder)
{
  clear_grid();
  Dummy fine1, fine2, coarse, big;
  update_proximity(&fine1, box(1, 1, 2, 2));       // fine 0
  update_proximity(&fine2, box(9, 9, 10, 10));     // fine 33
  update_proximity(&coarse, box(6, 1, 10, 3));     // coarse 1024
  update_proximity(&big, box(0, 0, 100, 100));     // overflow

  struct Case
  {
    vec4f q;
    bool skip_overflow;
    std::vector<int> bins;
  } cases[] = {
      {box(0, 0, 15, 15), false, {0, 33, 1024, 1280}},
      {box(0, 0, 15, 15), true, {0, 33, 1024}},
      // rows first: z outer, x inner
      {box(9, 0, 15, 15), true, {33, 1024}},
      // nothing in reach but the overflow bin
      {box(200, 200, 201, 201), false, {1280}},
      {box(200, 200, 201, 201), true, {}},
      // wrapping: the cell at -255 is cell 1 again
      {box(-247, -247, -246, -246), true, {33, 1024}},
  };
  ProximityQuery q;
  for (const Case& c : cases) {
    q.cursor = 7;
    q.subCursor = 7;
    q.proximityQuery(c.q, c.skip_overflow);
    std::vector<int> got(q.bins.data, q.bins.data + q.bins.num);
    EXPECT_EQ(got, c.bins) << c.q[0] << "," << c.q[1];
    EXPECT_EQ(q.cursor, 0);
    EXPECT_EQ(q.subCursor, -1);
  }

  // A box wider than the wrap lists a bin once per covering cell.
  q.proximityQuery(box(0, 1, 256 + 7, 2), true);
  int zeros = 0;
  for (int b : q.bins) zeros += (b == 0);
  EXPECT_EQ(zeros, 2);
  clear_grid();
}
}  // namespace
