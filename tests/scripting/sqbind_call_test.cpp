// The native-call glue: argument and result conversion, registration,
// dispatcher errors, SqFunc and the slot readers.
#include <gtest/gtest.h>

#include "script_test_support.h"

#include <cstdlib>
#include <string>

using namespace sqbind;

namespace
{

int add_ints(int a, int b) { return a + b; }
float halve(float f) { return f / 2; }
bool truth(bool b) { return b; }
const char* echo(const char* s) { return s; }
SQInteger wide(SQInteger i) { return i; }
int low32(int i) { return i; }
unsigned color() { return 0xFF112233u; }
int vm_and_arg(HSQUIRRELVM vm, int a) { return vm ? a * 10 : -1; }

struct Counter
{
  int value;
  void inc(int by) { value += by; }
  int get() const { return value; }
};

void counter_ctor(HSQUIRRELVM vm, int start)
{
  Counter* c = (Counter*)malloc(sizeof(Counter));
  c->value = start;
  init_native_instance(c, vm);
}

int ptr_or_none(Counter* c) { return c ? c->value : -1; }
int by_ref(const Counter& c) { return c.value; }
Counter* make_counter(int v)
{
  if (v < 0) return nullptr;
  Counter* c = (Counter*)malloc(sizeof(Counter));
  c->value = v;
  return c;
}
int static_seven() { return 7; }

// Calls a script function back through SqFunc from inside a native.
int call_back(SqObject fn)
{
  SqFunc<int> f;
  f.set(fn.vm, fn);
  return f(1, 2);
}

struct GlueVM : TestVM
{
  GlueVM()
  {
    bind_function(vm, add_ints, "add_ints");
    bind_function(vm, halve, "halve");
    bind_function(vm, truth, "truth");
    bind_function(vm, echo, "echo");
    bind_function(vm, wide, "wide");
    bind_function(vm, low32, "low32");
    bind_function(vm, color, "color");
    bind_function(vm, vm_and_arg, "vm_and_arg");
    bind_function(vm, ptr_or_none, "ptr_or_none");
    bind_function(vm, by_ref, "by_ref");
    bind_function(vm, make_counter, "make_counter");
    bind_function(vm, call_back, "call_back");
    ClassDef<Counter>(vm, "Counter")
      .ctor(counter_ctor)
      .method(&Counter::inc, "inc")
      .method(&Counter::get, "get")
      .staticMethod(static_seven, "seven")
      .constant("LIMIT", 99);
  }

  // "=<value>" for a result, "!<text>" for an error reaching the native caller.
  std::string call(const char* expr)
  {
    std::string code = std::string("function probe() { return ") + expr + "; }";
    EXPECT_TRUE(run(code.c_str())) << expr;
    SqFunc<SqObject> f;
    f.bindRoot(vm, "probe");
    std::string result;
    capture_stdout([&] {
      try {
        SqObject v = f();
        StackRestore restore(vm);
        sq_pushobject(vm, v.o);
        sq_tostring(vm, -1);
        const SQChar* s = "";
        sq_getstring(vm, -1, &s);
        result = std::string("=") + s;
      } catch (const SquirrelError& e) {
        result = std::string("!") + e.desc;
      }
    });
    return result;
  }
};

const char* const k_type_error = "!sq_get*() failed (type error)";
const char* const k_inst_error = "!getInst: invalid argument type";

}  // namespace

TEST(NativeCalls, ConvertArgumentsAndResults)
{
  GlueVM t;
  struct Case
  {
    const char* expr;
    const char* expected;
  } cases[] = {
    // numbers: floats truncate toward zero where an integer is wanted
    {"add_ints(2, 3)", "=5"},
    {"add_ints(2.9, -1.9)", "=1"},
    {"halve(3)", "=1.5"},
    {"add_ints(\"x\", 1)", k_type_error},
    {"add_ints(1)", k_type_error},
    {"halve(null)", k_type_error},
    // 32-bit parameters take the low bits; 32-bit results are sign-extended
    {"low32(0x100000005)", "=5"},
    {"low32(-1)", "=-1"},
    {"wide(0x100000005)", "=4294967301"},
    {"color()", "=-15654349"},
    // bools take any value's truth; strings must be strings
    {"truth(null)", "=false"},
    {"truth([])", "=true"},
    {"truth(0.0)", "=false"},
    {"echo(\"hi\")", "=hi"},
    {"echo(5)", k_type_error},
    // the VM parameter takes no script argument
    {"vm_and_arg(4)", "=40"},
    // bound classes: pointers take null, references do not
    {"ptr_or_none(null)", "=-1"},
    {"ptr_or_none(Counter(4))", "=4"},
    {"ptr_or_none(5)", k_inst_error},
    {"ptr_or_none({})", k_inst_error},
    {"by_ref(Counter(6))", "=6"},
    {"by_ref(null)", k_inst_error},
    {"by_ref()", k_inst_error},
    // a script subclass is accepted where the bound class is
    {"(function() { local Sub = class extends Counter { function twice() { return get() * 2; } }; "
     "return by_ref(Sub(3)) + Sub(5).twice(); })()",
     "=13"},
    // methods, static functions and constants
    {"(function() { local c = Counter(1); c.inc(4); return c.get(); })()", "=5"},
    {"Counter.seven()", "=7"},
    {"Counter.LIMIT", "=99"},
    // results of bound class pointers are new instances; null stays null
    {"make_counter(8).get()", "=8"},
    {"make_counter(-1) == null", "=true"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.call(c.expr), c.expected) << c.expr;
}

TEST(NativeCalls, WrongArgumentReportsEveryTimeAndVmKeepsWorking)
{
  GlueVM t;
  ASSERT_TRUE(t.run("function bad() { return add_ints(\"x\", 1); }\n"
                    "function good() { return add_ints(2, 3); }"));
  SqFunc<int> bad, good;
  bad.bindRoot(t.vm, "bad");
  good.bindRoot(t.vm, "good");
  SQInteger top = sq_gettop(t.vm);
  int reported = 0;
  capture_stdout([&] {
    for (int i = 0; i < 1000; i++) {
      try {
        bad();
      } catch (const SquirrelError& e) {
        if (strcmp(e.desc, "sq_get*() failed (type error)") == 0) reported++;
      }
    }
  });
  EXPECT_EQ(reported, 1000);
  EXPECT_EQ(sq_gettop(t.vm), top);
  EXPECT_EQ(good(), 5);
  bad.release();
  good.release();
}

TEST(NativeCalls, ErrorsCrossNestedCallsWithTheirText)
{
  GlueVM t;
  struct Case
  {
    const char* expr;
    const char* expected;
  } cases[] = {
    // a native error inside a script called back from a native
    {"call_back(function(a, b) { return add_ints(a, \"b\"); })", k_type_error},
    {"call_back(function(a, b) { return a + b; })", "=3"},
    // a script's own error keeps its text through the native that called it
    {"call_back(function(a, b) { throw \"own\"; })", "!own"},
    {"(function() { throw \"plain\"; })()", "!plain"},
    // scripts may catch a native's error like any other
    {"(function() { try { add_ints(null, 1); } catch (e) { return \"caught \" + e; } })()",
     "=caught sq_get*() failed (type error)"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.call(c.expr), c.expected) << c.expr;
}

static SQInteger free_variable_null(HSQUIRRELVM vm)
{
  sq_pushroottable(vm);
  sq_pushstring(vm, "nofn", -1);
  sq_pushuserpointer(vm, nullptr);
  sq_newclosure(vm, dispatch_function<int (*)(int, int)>, 1);
  sq_newslot(vm, -3, SQFalse);
  sq_pushstring(vm, "nomethod", -1);
  sq_pushnull(vm);
  sq_newclosure(vm, dispatch_method<Counter, int (Counter::*)() const>, 1);
  sq_newslot(vm, -3, SQFalse);
  sq_pushstring(vm, "noctor", -1);
  sq_pushuserpointer(vm, nullptr);
  sq_newclosure(vm, dispatch_constructor<Counter, void (*)(HSQUIRRELVM, int)>, 1);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
  return 0;
}

TEST(NativeCalls, GlueLookupFailuresAreCatchableScriptErrors)
{
  GlueVM t;
  free_variable_null(t.vm);
  struct Case
  {
    const char* expr;
    const char* expected;
  } cases[] = {
    {"(function() { try { nofn(1, 2); } catch (e) { return e; } })()", "=no function stored for C++ call"},
    {"(function() { try { nomethod.call(Counter(1)); } catch (e) { return e; } })()",
     "=no method stored for C++ call"},
    {"(function() { try { noctor.call(Counter(1), 2); } catch (e) { return e; } })()",
     "=no function stored for C++ ctor call"},
    {"(function() { try { Counter.inc.call({}, 1); } catch (e) { return e; } })()",
     "=invalid 'this' in C++ method call"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.call(c.expr), c.expected) << c.expr;
}

TEST(ScriptFunctions, NullStatesAndDeadEnvironment)
{
  GlueVM t;
  ASSERT_TRUE(t.run("env <- { k = 5, get = function() { return k; } };"));
  SqFunc<int> missing;
  std::string out = capture_stdout([&] { missing.bindRoot(t.vm, "no_such_function"); });
  EXPECT_TRUE(missing.isNull());
  EXPECT_EQ(out, "");
  EXPECT_TRUE(SqFunc<int>().isNull());

  SqFunc<int> f;
  f.bind(t.vm, t.eval("env"), "get");
  ASSERT_FALSE(f.isNull());
  EXPECT_EQ(f(), 5);

  SQInteger top = sq_gettop(t.vm);
  f.push();
  EXPECT_EQ(sq_gettop(t.vm), top + 2);
  EXPECT_EQ(sq_gettype(t.vm, -1), OT_TABLE);
  sq_settop(t.vm, top);

  ASSERT_TRUE(t.run("delete env;"));
  sq_collectgarbage(t.vm);
  EXPECT_TRUE(f.isNull());
  try {
    f();
    ADD_FAILURE() << "no error";
  } catch (const SquirrelError& e) {
    EXPECT_STREQ(e.desc, "SqFunc: can't deref weakptr to object");
  }
  EXPECT_EQ(sq_gettop(t.vm), top);
  f.release();
}

TEST(ScriptFunctions, ArgumentsAndResultKinds)
{
  GlueVM t;
  ASSERT_TRUE(t.run("function join(a, b, c, d) { return a + \",\" + b + \",\" + c + \",\" + d; }\n"
                    "function is_big(x) { return x > 10; }\n"
                    "function scale(x) { return x * 1.5; }\n"
                    "function text() { return \"t\"; }"));
  SqFunc<SqObject> join;
  join.bindRoot(t.vm, "join");
  SqObject r = join(1, 2.5f, "s", true);
  EXPECT_STREQ(sq_objtostring(&r.o), "1,2.5,s,true");
  SqFunc<bool> big;
  big.bindRoot(t.vm, "is_big");
  EXPECT_TRUE(big(11));
  EXPECT_FALSE(big(3));
  SqFunc<float> scale;
  scale.bindRoot(t.vm, "scale");
  EXPECT_FLOAT_EQ(scale(2), 3.0f);
  SqFunc<int> text;
  text.bindRoot(t.vm, "text");
  capture_stdout([&] { EXPECT_THROW(text(), SquirrelError); });
}

// A native loop's repeated call: each call sees its own arguments and the
// script's state of the call before; the stack comes back as it was after the
// loop and after each kind of failure, with the failure's own text.
TEST(ScriptFunctions, RepeatedCallsKeepResultsErrorsAndTheStack)
{
  GlueVM t;
  ASSERT_TRUE(t.run("::env <- { n = 0, step = function(x, z) { n += x; return n * 10 + z; } };\n"
                    "function bad(i) { if (i == 2) throw \"stop at 2\"; return i == 1 ? \"text\" : i; }"));
  SQInteger top = sq_gettop(t.vm);
  SqFunc<int> step;
  step.bind(t.vm, t.eval("env"), "step");
  {
    RepeatedCall<int> call(step);
    for (int i = 1; i <= 4; i++) EXPECT_EQ(call(i, 7), (i * (i + 1) / 2) * 10 + 7);
  }
  EXPECT_EQ(sq_gettop(t.vm), top);

  SqFunc<int> bad;
  bad.bindRoot(t.vm, "bad");
  struct Case
  {
    int stopAt;
    const char* text;
  } cases[] = {{1, "sq_get*() failed (type error)"}, {2, "stop at 2"}};
  for (const Case& c : cases) {
    std::string text;
    capture_stdout([&] {
      try {
        RepeatedCall<int> call(bad);
        EXPECT_EQ(call(0), 0);
        EXPECT_EQ(call(3), 3);
        call(c.stopAt);
        ADD_FAILURE() << "no error at " << c.stopAt;
      } catch (const SquirrelError& e) {
        text = e.desc;
      }
    });
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(sq_gettop(t.vm), top);
  }

  // The environment dies between two calls.
  {
    RepeatedCall<int> call(step);
    EXPECT_EQ(call(0, 1), 101);
    ASSERT_TRUE(t.run("delete env;"));
    sq_collectgarbage(t.vm);
    try {
      call(1, 1);
      ADD_FAILURE() << "no error";
    } catch (const SquirrelError& e) {
      EXPECT_STREQ(e.desc, "SqFunc: can't deref weakptr to object");
    }
  }
  EXPECT_EQ(sq_gettop(t.vm), top);
  step.release();
  bad.release();
}

TEST(SlotReaders, MissingWrongAndPresent)
{
  GlueVM t;
  ASSERT_TRUE(t.run("arr <- [1, 2.5, \"x\"]; tab <- { n = 4, s = \"no\" }; flag <- 1;"));
  SqObject arr = t.eval("arr"), tab = t.eval("tab");
  SQInteger top = sq_gettop(t.vm);
  EXPECT_FLOAT_EQ(get_float_slot(t.vm, arr.o, 1), 2.5f);
  EXPECT_EQ(get_int_slot(t.vm, arr.o, 1), 2);
  EXPECT_EQ(get_int_slot(t.vm, tab.o, "n"), 4);
  EXPECT_TRUE(getGlobal<bool>(t.vm, "flag"));

  auto error_of = [&](auto fn) {
    std::string text;
    std::string log = capture_stdout([&] {
      try {
        fn();
      } catch (const SquirrelError& e) {
        text = e.desc;
      }
    });
    return log + "|" + text;
  };
  EXPECT_EQ(error_of([&] { get_float_slot(t.vm, arr.o, 2); }), "|sq_get*() failed (type error)");
  EXPECT_EQ(error_of([&] { get_float_slot(t.vm, arr.o, 7); }), "|the index '7' does not exist");
  EXPECT_EQ(error_of([&] { get_int_slot(t.vm, tab.o, "s"); }), "|sq_get*() failed (type error)");
  EXPECT_EQ(error_of([&] { get_int_slot(t.vm, tab.o, "gone"); }),
            "getSlot 'gone' failed\n|the index 'gone' does not exist");
  EXPECT_EQ(error_of([&] { getGlobal<bool>(t.vm, "nope"); }),
            "getGlobal 'nope' failed\n|the index 'nope' does not exist");
  EXPECT_EQ(sq_gettop(t.vm), top);
}

TEST(SqObjects, WeakReferencesAndConstants)
{
  GlueVM t;
  SqObject tab = t.eval("{}"), num = t.eval("3");
  SqObject w;
  w.setWeakRef(t.vm, tab.o);
  EXPECT_EQ(w.getType(), OT_WEAKREF);
  SqObject same;
  same.setWeakRef(t.vm, w.o);
  EXPECT_TRUE(same.sameObject(w));
  SqObject plain;
  plain.setWeakRef(t.vm, num.o);
  EXPECT_EQ(plain.getType(), OT_INTEGER);

  register_int_constant(t.vm, "TEN", 10);
  EXPECT_EQ(t.evalInt("TEN + 1"), 11);
  EXPECT_FALSE(t.evalBool("\"TEN\" in getroottable()"));
}

TEST(ScriptFunctions, CallingANonFunctionIsAPlainFailureWhateverCameBefore)
{
  GlueVM t;
  // A native error caught by the script leaves its text behind in the VM...
  EXPECT_EQ(t.call("(function() { try { add_ints(null, 1); } catch (e) { return 1; } })()"), "=1");
  // ...which must not be taken for the error of a call that raised none.
  SqFunc<int> seven;
  seven.set(t.vm, t.eval("7"));
  std::string text;
  capture_stdout([&] {
    try {
      seven();
    } catch (const SquirrelError& e) {
      text = e.desc;
    }
  });
  EXPECT_EQ(text, "SqFunc<> call failed");
}

TEST(ScriptFunctions, AFailedCallLeavesTheScriptsOwnErrorAsTheLastError)
{
  GlueVM t;
  SqFunc<int> thrower;
  thrower.set(t.vm, t.eval("function() { throw \"own words\"; }"));
  capture_stdout([&] {
    try {
      thrower();
    } catch (const SquirrelError&) {
    }
  });
  SQInteger top = sq_gettop(t.vm);
  sq_getlasterror(t.vm);
  const SQChar* last = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(t.vm, -1, &last)));
  EXPECT_STREQ(last, "own words");
  sq_settop(t.vm, top);
}

// A failure deep inside natives that call scripts back keeps its cause: the
// innermost text reaches the native caller, and one call stack is printed
// where it arose, not one per level.
TEST(NativeCalls, NestedFailurePrintsOneCallStackWithItsCause)
{
  GlueVM t;
  ASSERT_TRUE(t.run("function deep() { throw \"the cause\"; }\n"
                    "function outer() {\n"
                    "  return call_back(function(a, b) { return call_back(function(c, d) { return deep(); }); });\n"
                    "}\n"));
  SqFunc<int> outer;
  outer.set(t.vm, t.eval("outer"));
  for (int round = 0; round < 2; round++) {  // the same failure again is reported again
    std::string text;
    std::string out = capture_stdout([&] {
      try {
        outer();
      } catch (const SquirrelError& e) {
        text = e.desc;
      }
    });
    EXPECT_EQ(text, "the cause");
    size_t first = out.find("\nCALLSTACK\n");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find("\nCALLSTACK\n", first + 1), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: the cause (in deep())"), std::string::npos) << out;
  }
  outer.release();
}
