// BitMap: its cached wrapped bounds, radius and area, the 32-bit bit reads,
// truth-table combinations, overlaps, flood fill, random placement and its
// draw counts, the two distance maps, and a BitMap inside a saved object graph.
#include "natives_fixture.h"

#include "scripting/bitMap.h"
#include "scripting/intMap.h"
#include "scripting/scriptSave.h"

#include "engine/tga.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>
#include "support/test_dir.h"

using namespace sqbind;

namespace
{

const char* TYPE_ERROR = "sq_get*() failed (type error)";
const char* INST_ERROR = "getInst: invalid argument type";

struct MapVM : NativesVM
{
  MapVM()
  {
    register_int_map(vm);
    register_bit_map(vm);
  }

  // root[name] := a new "BitMap" instance owning m.
  void setMap(const char* name, BitMap* m)
  {
    StackRestore restore(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, name, -1);
    push_instance(vm, m, class_tag<BitMap>(), "BitMap", release_native<BitMap>);
    sq_newslot(vm, -3, SQFalse);
  }

  BitMap* bitmapOf(const char* expr)
  {
    StackRestore restore(vm);
    SqObject v = eval(expr);
    sq_pushobject(vm, v.o);
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(vm, -1, &p, class_tag<BitMap>()))) return nullptr;
    return (BitMap*)p;
  }

  std::vector<float> evalFloats(const char* expr)
  {
    std::vector<float> out;
    SqObject v = eval(expr);
    if (!sq_isarray(v.o)) return out;
    for (int i = 0; i < 8; i++) {
      StackRestore restore(vm);
      sq_pushobject(vm, v.o);
      sq_pushinteger(vm, i);
      if (SQ_FAILED(sq_get(vm, -2))) break;
      SQFloat f;
      sq_getfloat(vm, -1, &f);
      out.push_back(f);
    }
    return out;
  }
};

BitMap* map_of(std::initializer_list<std::pair<int, int>> cells)
{
  BitMap* m = new_bitmap();
  for (auto c : cells) m->put(c.first, c.second, true);
  return m;
}

// Each cell set with probability p.
BitMap* random_map(unsigned seed, double p)
{
  std::mt19937 rng(seed);
  std::bernoulli_distribution on(p);
  BitMap* m = new_bitmap();
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
      if (on(rng)) m->put(x, z, true);
  return m;
}

// A few random rectangles, some crossing the edges.
BitMap* random_blobs(unsigned seed)
{
  std::mt19937 rng(seed);
  BitMap* m = new_bitmap();
  for (int b = 0; b < 3; b++) {
    int x0 = rng() % 256, z0 = rng() % 256, w = 1 + rng() % 40, h = 1 + rng() % 40;
    for (int z = 0; z < h; z++)
      for (int x = 0; x < w; x++)
        if (rng() % 4) m->put(x0 + x, z0 + z, true);
  }
  return m;
}

struct Owned
{
  BitMap* m;
  explicit Owned(BitMap* p) : m(p) {}
  ~Owned() { free(m); }
  BitMap* operator->() const { return m; }
  BitMap& operator*() const { return *m; }
};

// ---- cache ----

TEST(BitMapCache, BoundsCircleAndAreaOfWrappedShapes)
{
  struct Case
  {
    const char* what;
    BitMap* map;
    int bounds[4];
    int area;
    float circle[3];
  } cases[] = {
    {"one cell at the right edge", map_of({{255, 0}}), {255, 0, 1, 1}, 1, {255.5f, 0.5f, 0.70710677f}},
    {"columns 250..255 and 0..3",
     map_of({{250, 7}, {251, 7}, {252, 7}, {253, 7}, {254, 7}, {255, 7}, {0, 7}, {1, 7}, {2, 7}, {3, 7}}),
     {250, 7, 10, 1}, 10, {255.f, 7.5f, 5.0249378f}},
    // the centre is not wrapped (z 254 + 4 / 2 = 256), distances are
    {"rows 254 and 1", map_of({{10, 254}, {10, 1}}), {10, 254, 1, 4}, 2, {10.5f, 256.f, 2.0615528f}},
    // two equal gaps: the first one found (after column 0) is left out
    {"a tie between gaps", map_of({{0, 0}, {128, 0}}), {128, 0, 129, 1}, 2, {192.5f, 0.5f, 64.501938f}},
    {"empty", new_bitmap(), {0, 0, 0, 0}, 0, {0.f, 0.f, 0.f}},
  };
  MapVM t;
  for (Case& c : cases) {
    t.setMap("m", c.map);
    std::vector<float> b = t.evalFloats("m.bounds()");
    ASSERT_EQ(b.size(), 4u) << c.what;
    for (int i = 0; i < 4; i++) EXPECT_EQ(int(b[i]), c.bounds[i]) << c.what << " bounds[" << i << "]";
    EXPECT_EQ(t.evalInt("m.area()"), c.area) << c.what;
    std::vector<float> circle = t.evalFloats("m.boundingCircle()");
    ASSERT_EQ(circle.size(), 3u) << c.what;
    for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(circle[i], c.circle[i]) << c.what << " circle[" << i << "]";
  }
  // Every cell: the whole grid, each corner 128 cells from the centre.
  t.run("m <- BitMap(1)");
  std::vector<float> all = t.evalFloats("m.bounds()");
  EXPECT_EQ(all, (std::vector<float>{0, 0, 256, 256}));
  EXPECT_EQ(t.evalInt("m.area()"), 65536);
  EXPECT_FLOAT_EQ(t.evalFloats("m.boundingCircle()")[2], sqrtf(32768.f));
}

TEST(BitMapCache, EveryWriteDropsTheCache)
{
  MapVM t;
  t.run("m <- BitMap(0); m.set(5, 5, true); o <- BitMap(0); o.set(9, 9, true);");
  struct Case
  {
    const char* write;
    int area;
  } cases[] = {
    {"m.set(6, 5, true)", 2},
    {"m.set(5, 5, false)", 1},
    {"m.bitwiseInplace(o, 14, 0, 0)", 2},
    {"m.bitwiseInplace(o, 12, 1, 1)", 1},
  };
  for (const Case& c : cases) {
    t.evalInt("m.area()");  // fills the cache
    ASSERT_TRUE(t.run(c.write)) << c.write;
    EXPECT_EQ(t.evalInt("m.area()"), c.area) << c.write;
  }
  EXPECT_EQ(t.evalFloats("m.bounds()"), (std::vector<float>{10, 10, 1, 1}));
}

// ---- script surface ----

TEST(BitMapScript, BitsReadAsThirtyTwoBitWordsAndCoordinatesWrap)
{
  MapVM t;
  t.setMap("m", map_of({{31, 0}, {255, 0}, {3, 1}, {40, 2}}));
  struct Case
  {
    const char* expr;
    SQInteger value;
  } cases[] = {
    {"m.get(31, 0)", -2147483648LL},  // bit 31 of its word, read as a 32-bit integer
    {"m.get(-1, 256)", -2147483648LL},  // (255, 0)
    {"m.get(3, 1)", 8},
    {"m.get(0x100000003, 0x100000001)", 8},  // the low 32 bits of each coordinate
    {"m.get(40, 2)", 256},
    {"m.get(4, 1)", 0},
    {"m.findPixel(true)", 31},
    {"m.findPixel(false)", 0},
    {"BitMap(0).findPixel(true)", -1},
    {"BitMap(0).findPixel(false)", 0},
    {"BitMap(1).findPixel(false)", -1},
    {"m.inverse().findPixel(false)", 31},
    // new(x, z) = old(x - 1, z + 1): (3, 1) comes first, at (4, 0)
    {"m.shiftedCopy(1, -1).findPixel(true)", 4},
    // offsets of any 32-bit size wrap like their low byte
    {"m.shiftedCopy(0x80000000, 0x7FFFFF00).findPixel(true)", 31},
    {"m.testOverlap(m, 0x80000000, -0x80000000)", 4},
    {"m.testMask(m, 8, 0x1FFFFFF00, 0)", 4},
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalInt(c.expr), c.value) << c.expr;
  EXPECT_TRUE(t.evalBool("m.shiftedCopy(1, -1).get(32, 255) != 0 && m.shiftedCopy(1, -1).get(0, 255) != 0"));
  EXPECT_EQ(t.evalInt("m.inverse().area()"), 65536 - 4);
}

TEST(BitMapScript, ConstructorsAndWrongArguments)
{
  MapVM t;
  t.run("m <- BitMap(0); im <- IntMap(0);");
  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
    {"m.get(\"a\", 0)", TYPE_ERROR},
    {"m.get(0)", TYPE_ERROR},
    {"m.shiftedCopy(null, 0)", TYPE_ERROR},
    {"m.dumpTga(5)", TYPE_ERROR},
    {"m.testOverlap(im, 0, 0)", INST_ERROR},
    {"m.testMask(5, 8, 0, 0)", INST_ERROR},
    {"m.bitwise(HmapMask(0), 8, 0, 0)", INST_ERROR},
    {"fast_skeleton_map(null)", INST_ERROR},
    {"fast_skeleton_map(im)", INST_ERROR},
    {"make_skeleton_map(m, \"x\")", TYPE_ERROR},
    {"m.placeCircles(3, null)", TYPE_ERROR},
    {"m.placeCircles([1, \"a\"], null)", TYPE_ERROR},
    {"BitMap.get.call(im, 0, 0)", "invalid 'this' in C++ method call"},
    {"BitMap(2.5)", "SqFunc<> call failed"},  // only an integer fills; anything else is called
    {"BitMap(function(x, z) { throw \"inner\"; })", "SqFunc<> call failed"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
  // Null is "no other map".
  EXPECT_EQ(t.evalInt("m.testOverlap(null, 0, 0) + m.testMask(null, 15, 0, 0)"), 0);
  EXPECT_TRUE(t.evalBool("m.bitwise(null, 15, 0, 0) == null"));
  EXPECT_EQ(t.errorOf("m.bitwiseInplace(null, 15, 0, 0)"), "");
  // A callback fill: the truth of fn(x, z) for every cell.
  EXPECT_EQ(t.evalInt("BitMap(function(x, z) { return x == z ? 1 : null; }).area()"), 256);
  EXPECT_EQ(t.evalInt("BitMap(-7).area()"), 65536);
}

// ---- combinations ----

TEST(BitMapOps, TruthTablesForEveryOpAndOffset)
{
  Owned a(random_map(1, 0.5)), b(random_map(2, 0.3));
  const int offsets[][2] = {{0, 0}, {3, -5}, {255, 130}, {-300, 1}};
  for (int op = 0; op < 16; op++)
    for (auto& d : offsets) {
      Owned r(a->bitwise(b.m, op, d[0], d[1]));
      int expected_count = 0;
      bool same = true;
      for (int z = 0; z < 256 && same; z++)
        for (int x = 0; x < 256; x++) {
          int k = 1 << (int(a->test(x, z)) + 2 * int(b->test(x - d[0], z - d[1])));
          bool want = (op & k) != 0;
          expected_count += want;
          if (r->test(x, z) != want) {
            ADD_FAILURE() << "op " << op << " offset " << d[0] << "," << d[1] << " cell " << x << "," << z;
            same = false;
            break;
          }
        }
      EXPECT_EQ(a->testMask(b.m, op, d[0], d[1]), expected_count) << "op " << op;
      Owned in_place(a->makeCopy());
      in_place->bitwiseInplace(b.m, op, d[0], d[1]);
      EXPECT_EQ(memcmp(in_place->bits, r->bits, BitMap::BYTES), 0) << "op " << op;
    }
  // Combining a map with a shifted view of itself reads the old bits only.
  Owned self(map_of({{10, 10}}));
  self->bitwiseInplace(self.m, 14, 1, 0);
  EXPECT_EQ(self->getArea(), 2);
  EXPECT_TRUE(self->test(11, 10));
}

TEST(BitMapOps, ErodeShiftAndInverse)
{
  // A 3 x 3 block round (0, 0) keeps only its centre, across both edges.
  Owned block(new_bitmap());
  for (int z = -1; z <= 1; z++)
    for (int x = -1; x <= 1; x++) block->put(x, z, true);
  Owned eroded(block->erode());
  EXPECT_EQ(eroded->getArea(), 1);
  EXPECT_TRUE(eroded->test(0, 0));
  Owned full(new_bitmap());
  memset(full->bits, 0xFF, BitMap::BYTES);
  Owned full_eroded(full->erode());
  EXPECT_EQ(full_eroded->getArea(), 65536);

  Owned r(random_map(3, 0.4));
  Owned s(r->shiftedCopy(37, -250));
  bool same = true;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) same &= s->test(x, z) == r->test(x - 37, z + 250);
  EXPECT_TRUE(same);
  Owned inv(r->inverse());
  EXPECT_EQ(inv->cacheValid, 0);
  EXPECT_EQ(inv->getArea() + r->getArea(), 65536);
}

TEST(BitMapOps, OverlapCountsMatchACellByCellCount)
{
  for (unsigned seed = 0; seed < 12; seed++) {
    Owned a(random_blobs(seed)), b(random_blobs(seed + 100));
    // The map with its own copy at (0, 0) overlaps by its area.
    Owned copy(a->makeCopy());
    EXPECT_EQ(a->testOverlap(copy.m, 0, 0), a->getArea());
    std::mt19937 rng(seed);
    for (int k = 0; k < 8; k++) {
      int dx = int(rng() % 600) - 300, dz = int(rng() % 600) - 300;
      int brute = 0;
      for (int z = 0; z < 256; z++)
        for (int x = 0; x < 256; x++) brute += a->test(x, z) && b->test(x - dx, z - dz);
      EXPECT_EQ(a->testOverlap(b.m, dx, dz), brute) << "seed " << seed << " offset " << dx << "," << dz;
    }
  }
}

TEST(BitMapOps, DumpTgaWritesWhiteForSetCells)
{
  MapVM t;
  t.setMap("m", map_of({{0, 0}, {255, 1}}));
  TestDir tmp("bitmap_dump");
  std::string path = tmp.path + "/dump.tga";
  ASSERT_TRUE(t.run(("m.dumpTga(\"" + path + "\")").c_str()));
  int w = 0, h = 0;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_tga(path.c_str(), w, h, px));
  remove(path.c_str());
  ASSERT_EQ(w, 256);
  ASSERT_EQ(h, 256);
  // The file holds the rows bottom-up: row z is read back at 255 - z.
  EXPECT_EQ(px[255 * 256 + 0], 0xFFFFFFFFu);
  EXPECT_EQ(px[254 * 256 + 255], 0xFFFFFFFFu);
  EXPECT_EQ(px[255 * 256 + 1], 0xFF000000u);
  int white = 0;
  for (int i = 0; i < px.num; i++) white += px[i] == 0xFFFFFFFFu;
  EXPECT_EQ(white, 2);
}

// ---- flood fill ----

// The 4-connected region of (x, z), by a plain breadth-first search.
std::vector<uint8_t> reference_fill(const BitMap& m, int x, int z)
{
  std::vector<uint8_t> in(65536, 0);
  bool v = m.test(x, z);
  std::deque<int> queue{((z & 255) << 8) | (x & 255)};
  in[queue.front()] = 1;
  while (!queue.empty()) {
    int c = queue.front();
    queue.pop_front();
    int cx = c & 255, cz = c >> 8;
    const int nb[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (auto& d : nb) {
      int nx = (cx + d[0]) & 255, nz = (cz + d[1]) & 255, n = (nz << 8) | nx;
      if (!in[n] && m.test(nx, nz) == v) {
        in[n] = 1;
        queue.push_back(n);
      }
    }
  }
  return in;
}

TEST(BitMapFill, FloodFillFindsTheConnectedRegion)
{
  struct Case
  {
    const char* what;
    BitMap* map;
    int x, z;
  } cases[] = {
    {"dense noise, set seed", random_map(5, 0.62), 17, 200},
    {"dense noise, clear seed", random_map(6, 0.45), 0, 0},
    {"sparse noise, clear seed", random_map(7, 0.3), 100, 100},
    {"blobs across the edges", random_blobs(8), 255, 255},
    {"one full row", map_of({}), 0, 0},
  };
  for (int x = 0; x < 256; x++) cases[4].map->put(x, 9, true);
  cases[4].x = 77;
  cases[4].z = 9;
  for (Case& c : cases) {
    Owned m(c.map);
    Owned fill(m->floodFillMask(c.x, c.z));
    std::vector<uint8_t> want = reference_fill(*m, c.x, c.z);
    int diff = 0;
    for (int i = 0; i < 65536; i++) diff += fill->test(i & 255, i >> 8) != bool(want[i]);
    EXPECT_EQ(diff, 0) << c.what;
  }
}

TEST(BitMapFill, Continuity)
{
  struct Case
  {
    const char* what;
    BitMap* map;
    bool continuous;
  } cases[] = {
    {"empty", new_bitmap(), true},
    {"one blob across the right edge", map_of({{254, 5}, {255, 5}, {0, 5}, {0, 6}}), true},
    {"two blobs", map_of({{10, 10}, {12, 10}}), false},
    {"diagonal neighbours only", map_of({{10, 10}, {11, 11}}), false},
    {"a row and a column crossing", nullptr, true},
  };
  cases[4].map = new_bitmap();
  for (int i = 0; i < 256; i++) {
    cases[4].map->put(i, 40, true);
    cases[4].map->put(90, i, true);
  }
  for (Case& c : cases) {
    Owned m(c.map);
    EXPECT_EQ(m->isContinuous(), c.continuous) << c.what;
  }
}

// ---- random placement ----

TEST(BitMapPlacement, PointsDrawElevenTimesPerPointAndLieOnSetCells)
{
  MapVM t;
  t.run("pts <- []; function note(x, z) { pts.append([x, z]); }");
  Owned region(random_blobs(21));
  t.setMap("m", region->makeCopy());
  // An empty map draws nothing and calls nothing.
  game_rnd_seed = 99;
  ASSERT_TRUE(t.run("BitMap(0).placePoints(5, note)"));
  EXPECT_EQ(game_rnd_seed, 99u);
  EXPECT_EQ(t.evalInt("pts.len()"), 0);

  for (int n : {0, 1, 2, 7}) {
    game_rnd_seed = 1234;
    t.run("pts.clear()");
    std::string code = "m.placePoints(" + std::to_string(n) + ", note)";
    ASSERT_TRUE(t.run(code.c_str()));
    // n choices, then exactly 10 n tries of one draw each.
    EXPECT_EQ(game_rnd_seed, stepped_seed(1234, 11 * n)) << n;
    ASSERT_EQ(t.evalInt("pts.len()"), n);
    for (int k = 0; k < n; k++) {
      std::string x = "pts[" + std::to_string(k) + "][0]", z = "pts[" + std::to_string(k) + "][1]";
      EXPECT_TRUE(region->test(int(t.evalInt(x.c_str())), int(t.evalInt(z.c_str())))) << n;
    }
  }
  // One point: every try is accepted, so it is the cell of the last draw.
  std::vector<int> cells;
  for (int i = 0; i < 65536; i++)
    if (region->test(i & 255, i >> 8)) cells.push_back(i);
  game_rnd_seed = 1234;
  t.run("pts.clear(); m.placePoints(1, note)");
  uint32_t last = uint32_t(stepped_seed(1234, 11) >> 32);
  int cell = cells[last % cells.size()];
  EXPECT_EQ(t.evalInt("pts[0][0]"), cell & 255);
  EXPECT_EQ(t.evalInt("pts[0][1]"), cell >> 8);
  EXPECT_EQ(t.errorOf("m.placePoints(1, function(x, z) { throw \"no\"; })"), "SqFunc<> call failed");
}

TEST(BitMapPlacement, CirclesDrawFortyOneTimesPerCircleAndEndInside)
{
  MapVM t;
  t.run("pts <- []; function note(x, z) { pts.append([x, z]); }");
  // A disc of radius 30 round (20, 20), crossing both edges.
  BitMap* disc = new_bitmap();
  for (int z = -30; z <= 30; z++)
    for (int x = -30; x <= 30; x++)
      if (x * x + z * z <= 900) disc->put(20 + x, 20 + z, true);
  t.setMap("m", disc);
  struct Case
  {
    const char* code;
    int draws;
    int calls;
  } cases[] = {
    {"m.placeCircles([], note)", 0, 0},
    {"BitMap(0).placeCircles([3], note)", 0, 0},
    {"m.placeCircles([6], note)", 41, 1},
    {"m.placeCircles([5, 5, 4], note)", 123, 3},
  };
  for (const Case& c : cases) {
    game_rnd_seed = 777;
    t.run("pts.clear()");
    ASSERT_TRUE(t.run(c.code)) << c.code;
    EXPECT_EQ(game_rnd_seed, stepped_seed(777, c.draws)) << c.code;
    EXPECT_EQ(t.evalInt("pts.len()"), c.calls) << c.code;
  }
  // The three circles ended inside the disc and apart from each other.
  float cx[3], cz[3], r[3] = {5, 5, 4};
  for (int k = 0; k < 3; k++) {
    std::string x = "pts[" + std::to_string(k) + "][0]", z = "pts[" + std::to_string(k) + "][1]";
    cx[k] = float(t.evalInt(x.c_str()));
    cz[k] = float(t.evalInt(z.c_str()));
    float dx = wrap_world_coord(cx[k] - 20.f), dz = wrap_world_coord(cz[k] - 20.f);
    EXPECT_LE(sqrtf(dx * dx + dz * dz) + r[k], 31.f) << k;
  }
  for (int a = 0; a < 3; a++)
    for (int b = a + 1; b < 3; b++) {
      float dx = wrap_world_coord(cx[a] - cx[b]), dz = wrap_world_coord(cz[a] - cz[b]);
      EXPECT_GE(sqrtf(dx * dx + dz * dz), r[a] + r[b]) << a << "," << b;
    }
}

// ---- distance maps ----

// The ring search taken literally: Chebyshev rings r = 1..128, least i^2 + j^2
// over the cells of the first ring holding the other value.
float reference_ring_distance(const BitMap& m, int x, int z)
{
  bool c = m.test(x, z);
  for (int r = 1; r <= 128; r++) {
    int least = -1;
    auto look = [&](int i, int j) {
      if (m.test(x + i, z + j) != c && (least < 0 || i * i + j * j < least)) least = i * i + j * j;
    };
    for (int i = -r; i <= r; i++) {
      look(i, -r);
      look(i, r);
    }
    for (int j = -(r - 1); j <= r - 1; j++) {
      look(-r, j);
      look(r, j);
    }
    if (least >= 0) return c ? sqrtf(float(least)) - 0.5f : -(sqrtf(float(least)) - 0.5f);
  }
  float v = sqrtf(float(2147483647)) - 0.5f;
  return c ? v : -v;
}

TEST(DistanceMaps, FastSkeletonMap)
{
  MapVM t;
  t.setMap("one", map_of({{100, 50}}));
  ASSERT_TRUE(t.run("fm <- fast_skeleton_map(one); none <- fast_skeleton_map(BitMap(0));"
                    "all <- fast_skeleton_map(BitMap(1));"));
  HmapMask* m = t.evalMask("fm");
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->at(100, 50), 0.5f);
  EXPECT_FLOAT_EQ(m->at(101, 50), -0.5f);
  EXPECT_FLOAT_EQ(m->at(100, 49), -0.5f);
  EXPECT_NEAR(m->at(99, 51), -0.914f, 0.001f);
  // (103, 53) finds the cell at the corner of its third ring.
  EXPECT_FLOAT_EQ(m->at(103, 53), -(sqrtf(18.f) - 0.5f));

  HmapMask* none = t.evalMask("none");
  HmapMask* all = t.evalMask("all");
  EXPECT_NEAR(none->at(7, 7), -46340.45f, 0.01f);
  EXPECT_NEAR(all->at(200, 3), 46340.45f, 0.01f);

  Owned noisy(random_map(31, 0.03));
  std::vector<float> fast(65536);
  fast_skeleton_map(*noisy, fast.data());
  int wrong = 0;
  for (int z = 0; z < 256; z += 3)
    for (int x = 0; x < 256; x += 5) wrong += fast[z * 256 + x] != reference_ring_distance(*noisy, x, z);
  EXPECT_EQ(wrong, 0);
}

TEST(DistanceMaps, MakeSkeletonMapDrawsPerSeedAndPerNeighbour)
{
  MapVM t;
  // Uniform maps: no seeds, no draws, +-1.
  game_rnd_seed = 5;
  ASSERT_TRUE(t.run("all <- make_skeleton_map(BitMap(1), 0.3); none <- make_skeleton_map(BitMap(0), 0.3);"));
  HmapMask* all = t.evalMask("all");
  HmapMask* none = t.evalMask("none");
  EXPECT_EQ(game_rnd_seed, 5u);
  EXPECT_EQ(all->at(17, 240), 1.f);
  EXPECT_EQ(none->at(17, 240), -1.f);

  // Rows 0..127 set: each boundary row is seeded (rows 127, 128, 255 and 0).
  BitMap* half = new_bitmap();
  memset(half->bits, 0xFF, BitMap::BYTES / 2);
  t.setMap("half", half);
  game_rnd_seed = 42;
  ASSERT_TRUE(t.run("sk <- make_skeleton_map(half, 0.0)"));
  HmapMask* m = t.evalMask("sk");
  ASSERT_NE(m, nullptr);
  // 4 * 256 seed draws, then 8 draws per cell and pass.
  int passes = -1;
  uint64_t s = stepped_seed(42, 4 * 256);
  for (int p = 1; p < 400 && passes < 0; p++) {
    s = stepped_seed(s, 8 * 65536);
    if (game_rnd_seed == s) passes = p;
  }
  EXPECT_GT(passes, 60);
  // Without jitter a cell d rows inside its side lies d steps plus a seed of
  // [0, 0.5) from the boundary.
  for (int z = 100; z < 128; z++) {
    float d = float(127 - z);
    EXPECT_GE(m->at(33, z), d) << z;
    EXPECT_LT(m->at(33, z), d + 0.5f) << z;
    EXPECT_LE(m->at(33, 255 - z), -d) << z;
    EXPECT_GT(m->at(33, 255 - z), -d - 0.5f) << z;
  }
  EXPECT_EQ(t.errorOf("make_skeleton_map(null, 1.0)"), INST_ERROR);
}

// ---- saved graphs ----

TEST(BitMapSave, RoundTripsByteExactlyAndRejectsShortData)
{
  MapVM t;
  BitMap* src = random_map(41, 0.5);
  src->updateCache();
  t.setMap("m", src);
  // The saved globals: a table { bm = m }; the bits follow 10 'd' at byte 15.
  const int BITS_AT = 15;
  auto save = [&](const char* expr) {
    MemoryOutputBuffer out;
    save_script_data(t.eval(expr), out);
    capture_stdout([&] { save_script_refs(out); });
    return std::vector<char>(&out.bytes[0], &out.bytes[0] + out.bytes.num);
  };
  std::vector<char> bytes = save("{ bm = m }");
  ASSERT_EQ(bytes.size(), size_t(BITS_AT + BitMap::BYTES));
  EXPECT_EQ(bytes[BITS_AT - 2], 10);
  EXPECT_EQ(bytes[BITS_AT - 1], 'd');
  EXPECT_EQ(memcmp(&bytes[BITS_AT], src->bits, BitMap::BYTES), 0);

  // Loading makes a new BitMap (root.bm) with the same bits and a stale cache.
  {
    MemoryInputStream in(bytes.data(), int(bytes.size()));
    load_script_data(in, t.vm);
    capture_stdout([&] { finish_loading_script_data(t.vm); });
  }
  BitMap* back = t.bitmapOf("bm");
  ASSERT_NE(back, nullptr);
  ASSERT_NE(back, src);
  EXPECT_EQ(back->cacheValid, 0);
  EXPECT_EQ(t.evalInt("bm.area()"), src->area);
  EXPECT_EQ(t.evalInt("bm.testOverlap(m, 0, 0)"), src->area);
  EXPECT_EQ(save("{ bm = bm }"), bytes);

  // Cut anywhere inside the bits: a stream error, the stack as it was, and
  // the next load starts afresh.
  for (int cut : {BITS_AT, BITS_AT + 1, 1000, int(bytes.size()) - 1}) {
    SQInteger top = sq_gettop(t.vm);
    MemoryInputStream in(bytes.data(), cut);
    EXPECT_THROW(load_script_data(in, t.vm), InputStream::Exception) << cut;
    EXPECT_EQ(sq_gettop(t.vm), top) << cut;
    EXPECT_EQ(saved_object_list.num, 0) << cut;
  }
}

}  // namespace
