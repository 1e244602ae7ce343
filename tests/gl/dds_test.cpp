// DDS textures on a real device: every accepted format with a mip chain is
// written to a file, loaded through the named cache and read back texel by
// texel from every level through a sampler, so the upload, the level layout
// and the channels a format lacks (which read as 1) are all checked. Also
// the cache's sharing by name in any letter case, and a padded row pitch.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/dds.h"
#include "engine/gl.h"
#include "engine/textureCache.h"
#include "gl/gl_fixture.h"
#include "support/test_dir.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put32(Bytes& b, size_t at, uint32_t v)
{
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Header of a w x h texture with `levels` levels in the given pixel format.
Bytes dds_header(uint32_t w, uint32_t h, uint32_t levels, uint32_t pf_flags, uint32_t fourcc, uint32_t bits,
                 uint32_t pitch_flag = 0, uint32_t pitch = 0)
{
  Bytes b(128, 0);
  put32(b, 0, DDS_MAGIC);
  put32(b, 4, 124);
  put32(b, 8, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | pitch_flag);
  put32(b, 12, h);
  put32(b, 16, w);
  put32(b, 20, pitch);
  put32(b, 28, levels);
  put32(b, 76, 32);
  put32(b, 80, pf_flags);
  put32(b, 84, fourcc);
  put32(b, 88, bits);
  if (pf_flags & DDPF_RGB) {
    put32(b, 92, 0xff0000);
    put32(b, 96, 0xff00);
    put32(b, 100, 0xff);
    put32(b, 104, 0xff000000);
  }
  put32(b, 108, DDSCAPS_TEXTURE | (levels > 1 ? DDSCAPS_MIPMAP : 0));
  return b;
}

// A format: its header, and for each level the file bytes and the texel
// values a shader must read (0xAARRGGBB, rows top-down).
struct Level
{
  uint32_t w, h;
  Bytes data;
  std::vector<uint32_t> expect;
};

std::vector<Level> chain(uint32_t w, uint32_t h, int levels)
{
  std::vector<Level> out;
  for (int i = 0; i < levels; ++i) {
    out.push_back({w, h, {}, std::vector<uint32_t>(size_t(w) * h)});
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  return out;
}

// Uncompressed: one word or byte per texel from `texel`.
std::vector<Level> uncompressed(uint32_t w, uint32_t h, int levels, int bytes_pp,
                                const std::function<void(int, uint32_t, uint32_t, uint32_t*, uint32_t*)>& texel)
{
  std::vector<Level> ls = chain(w, h, levels);
  for (int l = 0; l < levels; ++l) {
    Level& L = ls[size_t(l)];
    for (uint32_t y = 0; y < L.h; ++y)
      for (uint32_t x = 0; x < L.w; ++x) {
        uint32_t file = 0;
        texel(l, x, y, &file, &L.expect[y * L.w + x]);
        for (int i = 0; i < bytes_pp; ++i) L.data.push_back(uint8_t(file >> (8 * i)));
      }
  }
  return ls;
}

// DXT colour block with colours c0 > c1 (four-colour mode) or c0 <= c1
// (three colours and transparent), one 2-bit index per texel.
void colour_block(Bytes& out, uint16_t c0, uint16_t c1, const uint32_t idx[16])
{
  out.push_back(uint8_t(c0));
  out.push_back(uint8_t(c0 >> 8));
  out.push_back(uint8_t(c1));
  out.push_back(uint8_t(c1 >> 8));
  for (int row = 0; row < 4; ++row) {
    uint8_t bits = 0;
    for (int x = 0; x < 4; ++x) bits |= uint8_t(idx[row * 4 + x] << (2 * x));
    out.push_back(bits);
  }
}

uint32_t rgb565(uint16_t c)
{
  uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

// DXT levels of one block each (sizes up to 4 x 4); the indices use only the
// exact colours (endpoints, and transparent in DXT1's three-colour mode).
std::vector<Level> dxt(int kind, uint32_t w, uint32_t h, int levels)
{
  static const uint16_t colours[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  std::vector<Level> ls = chain(w, h, levels);
  for (int l = 0; l < levels; ++l) {
    Level& L = ls[size_t(l)];
    uint32_t idx[16], alpha[16];
    for (int i = 0; i < 16; ++i) {
      idx[i] = uint32_t((i + l) % 2);
      alpha[i] = 255;
    }
    uint16_t c0 = colours[l % 4], c1 = 0x0000;
    if (kind == 1 && l == 1) {
      // Three-colour mode: index 3 is transparent black.
      std::swap(c0, c1);
      for (int i = 0; i < 16; ++i) idx[i] = i % 3 == 0 ? 3u : 1u;
    }
    if (kind == 3) {
      // Explicit 4-bit alpha: nibble n reads as n x 17.
      for (int i = 0; i < 16; i += 2) {
        uint8_t a0 = uint8_t((i + l) % 16), a1 = uint8_t(15 - (i + l) % 16);
        L.data.push_back(uint8_t(a0 | (a1 << 4)));
        alpha[i] = a0 * 17u;
        alpha[i + 1] = a1 * 17u;
      }
    }
    if (kind == 5) {
      // Interpolated alpha with only its endpoints used: 200 and 40.
      L.data.push_back(200);
      L.data.push_back(40);
      uint64_t bits = 0;
      for (int i = 0; i < 16; ++i) {
        uint32_t a = uint32_t((i / 4 + l) % 2);
        bits |= uint64_t(a) << (3 * i);
        alpha[i] = a ? 40u : 200u;
      }
      for (int i = 0; i < 6; ++i) L.data.push_back(uint8_t(bits >> (8 * i)));
    }
    colour_block(L.data, c0, c1, idx);
    for (uint32_t y = 0; y < L.h; ++y)
      for (uint32_t x = 0; x < L.w; ++x) {
        uint32_t i = y * 4 + x;
        uint32_t c = idx[i] == 3 ? 0u : rgb565(idx[i] == 0 ? c0 : c1);
        if (idx[i] != 3) c = (c & 0x00FFFFFFu) | (alpha[i] << 24);
        L.expect[y * L.w + x] = c;
      }
  }
  return ls;
}

Bytes file_of(Bytes header, const std::vector<Level>& levels)
{
  for (const Level& L : levels) header.insert(header.end(), L.data.begin(), L.data.end());
  return header;
}

void write_file(const std::string& path, const Bytes& b)
{
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
}

}  // namespace

class DdsTest : public GlDeviceTest
{
 protected:
  static std::string dir;
  static GLuint program;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    dir = make_test_dir("dds_gl");
    // Writes texel (x, y) of a level of stage 0 to pixel (x, y): a plain
    // program outside the shader system, so only the texture is under test.
    program = plain_program(
        "#version 330 core\n"
        "uniform sampler2D tex; uniform int lod; out vec4 c;\n"
        "void main() { c = texelFetch(tex, ivec2(gl_FragCoord.xy), lod); }\n");
    ASSERT_NE(program, 0u);
  }
  static void TearDownTestSuite()
  {
    free_all_textures();
    glDeleteProgram(program);
    std::filesystem::remove_all(dir);
    GlDeviceTest::TearDownTestSuite();
  }

  // Every texel of every level as the sampler reads it.
  static std::vector<uint32_t> read_level(Texture tex, int level, uint32_t w, uint32_t h)
  {
    Texture rt = create_render_texture(int(w), int(h), RT_A8R8G8B8);
    set_render_target(rt, 0, false);
    set_blend_none();
    set_texture(0, tex);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "tex"), 0);
    glUniform1i(glGetUniformLocation(program, "lod"), level);
    draw_plain(program);
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) out.push_back(texture_pixel(rt, int(x), int(y)));
    set_back_buffer_target();
    set_texture(0, nullptr);
    release_texture(rt);
    return out;
  }
};

std::string DdsTest::dir;
GLuint DdsTest::program = 0;

TEST_F(DdsTest, EveryFormatSamplesBackWithItsMipChain)
{
  struct Case
  {
    const char* name;
    Bytes header;
    std::vector<Level> levels;
  };
  const uint32_t RGBA = DDPF_RGB | DDPF_ALPHAPIXELS;
  std::vector<Case> cases;
  cases.push_back({"a8r8g8b8.dds", dds_header(8, 4, 4, RGBA, 0, 32),
                   uncompressed(8, 4, 4, 4, [](int l, uint32_t x, uint32_t y, uint32_t* f, uint32_t* e) {
                     *f = *e = (uint32_t(0x40 + l * 0x30) << 24) | (x * 30 << 16) | (y * 60 << 8) | uint32_t(l * 70);
                   })});
  cases.push_back({"x8r8g8b8.dds", dds_header(4, 4, 3, DDPF_RGB, 0, 32),
                   uncompressed(4, 4, 3, 4, [](int l, uint32_t x, uint32_t y, uint32_t* f, uint32_t* e) {
                     *f = 0x12000000u | (x * 50 << 16) | (y * 50 << 8) | uint32_t(l * 100);
                     *e = *f | 0xFF000000u;  // no alpha in the format: alpha reads 1
                   })});
  cases.push_back({"l8.dds", dds_header(8, 2, 4, DDPF_LUMINANCE, 0, 8),
                   uncompressed(8, 2, 4, 1, [](int l, uint32_t x, uint32_t y, uint32_t* f, uint32_t* e) {
                     uint32_t v = (x * 29 + y * 101 + uint32_t(l) * 53) & 255;
                     *f = v;
                     *e = 0xFF000000u | v << 16 | v << 8 | v;  // (L, L, L, 1)
                   })});
  cases.push_back({"dxt1.dds", dds_header(4, 4, 3, DDPF_FOURCC, 0x31545844, 0), dxt(1, 4, 4, 3)});
  cases.push_back({"dxt3.dds", dds_header(4, 4, 3, DDPF_FOURCC, 0x33545844, 0), dxt(3, 4, 4, 3)});
  cases.push_back({"dxt5.dds", dds_header(4, 2, 3, DDPF_FOURCC, 0x35545844, 0), dxt(5, 4, 2, 3)});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(dir + "/" + c.name, file_of(c.header, c.levels));
    Texture tex = get_texture((dir + "/" + c.name).c_str(), true);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->levels, int(c.levels.size()));
    for (size_t l = 0; l < c.levels.size(); ++l) {
      const Level& L = c.levels[l];
      std::vector<uint32_t> got = read_level(tex, int(l), L.w, L.h);
      for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], L.expect[i]) << "level " << l << " texel " << i % L.w << "," << i / L.w << std::hex
                                       << " got " << got[i] << " want " << L.expect[i];
    }
    free_texture(tex);
  }
  EXPECT_EQ(texture_cache.num, 0);
}

TEST_F(DdsTest, PaddedRowsAreReadAtTheirPitch)
{
  // A 3 x 2 texture whose file rows are 16 bytes apart (4 bytes of padding).
  Bytes b = dds_header(3, 2, 1, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, DDSD_PITCH, 16);
  const uint32_t texels[6] = {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint32_t v = x < 3 ? texels[y * 3 + x] : 0xDEADBEEF;
      for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    }
  }
  write_file(dir + "/padded.dds", b);
  Texture tex = load_dds_texture((dir + "/padded.dds").c_str());
  ASSERT_NE(tex, nullptr);
  std::vector<uint32_t> got = read_level(tex, 0, 3, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(got[size_t(i)], texels[i]) << i;
  release_texture(tex);
}

TEST_F(DdsTest, CacheSharesOneTextureWhateverTheLetterCase)
{
  write_file(dir + "/Rock.dds", file_of(dds_header(4, 4, 1, DDPF_LUMINANCE, 0, 8),
                                        uncompressed(4, 4, 1, 1, [](int, uint32_t x, uint32_t, uint32_t* f,
                                                                    uint32_t* e) { *f = *e = x; })));
  Texture a = get_texture((dir + "/Rock.dds").c_str(), true);
  Texture b = get_texture((dir + "/ROCK.DDS").c_str(), false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  ASSERT_EQ(texture_cache.num, 1);
  EXPECT_EQ(texture_cache[0].refcount, 2);
  free_texture(a);
  EXPECT_EQ(texture_cache.num, 1);
  EXPECT_TRUE(a->used);
  free_texture(b);
  EXPECT_EQ(texture_cache.num, 0);
  EXPECT_FALSE(a->used);
  free_texture(a);  // no longer cached: nothing happens
  // A missing file that need not exist gives null and caches nothing.
  EXPECT_EQ(get_texture((dir + "/none.dds").c_str(), false), nullptr);
  EXPECT_EQ(texture_cache.num, 0);
}

TEST_F(DdsTest, TextureLargerThanTheDeviceAllowsGivesNull)
{
  // Valid data, but wider than any texture the device makes.
  const uint32_t w = 100000;
  Bytes b = dds_header(w, 1, 1, DDPF_LUMINANCE, 0, 8);
  b.resize(b.size() + w, 0x55);
  write_file(dir + "/wide.dds", b);
  EXPECT_EQ(try_load_dds_texture((dir + "/wide.dds").c_str()), nullptr);
  EXPECT_EQ(get_texture((dir + "/wide.dds").c_str(), false), nullptr);
}
