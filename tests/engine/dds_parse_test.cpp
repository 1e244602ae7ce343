// The DDS parser without a device: the header rules, the accepted formats,
// the size of every level, and a table of corrupt files that must each be
// rejected without reading outside the bytes given. Textures that really
// load are tested with the device (tests/gl/dds_test.cpp).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dds.h"
#include "engine/textureCache.h"
#include "support/test_dir.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct DdsDesc
{
  uint32_t magic = DDS_MAGIC, size = 124;
  uint32_t flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  uint32_t width = 8, height = 2, pitch = 0, mips = 0;
  uint32_t pf_size = 32, pf_flags = DDPF_RGB | DDPF_ALPHAPIXELS, fourcc = 0, bits = 32;
  uint32_t masks[4] = {0xff0000, 0xff00, 0xff, 0xff000000};
  uint32_t caps = DDSCAPS_TEXTURE, caps2 = 0;
  size_t data_bytes = 8 * 2 * 4;
};

void put32(uint8_t* p, uint32_t v)
{
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

Bytes dds_bytes(const DdsDesc& s)
{
  Bytes b(DDS_DATA_OFFSET + s.data_bytes, 0);
  put32(&b[0], s.magic);
  put32(&b[4], s.size);
  put32(&b[8], s.flags);
  put32(&b[12], s.height);
  put32(&b[16], s.width);
  put32(&b[20], s.pitch);
  put32(&b[28], s.mips);
  put32(&b[76], s.pf_size);
  put32(&b[80], s.pf_flags);
  put32(&b[84], s.fourcc);
  put32(&b[88], s.bits);
  for (int i = 0; i < 4; ++i) put32(&b[92 + 4 * i], s.masks[i]);
  put32(&b[108], s.caps);
  put32(&b[112], s.caps2);
  for (size_t i = DDS_DATA_OFFSET; i < b.size(); ++i) b[i] = uint8_t(i * 7);
  return b;
}

const uint32_t DXT1 = 0x31545844, DXT3 = 0x33545844, DXT5 = 0x35545844;

DdsDesc dxt(uint32_t fourcc, uint32_t w, uint32_t h, uint32_t mips, size_t bytes)
{
  DdsDesc s;
  s.pf_flags = DDPF_FOURCC;
  s.fourcc = fourcc;
  s.bits = 0;
  s.width = w;
  s.height = h;
  s.mips = mips;
  if (mips) s.caps |= DDSCAPS_MIPMAP;
  s.data_bytes = bytes;
  return s;
}

}  // namespace

TEST(DdsParse, ReadU32StopsAtTheEnd)
{
  const uint8_t bytes[6] = {0x44, 0x44, 0x53, 0x20, 0x01, 0x02};
  const uint8_t* p = bytes;
  size_t left = 6;
  EXPECT_EQ(dds_read_u32(&p, &left), uint32_t(DDS_MAGIC));
  EXPECT_EQ(left, 2u);
  EXPECT_EQ(dds_read_u32(&p, &left), 0u);  // two bytes left: 0, and nothing left
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(dds_read_u32(&p, &left), 0u);
  EXPECT_TRUE(dds_is_dds(bytes, 4));
  EXPECT_FALSE(dds_is_dds(bytes, 3));
  EXPECT_FALSE(dds_is_dds(nullptr, 8));
}

TEST(DdsParse, FormatsAndLevelSizes)
{
  struct Case
  {
    const char* what;
    DdsDesc desc;
    int format;
    std::vector<size_t> sizes;  // bytes copied per level
    std::vector<uint32_t> rows;
  };
  DdsDesc x8 = DdsDesc();
  x8.pf_flags = DDPF_RGB;  // no alpha: X8R8G8B8, whatever the alpha mask says
  x8.masks[3] = 0;
  DdsDesc l8 = DdsDesc();
  l8.pf_flags = DDPF_LUMINANCE;
  l8.bits = 8;
  l8.data_bytes = 16;
  DdsDesc chain8x2 = DdsDesc();
  chain8x2.mips = 4;
  chain8x2.caps |= DDSCAPS_MIPMAP;
  chain8x2.data_bytes = (16 + 4 + 2 + 1) * 4;
  DdsDesc no_cap = DdsDesc();
  no_cap.mips = 5;  // a count without the MIPMAP cap is one level
  DdsDesc zero_count = chain8x2;
  zero_count.mips = 0;  // the cap without a count is one level
  const Case cases[] = {
      {"A8R8G8B8", DdsDesc(), FMT_A8R8G8B8, {64}, {2}},
      {"X8R8G8B8", x8, FMT_X8R8G8B8, {64}, {2}},
      {"L8", l8, FMT_L8, {16}, {2}},
      {"uncompressed 8x2, 4 levels", chain8x2, FMT_A8R8G8B8, {64, 16, 8, 4}, {2, 1, 1, 1}},
      {"count without the cap", no_cap, FMT_A8R8G8B8, {64}, {2}},
      {"cap without a count", zero_count, FMT_A8R8G8B8, {64}, {2}},
      {"DXT1 256x64, 9 levels", dxt(DXT1, 256, 64, 9, 8192 + 2048 + 512 + 128 + 32 + 16 + 8 + 8 + 8), FMT_DXT1,
       {8192, 2048, 512, 128, 32, 16, 8, 8, 8}, {16, 8, 4, 2, 1, 1, 1, 1, 1}},
      {"DXT3 6x5, 3 levels", dxt(DXT3, 6, 5, 3, 64 + 16 + 16), FMT_DXT3, {64, 16, 16}, {2, 1, 1}},
      {"DXT5 1x1", dxt(DXT5, 1, 1, 0, 16), FMT_DXT5, {16}, {1}},
  };
  for (const Case& c : cases) {
    Bytes b = dds_bytes(c.desc);
    DdsImage img;
    const char* reason = "";
    ASSERT_TRUE(dds_get_image(b.data(), b.size(), &img, &reason)) << c.what << ": " << reason;
    EXPECT_EQ(img.format, c.format) << c.what;
    ASSERT_EQ(img.levels, c.sizes.size()) << c.what;
    size_t offset = DDS_DATA_OFFSET;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      EXPECT_EQ(img.level[i].copySize, c.sizes[i]) << c.what << " level " << i;
      EXPECT_EQ(img.level[i].size, c.sizes[i]) << c.what << " level " << i;
      EXPECT_EQ(img.level[i].rows, c.rows[i]) << c.what << " level " << i;
      EXPECT_EQ(img.level[i].offset, offset) << c.what << " level " << i;
      offset += c.sizes[i];
    }
    EXPECT_EQ(dds_level_size(c.format, c.desc.width, c.desc.height), c.sizes[0]) << c.what;
  }
}

TEST(DdsParse, HeaderPitchAndLinearSize)
{
  // Pitch 0 means "not given": rows are packed.
  DdsDesc s;
  s.flags |= DDSD_PITCH;
  DdsImage img;
  Bytes b = dds_bytes(s);
  ASSERT_TRUE(dds_get_image(b.data(), b.size(), &img));
  EXPECT_EQ(img.level[0].srcPitch, 32u);
  // A larger pitch is the file's row stride; the texture still gets 32 bytes a row.
  s.pitch = 40;
  s.data_bytes = 80;
  b = dds_bytes(s);
  ASSERT_TRUE(dds_get_image(b.data(), b.size(), &img));
  EXPECT_EQ(img.level[0].srcPitch, 40u);
  EXPECT_EQ(img.level[0].rowBytes, 32u);
  EXPECT_EQ(img.level[0].size, 80u);
  EXPECT_EQ(img.level[0].copySize, 64u);
  // A larger linear size: the level occupies it, the texture takes its blocks.
  DdsDesc d = dxt(DXT1, 4, 4, 2, 24 + 8);
  d.flags |= DDSD_LINEARSIZE;
  d.pitch = 24;
  b = dds_bytes(d);
  ASSERT_TRUE(dds_get_image(b.data(), b.size(), &img));
  EXPECT_EQ(img.level[0].size, 24u);
  EXPECT_EQ(img.level[0].copySize, 8u);
  EXPECT_EQ(img.level[1].offset, size_t(DDS_DATA_OFFSET + 24));
}

TEST(DdsParse, CorruptFilesAreRejected)
{
  struct Case
  {
    const char* what;
    Bytes bytes;
  };
  auto with = [](auto change) {
    DdsDesc s;
    change(s);
    return dds_bytes(s);
  };
  const Bytes good = dds_bytes(DdsDesc());
  std::vector<Case> cases = {
      {"wrong magic", with([](DdsDesc& s) { s.magic = 0x20534443; })},
      {"header size 123", with([](DdsDesc& s) { s.size = 123; })},
      {"no width flag", with([](DdsDesc& s) { s.flags &= ~DDSD_WIDTH; })},
      {"pitch and linear size", with([](DdsDesc& s) { s.flags |= DDSD_PITCH | DDSD_LINEARSIZE; })},
      {"pixel format size", with([](DdsDesc& s) { s.pf_size = 24; })},
      {"no texture cap", with([](DdsDesc& s) { s.caps = 0; })},
      {"cube map", with([](DdsDesc& s) { s.caps2 = 0x200; })},
      {"24-bit RGB", with([](DdsDesc& s) { s.bits = 24; })},
      {"BGR masks", with([](DdsDesc& s) { s.masks[0] = 0xff; s.masks[2] = 0xff0000; })},
      {"alpha flag, odd alpha mask", with([](DdsDesc& s) { s.masks[3] = 0xf0000000; })},
      {"FourCC DXT2", dds_bytes(dxt(0x32545844, 4, 4, 0, 16))},
      {"16-bit luminance", with([](DdsDesc& s) { s.pf_flags = DDPF_LUMINANCE; s.bits = 16; })},
      {"no pixel format kind", with([](DdsDesc& s) { s.pf_flags = 0; })},
      {"zero width", with([](DdsDesc& s) { s.width = 0; })},
      {"zero height", with([](DdsDesc& s) { s.height = 0; })},
      // Sizes the data does not hold.
      {"huge width", with([](DdsDesc& s) { s.width = 0xFFFFFFFF; })},
      {"huge both", with([](DdsDesc& s) { s.width = s.height = 0x80000000; })},
      {"huge DXT", dds_bytes(dxt(DXT5, 0xFFFFFFF0, 0xFFFFFFF0, 0, 64))},
      {"mip count beyond the data", with([](DdsDesc& s) { s.mips = 3; s.caps |= DDSCAPS_MIPMAP; })},
      {"mip count beyond the chain", dds_bytes(dxt(DXT1, 256, 64, 10, 20000))},
      {"mip count 0xFFFFFFFF", dds_bytes(dxt(DXT1, 4, 4, 0xFFFFFFFF, 64))},
      {"pitch too small", with([](DdsDesc& s) { s.flags |= DDSD_PITCH; s.pitch = 31; })},
      {"pitch too large", with([](DdsDesc& s) { s.flags |= DDSD_PITCH; s.pitch = 0x7FFFFFFF; })},
      {"linear size too small", [] { DdsDesc d = dxt(DXT1, 8, 8, 0, 32); d.flags |= DDSD_LINEARSIZE; d.pitch = 31;
                                      return dds_bytes(d); }()},
      {"linear size too large", [] { DdsDesc d = dxt(DXT1, 8, 8, 0, 32); d.flags |= DDSD_LINEARSIZE;
                                      d.pitch = 0xFFFFFFFF; return dds_bytes(d); }()},
  };
  // Truncated anywhere: in the magic, the header, at the data, inside it.
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(60), size_t(127), size_t(128), size_t(150),
                     good.size() - 1})
    cases.push_back({"truncated", Bytes(good.begin(), good.begin() + ptrdiff_t(cut))});

  for (const Case& c : cases) {
    // An exact-size copy, so any read past the end is caught by ASan.
    std::vector<uint8_t>* exact = new std::vector<uint8_t>(c.bytes);
    DdsImage img;
    const char* reason = nullptr;
    EXPECT_FALSE(dds_get_image(exact->data(), exact->size(), &img, &reason)) << c.what << " " << exact->size();
    EXPECT_NE(reason, nullptr) << c.what;
    const void* px;
    size_t l0;
    uint32_t w, h, levels;
    int fmt;
    EXPECT_FALSE(dds_get_info(exact->data(), exact->size(), &px, &l0, &w, &h, &levels, &fmt)) << c.what;
    delete exact;
  }
}

// The cache without a device: files that are missing or not DDS give null
// when they need not exist, and end the program when they must.
TEST(TextureCacheDeathTest, MissingAndBadFiles)
{
  std::string dir = make_test_dir("dds");
  DdsDesc s;
  s.caps2 = 0x200;
  Bytes cube = dds_bytes(s);
  FILE* f = fopen((dir + "/cube.dds").c_str(), "wb");
  fwrite(cube.data(), 1, cube.size(), f);
  fclose(f);
  EXPECT_EQ(get_texture((dir + "/missing.dds").c_str(), false), nullptr);
  EXPECT_EQ(get_texture((dir + "/CUBE.dds").c_str(), false), nullptr);
  EXPECT_EQ(try_load_dds_texture((dir + "/cube.dds").c_str()), nullptr);
  EXPECT_EQ(texture_cache.num, 0);
  EXPECT_EXIT(get_texture((dir + "/missing.dds").c_str(), true), testing::ExitedWithCode(100),
              "Error loading file '" + dir + "/missing.dds'");
  EXPECT_EXIT(get_texture((dir + "/cube.dds").c_str(), true), testing::ExitedWithCode(100),
              "Texture '" + dir + "/cube.dds' is not a DDS");
  std::filesystem::remove_all(dir);
}
