// Replays fuzz inputs through a target's LLVMFuzzerTestOneInput: every file
// named on the command line, and every file in the folders named. Used by
// the ordinary test run, so the corpus and the inputs that once failed stay
// covered without clang. Fails when no input was found.
#include "fuzz/fuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool replay(const fs::path& p)
{
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput((const uint8_t*)bytes.data(), bytes.size());
  return true;
}

int main(int argc, char** argv)
{
  int count = 0;
  for (int i = 1; i < argc; i++) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& e : fs::recursive_directory_iterator(argv[i], ec))
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (const fs::path& f : files) count += replay(f);
    } else if (fs::exists(argv[i], ec)) {
      count += replay(argv[i]);
    }
  }
  printf("replayed %d inputs\n", count);
  return count > 0 ? 0 : 1;
}
