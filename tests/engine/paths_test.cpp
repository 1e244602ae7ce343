// Program-relative paths, file times and the case-insensitive look-up.
#include <gtest/gtest.h>

#include "engine/paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include "support/test_dir.h"

namespace fs = std::filesystem;

class Paths : public testing::Test
{
protected:
  char saved_app_path[260];
  fs::path dir;
  void SetUp() override
  {
    memcpy(saved_app_path, app_path, sizeof(app_path));
    strcpy(app_path, "/opt/qm/");
    dir = make_test_dir("paths");
  }
  void TearDown() override
  {
    memcpy(app_path, saved_app_path, sizeof(app_path));
    fs::remove_all(dir);
  }
};

TEST_F(Paths, FullPathJoinsAndNormalises)
{
  struct Row { const char* in; const char* out; };
  const Row rows[] = {
      // relative: joined to the program folder
      {"data/x.png", "/opt/qm/data/x.png"},
      {"a/./b/../c", "/opt/qm/a/c"},
      {"./shaders//land.sh", "/opt/qm/shaders/land.sh"},
      {"../up.txt", "/opt/up.txt"},
      {"../../../../x", "/x"},
      {"gen\\palettes.csv", "/opt/qm/gen/palettes.csv"},
      {"gen/", "/opt/qm/gen/"},
      {"", "/opt/qm/"},
      // absolute: normalised only
      {"/abs/../x//y", "/x/y"},
      {"/a/b/..", "/a"},
      {"/..", "/"},
      {"/", "/"},
  };
  for (const Row& r : rows) EXPECT_STREQ(make_full_path(r.in).c_str(), r.out) << r.in;
  EXPECT_STREQ(make_full_path(nullptr).c_str(), "/opt/qm/");
  // Too long for 260 bytes: the programming-error path.
  std::string long_name(300, 'a');
  EXPECT_EXIT(make_full_path(long_name.c_str()), testing::ExitedWithCode(100), "l<BS");
}

TEST_F(Paths, ProgramFolderEndsWithSeparator)
{
  char file[260], folder[260];
  ASSERT_TRUE(get_exe_filename(file, sizeof(file)));
  ASSERT_TRUE(get_exe_path(folder, sizeof(folder)));
  size_t n = strlen(folder);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(folder[n - 1], '/');
  EXPECT_EQ(strncmp(file, folder, n), 0);
  EXPECT_EQ(strchr(file + n, '/'), nullptr);
  char tiny[4] = "xyz";
  EXPECT_FALSE(get_exe_filename(tiny, sizeof(tiny)));   // does not fit
  EXPECT_FALSE(get_exe_path(tiny, sizeof(tiny)));
  EXPECT_TRUE(init_app_path());
  EXPECT_STREQ(app_path, folder);
}

TEST_F(Paths, AppDataFollowsXdgDataHome)
{
  const char* old = getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_STREQ(get_appdata_path().c_str(), "/data/home/");
  EXPECT_STREQ(get_appdata_path("Quillmere/saves").c_str(), "/data/home/Quillmere/saves");
  setenv("XDG_DATA_HOME", "not/absolute", 1);
  std::string fallback = get_appdata_path().c_str();
  EXPECT_EQ(fallback.front(), '/');
  EXPECT_EQ(fallback.back(), '/');
  EXPECT_EQ(fallback.find("not/absolute"), std::string::npos);
  if (old) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

TEST_F(Paths, FileTimeAndCaseInsensitiveLookup)
{
  fs::create_directories(dir / "Data" / "Tex");
  std::string real = (dir / "Data" / "Tex" / "Rock.DDS").string();
  std::ofstream(real) << "x";

  EXPECT_EQ(get_file_time((dir / "missing").c_str()), 0);
  EXPECT_EQ(get_file_time(nullptr), 0);
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(get_file_time(real.c_str()), int64_t(st.st_mtime));

  struct Row { std::string in, out; };
  const Row rows[] = {
      {real, real},
      {(dir / "data" / "tex" / "rock.dds").string(), real},
      {(dir / "DATA" / "Tex" / "ROCK.dds").string(), real},
      {(dir / "data" / "tex").string() + "/", (dir / "Data" / "Tex").string() + "/"},
      // no match: unchanged, so the caller's error names what it asked for
      {(dir / "data" / "tex" / "sand.dds").string(), (dir / "data" / "tex" / "sand.dds").string()},
      {(dir / "nope" / "rock.dds").string(), (dir / "nope" / "rock.dds").string()},
  };
  for (const Row& r : rows) EXPECT_STREQ(find_file_nocase(r.in.c_str()).c_str(), r.out.c_str()) << r.in;
}
