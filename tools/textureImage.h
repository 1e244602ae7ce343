// Shared by the texture generators: an RGBA float image, hashing for
// repeatable noise, and the DDS writer (A8R8G8B8 with a full mip chain).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace texgen
{

struct Image
{
  int w, h;
  std::vector<float> px;  // r, g, b, a per pixel, 0..1
  float* at(int x, int y) { return &px[(size_t(y) * w + x) * 4]; }
};

inline uint32_t hash(uint32_t x, uint32_t y, uint32_t seed)
{
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

inline float hash01(uint32_t x, uint32_t y, uint32_t seed) { return float(hash(x, y, seed) & 0xFFFFFF) / 16777215.f; }

inline float smooth(float t) { return t * t * (3.f - 2.f * t); }

inline float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

inline Image half_size(Image& src)
{
  Image dst{src.w > 1 ? src.w / 2 : 1, src.h > 1 ? src.h / 2 : 1, {}};
  dst.px.resize(size_t(dst.w) * dst.h * 4);
  for (int y = 0; y < dst.h; ++y)
    for (int x = 0; x < dst.w; ++x)
      for (int c = 0; c < 4; ++c) {
        float s = 0.f;
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) s += src.at((2 * x + i) % src.w, (2 * y + j) % src.h)[c];
        dst.at(x, y)[c] = s * 0.25f;
      }
  return dst;
}

inline bool write_dds(const std::string& path, Image img)
{
  int levels = 1;
  for (int s = img.w; s > 1; s /= 2) ++levels;
  uint32_t h[32] = {0};
  h[0] = 0x20534444;                                  // "DDS "
  h[1] = 124;
  h[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000;    // caps, height, width, pitch, pixel format, mip count
  h[3] = uint32_t(img.h);
  h[4] = uint32_t(img.w);
  h[5] = uint32_t(img.w * 4);
  h[7] = uint32_t(levels);
  h[19] = 32;
  h[20] = 0x40 | 0x1;  // RGB with alpha
  h[22] = 32;
  h[23] = 0x00FF0000;
  h[24] = 0x0000FF00;
  h[25] = 0x000000FF;
  h[26] = 0xFF000000;
  h[27] = 0x1000 | 0x8 | 0x400000;  // texture, complex, mipmap
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(h, 4, 32, f) == 32;
  for (int l = 0; l < levels && ok; ++l) {
    std::vector<uint32_t> row(size_t(img.w));
    for (int y = 0; y < img.h && ok; ++y) {
      for (int x = 0; x < img.w; ++x) {
        const float* p = img.at(x, y);
        auto byte = [](float v) { return uint32_t(std::lrint(clamp01(v) * 255.f)); };
        row[size_t(x)] = byte(p[3]) << 24 | byte(p[0]) << 16 | byte(p[1]) << 8 | byte(p[2]);
      }
      ok = fwrite(row.data(), 4, row.size(), f) == row.size();
    }
    if (l + 1 < levels) img = half_size(img);
  }
  ok = fclose(f) == 0 && ok;
  return ok;
}

}  // namespace texgen
