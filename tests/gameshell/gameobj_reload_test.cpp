// Rebuilding and reloading the plug-in: the source scan, change detection,
// the error-word rule, and rebuild scripts run for real beside a program
// folder of the test's own, with the test plug-ins swapped in.
#include "gameshell/gameobjReload.h"

#include "gameshell/gameobjHost.h"

#include "engine/paths.h"
#include "engine/visualLog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace
{
const std::string plugin_dir = QM_TEST_PLUGIN_DIR;

std::string read_all(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class GameobjReload : public testing::Test
{
protected:
  std::string root, bin, src;
  char saved_app_path[260];

  void SetUp() override
  {
    const char* tmp = getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/qm_reload_XXXXXX";
    ASSERT_NE(mkdtemp(&tmpl[0]), nullptr);
    root = tmpl;
    bin = root + "/bin/";
    src = root + "/src/plug/";
    mkdir(bin.c_str(), 0755);
    mkdir((root + "/src").c_str(), 0755);
    mkdir(src.c_str(), 0755);
    mkdir((root + "/src/common").c_str(), 0755);
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", bin.c_str());
    gameobj_source_dir = src.c_str();
    gameobj_main_source.printf("%smain.cpp", src.c_str());
    gameobj_deps.clear();
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    // Let a build still running end before its folder goes.
    for (int i = 0; i < 100 && gameobj_rebuild_running(); i++) {
      update_dll_rebuild();
      usleep(20000);
    }
    unload_gameobj();
    gameobj_deps.clear();
    set_error_message(nullptr);
    memcpy(app_path, saved_app_path, sizeof(app_path));
    std::string cmd = "rm -rf '" + root + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }

  void write(const std::string& path, const std::string& text)
  {
    std::ofstream f(path, std::ios::binary);
    f << text;
  }
  void copy(const std::string& from, const std::string& to) { write(to, read_all(from)); }
  static void set_time(const std::string& path, long seconds)
  {
    struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), t, 0);
  }
  // Polls as the game does until the build has ended.
  void run_build()
  {
    testing::internal::CaptureStdout();
    reload_gameobj(false);
    for (int i = 0; i < 500 && gameobj_rebuild_running(); i++) {
      usleep(10000);
      reload_gameobj(false);
    }
    log = testing::internal::GetCapturedStdout();
    ASSERT_FALSE(gameobj_rebuild_running());
  }
  std::string log;
};

TEST(GameobjReloadRules, ErrorWords)
{
  struct Case
  {
    const char* line;
    bool match;
  } cases[] = {{"Error", true},          {"x.cpp:3:1: error: expected ';'", true}, {"2 ERRORS", true},
               {"errors.", true},        {"error:", true},                         {"errorlevel 1", false},
               {"my_error", false},      {"terror", false},                        {"error2", false},
               {"errorss", false},       {"ok, no problems", false},               {"", false},
               {"(error)", true},        {"warnings and Errors_", false}};
  for (const Case& c : cases) EXPECT_EQ(is_error_word(c.line), c.match) << c.line;
}

TEST_F(GameobjReload, ScanFollowsIncludesOnceAndEveryTranslationUnit)
{
  write(src + "main.cpp",
        "#include \"plug/a.h\"\n"
        "  #include \"plug/indented.h\"\n"
        "#include <vector>\n"
        "#Include \"plug/capital.h\"\n"
        "#include \"plug/missing.h\"\n");
  write(src + "a.h", "#include \"plug/b.h\"\n#include \"plug/a.h\"\n");
  write(src + "b.h", "#include \"plug/a.h\"\n");
  write(src + "indented.h", "");
  write(src + "capital.h", "");
  write(src + "zother.cpp", "#include \"common/c.h\"\n");
  write(root + "/src/common/c.h", "");
  write(src + "notes.txt", "");

  scan_dll_deps(gameobj_main_source.c_str());
  EXPECT_EQ(gameobj_deps.num, 3);  // main, a, b: each once
  EXPECT_EQ(find_dll_dep((src + "B.H").c_str()), 2);
  EXPECT_EQ(find_dll_dep((src + "indented.h").c_str()), -1);
  EXPECT_EQ(find_dll_dep((src + "capital.h").c_str()), -1);
  EXPECT_EQ(find_dll_dep((src + "missing.h").c_str()), -1);

  // Start-up records the translation units beside the main source too.
  write(bin + GAMEOBJ_LIBRARY_NAME, read_all(plugin_dir + "/test_plugin_a.so"));
  load_gameobj(src.c_str(), "main.cpp");
  EXPECT_EQ(gameobj_deps.num, 5);
  EXPECT_GE(find_dll_dep((src + "zother.cpp").c_str()), 0);
  EXPECT_GE(find_dll_dep((root + "/src/common/c.h").c_str()), 0);
  EXPECT_FALSE(dll_deps_changed());

  // Older, newer or gone: each is a change.
  for (long t : {1000000000L, 2000000000L}) {
    set_time(src + "b.h", t);
    EXPECT_TRUE(dll_deps_changed());
    gameobj_deps.clear();
    scan_dll_deps(gameobj_main_source.c_str());
    EXPECT_FALSE(dll_deps_changed());
  }
  unlink((src + "a.h").c_str());
  EXPECT_TRUE(dll_deps_changed());
}

TEST_F(GameobjReload, BuildOutputErrorsFailTheBuildEvenWithExitCodeZero)
{
  write(src + "main.cpp", "");
  write(src + GAMEOBJ_REBUILD_SCRIPT,
        "echo compiling in \"$(pwd)\"\n"
        "echo 'main.cpp:1:1: error: something is wrong' >&2\n"
        "printf 'no line end'\n");
  scan_dll_deps(gameobj_main_source.c_str());
  set_time(src + "main.cpp", 1000000000L);
  run_build();
  EXPECT_NE(log.find("=== rebuilding gameobj DLL"), std::string::npos) << log;
  EXPECT_NE(log.find("compiling in " + src.substr(0, src.size() - 1)), std::string::npos) << log;
  EXPECT_NE(log.find("no line end\n"), std::string::npos) << log;
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 0)"), std::string::npos) << log;
  ASSERT_TRUE(has_error_message());
  EXPECT_EQ(gameobj_dll_handle, nullptr);  // nothing was swapped in

  // The next build clears the message and, ending well, reports its time.
  write(src + GAMEOBJ_REBUILD_SCRIPT, "echo all fine\n");
  set_time(src + "main.cpp", 1000000001L);
  run_build();
  EXPECT_FALSE(has_error_message());
  EXPECT_NE(log.find("=== DLL rebuild done in"), std::string::npos) << log;

  // A build that fails by its exit code.
  write(src + GAMEOBJ_REBUILD_SCRIPT, "exit 3\n");
  set_time(src + "main.cpp", 1000000002L);
  run_build();
  EXPECT_NE(log.find("!!! failed to rebuild gameobj DLL (code 3)"), std::string::npos) << log;
  EXPECT_TRUE(has_error_message());
}

TEST_F(GameobjReload, NewLibraryIsSwappedInOnlyWhenNoBuildRuns)
{
  const std::string a = read_all(plugin_dir + "/test_plugin_a.so");
  const std::string b = read_all(plugin_dir + "/test_plugin_b.so");
  write(src + "main.cpp", "");
  write(bin + GAMEOBJ_LIBRARY_NAME, a);
  load_gameobj(src.c_str(), "main.cpp");
  ASSERT_NE(gameobj_dll_handle, nullptr);

  // The build leaves the new library beside the program, slowly.
  write(src + GAMEOBJ_REBUILD_SCRIPT, "cp '" + plugin_dir + "/test_plugin_b.so' \"$QM_PROGRAM_DIR/gameobj_new.so\"\nsleep 0.3\n");
  set_time(src + "main.cpp", 1000000000L);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(reload_gameobj(false));  // starts the build
  usleep(150000);
  EXPECT_FALSE(reload_gameobj(false));  // still building: no swap though the file is there
  std::string early = testing::internal::GetCapturedStdout();
  EXPECT_EQ(early.find("gameobj reload"), std::string::npos);
  EXPECT_EQ(read_all(bin + GAMEOBJ_LIBRARY_NAME), a);

  run_build();
  testing::internal::CaptureStdout();
  bool swapped = reload_gameobj(false) || log.find("gameobj reload ok") != std::string::npos;
  log += testing::internal::GetCapturedStdout();
  EXPECT_TRUE(swapped) << log;
  EXPECT_NE(log.find("gameobj reload ok"), std::string::npos) << log;
  EXPECT_EQ(read_all(bin + GAMEOBJ_LIBRARY_NAME), b);
  EXPECT_NE(access((bin + GAMEOBJ_NEW_LIBRARY_NAME).c_str(), F_OK), 0);
  EXPECT_NE(gameobj_dll_handle, nullptr);

  // Forced: no new library, the same file is loaded again.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(reload_gameobj(true));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("gameobj reload ok"), std::string::npos);
  EXPECT_FALSE(reload_gameobj(false));
}
}  // namespace
