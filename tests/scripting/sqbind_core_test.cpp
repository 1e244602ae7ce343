// The binding core: error reports, script files, classes and instances.
#include <gtest/gtest.h>

#include "script_test_support.h"

#include "engine/paths.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include "support/test_dir.h"
#include <fcntl.h>

using namespace sqbind;

// An error thrown three frames deep, with locals of every printable kind.
static const char* const k_report_script =
  "function inner(a) {\n"                                          // 1
  "  local s = \"txt\", n = null, b = false, f = 0.1;\n"           // 2
  "  local arr = [1], tab = {}, cls = class {}, fn = inner;\n"     // 3
  "  local nat = print, inst = cls(), w = tab.weakref();\n"        // 4
  "  throw \"boom\";\n"                                            // 5
  "}\n"                                                            // 6
  "function middle(x) { local t = true; inner(x * 2); }\n"        // 7
  "function outer() { middle(21); }\n";                            // 8

TEST(ScriptReports, RuntimeErrorPrintsCallStackAndLocals)
{
  TestVM t;
  ASSERT_TRUE(t.run(k_report_script));
  std::string out = capture_stdout([&] { EXPECT_FALSE(t.run("outer();")); });
  const char* expected =
    "\nCALLSTACK\n"
    "bin/test(5): ERROR: boom (in inner())\n"
    "bin/test(7): function middle() (CALLSTACK)\n"
    "bin/test(8): function outer() (CALLSTACK)\n"
    "bin/test(1): function main() (CALLSTACK)\n"
    "\nLOCALS\n"
    "[w] WEAKREF\n"
    "[inst] INSTANCE\n"
    "[nat] NATIVECLOSURE\n"
    "[fn] CLOSURE\n"
    "[cls] CLASS\n"
    "[tab] TABLE\n"
    "[arr] ARRAY\n"
    "[f] 0.10000000149012\n"
    "[b] false\n"
    "[n] NULL\n"
    "[s] \"txt\"\n"
    "[a] 42\n"
    "[this] TABLE\n"
    "[t] true\n"
    "[x] 21\n"
    "[this] TABLE\n"  // middle
    "[this] TABLE\n"  // outer
    "[vargv] ARRAY\n"
    "[this] TABLE\n";  // the snippet's main function
  EXPECT_EQ(out, expected);
}

TEST(ScriptReports, NonStringErrorIsUnknown)
{
  TestVM t;
  std::string out = capture_stdout([&] { EXPECT_FALSE(t.run("throw {code = 3};")); });
  EXPECT_NE(out.find("bin/test(1): ERROR: unknown (in main())\n"), std::string::npos) << out;
  EXPECT_STREQ(SquirrelError(t.vm).desc, "unknown error");
}

TEST(ScriptReports, CompileErrorPrintsOneLine)
{
  TestVM t;
  std::string out = capture_stdout([&] { EXPECT_FALSE(t.run("local a = 1;\nlocal b = ;\n")); });
  EXPECT_EQ(out, "bin/test(2,12): error: expression expected\n");
}

TEST(ScriptFiles, MissingFileFailsSilentlyAndBadFileReports)
{
  TestVM t;
  SQInteger top = sq_gettop(t.vm);
  std::string out = capture_stdout([&] {
    EXPECT_FALSE(compile_script_file(t.vm, "/nonexistent/dir/none.nut"));
    EXPECT_FALSE(run_script_file(t.vm, "/nonexistent/dir/none.nut"));
  });
  EXPECT_EQ(out, "");

  TestDir tmp("sqbind");
  std::string file = tmp.path + "/script.nut";
  const char* path = file.c_str();
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const char* src = "answer <- 42;\n";
  ASSERT_EQ(write(fd, src, strlen(src)), (ssize_t)strlen(src));
  close(fd);
  EXPECT_TRUE(run_script_file(t.vm, path));
  EXPECT_EQ(sq_gettop(t.vm), top);
  EXPECT_EQ(t.evalInt("answer"), 42);

  FILE* f = fopen(path, "wb");
  fputs("x <- (;\n", f);
  fclose(f);
  out = capture_stdout([&] { EXPECT_FALSE(run_script_file(t.vm, path)); });
  // A script outside the program's folder is named by its own path...
  EXPECT_EQ(out, std::string(path) + "(1,7): error: expression expected\n");
  // ...one inside it from the folder the program lives in.
  char saved[sizeof(app_path)];
  memcpy(saved, app_path, sizeof(saved));
  std::string root = test_temp_root() + "/";
  snprintf(app_path, sizeof(app_path), "%s", root.c_str());
  out = capture_stdout([&] { EXPECT_FALSE(run_script_file(t.vm, path)); });
  memcpy(app_path, saved, sizeof(saved));
  EXPECT_EQ(out, std::string("bin/") + (path + root.size()) + "(1,7): error: expression expected\n");
  EXPECT_EQ(sq_gettop(t.vm), top);
}

TEST(SquirrelErrorText, IsOwnedCopy)
{
  std::string text = "formatted 123";
  SquirrelError e(text.c_str());
  text.assign("overwritten!!");
  SquirrelError copy = e;
  SquirrelError assigned("x");
  assigned = copy;
  EXPECT_STREQ(e.desc, "formatted 123");
  EXPECT_STREQ(copy.desc, "formatted 123");
  EXPECT_STREQ(assigned.desc, "formatted 123");
}

struct Thing
{
  int v;
};

TEST(ScriptClasses, CreatingAgainReusesTheClass)
{
  TestVM t;
  SqObject first = create_class(t.vm, "Thing", nullptr, class_tag<Thing>());
  ASSERT_TRUE(t.run("old <- Thing();"));
  SQInteger top = sq_gettop(t.vm);
  SqObject second = create_class(t.vm, "Thing", nullptr, class_tag<Thing>());
  EXPECT_EQ(sq_gettop(t.vm), top);
  EXPECT_TRUE(first.sameObject(second));
  EXPECT_TRUE(t.evalBool("old instanceof Thing"));

  // The registry finds the class by its tag.
  Thing* thing = (Thing*)malloc(sizeof(Thing));
  thing->v = 7;
  push_instance(t.vm, thing, class_tag<Thing>(), "Thing", release_native<Thing>);
  SQUserPointer up = nullptr;
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(t.vm, -1, &up, class_tag<Thing>())));
  EXPECT_EQ(up, (SQUserPointer)thing);
  sq_poptop(t.vm);
  EXPECT_EQ(sq_gettop(t.vm), top);
}

TEST(ScriptClassesDeathTest, UnboundBaseIsFatal)
{
  EXPECT_EXIT(
    {
      TestVM t;
      create_class(t.vm, "Derived", "Missing", class_tag<Thing>());
    },
    testing::ExitedWithCode(100), "no base class 'Missing' bound for 'Derived'");
}

TEST(ScriptInstances, PushNullAndUnregisteredTag)
{
  TestVM t;
  SQInteger top = sq_gettop(t.vm);
  EXPECT_TRUE(push_instance(t.vm, nullptr, class_tag<Thing>(), "Thing", nullptr));
  EXPECT_EQ(sq_gettype(t.vm, -1), OT_NULL);
  sq_poptop(t.vm);

  Thing thing{1};
  std::string out = capture_stdout([&] {
    try {
      push_instance(t.vm, &thing, class_tag<Thing>(), "Thing", nullptr);
      ADD_FAILURE() << "no error";
    } catch (const SquirrelError& e) {
      EXPECT_STREQ(e.desc, "can't get script class");
    }
  });
  EXPECT_EQ(out, "failed to create Thing\n");
  EXPECT_EQ(sq_gettop(t.vm), top);
}

static SQInteger native_probe(HSQUIRRELVM) { return 0; }

TEST(ScriptDebug, DebugObjectLines)
{
  TestVM t;
  ClassDef<Thing>(t.vm, "Thing");
  Thing* thing = (Thing*)malloc(sizeof(Thing));
  push_instance(t.vm, thing, class_tag<Thing>(), "Thing", release_native<Thing>);
  SqObject inst = SqObject::fromStack(t.vm, -1);
  sq_poptop(t.vm);
  sq_newclosure(t.vm, native_probe, 0);
  SqObject nat = SqObject::fromStack(t.vm, -1);
  sq_poptop(t.vm);
  SqObject str = t.eval("\"hello\"");
  SqObject num = t.eval("12");

  char expected[256];
  snprintf(expected, sizeof(expected), "(instance UP=%p hook=%p)\n(native func %p)\nhello\n(null)\n", (void*)thing,
           (void*)release_native<Thing>, (void*)native_probe);
  std::string out = capture_stdout([&] {
    sq_debug_object(&inst.o);
    sq_debug_object(&nat.o);
    sq_debug_object(&str.o);
    sq_debug_object(&num.o);
  });
  EXPECT_EQ(out, expected);
}
