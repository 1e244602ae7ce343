#include "fuzz/fuzzSupport.h"

#include "scripting/sqbind.h"

#include "engine/paths.h"

#include <sqstdmath.h>
#include <sqstdstring.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace
{
struct FuzzDir
{
  std::string path;
  FuzzDir()
  {
    const char* tmp = getenv("TMPDIR");
    std::string t = (tmp && *tmp ? tmp : "/tmp") + std::string("/qm_fuzz_XXXXXX");
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back(0);
    if (mkdtemp(buf.data())) path = buf.data();
  }
  ~FuzzDir()
  {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
};
}  // namespace

const std::string& fuzz_dir()
{
  static FuzzDir dir;
  return dir.path;
}

std::string fuzz_write(const char* name, const uint8_t* data, size_t size)
{
  std::string p = fuzz_dir() + "/" + name;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(p).parent_path(), ec);
  FILE* f = fopen(p.c_str(), "wb");
  if (f) {
    if (size) fwrite(data, 1, size, f);
    fclose(f);
  }
  return p;
}

void fuzz_use_dir_as_program_folder() { snprintf(app_path, sizeof(app_path), "%s/", fuzz_dir().c_str()); }

void fuzz_quiet_print(HSQUIRRELVM, const SQChar*, ...) {}

HSQUIRRELVM fuzz_vm()
{
  static HSQUIRRELVM vm = [] {
    HSQUIRRELVM v = open_script_vm(1024);
    sq_setprintfunc(v, fuzz_quiet_print, fuzz_quiet_print);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_poptop(v);
    return v;
  }();
  return vm;
}
