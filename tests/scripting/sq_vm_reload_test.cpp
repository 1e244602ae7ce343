// SqReloadableVM: files run once, re-run when their time changes, and what a
// failing re-run leaves behind. File times have whole-second resolution, so
// every edit sets its time explicitly.
#include <gtest/gtest.h>

#include "scripting/sqVMReload.h"

#include "script_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "support/test_dir.h"

using namespace sqbind;

namespace
{

class ReloadTest : public testing::Test
{
protected:
  std::string dir;
  SqReloadableVM rvm;
  time_t clock = 1600000000;

  void SetUp() override
  {
    dir = make_test_dir("reload");
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(rvm.create(1024));
  }
  void TearDown() override
  {
    rvm.close();
    remove_test_dir(dir);
  }

  std::string path(const char* name) { return dir + "/" + name; }

  // A script that counts its runs in runs_<name>, then runs body.
  static std::string counted(const char* name, const char* body = "")
  {
    return std::string("runs_") + name + " <- (\"runs_" + name + "\" in getroottable() ? runs_" + name +
           " : 0) + 1;\n" + body + "\n";
  }

  void setTime(const std::string& p)
  {
    timespec times[2] = {{clock, 0}, {clock, 0}};
    clock += 10;
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }
  // Rewrites the file in place.
  void write(const char* name, const std::string& text)
  {
    std::string p = path(name);
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
    setTime(p);
  }
  // Replaces the file the way editors save: a new file renamed over it.
  void replace(const char* name, const std::string& text)
  {
    std::string tmp = path("editor.tmp");
    FILE* f = fopen(tmp.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
    setTime(tmp);
    ASSERT_EQ(rename(tmp.c_str(), path(name).c_str()), 0);
  }

  SQInteger global(const char* name)
  {
    StackRestore restore(rvm.vm);
    sq_pushroottable(rvm.vm);
    sq_pushstring(rvm.vm, name, -1);
    if (SQ_FAILED(sq_get(rvm.vm, -2))) return -1;
    SQInteger i = -2;
    sq_getinteger(rvm.vm, -1, &i);
    return i;
  }
  bool include(const char* name)
  {
    bool ok = false;
    capture_stdout([&] { ok = rvm.include(path(name).c_str()); });
    return ok;
  }
  bool reload(bool force)
  {
    bool ok = false;
    capture_stdout([&] { ok = rvm.reload(force); });
    return ok;
  }
};

}  // namespace

TEST_F(ReloadTest, IncludeRunsAFileOnceWhateverItsCase)
{
  EXPECT_FALSE(rvm.filesChanged());
  EXPECT_TRUE(rvm.reloadFiles(false));
  write("a.nut", counted("a"));
  EXPECT_TRUE(include("a.nut"));
  std::string upper = path("a.nut");
  for (char& c : upper) c = (char)toupper(c);
  EXPECT_TRUE(rvm.include(upper.c_str()));
  EXPECT_EQ(global("runs_a"), 1);
  EXPECT_EQ(rvm.files.num, 1);

  EXPECT_FALSE(include("missing.nut"));
  EXPECT_EQ(rvm.files.num, 2);  // listed, so a later reload tries again
}

TEST_F(ReloadTest, EditedFilesAreRerunByThePoll)
{
  write("a.nut", counted("a", "value <- 1;"));
  write("b.nut", counted("b"));
  ASSERT_TRUE(include("a.nut"));
  ASSERT_TRUE(include("b.nut"));
  EXPECT_FALSE(rvm.filesChanged());

  write("a.nut", counted("a", "value <- 2;"));
  EXPECT_TRUE(rvm.filesChanged());
  EXPECT_TRUE(reload(false));
  EXPECT_EQ(global("runs_a"), 2);
  EXPECT_EQ(global("runs_b"), 1);
  EXPECT_EQ(global("value"), 2);
  EXPECT_FALSE(rvm.filesChanged());

  replace("b.nut", counted("b", "value <- 3;"));
  EXPECT_TRUE(rvm.filesChanged());
  EXPECT_TRUE(reload(false));
  EXPECT_EQ(global("runs_a"), 2);
  EXPECT_EQ(global("runs_b"), 2);
  EXPECT_EQ(global("value"), 3);
}

TEST_F(ReloadTest, FailingRunKeepsWhatItDefinedBeforeTheError)
{
  write("a.nut", "function f() { return 1; }\n");
  ASSERT_TRUE(include("a.nut"));
  write("a.nut", "function f() { return 2; }\nthrow \"bad\";\nfunction g() { return 3; }\n");
  std::string out = capture_stdout([&] { EXPECT_FALSE(rvm.reload(false)); });
  EXPECT_NE(out.find("ERROR: bad"), std::string::npos) << out;
  SqFunc<int> f;
  f.bindRoot(rvm.vm, "f");
  EXPECT_EQ(f(), 2);
  f.release();
  SqFunc<int> g;
  g.bindRoot(rvm.vm, "g");
  EXPECT_TRUE(g.isNull());
  EXPECT_FALSE(rvm.filesChanged());  // not re-run until it changes again
}

TEST_F(ReloadTest, StopsAtTheFirstFailingFile)
{
  write("a.nut", counted("a"));
  write("b.nut", counted("b"));
  write("c.nut", counted("c"));
  ASSERT_TRUE(include("a.nut"));
  ASSERT_TRUE(include("b.nut"));
  ASSERT_TRUE(include("c.nut"));
  write("a.nut", counted("a"));
  write("b.nut", counted("b", "throw \"broken\";"));
  write("c.nut", counted("c"));
  EXPECT_FALSE(reload(false));
  EXPECT_EQ(global("runs_a"), 2);
  EXPECT_EQ(global("runs_b"), 2);
  EXPECT_EQ(global("runs_c"), 1);
  EXPECT_TRUE(rvm.filesChanged());  // c is still waiting

  EXPECT_TRUE(reload(false));
  EXPECT_EQ(global("runs_a"), 2);
  EXPECT_EQ(global("runs_b"), 2);
  EXPECT_EQ(global("runs_c"), 2);
}

TEST_F(ReloadTest, ForcedReloadRerunsEveryFileInIncludeOrder)
{
  write("inner.nut", "order.append(\"inner\");\n");
  write("outer.nut", "order.append(\"outer\");\ninclude(dir + \"/inner.nut\");\n");
  {
    StackRestore restore(rvm.vm);
    sq_pushroottable(rvm.vm);
    sq_pushstring(rvm.vm, "dir", -1);
    sq_pushstring(rvm.vm, dir.c_str(), -1);
    sq_newslot(rvm.vm, -3, SQFalse);
    sq_pushstring(rvm.vm, "order", -1);
    sq_newarray(rvm.vm, 0);
    sq_newslot(rvm.vm, -3, SQFalse);
  }
  ASSERT_TRUE(include("outer.nut"));
  EXPECT_EQ(rvm.files.num, 2);
  EXPECT_TRUE(reload(true));

  StackRestore restore(rvm.vm);
  sq_pushroottable(rvm.vm);
  sq_pushstring(rvm.vm, "order", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(rvm.vm, -2)));
  const char* expected[] = {"outer", "inner", "outer", "inner"};
  ASSERT_EQ(sq_getsize(rvm.vm, -1), 4);
  for (int i = 0; i < 4; i++) {
    sq_pushinteger(rvm.vm, i);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(rvm.vm, -2)));
    const SQChar* s = "";
    sq_getstring(rvm.vm, -1, &s);
    EXPECT_STREQ(s, expected[i]);
    sq_poptop(rvm.vm);
  }
}

TEST_F(ReloadTest, RecreatingTheVmKeepsTheList)
{
  write("a.nut", counted("a"));
  ASSERT_TRUE(include("a.nut"));
  ASSERT_TRUE(rvm.create(1024));
  EXPECT_TRUE(include("a.nut"));
  EXPECT_EQ(global("runs_a"), -1);  // not run in the new VM
  EXPECT_TRUE(reload(true));
  EXPECT_EQ(global("runs_a"), 1);
}
