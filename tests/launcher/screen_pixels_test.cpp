// The whole settings screen drawn into the screen buffer, as the window shows
// it, compared pixel for pixel with pictures kept in tests/launcher/ref/
// (drawing is integer work on the processor, so the pictures are exact).
// QM_UPDATE_REFS=1 writes the pictures instead of comparing them; a failed
// comparison leaves the picture it got in the temp folder.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "engine/paths.h"
#include "launcher/gui.h"
#include "launcher/launcherApp.h"
#include "launcher/settings.h"
#include "launcher_fixture.h"

namespace
{

class SettingsScreenPixels : public TempConfig
{
protected:
  void SetUp() override
  {
    TempConfig::SetUp();
    // The font the build renders lies beside the programs.
    snprintf(app_path, sizeof(app_path), "%s/", QM_BIN_DIR);
    reset_settings();
    init_launcher();
  }
  void TearDown() override
  {
    close_launcher();
    app_path[0] = 0;
    TempConfig::TearDown();
  }

  // Draws the screen at w x h and compares it with the picture `name`.
  void check(int w, int h, const std::string& name)
  {
    resize_screen_buffer(w, h);
    relayout_launcher_screen();
    paint_launcher_screen(screen_buffer.begin(), w * 4, w, h);
    std::vector<uint8_t> got(size_t(w) * h * 4);
    bool alpha_cleared = true;
    for (int i = 0; i < w * h; ++i) {
      uint32_t p = screen_buffer[i];
      alpha_cleared &= (p >> 24) == 0;
      got[i * 4 + 0] = uint8_t(p >> 16);
      got[i * 4 + 1] = uint8_t(p >> 8);
      got[i * 4 + 2] = uint8_t(p);
      got[i * 4 + 3] = 255;
    }
    EXPECT_TRUE(alpha_cleared);
    const std::string path = std::string(QM_SOURCE_DIR) + "/tests/launcher/ref/" + name;
    const char* update = getenv("QM_UPDATE_REFS");
    if (update && *update && *update != '0') {
      ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 4, got.data(), w * 4)) << path;
      return;
    }
    int rw = 0, rh = 0, n = 0;
    uint8_t* ref = stbi_load(path.c_str(), &rw, &rh, &n, 4);
    ASSERT_NE(ref, nullptr) << path << " is missing: run the test with QM_UPDATE_REFS=1 to make it";
    int differing = 0;
    if (rw == w && rh == h) {
      for (int i = 0; i < w * h * 4; ++i) differing += got[i] != ref[i];
    }
    stbi_image_free(ref);
    EXPECT_EQ(rw, w);
    EXPECT_EQ(rh, h);
    EXPECT_EQ(differing, 0) << "channels that differ from " << name;
    if (testing::Test::HasFailure()) {
      std::string out = std::string(P_tmpdir) + "/qm_got_" + name;
      stbi_write_png(out.c_str(), w, h, 4, got.data(), w * 4);
      ADD_FAILURE() << "the picture drawn is in " << out;
    }
  }
};

TEST_F(SettingsScreenPixels, DefaultsAt640x480MatchTheReference)
{
  check(640, 480, "settings_640x480.png");
}

TEST_F(SettingsScreenPixels, LowQualityAtTwiceTheScaleMatchesTheReference)
{
  // Low quality hides the two shadow rows; the hover look of a button shows.
  GuiCommandEvent ev(CMD_QUALITY_LOW, nullptr, 1);
  launcher_handler.handleEvent(ev, launcher_screen->root, GUI_SEND_BUBBLE);
  GuiBox* start = launcher_screen->root->findById(CMD_START);
  start->findByName(".normal")->flags |= GUI_BOX_HIDDEN;
  start->findByName(".over")->flags &= uint8_t(~GUI_BOX_HIDDEN);
  check(1000, 750, "settings_low_1000x750.png");
}

TEST_F(SettingsScreenPixels, ATinyOrEmptyWindowKeepsAOnePixelBufferAtPixelScaleOne)
{
  struct Case { int w, h, ew, eh; } cases[] = {{0, 0, 1, 1}, {-3, 200, 1, 200}, {1, 1, 1, 1}, {319, 239, 319, 239}};
  for (const Case& c : cases) {
    resize_screen_buffer(c.w, c.h);
    EXPECT_EQ(screen_buffer_wd, c.ew);
    EXPECT_EQ(screen_buffer_ht, c.eh);
    EXPECT_EQ(screen_buffer.size(), c.ew * c.eh);
    relayout_launcher_screen();
    EXPECT_EQ(launcher_screen->pixelScale, 1);
    paint_launcher_screen(screen_buffer.begin(), c.ew * 4, c.ew, c.eh);
  }
}

}  // namespace
