#include "fuzz/fuzzSupport.h"

#include "scripting/sqbind.h"

#include "engine/paths.h"
#include "engine/streams.h"
#include "world/heightmapData.h"

#include <sqstdmath.h>
#include <sqstdstring.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
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
  // Plain system calls: a stdio stream would allocate its buffer for every
  // input. The folder is made only when it is missing.
  std::string p = fuzz_dir() + "/" + name;
  int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 && errno == ENOENT) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path(), ec);
    fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  if (fd < 0) return p;
  for (size_t done = 0; done < size;) {
    ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  close(fd);
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

FuzzPatcher::FuzzPatcher(std::vector<uint8_t> base_) : base(std::move(base_)), block(base), last_size(base.size())
{
  block.resize(base.size() + 65, 0);
}

const uint8_t* FuzzPatcher::apply(const uint8_t* data, size_t size, size_t& out_size)
{
  changes = touched;
  for (const auto& t : touched) {
    size_t from_base = t.first < base.size() ? std::min(t.second, base.size() - t.first) : 0;
    if (from_base) memcpy(block.data() + t.first, base.data() + t.first, from_base);
    if (from_base < t.second) memset(block.data() + t.first + from_base, 0, t.second - from_base);
  }
  touched.clear();

  out_size = base.size();
  size_t pos = 0;
  auto u32 = [&](uint32_t& v) {
    if (size - pos < 4) return false;
    memcpy(&v, data + pos, 4);
    pos += 4;
    return true;
  };
  if (size > 0 && data[pos++] == 0xFF) {
    uint32_t n = 0;
    if (u32(n)) out_size = n % (base.size() + 65);
  }
  uint32_t offset = 0;
  while (pos < size && u32(offset) && pos < size) {
    size_t n = data[pos++];
    if (n > size - pos) n = size - pos;
    if (out_size) {
      size_t at = offset % out_size;
      size_t fit = std::min(n, out_size - at);
      memcpy(block.data() + at, data + pos, fit);
      touched.emplace_back(at, fit);
    }
    pos += n;
  }
  changes.insert(changes.end(), touched.begin(), touched.end());
  size_changed = out_size != last_size;
  last_size = out_size;
  return block.data();
}

std::vector<uint8_t> fuzz_world_block()
{
  using namespace HeightmapData;
  for (int i = 0; i < HMAP_CELLS; i++) {
    int x = i & 255, z = i >> 8;
    hmap[i] = float((x * 7 + z * 3) % 61) * 0.5f - 10.f;
    target_hmap[i] = hmap[i] + float(x % 3);
    uint32_t ground = (x / 16 + z / 16) % 4 == 0 ? uint32_t(GT_HOUSE) | (uint32_t(i % 19) << SURF_MATERIAL_SHIFT)
                                                 : uint32_t(GT_ROCK + i % 3);
    surface[i] = {0xFF000000u | uint32_t(i * 2654435761u >> 8), uint32_t(i * 40503u), ground};
    float depth = hmap[i] < 0.f ? -hmap[i] * 0.1f : 0.f;
    water[z][x] = {depth, 0.01f * float(x % 5), -0.02f * float(z % 3), depth > 0.5f ? 0.25f : 0.f};
  }
  MemoryOutputBuffer out;
  saveWorldData(out);
  return std::vector<uint8_t>((const uint8_t*)out.bytes.data, (const uint8_t*)out.bytes.data + out.bytes.num);
}
