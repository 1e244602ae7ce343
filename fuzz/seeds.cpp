// Writes the binary seed inputs of the fuzz targets with the program's own
// writers (and, for meshes, which nothing in the program writes, with the
// layout the reader expects): seeds <out-dir> makes <out-dir>/<target>/*.
// make_corpus.sh adds the text and texture files that ship with the game.
#include "fuzz/fuzzSupport.h"

#include "scripting/scriptSave.h"
#include "scripting/sqbind.h"

#include "engine/config.h"
#include "engine/dds.h"
#include "engine/d3d_misc.h"
#include "engine/mesh.h"
#include "engine/shaderCache.h"
#include "engine/streams.h"
#include "engine/tga.h"
#include "world/heightmapData.h"

#include "tools/textureImage.h"
#include "tools/toolCommon.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static std::string out_dir;

static void put(const std::string& target, const std::string& name, const void* data, size_t size)
{
  fs::create_directories(out_dir + "/" + target);
  std::ofstream f(out_dir + "/" + target + "/" + name, std::ios::binary);
  f.write((const char*)data, (std::streamsize)size);
}

static void put(const std::string& target, const std::string& name, const MemoryOutputBuffer& b)
{
  put(target, name, b.bytes.data, size_t(b.bytes.num));
}

static void copy_file(const std::string& target, const std::string& name, const std::string& from)
{
  std::ifstream in(from, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  put(target, name, bytes.data(), bytes.size());
}

static void tga_seeds()
{
  const uint32_t px[6] = {0xFF000000, 0xFFFFFFFF, 0x80112233, 0x00FF00FF, 1, 2};
  MemoryOutputBuffer a, b;
  write_tga(a, px, 2, 3, 8);
  write_tga(b, px, 1, 1, 4);
  put("tga", "2x3.tga", a);
  put("tga", "1x1.tga", b);
}

// Patches over the harness's own valid block (FuzzPatcher): the block as it
// is, cut in the middle, a height that is not a number and a house tile of a
// material that does not exist.
static void world_seeds()
{
  auto patch = [](uint32_t offset, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> p = {0};
    for (int k = 0; k < 4; k++) p.push_back(uint8_t(offset >> (8 * k)));
    p.push_back(uint8_t(bytes.size()));
    p.insert(p.end(), bytes.begin(), bytes.end());
    return p;
  };
  std::vector<uint8_t> whole = {0};
  std::vector<uint8_t> cut = {0xFF, 0x00, 0x00, 0x12, 0x00};
  std::vector<uint8_t> nan_height = patch(4 * 300, {0x00, 0x00, 0xC0, 0x7F});
  const uint32_t surface = 2 * 4 * HeightmapData::HMAP_CELLS;
  std::vector<uint8_t> bad_house = patch(surface + 8, {0x00, 0xF8, 0xFF, 0x00});
  put("world_data", "whole", whole.data(), whole.size());
  put("world_data", "cut", cut.data(), cut.size());
  put("world_data", "nan_height", nan_height.data(), nan_height.size());
  put("world_data", "bad_house", bad_house.data(), bad_house.size());
}

// Runs code in vm and returns the value of expr.
static sqbind::SqObject value_of(HSQUIRRELVM vm, const char* code)
{
  sqbind::StackRestore restore(vm);
  std::string src = code;
  compile_script_buffer(vm, src.c_str(), (SQInteger)src.size(), "seeds");
  sq_pushroottable(vm);
  sq_call(vm, 1, SQTrue, SQTrue);
  return sqbind::SqObject::fromStack(vm, -1);
}

static void value_seeds()
{
  HSQUIRRELVM vm = open_script_vm(1024);
  const char* plain[] = {
      "return null;", "return true;", "return \"text\";", "return -123456;", "return 1.5;",
      "return [1, 2.5, \"three\", [null, false], {a = 1}];",
      "return {name = \"sea\", ground = -14663584, list = [1, 2, 3], nested = {deep = {deeper = [1]}}};",
  };
  int i = 0;
  for (const char* code : plain) {
    MemoryOutputBuffer out;
    save_data(value_of(vm, code), out);
    put("plain_values", "v" + std::to_string(i++), out);
  }
  const char* script =
      "class P { </ persistent = true /> name = \"\"; n = 0; function onLoaded() { n++; } }\n"
      "class A { function m() { return 1; } }\n"
      "function f() { return this; }\n";
  value_of(vm, (std::string(script) + "return null;").c_str());
  const char* graphs[] = {
      "local t = {x = 1}; return [t, t, {self = t}];",
      "local p = P(); p.name = \"p\"; return {p = p, again = p, fn = f, m = A.m};",
      "local p = P(); return [p, {q = p, list = [p, 2.0, \"s\"]}];",
  };
  i = 0;
  for (const char* code : graphs) {
    MemoryOutputBuffer out;
    sqbind::SqObject v = value_of(vm, code);
    try {
      save_script_data(v, out);
      save_ref(v, out);
      save_script_refs(out);
    } catch (const OutputStream::Exception& e) {
      fprintf(stderr, "seeds: graph %d not written: %s\n", i, e.message);
      saved_object_list.clear();
      continue;
    }
    put("object_graphs", "g" + std::to_string(i++), out);
  }
  close_script_vm(vm);
}

static void mesh_seed()
{
  std::vector<uint8_t> p;
  auto u8 = [&](unsigned v) { p.push_back(uint8_t(v)); };
  auto u32 = [&](uint32_t v) {
    for (int k = 0; k < 4; k++) p.push_back(uint8_t(v >> (8 * k)));
  };
  auto str = [&](const char* s) {
    u8((unsigned)strlen(s));
    p.insert(p.end(), s, s + strlen(s));
    u8(0);
  };
  str("inst_simple.sh");
  str("inst_simple_dr.sh");
  u8(1);
  str("rock.dds");
  u8(1);
  for (int k = 0; k < 4; k++) u32(0x3F800000);
  VertexElementDesc e = {};
  e.offset = 0;
  e.stream = 0;
  e.type = 3;  // FLOAT3
  u8(1);
  p.insert(p.end(), (const uint8_t*)&e, (const uint8_t*)&e + sizeof(e));
  u32(12);
  u32(3);
  u32(1);
  p.resize(p.size() + 36, 0);
  for (unsigned ix : {0u, 1u, 2u}) {
    u8(ix);
    u8(0);
  }
  std::vector<uint8_t> f;
  for (uint32_t v : {uint32_t(MESH_FILE_VERSION), uint32_t(p.size())})
    for (int k = 0; k < 4; k++) f.push_back(uint8_t(v >> (8 * k)));
  f.insert(f.end(), p.begin(), p.end());
  put("mesh", "triangle.mesh", f.data(), f.size());
}

static void shader_cache_seeds()
{
  std::string path = fuzz_dir() + "/seed.cache";
  DynArray<TempString<260>> deps;
  deps.push_back(TempString<260>("land.sh"));
  deps.push_back(TempString<260>("prelude.glsl"));
  const char vs[] = "vertex code", ps[] = "pixel code!";
  if (write_shader_cache(path.c_str(), deps, vs, (int)sizeof(vs), ps, (int)sizeof(ps)))
    copy_file("shader_cache", "two_deps.cache", path);
}

// Small whole textures, so that no seed makes every input as large as a
// shipped texture (make_corpus.sh adds the shipped ones' headers): the
// generators' own A8R8G8B8 and L8 writers, the same 32-bit texture without
// alpha, and the block formats, whose layout nothing in the program writes.
static void dds_seeds()
{
  texgen::Image img{8, 4, std::vector<float>(8 * 4 * 4)};
  for (size_t i = 0; i < img.px.size(); i++) img.px[i] = float(i % 7) / 6.f;
  std::string path = fuzz_dir() + "/seed.dds";
  if (texgen::write_dds(path, img)) {
    copy_file("dds", "argb_8x4.dds", path);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    uint32_t pf_flags = 0x40, no_alpha = 0;  // RGB without alpha
    memcpy(&bytes[80], &pf_flags, 4);
    memcpy(&bytes[104], &no_alpha, 4);
    put("dds", "xrgb_8x4.dds", bytes.data(), bytes.size());
  }
  std::vector<uint8_t> lum(6 * 5);
  for (size_t i = 0; i < lum.size(); i++) lum[i] = uint8_t(i * 37);
  if (write_dds_l8(path, 6, 5, lum, 3)) copy_file("dds", "l8_6x5.dds", path);

  // 8 x 8 and its three smaller levels: 4 + 1 + 1 + 1 blocks.
  const char* const four_cc[3] = {"DXT1", "DXT3", "DXT5"};
  for (int k = 0; k < 3; k++) {
    uint32_t h[32] = {0};
    h[0] = DDS_MAGIC;
    h[1] = DDS_HEADER_SIZE;
    h[2] = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_LINEARSIZE | 0x20000;
    uint32_t block = k == 0 ? 8 : 16;
    h[3] = h[4] = 8;
    h[5] = 4 * block;
    h[7] = 4;
    h[19] = 32;
    h[20] = DDPF_FOURCC;
    memcpy(&h[21], four_cc[k], 4);
    h[27] = DDSCAPS_TEXTURE | 0x8 | DDSCAPS_MIPMAP;
    std::vector<uint8_t> bytes((const uint8_t*)h, (const uint8_t*)h + sizeof(h));
    for (uint32_t i = 0; i < 7 * block; i++) bytes.push_back(uint8_t(i * 29 + k));
    put("dds", std::string(four_cc[k]) + "_8x8.dds", bytes.data(), bytes.size());
  }
}

static void config_seeds()
{
  std::string path = fuzz_dir() + "/settings";
  set_config_path(path.c_str());
  set_config_int("width", 1280);
  set_config_str("name", "odd \"bytes\"\n\x01", -1);
  int raw = 7;
  write_config_value("a", 4, &raw, 4);
  copy_file("config", "settings", path);
}

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: seeds <out-dir>\n");
    return 2;
  }
  out_dir = argv[1];
  tga_seeds();
  world_seeds();
  value_seeds();
  mesh_seed();
  shader_cache_seeds();
  config_seeds();
  dds_seeds();
  return 0;
}
