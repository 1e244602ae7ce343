// IntMap and the cell-index natives: 32-bit cells under 64-bit script
// integers, wrapped bounds and their cache, overlaps, the constructor's fill.
#include "natives_fixture.h"

#include "scripting/bitMap.h"
#include "scripting/intMap.h"

#include <random>

using namespace sqbind;

namespace
{

struct IntMapVM : NativesVM
{
  IntMapVM()
  {
    register_int_map(vm);
    register_bit_map(vm);
  }

  IntMap* intMapOf(const char* expr)
  {
    StackRestore restore(vm);
    SqObject v = eval(expr);
    sq_pushobject(vm, v.o);
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(vm, -1, &p, class_tag<IntMap>()))) return nullptr;
    return (IntMap*)p;
  }
};

TEST(IntMap, CellsAndIndicesKeepTheLow32Bits)
{
  IntMapVM t;
  ASSERT_TRUE(t.run("m <- IntMap(0);"
                    "m.set(1, 2, 0x100000005);"  // bits above 31 are dropped
                    "m.set(-1, 256, 0x80000000);"  // (255, 0), read back sign-extended
                    "m[0x10007] = -3;"  // index & 0xFFFF = 7
                    "m.set(3.9, 0, 77);"));  // coordinates truncate toward zero
  struct Case
  {
    const char* expr;
    SQInteger value;
  } cases[] = {
    {"m.get(1, 2)", 5},
    {"m.get(257, -254)", 5},
    {"m[2 * 256 + 1]", 5},
    {"m.get(255, 0)", -2147483648LL},
    {"m[255]", -2147483648LL},
    {"m.get(7, 0)", -3},
    {"m[0xFFFFFFFF0007]", -3},
    {"m.get(3, 0)", 77},
    {"m.get(4, 0)", 0},
    {"IntMap(-1).get(9, 9)", -1},
    {"IntMap(0xFFFFFFFF).get(9, 9)", -1},
    // cell indices
    {"make_map_index(3, 2)", 2 * 256 + 3},
    {"make_map_index(-1, 257)", 256 + 255},
    {"make_map_index(0x100000001, 0x100000002)", 2 * 256 + 1},
    {"map_index_x(0x1234)", 0x34},
    {"map_index_z(0x1234)", 0x12},
    {"map_index_z(-1)", 255},
    {"map_index_x(2.9)", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(t.evalInt(c.expr), c.value) << c.expr;
}

TEST(IntMap, ConstructorFillAndArgumentRules)
{
  IntMapVM t;
  EXPECT_EQ(t.evalInt("IntMap(function(x, z) { return x * 1000 + z; }).get(12, 34)"), 12034);
  EXPECT_EQ(t.evalInt("IntMap(function(x, z) { return 2.7; }).get(0, 0)"), 2);
  t.run("m <- IntMap(0);");
  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
    {"IntMap(2.5)", "SqFunc<> call failed"},  // only an integer fills
    {"IntMap(function(x, z) { return \"a\"; })", "sq_get*() failed (type error)"},
    {"m.get(0)", "sq_get*() failed (type error)"},
    {"m.set(0, 0, null)", "sq_get*() failed (type error)"},
    {"m.testOverlap(BitMap(1), 0, 0)", "getInst: invalid argument type"},
    {"m.testOverlap(m, \"1\", 0)", "sq_get*() failed (type error)"},
    {"IntMap.get.call(BitMap(0), 0, 0)", "invalid 'this' in C++ method call"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
  EXPECT_EQ(t.evalInt("m.testOverlap(null, 0, 0)"), 0);
}

TEST(IntMap, BoundsFollowWrites)
{
  IntMapVM t;
  t.run("m <- IntMap(0); b <- null; function bounds() { b = m.bounds(); return b[0] + \",\" + b[1] + \",\" + "
        "b[2] + \",\" + b[3]; }");
  struct Case
  {
    const char* write;
    const char* bounds;
  } cases[] = {
    {"", "0,0,0,0"},
    {"m.set(255, 3, 9)", "255,3,1,1"},
    {"m.set(2, 250, -1)", "255,250,4,10"},  // both axes wrap
    {"m[255 + 3 * 256] = 0", "2,250,1,1"},  // index writes drop the cache too
    {"m.set(2, 250, 0)", "0,0,0,0"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(t.run(c.write)) << c.write;
    SqObject v = t.eval("bounds()");
    EXPECT_STREQ(sq_objtostring(&v.o), c.bounds) << c.write;
  }
}

TEST(IntMap, OverlapCountsMatchACellByCellCount)
{
  IntMapVM t;
  std::mt19937 rng(9);
  for (int round = 0; round < 6; round++) {
    ASSERT_TRUE(t.run("a <- IntMap(0); b <- IntMap(0);"));
    IntMap* a = t.intMapOf("a");
    IntMap* b = t.intMapOf("b");
    for (IntMap* m : {a, b})
      for (int blob = 0; blob < 2; blob++) {
        int x0 = rng() % 256, z0 = rng() % 256, w = 1 + rng() % 50, h = 1 + rng() % 50;
        for (int z = 0; z < h; z++)
          for (int x = 0; x < w; x++)
            if (rng() % 3) m->set(x0 + x, z0 + z, int(rng() % 5) - 2);
      }
    EXPECT_EQ(t.evalInt("a.testOverlap(a, 0, 0)"), 65536 - std::count(a->cells, a->cells + 65536, 0));
    for (int k = 0; k < 8; k++) {
      int dx = int(rng() % 700) - 350, dz = int(rng() % 700) - 350;
      int brute = 0;
      for (int z = 0; z < 256; z++)
        for (int x = 0; x < 256; x++) brute += a->get(x, z) != 0 && b->get(x - dx, z - dz) != 0;
      EXPECT_EQ(a->testOverlap(b, dx, dz), brute) << "offset " << dx << "," << dz;
    }
  }
}

}  // namespace
