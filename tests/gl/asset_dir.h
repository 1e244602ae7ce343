// A throw-away program folder for renderer tests: the shipped shader files of
// the repository's data/ linked in, app_path pointing at it while it is open,
// so the modules under test find their files as the game does.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/paths.h"
#include "support/test_dir.h"

struct TempAppDir
{
  std::string dir;
  char saved[260] = {0};

  static std::string repo_root()
  {
    return QM_SOURCE_DIR;
  }

  void open()
  {
    dir = make_test_dir("assets");
    namespace fs = std::filesystem;
    for (const auto& e : fs::directory_iterator(repo_root() + "/data")) {
      std::string ext = e.path().extension().string();
      if (ext == ".sh" || ext == ".glsl") fs::create_symlink(e.path(), dir + "/" + e.path().filename().string());
    }
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  }

  void close()
  {
    memcpy(app_path, saved, sizeof(saved));
    std::filesystem::remove_all(dir);
  }

  std::string path(const std::string& name) const { return dir + "/" + name; }
};

// A one-level A8R8G8B8 DDS file of one colour, the stand-in for a texture
// file; false when it cannot be written.
inline bool write_flat_dds(const char* path, int size, uint32_t argb)
{
  uint32_t h[32] = {0};
  h[0] = 0x20534444;                      // "DDS "
  h[1] = 124;                             // header size
  h[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000;  // caps, height, width, pitch, pixel format
  h[3] = h[4] = uint32_t(size);
  h[5] = uint32_t(size * 4);
  h[7] = 1;            // levels
  h[19] = 32;          // pixel format size
  h[20] = 0x40 | 0x1;  // RGB with alpha
  h[22] = 32;
  h[23] = 0x00FF0000;
  h[24] = 0x0000FF00;
  h[25] = 0x000000FF;
  h[26] = 0xFF000000;
  h[27] = 0x1000;  // texture
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  std::vector<uint32_t> px(size_t(size) * size, argb);
  bool ok = fwrite(h, 4, 32, f) == 32 && fwrite(px.data(), 4, px.size(), f) == px.size();
  return fclose(f) == 0 && ok;
}
