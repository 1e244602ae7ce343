// Shared fixtures of the launcher's tests: a private configuration file, and
// a small font picture with known glyph sizes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include "support/test_dir.h"
#include <string>
#include <vector>

#include "engine/config.h"
#include "engine/tga.h"

// The engine's input layer clamps pointer positions to this rectangle.
extern int d3d_wd, d3d_ht;

// A temporary folder that holds the configuration file for one test.
class TempConfig : public testing::Test
{
protected:
  std::filesystem::path dir;

  void SetUp() override
  {
    dir = make_test_dir("launcher");
    set_config_path((dir / "Quillmere" / "config").c_str());
  }
  void TearDown() override
  {
    set_config_path(nullptr);
    std::filesystem::remove_all(dir);
  }
};

// Writes a font picture of 16 x 16 cells of cw x ch pixels: 'A' has white
// ink of full alpha in columns 1-4 of its cell (4 wide), '.' in column 2
// (1 wide), '#' in columns 0-2 with alpha 128 and grey 0x80; every other
// cell is empty. Returns the file's path.
inline std::string write_test_font(const std::filesystem::path& folder, int cw = 8, int ch = 8)
{
  const int w = cw * 16, h = ch * 16;
  std::vector<uint32_t> px(size_t(w) * h, 0);   // top row first
  auto ink = [&](int c, int x0, int x1, uint32_t color) {
    int cx = (c % 16) * cw, cy = (c / 16) * ch;
    for (int y = cy; y < cy + ch; ++y)
      for (int x = cx + x0; x < cx + x1; ++x) px[size_t(y) * w + x] = color;
  };
  ink('A', 1, 5, 0xffffffff);
  ink('.', 2, 3, 0xffffffff);
  ink('#', 0, 3, 0x80808080);
  std::string path = (folder / "font.tga").string();
  EXPECT_TRUE(save_tga(path.c_str(), px.data(), w, h, w * 4));
  return path;
}
