// TGA images and mesh files from untrusted bytes: the round trip of the
// program's own images, the readers' messages for each kind of bad file, and
// that a header claiming a huge size never makes a huge allocation. Valid
// meshes need buffers and are tested with the device (tests/gl). Also the
// screenshot's file name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/mesh.h"
#include "engine/screenshot.h"
#include "engine/streams.h"
#include "engine/tga.h"
#include "support/test_dir.h"

namespace fs = std::filesystem;

namespace {

typedef std::vector<uint8_t> Bytes;

void put32(Bytes& b, uint32_t v)
{
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put16(Bytes& b, uint16_t v)
{
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

Bytes tga_header(int type, int w, int h, int bpp, int id_length = 0)
{
  Bytes b(18, 0);
  b[0] = uint8_t(id_length);
  b[2] = uint8_t(type);
  b[12] = uint8_t(w);
  b[13] = uint8_t(w >> 8);
  b[14] = uint8_t(h);
  b[15] = uint8_t(h >> 8);
  b[16] = uint8_t(bpp);
  b[17] = 8;
  return b;
}

// The exception message and position of reading these bytes as a TGA
// ("ok" when it reads), with the capacity the pixel array reached.
struct TgaResult
{
  std::string message;
  int position;
  int capacity;
};
TgaResult read_tga_bytes(const Bytes& b)
{
  MemoryInputStream in(b.empty() ? "" : (const void*)b.data(), int(b.size()));
  DynArray<uint32_t> px;
  int w = 0, h = 0;
  try {
    read_tga(in, w, h, px);
  } catch (const InputStream::Exception& e) {
    return {e.message, e.position, px.capacity};
  }
  return {"ok", -2, px.capacity};
}

}  // namespace

TEST(Tga, WrittenTopDownReadsBackBottomUp)
{
  // A 3 x 2 top-down image with a padded pitch (16 bytes per row).
  const uint32_t src[8] = {0x11111111, 0x22222222, 0x33333333, 0xDEADBEEF,
                           0x44444444, 0x55555555, 0x66666666, 0xDEADBEEF};
  MemoryOutputBuffer out;
  write_tga(out, src, 3, 2, 16);
  ASSERT_EQ(out.bytes.num, 18 + 3 * 2 * 4);
  const uint8_t* h = (const uint8_t*)out.bytes.data;
  EXPECT_EQ(h[2], 2);
  EXPECT_EQ(h[12] | (h[13] << 8), 3);
  EXPECT_EQ(h[14] | (h[15] << 8), 2);
  EXPECT_EQ(h[16], 32);
  EXPECT_EQ(h[17], 8);
  // Blue, green, red, alpha bytes: the word in little-endian order.
  EXPECT_EQ(h[18], 0x44);

  MemoryInputStream in(out.bytes.data, out.bytes.num);
  DynArray<uint32_t> px;
  int w = 0, ht = 0;
  read_tga(in, w, ht, px);
  ASSERT_EQ(w, 3);
  ASSERT_EQ(ht, 2);
  const uint32_t expect[6] = {0x44444444, 0x55555555, 0x66666666, 0x11111111, 0x22222222, 0x33333333};
  ASSERT_EQ(px.num, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(px[i], expect[i]) << i;
}

TEST(Tga, ForeignIdentificationFieldIsSkipped)
{
  Bytes b = tga_header(2, 1, 1, 32, 3);
  b.insert(b.end(), {'a', 'b', 'c'});
  put32(b, 0x80FF0102);
  MemoryInputStream in(b.data(), int(b.size()));
  DynArray<uint32_t> px;
  int w = 0, h = 0;
  read_tga(in, w, h, px);
  ASSERT_EQ(px.num, 1);
  EXPECT_EQ(px[0], 0x80FF0102u);
}

TEST(Tga, BadFilesEndInTheirMessage)
{
  Bytes ok = tga_header(2, 2, 2, 32);
  ok.resize(ok.size() + 16, 0x7F);
  struct Case
  {
    const char* what;
    Bytes bytes;
    const char* message;
  };
  std::vector<Case> cases = {
      {"24-bit", tga_header(2, 2, 2, 24), "unsupported TGA format"},
      {"run-length encoded", tga_header(10, 2, 2, 32), "unsupported TGA format"},
      {"colour-mapped", tga_header(1, 2, 2, 32), "unsupported TGA format"},
      {"zero width", tga_header(2, 0, 5, 32), "zero-sized TGA image"},
      {"zero height", tga_header(2, 5, 0, 32), "zero-sized TGA image"},
      {"empty", Bytes(), "read() outside of input memory region"},
      {"header cut", Bytes(ok.begin(), ok.begin() + 17), "read() outside of input memory region"},
      {"pixels cut", Bytes(ok.begin(), ok.end() - 1), "read() outside of input memory region"},
      {"header only", Bytes(ok.begin(), ok.begin() + 18), "read() outside of input memory region"},
      {"huge image, few bytes", tga_header(2, 65535, 65535, 32), "read() outside of input memory region"},
  };
  cases.back().bytes.resize(18 + 64);
  for (const Case& c : cases) {
    TgaResult r = read_tga_bytes(c.bytes);
    EXPECT_EQ(r.message, c.message) << c.what;
    // Memory follows the bytes that exist, not the size the header claims.
    EXPECT_LE(r.capacity, 1 << 17) << c.what;
  }
  EXPECT_EQ(read_tga_bytes(ok).message, "ok");
  // The format checks report the position after the header.
  EXPECT_EQ(read_tga_bytes(tga_header(2, 2, 2, 24)).position, 18);
}

TEST(Tga, SaveAndLoadFiles)
{
  std::string dir = make_test_dir("tga");
  const uint32_t px[4] = {1, 2, 3, 4};
  ASSERT_TRUE(save_tga((dir + "/Mask.tga").c_str(), px, 2, 2, 8));
  DynArray<uint32_t> back;
  int w = 0, h = 0;
  // The name is matched without regard to case.
  ASSERT_TRUE(load_tga((dir + "/mask.TGA").c_str(), w, h, back));
  EXPECT_EQ(back[0], 3u);
  EXPECT_EQ(back[3], 2u);
  EXPECT_FALSE(load_tga((dir + "/missing.tga").c_str(), w, h, back));
  EXPECT_FALSE(save_tga((dir + "/no/such/folder.tga").c_str(), px, 2, 2, 8));
  fs::remove_all(dir);
}

// ------------------------------------------------------------------ meshes --

namespace {

struct MeshDesc
{
  uint32_t version = MESH_FILE_VERSION;
  std::vector<std::string> textures = {"rock.dds"};
  int spheres = 1;
  std::vector<VertexElementDesc> elements = {{0, 0, VDECL_FLOAT3, VDECL_POSITION, 0}};
  uint32_t stride = 12, verts = 3, faces = 1;
  std::vector<uint16_t> indices = {0, 1, 2};
  int payload_size_delta = 0;  // added to the true payload size
  int vertex_bytes = -1;       // -1: stride x verts
};

void put_string(Bytes& b, const std::string& s)
{
  b.push_back(uint8_t(s.size()));
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

Bytes mesh_bytes(const MeshDesc& s)
{
  Bytes p;
  put_string(p, "inst_simple.sh");
  put_string(p, "inst_simple_dr.sh");
  p.push_back(uint8_t(s.textures.size()));
  for (const std::string& t : s.textures) put_string(p, t);
  p.push_back(uint8_t(s.spheres));
  for (int i = 0; i < s.spheres * 4; ++i) put32(p, 0x3F800000);
  p.push_back(uint8_t(s.elements.size()));
  for (const VertexElementDesc& e : s.elements) {
    const uint8_t* r = (const uint8_t*)&e;
    p.insert(p.end(), r, r + 6);
  }
  put32(p, s.stride);
  put32(p, s.verts);
  put32(p, s.faces);
  p.resize(p.size() + size_t(s.vertex_bytes < 0 ? int(s.stride * s.verts) : s.vertex_bytes), 0);
  for (uint16_t i : s.indices) put16(p, i);
  Bytes f;
  put32(f, s.version);
  put32(f, uint32_t(int64_t(p.size()) + s.payload_size_delta));
  f.insert(f.end(), p.begin(), p.end());
  return f;
}

std::pair<std::string, int> read_mesh_bytes(const Bytes& b)
{
  MemoryInputStream in(b.empty() ? "" : (const void*)b.data(), int(b.size()));
  try {
    Mesh* m = read_mesh(in);
    delete m;
  } catch (const InputStream::Exception& e) {
    return {e.message, e.position};
  }
  return {"read", -2};
}

}  // namespace

// Every case fails before any buffer is made (no device here), so a reader
// that let one through would stop this program at the missing device.
TEST(MeshFile, BadFilesEndInTheirMessage)
{
  const Bytes good = mesh_bytes(MeshDesc());
  struct Case
  {
    const char* what;
    Bytes bytes;
    const char* message;
    int position;
  };
  auto with = [](auto change) {
    MeshDesc s;
    change(s);
    return mesh_bytes(s);
  };
  const std::string short_msg = "read() outside of input memory region";
  std::vector<Case> cases = {
      // The stream's own errors, at its position.
      {"empty", Bytes(), short_msg.c_str(), 0},
      {"version cut", Bytes(good.begin(), good.begin() + 3), short_msg.c_str(), 0},
      {"payload size cut", Bytes(good.begin(), good.begin() + 6), short_msg.c_str(), 4},
      {"payload cut", Bytes(good.begin(), good.end() - 1), short_msg.c_str(), 8},
      {"payload size beyond the file", with([](MeshDesc& s) { s.payload_size_delta = 10; }), short_msg.c_str(), 8},
      {"payload size 4 GB", good, short_msg.c_str(), 8},
      // What the reader rejects itself.
      {"wrong version", with([](MeshDesc& s) { s.version = 0x12040800; }), "Invalid mesh file version", -1},
      {"texture name of 64", with([](MeshDesc& s) { s.textures = {std::string(64, 'x')}; }),
       "Mesh texture name is too long", -1},
      {"vertex data short", with([](MeshDesc& s) { s.vertex_bytes = 35; }), "Mesh payload is too short", -1},
      {"huge vertex count", with([](MeshDesc& s) { s.verts = 0xFFFFFFFF; s.vertex_bytes = 36; }),
       "Mesh payload is too short", -1},
      {"huge triangle count", with([](MeshDesc& s) { s.faces = 0x80000000; }), "Mesh payload is too short", -1},
      {"index past the vertices", with([](MeshDesc& s) { s.indices = {0, 1, 3}; }), "Mesh index is out of range",
       -1},
      {"element past the stride",
       with([](MeshDesc& s) { s.elements.push_back({4, 0, VDECL_FLOAT3, VDECL_NORMAL, 0}); }),
       "Invalid mesh vertex element", -1},
      {"element ending the list early",
       with([](MeshDesc& s) { s.elements.push_back({0, 255, VDECL_FLOAT1, VDECL_TEXCOORD, 0}); }),
       "Invalid mesh vertex element", -1},
      {"32 elements", with([](MeshDesc& s) { s.elements.assign(32, {0, 0, VDECL_FLOAT1, VDECL_TEXCOORD, 0}); }),
       "Too many mesh vertex elements", -1},
  };
  // A payload claiming 4 GB in a file of a few bytes.
  Bytes& huge = cases[5].bytes;
  huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
  // A texture count whose names are not there.
  Bytes p;
  put_string(p, "a.sh");
  put_string(p, "b.sh");
  p.push_back(5);
  Bytes counted;
  put32(counted, MESH_FILE_VERSION);
  put32(counted, uint32_t(p.size()));
  counted.insert(counted.end(), p.begin(), p.end());
  cases.push_back({"texture count past the payload", counted, "Mesh payload is too short", -1});

  for (const Case& c : cases) {
    auto r = read_mesh_bytes(c.bytes);
    EXPECT_EQ(r.first, c.message) << c.what;
    EXPECT_EQ(r.second, c.position) << c.what;
  }
}

TEST(MeshFile, MissingOrBadFileWithoutMustExistGivesNull)
{
  std::string dir = make_test_dir("mesh");
  MeshDesc s;
  s.version = 1;
  Bytes b = mesh_bytes(s);
  FILE* f = fopen((dir + "/bad.mesh").c_str(), "wb");
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
  EXPECT_EQ(load_mesh_file((dir + "/none.mesh").c_str(), false), nullptr);
  EXPECT_EQ(get_mesh((dir + "/none.mesh").c_str(), false), nullptr);
  EXPECT_EQ(get_mesh((dir + "/BAD.mesh").c_str(), false), nullptr);
  EXPECT_EQ(mesh_cache.num, 0);
  fs::remove_all(dir);
}

TEST(MeshFileDeathTest, RequiredMeshWithWrongVersionIsFatal)
{
  std::string dir = make_test_dir("mesh");
  MeshDesc s;
  s.version = 7;
  Bytes b = mesh_bytes(s);
  std::string path = dir + "/old.mesh";
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
  EXPECT_EXIT(get_mesh(path.c_str(), true), testing::ExitedWithCode(100),
              "Error reading mesh file '" + path + "':\nInvalid mesh file version \\(offset -1\\)");
  fs::remove_all(dir);
}

// ------------------------------------------------------------ screenshots --

TEST(Screenshot, NameFromTheLocalTime)
{
  struct tm t = {};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  char name[260];
  make_screenshot_name(&t, name, int(sizeof(name)));
  EXPECT_STREQ(name, "shots/shot2024_03_05_07_08_09.png");
  make_screenshot_name(nullptr, name, int(sizeof(name)));
  EXPECT_STREQ(name, "shots/shot.png");
}
