// World queries: height range, re-centring, square depth, fluid flood, the
// cell marks over rectangles, circles and fluid, and the ray test.
#include <climits>
#include <cmath>
#include <limits>

#include "world/worldServices.h"
#include "world_test_util.h"

using namespace HeightmapData;

static unsigned marks_at(int x, int z) { return cell_marks(surface[cell_index(x, z)].bits); }

static int count_marked(unsigned bit)
{
  int n = 0;
  for (int i = 0; i < HMAP_CELLS; i++) n += (cell_marks(surface[i].bits) & bit) ? 1 : 0;
  return n;
}

TEST_F(WorldTest, MarkRectWrapsAndKeepsOtherBits)
{
  mark_rect(250, 0, 260, 0, MARK_OBJ, MARK_OBJ);
  for (int x = 0; x < 256; x++) EXPECT_EQ(marks_at(x, 0), (x >= 250 || x <= 4) ? 1u : 0u) << x;
  EXPECT_EQ(count_marked(MARK_OBJ), 11);
  EXPECT_EQ(surface[cell_index(252, 0)].bits & 0x00FFFFFFu, 1u) << "ground type and the rest kept";

  struct Case
  {
    unsigned value, mask, after;
  };
  const Case setters[] = {
      {MARK_HOUSE, 0, 0x0Fu},        // mask 0 only adds bits
      {0, MARK_PLACEMENT, 0x08u},    // value 0 only clears the mask's bits
      {0x1FF, 0, 0xFFu},             // low 8 bits of the value
      {3, 0xFFFFFFFFu, 0x03u},
  };
  for (const Case& c : setters) {
    surface[cell_index(7, 7)].bits = 0x0B000003u;  // OBJ | PLACE | WATER, ground type 3
    mark_rect(7, 7, 7, 7, c.value, c.mask);
    EXPECT_EQ(surface[cell_index(7, 7)].bits, (c.after << 24) | 3u) << c.value << "/" << c.mask;
  }
}

TEST_F(WorldTest, MarkTestsRequireEveryCellToMatch)
{
  mark_rect(10, 10, 12, 12, MARK_WATER, 0);
  mark_rect(20, 20, 20, 20, MARK_OBJ, 0);
  struct Case
  {
    int x0, z0, x1, z1;
    unsigned mask, value;
    bool pass;
  };
  const Case cases[] = {
      {0, 0, 9, 9, 15, 0, true},           // no marks at all
      {0, 0, 10, 10, 15, 0, false},        // reaches the water mark
      {0, 0, 10, 10, MARK_PLACEMENT, 0, true},
      {10, 10, 12, 12, MARK_WATER, MARK_WATER, true},
      {10, 10, 13, 12, MARK_WATER, MARK_WATER, false},
      {20, 20, 20, 20, 1, 3, false},       // value outside the mask never matches
      {20, 20, 20, 20, 0xFF, 0x101, false}, // nor a value beyond the mark byte
      {5, 5, 4, 5, 15, 7, true},           // empty rectangle
      {-3, -3, -1, -1, 15, 0, true},       // wraps to 253..255
  };
  for (const Case& c : cases)
    EXPECT_EQ(test_rect_mark(c.x0, c.z0, c.x1, c.z1, c.mask, c.value), c.pass)
        << c.x0 << "," << c.z0 << " " << c.x1 << "," << c.z1 << " " << c.mask << "/" << c.value;
}

TEST_F(WorldTest, MarkCircleCoversPointsStrictlyInside)
{
  struct Case
  {
    float x, z, r;
    int count;
    int inside_x, inside_z;    // a cell that must be marked
    int outside_x, outside_z;  // one that must not
  };
  const Case cases[] = {
      {5.f, 5.f, 1.f, 1, 5, 5, 6, 5},
      {4.5f, 5.5f, 0.5f, 1, 4, 6, 5, 5},    // nearest cell, ties to even
      {5.f, 5.f, 1.5f, 9, 6, 6, 7, 5},      // diagonals at 2 < 2.25
      {5.f, 5.f, 1.4f, 5, 5, 6, 6, 6},      // 2 > 1.96
      {5.f, 5.f, 2.f, 9, 6, 4, 7, 5},       // (7,5), (3,5), (5,7), (5,3) lie on the circle
      {0.f, 0.f, 1.5f, 9, 255, 255, 2, 0},  // wraps
      {5.f, 5.f, 1e30f, 65536, 200, 100, 0, 0},
      {NAN, 5.f, 3.f, 0, 0, 0, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.z << " r " << c.r);
    reset();
    mark_circle(c.x, c.z, c.r, MARK_PLACE, 0);
    EXPECT_EQ(count_marked(MARK_PLACE), c.count);
    if (c.count) {
      EXPECT_EQ(marks_at(c.inside_x, c.inside_z), unsigned(MARK_PLACE));
      EXPECT_TRUE(test_circle_mark(c.x, c.z, c.r, MARK_PLACE, MARK_PLACE));
    }
    if (c.count < 65536) {
      EXPECT_EQ(marks_at(c.outside_x, c.outside_z), 0u);
    }
  }
  reset();
  mark_circle(5.f, 5.f, 1.5f, MARK_PLACE, 0);
  EXPECT_FALSE(test_circle_mark(5.f, 5.f, 2.5f, MARK_PLACE, MARK_PLACE));
  EXPECT_TRUE(test_circle_mark(50.f, 5.f, 2.5f, MARK_PLACE, 0));
}

TEST_F(WorldTest, HugeRectanglesCoverTheGridOnce)
{
  mark_rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, MARK_HOUSE, 0);
  EXPECT_EQ(count_marked(MARK_HOUSE), 65536);
  EXPECT_TRUE(test_rect_mark(INT_MIN, -5, INT_MAX, 1000000, MARK_HOUSE, MARK_HOUSE));
}

TEST_F(WorldTest, MarkWaterComparesTheFluidAmount)
{
  fluid(1, 1).amount = 0.5f;
  fluid(2, 1).amount = -0.5f;
  fluid(3, 1).amount = -2.f;
  mark_water(0.f, MARK_WATER, 0);
  EXPECT_EQ(count_marked(MARK_WATER), 1);
  EXPECT_EQ(marks_at(1, 1), unsigned(MARK_WATER));

  mark_water(-1.f, MARK_WATER, 0);
  EXPECT_EQ(count_marked(MARK_WATER), 65535);
  EXPECT_EQ(marks_at(3, 1), 0u);
}

TEST_F(WorldTest, RecenterCentresTheHeightRangeOnZero)
{
  for (int i = 0; i < HMAP_CELLS; i++) hmap[i] = 2.f + float(i % 9);  // 2 to 10
  hmap[77] = NAN;  // a NaN never becomes an end of the range
  float lo, hi;
  calcHtRange(lo, hi);
  EXPECT_EQ(lo, 2.f);
  EXPECT_EQ(hi, 10.f);
  EXPECT_EQ(recenterHt(), 4.f);
  EXPECT_EQ(hmap[0], -4.f);
  EXPECT_EQ(hmap[8], 4.f);
  EXPECT_EQ(target_hmap[8], 0.f);

  hmap[0] = NAN;  // nor at the start of the scan
  calcHtRange(lo, hi);
  EXPECT_EQ(lo, -4.f);
  EXPECT_EQ(hi, 4.f);
}

TEST_F(WorldTest, SquareDepthIsTheHighestBilinearSurface)
{
  hmap[cell_index(10, 10)] = 1.f;
  hmap[cell_index(11, 10)] = 2.f;
  hmap[cell_index(10, 11)] = 3.f;
  hmap[cell_index(11, 11)] = 5.f;
  vec4f d = calcSquareDepth(make4f(10.25f, 0.5f, 10.5f, 0.f), 0.f, false);
  for (int k = 0; k < 4; k++) EXPECT_EQ(d[k], 2.375f - 0.5f);  // bilinear at the centre

  // A square over the peak finds the grid point; fluid counts as surface by its magnitude.
  EXPECT_EQ(calcSquareDepth(make4f(11.f, 1.f, 11.f, 0.f), 0.7f, false)[0], 4.f);
  fluid(11, 11).amount = -2.f;
  EXPECT_EQ(calcSquareDepth(make4f(11.f, 1.f, 11.f, 0.f), 0.7f, true)[2], 6.f);
  // No grid point inside: the lower edge, at z = 11.05, crosses the grid line x = 11 highest.
  EXPECT_FLOAT_EQ(calcSquareDepth(make4f(11.f, 0.f, 11.25f, 0.f), 0.2f, false)[0], 5.f * 0.95f);
  // Wider than the grid: the whole grid's highest point, found promptly.
  EXPECT_EQ(calcSquareDepth(make4f(0.f, 0.f, 0.f, 0.f), 1e7f, false)[0], 5.f);
}

TEST_F(WorldTest, AddWaterEverywhereTouchesOnlyTheCurrentAmounts)
{
  fluid(3, 3) = Water{-0.5f, 1.f, 2.f, 0.5f};
  addWaterEverywhere(1.0f);
  EXPECT_EQ(fluid(3, 3).amount, 0.5f);
  EXPECT_EQ(fluid(3, 3).u, 1.f);
  EXPECT_EQ(fluid(3, 3).foam, 0.5f);
  EXPECT_EQ(fluid(200, 9).amount, 1.f);
  EXPECT_EQ(hmap[cell_index(3, 3)], 0.f) << "no water/lava rule";
}

static float flat_land(vec4f) { return 0.f; }

TEST_F(WorldTest, RayTestSamplesTheLandAlongTheRay)
{
  world_doubles::land_height = flat_land;
  const float inf = std::numeric_limits<float>::infinity();
  struct Case
  {
    const char* name;
    vec4f dir;
    float dist;
    bool hit;
    float dist_after;
    int samples;
  };
  const Case cases[] = {
      {"falls onto the land", make4f(1, -1, 0, 0), 20.f, true, 10.f, 11},
      {"too short to reach it", make4f(1, -1, 0, 0), 5.f, false, 5.f, 6},
      {"vertical", make4f(0, -1, 0, 0), 100.f, false, 100.f, 0},
      {"reach below one unit", make4f(0.3f, -1, 0.3f, 0), 2.f, false, 2.f, 0},
      {"negative", make4f(1, -1, 0, 0), -3.f, false, -3.f, 0},
      {"endless", make4f(1, -1, 0, 0), inf, false, inf, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world_doubles::land_height_calls = 0;
    float dist = c.dist;
    EXPECT_EQ(trace_hmap_ray(make4f(0, 10, 0, 1), c.dir, dist), c.hit);
    EXPECT_EQ(dist, c.dist_after);
    EXPECT_EQ(world_doubles::land_height_calls, c.samples);
  }
  float dist = NAN;
  EXPECT_FALSE(trace_hmap_ray(make4f(0, 10, 0, 1), make4f(1, -1, 0, 0), dist));

  get_land_height_at = nullptr;  // plug-in not bound
  dist = 20.f;
  EXPECT_FALSE(trace_hmap_ray(make4f(0, 10, 0, 1), make4f(1, -1, 0, 0), dist));
}
