// The Squirrel library we build from source: 64-bit integers, a script that
// compiles, and a script function that returns to its native caller.
#include <gtest/gtest.h>

#include <squirrel.h>
#include <sqstdmath.h>
#include <sqstdstring.h>

#include <cstring>

TEST(SquirrelBuild, IntegersArePointerSized)
{
  EXPECT_EQ(sizeof(SQInteger), 8u);
  EXPECT_EQ(sizeof(SQFloat), 4u);
}

TEST(SquirrelBuild, CompiledScriptFunctionReturnsToNativeCaller)
{
  HSQUIRRELVM v = sq_open(1024);
  ASSERT_NE(v, nullptr);
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sqstd_register_mathlib(v)));
  ASSERT_TRUE(SQ_SUCCEEDED(sqstd_register_stringlib(v)));
  sq_pop(v, 1);

  const char* src = "function add(a, b) { return a + b + floor(0.5).tointeger() + format(\"%d\", 1).len(); }";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "test", SQTrue)));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue)));
  sq_pop(v, 1);  // the compiled closure

  SQInteger top = sq_gettop(v);
  sq_pushroottable(v);
  sq_pushstring(v, "add", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  sq_pushroottable(v);
  sq_pushinteger(v, 40);
  sq_pushinteger(v, 0x100000000LL);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQTrue)));
  SQInteger result = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &result)));
  EXPECT_EQ(result, 0x100000000LL + 41);
  sq_settop(v, top);
  sq_close(v);
}
