// A script can exhaust nothing but its own budget: allocating base functions
// with wild sizes, runaway recursion, unbounded growth and deeply nested values
// end in a script error (or are freed safely), and the VM stays usable.
#include "script_test_support.h"

#include "scripting/scriptHeap.h"

#include "engine/largeStack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

using namespace sqbind;

namespace
{

// The text of the error that ended the last failed run.
std::string last_error(HSQUIRRELVM vm)
{
  SquirrelError e(vm);
  return e.desc;
}

// Runs body on a stack as deep as the game's own: values nested as deep as
// the memory ceiling allows are freed by recursion.
void on_game_stack(const std::function<void()>& body)
{
  run_on_large_stack(
      [](void* p) {
        (*(const std::function<void()>*)p)();
        return 0;
      },
      (void*)&body);
}

}  // namespace

// Each line once crashed the whole program; now each is a script error.
TEST(ScriptLimits, OverLimitIsAScriptErrorAndTheVmGoesOn)
{
  struct Case
  {
    const char* code;
    const char* error;  // a part of the error text
  };
  const Case cases[] = {
      {"local a = array(-5);", "array size out of range"},
      {"local a = array(2e9);", "array size out of range"},
      {"local a = array(1e30, 0);", "array size out of range"},
      {"local a = []; a.resize(1 << 40);", "array size out of range"},
      {"local a = [1]; a.resize(-1);", "array size out of range"},
      {"function f(n) { return f(n + 1) + 1; } f(0);", "call depth limit"},
      {"local t = {}; for (local i = 0;; i++) t[i] <- i;", "memory limit"},
      {"local s = \"x\"; while (true) s += s;", "memory limit"},
      {"function g(a) { return g([a, a]); } g(null);", "memory limit"},  // a tail call, no frame kept
  };
  on_game_stack([&] {
    TestVM t;
    // A smaller ceiling than the game's keeps the test quick.
    script_heap_attach(t.vm, size_t(32) << 20);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.code);
      std::string out = capture_stdout([&] { EXPECT_FALSE(t.run(c.code)); });
      EXPECT_NE(last_error(t.vm).find(c.error), std::string::npos) << last_error(t.vm);
      // The error was reported with its call stack, and the VM still works.
      EXPECT_NE(out.find("CALLSTACK"), std::string::npos);
      sq_collectgarbage(t.vm);
      EXPECT_EQ(t.evalInt("array(3, 7).len() + [1].len()"), 4);
    }
  });
}

// The guarded functions keep the base library's behaviour for sane sizes.
// Integers wrap around on overflow, in constants and at run time.
TEST(ScriptLimits, IntegerOverflowWrapsAround)
{
  TestVM t;
  // 01000000000000000000000 (octal) is 2^63: it wraps to the smallest integer.
  EXPECT_TRUE(t.run("local m = -01000000000000000000000; local x = 9223372036854775807; "
                    "w <- [m == x + 1, -m == m, x * 2 == -2, m - 1 == x, m % -1 == 0, m / 1 == m, x / -1 == -x];"));
  for (int i = 0; i < 7; i++) EXPECT_EQ(t.evalInt(("w[" + std::to_string(i) + "] ? 1 : 0").c_str()), 1) << i;
  // The one quotient that does not fit is a script error, and the VM goes on.
  EXPECT_FALSE(t.run("local m = -9223372036854775807 - 1; q <- m / -1;"));
  EXPECT_FALSE(t.run("local m = -9223372036854775807 - 1; local d = -1; d = m / d;"));
  EXPECT_EQ(t.evalInt("7 / -1 + 7 % -1"), -7);
}

TEST(ScriptLimits, GuardedArrayFunctionsBehaveAsBefore)
{
  TestVM t;
  EXPECT_EQ(t.evalInt("array(3).len()"), 3);
  EXPECT_TRUE(t.evalBool("array(2).top() == null"));
  EXPECT_EQ(t.evalInt("array(4, 9)[3]"), 9);
  EXPECT_EQ(t.evalInt("array(2.9, 1).len()"), 2);
  EXPECT_EQ(t.evalInt("array(0).len()"), 0);
  EXPECT_TRUE(t.run("a <- [1, 2]; a.resize(4, 5); b <- [1, 2, 3]; b.resize(1);"));
  EXPECT_EQ(t.evalInt("a[1] * 100 + a[2] * 10 + a[3]"), 255);
  EXPECT_EQ(t.evalInt("b.len()"), 1);
  EXPECT_FALSE(capture_stdout([&] { EXPECT_FALSE(t.run("array(\"3\");")); }).empty());
}

// Deep but legal recursion still runs; the budget is freed with what it holds.
TEST(ScriptLimits, DeepLegalRecursionRunsAndMemoryIsGivenBack)
{
  TestVM t;
  EXPECT_TRUE(t.run("function f(n) { return n == 0 ? 0 : 1 + f(n - 1); } depth <- f(3000);"));
  EXPECT_EQ(t.evalInt("depth"), 3000);
  size_t before = script_heap_used(t.vm);
  EXPECT_TRUE(t.run("big <- array(1000000, 1);"));
  EXPECT_GT(script_heap_used(t.vm), before + 15000000);
  EXPECT_TRUE(t.run("big = null;"));
  EXPECT_LT(script_heap_used(t.vm), before + 1000000);
}

// VMs opened and closed one after another reuse the closed VMs' budgets: a
// reused budget starts empty with the new VM's ceiling, and two open VMs
// never share one.
TEST(ScriptLimits, ClosedVmBudgetsAreReusedCleanAndOpenOnesAreNot)
{
  for (int round = 0; round < 3; round++) {
    SCOPED_TRACE(round);
    TestVM other, small;  // other opens first: in later rounds it gets the small budget
    script_heap_attach(small.vm, size_t(4) << 20);
    size_t other_before = script_heap_used(other.vm);
    EXPECT_LT(other_before, size_t(1) << 20);
    EXPECT_TRUE(small.run("big <- array(100000, 1);"));
    capture_stdout([&] { EXPECT_FALSE(small.run("big2 <- array(1000000, 1);")); });
    EXPECT_EQ(script_heap_used(other.vm), other_before);
    // 16 MB: over the small ceiling the other VM's budget may have had before.
    EXPECT_TRUE(other.run("big <- array(1000000, 1);"));
  }
}

TEST(ScriptLimits, MillionDeepNestingIsFreedAndCollectedOnTheGameStack)
{
  on_game_stack([] {
    TestVM t;
  // A million-deep nested array, collected and then freed.
    EXPECT_TRUE(t.run("local a = []; for (local i = 0; i < 1000000; i++) a = [a]; deep <- a;"));
    sq_collectgarbage(t.vm);
    EXPECT_TRUE(t.run("collectgarbage(); deep = null;"));
    // A cycle through the bottom of a deep chain, left to the collector.
    EXPECT_TRUE(t.run("local a = []; local b = a; for (local i = 0; i < 300000; i++) a = [a]; b.append(a); a = b = null;"));
    sq_collectgarbage(t.vm);
  });
}

// Compiling malformed text ends in a compile error: these once wrote outside
// the compiler's target stack or leaked.
TEST(ScriptLimits, MalformedScriptsAreCompileErrors)
{
  const char* sources[] = {
      "x++ = 2",
      "n--=e",
      "local x = 1; x++ <- 3",
      "a.b-- = 1",
      "for (local i = 0; i < 3; i++) { ) }",
      "for (local i = 0; i < 3; i++) for (local j = 0; j < 3; j++) { local k = ; }",
      // An operand of an operator followed by an assignment: a local, a
      // variable of the enclosing function, logical and unary operators.
      "local h; i + h = 1",
      "function f(h) { return function() { i + h = 1 } }",
      "local h; i < h += 1",
      "local h; i || h = 1",
      "local h; i && h <- 1",
      "function f(h) { return function() { -h = 1 } }",
      // Bare `base` changed, and the result of a prefix increment.
      "class A { function f() { ++base } }",
      "class A { function f() { base-- } }",
      "class A { function f() { delete base } }",
      "class A { function f() { class base {} } }",
      "local x = 0; ++ ++x",
      // A unary operator inside a prefix increment, delete or class name.
      "local t; @()---t",
      "function f(x) { return function() { ++ !x } }",
      "local a = {b = 1}; -- -a.b",
      "local a = {b = 1}; delete -a.b",
      "local a = {b = 1}; class ~a.b {}",
  };
  TestVM t;
  for (const char* src : sources) {
    SCOPED_TRACE(src);
    std::string out = capture_stdout([&] {
      StackRestore restore(t.vm);
      EXPECT_FALSE(compile_script_buffer(t.vm, src, (SQInteger)strlen(src), "bad.nut"));
    });
    EXPECT_NE(out.find("bin/bad.nut(1,"), std::string::npos) << out;
    EXPECT_NE(out.find("): error: "), std::string::npos) << out;
  }
  // Loops and postfix operators still compile and run as before.
  EXPECT_TRUE(t.run("s <- 0; for (local i = 0; i < 4; i++) for (local j = 0; j < 3; j++) s += i * j; "
                    "local a = [1]; a[0]++; s += a[0]--; s += a[0];"));
  EXPECT_EQ(t.evalInt("s"), 18 + 2 + 1);
  // Operators and assignments together still compile and run as before.
  EXPECT_TRUE(t.run("local a = 1; a = a + 2; a += 3; local b = -a; b = (a || b) ? a * 2 : 0; "
                    "local o = {v = 0}; o.v <- b + 1; r <- (function(h) { return function() { h = h + 1; return h; } })(b)();"));
  EXPECT_EQ(t.evalInt("r"), 13);
  EXPECT_TRUE(t.run("class A { x = 1; function f() { return ++x; } } class B extends A { function f() { return base.f() * 10; } } "
                    "local t = {a = 1, b = 2}; delete t.a; local y = 1; ++y; y++; q <- B().f() + y + t.len();"));
  EXPECT_EQ(t.evalInt("q"), 20 + 3 + 1);
  EXPECT_TRUE(t.run("local o = {v = 2}; local x = 3; u <- (function() { return - -x + -o.v + (typeof -o.v).len() + (!o.v ? 1 : 0); })();"));
  EXPECT_EQ(t.evalInt("u"), 3 - 2 + 7);
}
