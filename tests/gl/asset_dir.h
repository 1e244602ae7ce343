// A throw-away program folder for renderer tests: the shipped shader files of
// the repository's data/ linked in, app_path pointing at it while it is open,
// so the modules under test find their files as the game does.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/paths.h"

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
    char tmpl[] = "/tmp/qm_assets_XXXXXX";
    dir = mkdtemp(tmpl);
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
