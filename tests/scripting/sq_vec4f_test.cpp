// The script class vec4f: constructor forms, lane access and arithmetic.
#include <gtest/gtest.h>

#include "scripting/sqVec4f.h"

#include "script_test_support.h"

#include <cmath>
#include <cstring>
#include <string>

using namespace sqbind;

namespace
{

struct Vec4fVM : TestVM
{
  Vec4fVM() { bind_vec4f_class(vm); }

  // "(x,y,z,w)" for a vector, "=<value>" for another value, "!<text>" for an
  // error, caught by the script itself so that every kind of error shows.
  std::string eval4(const char* expr)
  {
    std::string code = std::string("function probe() { try { return ") + expr + "; } catch (e) { return \"!\" + e; } }";
    EXPECT_TRUE(run(code.c_str())) << expr;
    SqFunc<SqObject> f;
    f.bindRoot(vm, "probe");
    SqObject v;
    capture_stdout([&] { v = f(); });
    StackRestore restore(vm);
    sq_pushobject(vm, v.o);
    SQUserPointer p = nullptr;
    if (sq_isinstance(v.o) && SQ_SUCCEEDED(sq_getinstanceup(vm, -1, &p, class_tag<SqVec4f>()))) {
      const vec4f& q = ((SqVec4f*)p)->v;
      char buf[128];
      snprintf(buf, sizeof(buf), "(%g,%g,%g,%g)", q[0], q[1], q[2], q[3]);
      return buf;
    }
    sq_tostring(vm, -1);
    const SQChar* s = "";
    sq_getstring(vm, -1, &s);
    return s[0] == '!' ? std::string(s) : std::string("=") + s;
  }
};

}  // namespace

TEST(Vec4fClass, ConstructorsLanesAndOperators)
{
  Vec4fVM t;
  const char* type_error = "!sq_get*() failed (type error)";
  const char* inst_error = "!getInst: invalid argument type";
  const char* range_error = "!vec4f index out of range";
  struct Case
  {
    const char* expr;
    const char* expected;
  } cases[] = {
    // exactly four arguments set four lanes; any other count copies the first
    {"vec4f(2)", "(2,2,2,2)"},
    {"vec4f(1, 2)", "(1,1,1,1)"},
    {"vec4f(1, 2, 3)", "(1,1,1,1)"},
    {"vec4f(1, 2, 3, 4)", "(1,2,3,4)"},
    {"vec4f(1, 2, 3, 4, 5)", "(1,1,1,1)"},
    {"vec4f(1.5, 2, \"z\", 4)", type_error},
    {"vec4f()", type_error},
    {"vec4f(\"s\")", type_error},
    {"vec4f(vec4f(1))", type_error},
    // lanes by integer index, floats truncated; anything else is refused
    {"vec4f(1, 2, 3, 4)[3]", "=4"},
    {"vec4f(1, 2, 3, 4)[1.9]", "=2"},
    {"vec4f(1)[4]", range_error},
    {"vec4f(1)[-1]", range_error},
    {"vec4f(1).x", type_error},
    {"(function() { local v = vec4f(0); v[2] = 7; return v; })()", "(0,0,7,0)"},
    {"(function() { local v = vec4f(0); v[9] = 7; return v; })()", range_error},
    // operands: numbers, arrays of four numbers, vectors (and subclasses)
    {"vec4f(1, 2, 3, 4) * 2", "(2,4,6,8)"},
    {"vec4f(1, 2, 3, 4) + [1, 1, 1, 1]", "(2,3,4,5)"},
    {"vec4f(5, 5, 5, 5) - vec4f(1, 2, 3, 4)", "(4,3,2,1)"},
    {"vec4f(1, 2, 3, 4) / vec4f(2)", "(0.5,1,1.5,2)"},
    {"vec4f(1) / 0", "(inf,inf,inf,inf)"},
    {"vec4f(1) + (class extends vec4f {})(3)", "(4,4,4,4)"},
    // (the VM turns "+" with a string into concatenation before any metamethod)
    {"vec4f(1) * \"s\"", inst_error},
    {"vec4f(1) - null", inst_error},
    {"vec4f(1) + [1, 2, 3]", "!the index '3' does not exist"},
    {"vec4f(1) + [1, 2, \"x\", 4]", type_error},
    {"-vec4f(1, -2, 0, 3)", "(-1,2,0,-3)"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.eval4(c.expr), c.expected) << c.expr;
}

TEST(Vec4fClass, NegationKeepsPositiveZeroAndResultsAreNewInstances)
{
  Vec4fVM t;
  ASSERT_TRUE(t.run("a <- vec4f(1, 2, 3, 4); b <- vec4f(1); c <- a + b; c[0] = 100; n <- -vec4f(0);"));
  EXPECT_EQ(t.eval4("a"), "(1,2,3,4)");
  EXPECT_EQ(t.eval4("b"), "(1,1,1,1)");
  EXPECT_EQ(t.eval4("c"), "(100,3,4,5)");
  SqObject n = t.eval("n");
  StackRestore restore(t.vm);
  sq_pushobject(t.vm, n.o);
  SQUserPointer p = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(t.vm, -1, &p, class_tag<SqVec4f>())));
  EXPECT_FALSE(std::signbit(((SqVec4f*)p)->v[0]));
}

static float sum_lanes(const vec4f& v) { return v[0] + v[1] + v[2] + v[3]; }
static vec4f doubled(vec4f v) { return v_add(v, v); }

TEST(Vec4fClass, NativesTakeAndReturnVectors)
{
  Vec4fVM t;
  bind_function(t.vm, sum_lanes, "sum_lanes");
  bind_function(t.vm, doubled, "doubled");
  EXPECT_EQ(t.eval4("sum_lanes(vec4f(1, 2, 3, 4))"), "=10");
  EXPECT_EQ(t.eval4("doubled(vec4f(1, 2, 3, 4))"), "(2,4,6,8)");
  EXPECT_EQ(t.eval4("sum_lanes(null)"), "!getInst: invalid argument type");
  EXPECT_EQ(t.eval4("doubled(3)"), "!getInst: invalid argument type");
}

static void call_take(HSQUIRRELVM vm, vec4f a, vec4f b, vec4f c, float f)
{
  SqFunc<void> fn;
  fn.bindRoot(vm, "take");
  fn(a, b, c, f);
}

TEST(Vec4fClass, NativeCallersPassVectorsAsNewInstances)
{
  Vec4fVM t;
  ASSERT_TRUE(t.run("got <- null; function take(a, b, c, f) { got = [a[0], b[1], c[2], f]; }"));
  std::string out =
    capture_stdout([&] { call_take(t.vm, make4f(1, 0, 0, 0), make4f(0, 2, 0, 0), make4f(0, 0, 3, 0), 4.f); });
  EXPECT_EQ(out, "");
  EXPECT_EQ(t.evalInt("(got[0] + got[1] + got[2] + got[3]).tointeger()"), 10);
}
