// A private folder for one test: made under $TMPDIR (else /tmp) with a
// unique name, removed with everything in it when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

// The folder for temporary files: $TMPDIR when set, else /tmp.
inline std::string test_temp_root()
{
  const char* tmp = getenv("TMPDIR");
  return tmp && tmp[0] ? std::string(tmp) : std::string("/tmp");
}

// A new folder "<root>/qm_<name>_XXXXXX"; empty (and a test failure) when it
// cannot be made.
inline std::string make_test_dir(const char* name)
{
  std::string pattern = test_temp_root() + "/qm_" + name + "_XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    ADD_FAILURE() << "cannot make a folder like " << pattern;
    return std::string();
  }
  return std::string(buf.data());
}

inline void remove_test_dir(const std::string& dir)
{
  if (dir.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

struct TestDir
{
  std::string path;
  explicit TestDir(const char* name) : path(make_test_dir(name)) {}
  ~TestDir() { remove_test_dir(path); }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;
};
