// The settings screen's options: loading with defaults and damaged values,
// saving into the store the game reads, the view, and the commands.
#include "launcher_fixture.h"
#include "launcher/settings.h"

#include <fstream>
#include <string>

namespace
{

std::string events;   // what the fake actions were asked to do, in order

bool fake_start()
{
  events += "start;";
  return true;
}
void fake_exit(int code) { events += "exit " + std::to_string(code) + ";"; }
void fake_open(const char* url) { events += std::string("open ") + url + ";"; }

class Settings : public TempConfig
{
protected:
  GuiBox* root = nullptr;

  void SetUp() override
  {
    TempConfig::SetUp();
    reset_settings();
    font_line_height = 8;
    register_gui_behaviours();
    launcher_actions = {fake_start, fake_exit, fake_open};
    events.clear();
  }
  void TearDown() override
  {
    if (root) {
      root->destroy();
      delete root;
    }
    launcher_actions = {nullptr, nullptr, nullptr};
    TempConfig::TearDown();
  }
  void build()
  {
    root = build_launcher_screen();
    update_settings_view();
    root->addHandler(&launcher_handler, -1);
  }
  uint32_t normal_face(int id) { return root->findById(id)->findByName(".normal")->background; }
  uint32_t pressed_face(int id) { return root->findById(id)->findByName(".pressed")->background; }
  bool lit(int id) { return normal_face(id) == 0xffaa4411; }
  GuiBox* row(const char* name) { return root->findByName(name); }
  void command(int id)
  {
    GuiCommandEvent ev(id, root->findById(id), 1);
    send_gui_event(ev, root->findById(id), GUI_SEND_BUBBLE, nullptr);
  }
  int stored_int(const char* name)
  {
    int v = -12345;
    get_config_int(name, &v);
    return v;
  }
  std::string stored_str(const char* name)
  {
    char buf[64] = "";
    get_config_str(name, buf, sizeof(buf));
    return buf;
  }
};

TEST_F(Settings, NothingStoredGivesTheDefaultsAndTheScreenShowsThem)
{
  load_settings();
  EXPECT_FALSE(opt_fullscreen);
  EXPECT_FALSE(opt_antialiasing);
  EXPECT_TRUE(opt_vsync);
  EXPECT_TRUE(opt_object_shadows);
  EXPECT_EQ(opt_land_shadows, 2);
  EXPECT_EQ(opt_gfx_quality, 1);
  build();
  struct Case { int id; bool lit; } cases[] = {
      {CMD_FULLSCREEN, false}, {CMD_ANTIALIASING, false}, {CMD_VSYNC, true}, {CMD_OBJECT_SHADOWS, true},
      {CMD_LAND_SHADOWS_0, false}, {CMD_LAND_SHADOWS_0 + 1, false}, {CMD_LAND_SHADOWS_0 + 2, true},
      {CMD_QUALITY_LOW, false}, {CMD_QUALITY_HIGH, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lit(c.id), c.lit) << c.id;
    if (!c.lit) {
      EXPECT_EQ(normal_face(c.id), 0xff000000u) << c.id;
    }
  }
  // A toggle's pressed face shows what a click will make; an option's is always lit.
  EXPECT_EQ(pressed_face(CMD_FULLSCREEN), 0xffee8822u);
  EXPECT_EQ(pressed_face(CMD_VSYNC), 0xff221100u);
  EXPECT_EQ(pressed_face(CMD_QUALITY_HIGH), 0xffee8822u);
  EXPECT_EQ(pressed_face(CMD_LAND_SHADOWS_0), 0xffee8822u);
  EXPECT_FALSE(row("Land shadows")->isHidden());
  EXPECT_FALSE(row("Object shadows")->isHidden());
}

TEST_F(Settings, StoredValuesAreReadAndDamagedOnesKeepTheDefaults)
{
  struct Case
  {
    const char* file;
    bool fullscreen, aa, vsync, obj_shadows;
    int land, quality;
  } cases[] = {
      // Bits 0 and 2 (and 4, the game's own): fullscreen and vsync on.
      {"int flags 21\n", true, false, true, false, 2, 1},
      {"int flags 10\nint land_shadows 0\nstr gfx_quality \"Low\"\n", false, true, false, true, 0, 0},
      // No range check on the level.
      {"int land_shadows 7\n", false, false, true, true, 7, 1},
      {"str gfx_quality \"HIGH\"\n", false, false, true, true, 2, 1},
      // Wrong types, unknown names, an overlong string, unreadable lines.
      {"str flags \"5\"\nstr land_shadows \"1\"\nint gfx_quality 0\n", false, false, true, true, 2, 1},
      {"str gfx_quality \"medium\"\n", false, false, true, true, 2, 1},
      {"int flags\nint land_shadows 1x\n\x01\x02garbage\n", false, false, true, true, 2, 1},
  };
  for (const Case& c : cases) {
    std::filesystem::create_directories(dir / "Quillmere");
    std::ofstream(dir / "Quillmere" / "config") << c.file;
    reset_settings();
    load_settings();
    EXPECT_EQ(opt_fullscreen, c.fullscreen) << c.file;
    EXPECT_EQ(opt_antialiasing, c.aa) << c.file;
    EXPECT_EQ(opt_vsync, c.vsync) << c.file;
    EXPECT_EQ(opt_object_shadows, c.obj_shadows) << c.file;
    EXPECT_EQ(opt_land_shadows, c.land) << c.file;
    EXPECT_EQ(opt_gfx_quality, c.quality) << c.file;
  }
}

TEST_F(Settings, SavingWritesTheThreeValuesAndLoadingReadsThemBack)
{
  opt_fullscreen = true;
  opt_antialiasing = true;
  opt_vsync = false;
  opt_object_shadows = false;
  opt_land_shadows = 1;
  opt_gfx_quality = 0;
  save_settings();
  EXPECT_EQ(stored_int("flags"), 3);
  EXPECT_EQ(stored_int("land_shadows"), 1);
  EXPECT_EQ(stored_str("gfx_quality"), "low");
  reset_settings();
  load_settings();
  EXPECT_TRUE(opt_fullscreen && opt_antialiasing && !opt_vsync && !opt_object_shadows);
  EXPECT_EQ(opt_land_shadows, 1);
  EXPECT_EQ(opt_gfx_quality, 0);
}

TEST_F(Settings, TheGamesOwnFlagsAndValuesSurviveALauncherSave)
{
  set_config_int("flags", 21);
  set_config_int("music_volume", 5000);
  load_settings();
  // The game sets a bit of its own while the launcher is open.
  set_config_int("flags", 21 | 32);
  opt_fullscreen = false;
  save_settings();
  EXPECT_EQ(stored_int("flags"), 4 | 16 | 32);
  EXPECT_EQ(stored_int("music_volume"), 5000);
}

TEST_F(Settings, LowQualityHidesTheShadowRowsAndQuitStoresItInSmallLetters)
{
  set_config_str("gfx_quality", "Low", -1);
  set_config_int("land_shadows", 7);
  load_settings();
  build();
  EXPECT_TRUE(row("Land shadows")->isHidden());
  EXPECT_TRUE(row("Object shadows")->isHidden());
  for (int id = CMD_LAND_SHADOWS_0; id < CMD_LAND_SHADOWS_0 + 3; ++id) EXPECT_FALSE(lit(id)) << id;
  EXPECT_TRUE(lit(CMD_QUALITY_LOW));
  command(CMD_QUIT);
  EXPECT_EQ(events, "exit 0;");
  EXPECT_EQ(stored_str("gfx_quality"), "low");
  EXPECT_EQ(stored_int("land_shadows"), 7);
  EXPECT_EQ(stored_int("flags"), 4 | 8);
  // Back to high shows the rows again.
  command(CMD_QUALITY_HIGH);
  EXPECT_FALSE(row("Land shadows")->isHidden());
  EXPECT_TRUE(lit(CMD_QUALITY_HIGH));
  EXPECT_FALSE(lit(CMD_QUALITY_LOW));
}

TEST_F(Settings, TogglesFlipAndOptionsSelectAndNothingIsStoredUntilStartOrQuit)
{
  build();
  command(CMD_FULLSCREEN);
  EXPECT_TRUE(opt_fullscreen);
  EXPECT_TRUE(lit(CMD_FULLSCREEN));
  EXPECT_EQ(pressed_face(CMD_FULLSCREEN), 0xff221100u);
  command(CMD_FULLSCREEN);
  EXPECT_FALSE(opt_fullscreen);
  for (int id : {CMD_ANTIALIASING, CMD_VSYNC, CMD_OBJECT_SHADOWS}) command(id);
  EXPECT_TRUE(opt_antialiasing);
  EXPECT_FALSE(opt_vsync);
  EXPECT_FALSE(opt_object_shadows);
  command(CMD_LAND_SHADOWS_0 + 1);
  command(CMD_LAND_SHADOWS_0 + 1);   // a selected option stays selected
  EXPECT_EQ(opt_land_shadows, 1);
  EXPECT_TRUE(lit(CMD_LAND_SHADOWS_0 + 1));
  EXPECT_FALSE(lit(CMD_LAND_SHADOWS_0 + 2));
  command(CMD_QUALITY_LOW);
  EXPECT_EQ(opt_gfx_quality, 0);
  EXPECT_EQ(stored_int("flags"), -12345);
  EXPECT_EQ(events, "");
  command(CMD_VISIT_SITE);
  EXPECT_EQ(events.rfind("open https://", 0), 0u) << events;
  events.clear();
  command(CMD_START);
  EXPECT_EQ(events, "start;exit 0;");
  EXPECT_EQ(stored_int("flags"), 2);
  EXPECT_EQ(stored_int("land_shadows"), 1);
  EXPECT_EQ(stored_str("gfx_quality"), "low");
}

TEST_F(Settings, TheScreenHasItsRowsInOrderAndItsButtons)
{
  build();
  EXPECT_STREQ(root->name, "root");
  EXPECT_EQ(root->background, 0xff222222u);
  struct Case { const char* row; float top; int first_id, squares; } cases[] = {
      {"Fullscreen", 6.5f, 4, 1}, {"VSync", 9, 6, 1}, {"Graphics quality", 11.5f, 11, 2},
      {"Anti-aliasing", 14, 5, 1}, {"Land shadows", 16.5f, 8, 3}, {"Object shadows", 19, 7, 1},
  };
  for (const Case& c : cases) {
    GuiBox* r = row(c.row);
    ASSERT_NE(r, nullptr) << c.row;
    EXPECT_FLOAT_EQ(r->marginLen[GUI_TOP].value, c.top);
    for (int k = 0; k < c.squares; ++k) {
      GuiBox* sq = r->findById(c.first_id + k);
      ASSERT_NE(sq, nullptr) << c.row << k;
      EXPECT_FLOAT_EQ(sq->marginLen[GUI_RIGHT].value, -2.5f * float(k));
    }
  }
  struct Button { int id; const char* text; int scale; } buttons[] = {
      {CMD_START, "Start", 3}, {CMD_QUIT, "Quit", 3}, {CMD_VISIT_SITE, "Visit site", 2},
  };
  for (const Button& b : buttons) {
    GuiBox* face = root->findById(b.id)->findByName(".pressed");
    EXPECT_STREQ(face->text, b.text);
    EXPECT_EQ(face->textScale, b.scale);
    EXPECT_EQ(face->offsetX.mode, GUI_LEN_UNITS);
    EXPECT_FLOAT_EQ(face->offsetX.value, 1.f / 8);   // one px-unit
  }
}

}  // namespace
