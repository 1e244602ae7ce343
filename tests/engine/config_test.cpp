// The configuration store (typed values in a file, written atomically) and
// the start-up settings read from it and from the command line.
#include <gtest/gtest.h>

#include "engine/config.h"
#include "engine/priority.h"

#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "support/test_dir.h"

namespace fs = std::filesystem;

class ConfigStore : public testing::Test
{
protected:
  fs::path dir;
  std::string file;

  void SetUp() override
  {
    dir = make_test_dir("config");
    file = (dir / "Quillmere" / "config").string();
    set_config_path(file.c_str());
    // The settings the reader leaves alone start from their initial values.
    use_obj_shadows = true;
    left_handed = false;
    land_shadow_quality = 2;
    gfx_quality = 1;
  }
  void TearDown() override
  {
    set_config_path(nullptr);
    fs::remove_all(dir);
  }

  void write_file(const std::string& text)
  {
    fs::create_directories(dir / "Quillmere");
    std::ofstream(file, std::ios::binary) << text;
  }

  static void read_args(std::vector<const char*> args)
  {
    args.insert(args.begin(), "game");
    read_app_config(int(args.size()), const_cast<char**>(args.data()));
  }
};

TEST_F(ConfigStore, NoStoreGivesDefaults)
{
  // Leftovers from an earlier reading must be reset.
  config_fullscreen = use_ppaa = invert_mouse_y = use_scene_msaa = true;
  app_use_vsync = skip_scene_rt = false;
  app_screen_wd = app_screen_ht = 99;
  read_args({});
  EXPECT_FALSE(config_fullscreen);
  EXPECT_EQ(app_screen_wd, 0);   // below 1: a maximised window
  EXPECT_EQ(app_screen_ht, 0);
  EXPECT_TRUE(app_use_vsync);
  EXPECT_FALSE(use_ppaa);
  EXPECT_TRUE(use_obj_shadows);
  EXPECT_FALSE(left_handed);
  EXPECT_EQ(land_shadow_quality, 2);
  EXPECT_FALSE(invert_mouse_y);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_STREQ(gfx_quality_name[gfx_quality], "high");
  EXPECT_EQ(gfx_quality_name[2], nullptr);
  EXPECT_EQ(get_process_priority(), 0);
  EXPECT_FALSE(use_scene_msaa);
  EXPECT_TRUE(skip_scene_rt);
  EXPECT_FALSE(fs::exists(file));   // reading never creates the store
}

TEST_F(ConfigStore, FlagsBitsAndStoredValues)
{
  struct Row { int flags; bool fullscreen, ppaa, vsync, obj_shadows, left; };
  const Row rows[] = {
      {0, false, false, false, false, false},
      {31, true, true, true, true, true},
      {1, true, false, false, false, false},
      {2, false, true, false, false, false},
      {4 | 16, false, false, true, false, true},
      {8 | 32, false, false, false, true, false},   // unknown bits are ignored
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.flags);
    invert_mouse_y = true;
    ASSERT_TRUE(set_config_int("flags", r.flags));
    read_args({});
    EXPECT_EQ(config_fullscreen, r.fullscreen);
    EXPECT_EQ(use_ppaa, r.ppaa);
    EXPECT_EQ(app_use_vsync, r.vsync);
    EXPECT_EQ(use_obj_shadows, r.obj_shadows);
    EXPECT_EQ(left_handed, r.left);
    EXPECT_FALSE(invert_mouse_y);   // "invert_mouse_y" missing
  }

  set_config_int("screen_wd", 1600);
  set_config_int("screen_ht", 900);
  set_config_int("land_shadows", 0);
  set_config_int("invert_mouse_y", 7);
  read_args({});
  EXPECT_EQ(app_screen_wd, 1600);
  EXPECT_EQ(app_screen_ht, 900);
  EXPECT_EQ(land_shadow_quality, 0);
  EXPECT_TRUE(invert_mouse_y);
}

TEST_F(ConfigStore, GraphicsQualityByNameWithoutCase)
{
  struct Row { const char* stored; int before, after; };
  const Row rows[] = {
      {"LOW", 1, 0},
      {"High", 0, 1},
      {"medium", 1, 1},   // not a known name: unchanged
      {"medium", 0, 0},
      {"", 1, 1},
      {"low ", 1, 1},
      {"lowlowlowlowlowlowlowlowlowlowlowlow", 1, 1},   // longer than 31: the read fails
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.stored);
    set_config_str("gfx_quality", r.stored, -1);
    gfx_quality = r.before;
    read_args({});
    EXPECT_EQ(gfx_quality, r.after);
  }
  // Stored as an integer: the wrong type, so unchanged.
  set_config_int("gfx_quality", 0);
  gfx_quality = 1;
  read_args({});
  EXPECT_EQ(gfx_quality, 1);
}

TEST_F(ConfigStore, CommandLineSwitches)
{
  set_config_int("flags", 1 | 2 | 4);   // fullscreen, anti-aliasing, vsync
  struct Row { std::vector<const char*> args; int wd, ht; bool fullscreen, ppaa, vsync; int quality; };
  const Row rows[] = {
      {{}, 0, 0, true, true, true, 1},
      {{"-720"}, 1280, 720, true, true, true, 1},
      {{"-360"}, 640, 360, true, true, true, 1},
      {{"-720", "-1024"}, 1280, 1024, true, true, true, 1},   // later wins
      {{"-win"}, 0, 0, false, true, true, 1},
      {{"-win", "-fullscr"}, 0, 0, true, true, true, 1},
      {{"-noaa", "-novs"}, 0, 0, true, false, false, 1},
      {{"-novs", "-vs", "-noaa", "-aa"}, 0, 0, true, true, true, 1},
      {{"-gfx-low"}, 0, 0, true, true, true, 0},
      {{"-gfx-low", "-gfx-high"}, 0, 0, true, true, true, 1},
      // Case-sensitive and exact; anything else is ignored.
      {{"-WIN", "-Win", "-win2", "win", "-720x", "", "--win"}, 0, 0, true, true, true, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args.empty() ? "(none)" : r.args[0]);
    gfx_quality = 1;
    read_args(r.args);
    EXPECT_EQ(app_screen_wd, r.wd);
    EXPECT_EQ(app_screen_ht, r.ht);
    EXPECT_EQ(config_fullscreen, r.fullscreen);
    EXPECT_EQ(use_ppaa, r.ppaa);
    EXPECT_EQ(app_use_vsync, r.vsync);
    EXPECT_EQ(gfx_quality, r.quality);
  }
  // Switches written in capitals leave the stored state alone.
  set_config_int("flags", 0);
  read_args({"-FULLSCR"});
  EXPECT_FALSE(config_fullscreen);
}

TEST_F(ConfigStore, ValuesKeepTypeAndBytes)
{
  const char bytes[] = "a\0b\"c\\d\ne\xff \x7f";
  const int n = sizeof(bytes) - 1;
  ASSERT_TRUE(set_config_str("odd name \"x\"", bytes, n));
  ASSERT_TRUE(set_config_int("number", -123456789));
  ASSERT_TRUE(set_config_int("Other", 5));

  int type = 0, size = 64;
  char buf[64];
  ASSERT_TRUE(read_config_value("odd name \"x\"", &type, buf, &size));
  EXPECT_EQ(type, CONFIG_TYPE_STR);
  ASSERT_EQ(size, n);
  EXPECT_EQ(std::string(buf, size), std::string(bytes, n));

  int v = 0;
  EXPECT_TRUE(get_config_int("number", &v));
  EXPECT_EQ(v, -123456789);
  EXPECT_TRUE(get_config_int("OTHER", &v));   // names ignore case, as before
  EXPECT_EQ(v, 5);

  // The wrong type reads as missing and leaves the caller's value alone.
  v = 42;
  EXPECT_FALSE(get_config_int("odd name \"x\"", &v));
  EXPECT_EQ(v, 42);
  EXPECT_FALSE(get_config_int("missing", &v));
  EXPECT_EQ(v, 42);
  EXPECT_FALSE(get_config_str("number", buf, sizeof(buf)));

  // Rewriting a value may change its type.
  ASSERT_TRUE(set_config_str("number", "12", -1));
  EXPECT_FALSE(get_config_int("number", &v));
  EXPECT_TRUE(get_config_str("number", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "12");
}

TEST_F(ConfigStore, StringLongerThanTheBufferFailsWithoutWriting)
{
  set_config_str("name", "abcdefgh", -1);
  struct Row { int size; bool ok; };
  const Row rows[] = {{8, false}, {1, false}, {0, false}, {9, true}, {20, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.size);
    char buf[32];
    memset(buf, 'Z', sizeof(buf));
    EXPECT_EQ(get_config_str("name", buf, r.size), r.ok);
    if (r.ok) {
      EXPECT_STREQ(buf, "abcdefgh");
      EXPECT_EQ(buf[9], 'Z');
    } else {
      for (char c : buf) ASSERT_EQ(c, 'Z');
    }
  }
  // The primitive reports the size it would need.
  int type = 0, size = 4;
  char small[4];
  EXPECT_FALSE(read_config_value("name", &type, small, &size));
  EXPECT_EQ(size, 8);
}

TEST_F(ConfigStore, DamagedFileGivesDefaultsAndKeepsGoodLines)
{
  const std::string damaged[] = {
      std::string("\x00\x01\xfe garbage\n\xff\xff\n", 16),
      "int flags\n",
      "int flags 99999999999\n",
      "int flags 3x\n",
      "str flags \"31\"\n",                 // wrong type for "flags"
      "str gfx_quality \"low\n",            // unterminated
      "str gfx_quality \"l\\q\"\n",         // bad escape
      "str gfx_quality \"\\x4\"\n",
      "flt screen_wd 1.5\n",
  };
  for (const std::string& text : damaged) {
    SCOPED_TRACE(text);
    write_file(text);
    gfx_quality = 1;
    read_args({});
    EXPECT_FALSE(config_fullscreen);
    EXPECT_TRUE(app_use_vsync);
    EXPECT_FALSE(use_ppaa);
    EXPECT_EQ(gfx_quality, 1);
    EXPECT_EQ(app_screen_wd, 0);
  }

  write_file("# comment\n\nint screen_wd 800\r\nthis is not a value\n  int screen_ht   600  \nstr gfx_quality \"low\"\n");
  read_args({});
  EXPECT_EQ(app_screen_wd, 800);
  EXPECT_EQ(app_screen_ht, 600);
  EXPECT_EQ(gfx_quality, 0);

  // Writing over a damaged file gives a clean one with the good values kept.
  ASSERT_TRUE(set_config_int("flags", 4));
  int v = 0;
  EXPECT_TRUE(get_config_int("screen_wd", &v));
  EXPECT_EQ(v, 800);
  std::ifstream in(file);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all.find("this is not"), std::string::npos);
}

TEST_F(ConfigStore, WritesAreAtomicAndKeepOtherValues)
{
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(set_config_int(("v" + std::to_string(i)).c_str(), i));
  ASSERT_TRUE(set_config_int("v2", 20));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir / "Quillmere")) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"config"});
  for (int i = 0; i < 5; ++i) {
    int v = -1;
    EXPECT_TRUE(get_config_int(("v" + std::to_string(i)).c_str(), &v));
    EXPECT_EQ(v, i == 2 ? 20 : i);
  }
}

TEST_F(ConfigStore, UnwritableStoreReportsFailure)
{
  std::ofstream(dir / "file") << "x";
  set_config_path((dir / "file" / "config").string().c_str());
  EXPECT_FALSE(set_config_int("flags", 1));
  EXPECT_FALSE(set_config_str("name", "x", -1));
  int v = 3;
  EXPECT_FALSE(get_config_int("flags", &v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(write_config_value("flags", CONFIG_TYPE_INT, &v, 2));   // integers are 4 bytes
}

TEST_F(ConfigStore, DefaultLocationFollowsXdgConfigHome)
{
  set_config_path(nullptr);
  const char* old = getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  EXPECT_EQ(std::string(get_config_path()), (dir / "Quillmere" / "config").string());
  ASSERT_TRUE(set_config_int("flags", 2));
  EXPECT_TRUE(fs::exists(dir / "Quillmere" / "config"));
  setenv("XDG_CONFIG_HOME", "relative/path", 1);   // not absolute: ignored
  EXPECT_EQ(std::string(get_config_path()).find("relative"), std::string::npos);
  if (old) {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

TEST_F(ConfigStore, FullSizeFileReadsQuickly)
{
  // Tens of thousands of distinct names, just under the size limit: reading
  // must stay linear in the number of names (start-up stalled for a minute
  // with a name-by-name search).
  std::string text;
  int n = 0;
  while (text.size() < (1u << 20) - 64) text += "int name_" + std::to_string(n++) + " 7\n";
  text += "int flags 1\nint Name_5 9\n";
  write_file(text);
  // Processor time, so that a busy machine does not fail the test.
  auto cpu_ms = [] {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) * 1e-6;
  };
  double start = cpu_ms();
  read_args({});
  double ms = cpu_ms() - start;
  EXPECT_TRUE(config_fullscreen);
  int v = 0;
  EXPECT_TRUE(get_config_int("name_5", &v));
  EXPECT_EQ(v, 9);   // names compare without case; the later line wins
  EXPECT_TRUE(get_config_int("name_1000", &v));
  EXPECT_EQ(v, 7);
#if defined(__SANITIZE_ADDRESS__)
  const double limit_ms = 2000;   // instrumented build
#else
  const double limit_ms = 100;
#endif
  EXPECT_LT(ms, limit_ms) << n << " names";
  printf("read %d names in %.1f ms of processor time\n", n, ms);
}
