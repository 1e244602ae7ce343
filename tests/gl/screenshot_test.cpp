// Screenshots on a real device: the PNG written for a presented frame holds
// exactly the frame's pixels (opaque), and a missing "shots" folder only
// costs the file.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/gl.h"
#include "engine/screenshot.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace fs = std::filesystem;

class ScreenshotTest : public GlDeviceTest
{
 protected:
  TempAppDir assets;
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    assets.open();
  }
  void TearDown() override { assets.close(); }

  // Rectangles of colour, some with alpha below 1, so rows, columns and
  // channel order all show.
  static void draw_pattern()
  {
    set_back_buffer_target();
    clear_view(0x80102030u);
    struct R
    {
      int x, y, w, h;
      float r, g, b, a;
    };
    const R rects[] = {{0, 0, 10, 5, 1, 0, 0, 1}, {50, 40, 14, 8, 0, 1, 0, 0.5f}, {20, 10, 3, 30, 0, 0, 1, 0}};
    glEnable(GL_SCISSOR_TEST);
    for (const R& r : rects) {
      glScissor(r.x, r.y, r.w, r.h);
      glClearColor(r.r, r.g, r.b, r.a);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
  }

  std::vector<std::string> shots() const
  {
    std::vector<std::string> out;
    if (fs::exists(assets.path("shots")))
      for (const auto& e : fs::directory_iterator(assets.path("shots"))) out.push_back(e.path().string());
    return out;
  }
};

TEST_F(ScreenshotTest, PngHoldsThePresentedFrame)
{
  mkdir(assets.path("shots").c_str(), 0755);
  draw_pattern();
  present_frame();
  take_screenshot();
  std::vector<std::string> files = shots();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::path(files[0]).filename().string().rfind("shot", 0), 0u);

  int w = 0, h = 0, n = 0;
  unsigned char* png = stbi_load(files[0].c_str(), &w, &h, &n, 4);
  ASSERT_NE(png, nullptr);
  ASSERT_EQ(w, WIDTH);
  ASSERT_EQ(h, HEIGHT);
  int cw = 0, ch = 0, pitch = 0;
  const uint8_t* frame = capture_front_buffer(&cw, &ch, &pitch);
  ASSERT_NE(frame, nullptr);
  int mismatches = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* f = frame + y * pitch + x * 4;  // B, G, R, A
      const uint8_t* p = png + (y * w + x) * 4;      // R, G, B, A
      if (p[0] != f[2] || p[1] != f[1] || p[2] != f[0] || p[3] != 255) ++mismatches;
    }
  release_front_buffer_capture();
  stbi_image_free(png);
  EXPECT_EQ(mismatches, 0);
}

TEST_F(ScreenshotTest, MissingFolderOnlyCostsTheFile)
{
  draw_pattern();
  present_frame();
  take_screenshot();
  EXPECT_TRUE(shots().empty());
  EXPECT_FALSE(write_png_file("shots/x.png", 1, 1, 4, "\1\2\3\4", 4));
}
