// Small helpers shared by the asset generators: the game's 8-bit character
// set, whole-file reading and the one-channel DDS writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Unicode code point of a character byte of the game's texts (Windows-1252:
// ASCII, Latin-1 and the typographic marks of 128-159); 0 for control codes
// and unmapped bytes.
inline int code_point(int c)
{
  static const int cp1252_high[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
  };
  if (c < 32 || c == 127) return 0;
  if (c >= 128 && c < 160) return cp1252_high[c - 128];
  return c;  // ASCII and Latin-1
}

inline bool read_file(const char* path, std::vector<unsigned char>& out)
{
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok && !out.empty();
}

// An 8-bit luminance DDS (the engine reads it as (L, L, L, 1)) with `levels`
// mip levels, each a 2 x 2 box average of the one before.
inline bool write_dds_l8(const std::string& path, int w, int h, std::vector<uint8_t> px, int levels)
{
  uint32_t hd[32] = {0};
  hd[0] = 0x20534444;                                // "DDS "
  hd[1] = 124;
  hd[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000;  // caps, height, width, pitch, pixel format, mip count
  hd[3] = uint32_t(h);
  hd[4] = uint32_t(w);
  hd[5] = uint32_t(w);
  hd[7] = uint32_t(levels);
  hd[19] = 32;
  hd[20] = 0x20000;  // luminance
  hd[22] = 8;
  hd[23] = 0xFF;
  hd[27] = 0x1000 | 0x8 | 0x400000;  // texture, complex, mipmap
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(hd, 4, 32, f) == 32;
  for (int l = 0; l < levels && ok; ++l) {
    ok = fwrite(px.data(), 1, px.size(), f) == px.size();
    if (l + 1 == levels) break;
    int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    std::vector<uint8_t> next(size_t(nw) * size_t(nh));
    for (int y = 0; y < nh; ++y)
      for (int x = 0; x < nw; ++x) {
        int s = 0;
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) s += px[size_t((2 * y + j) % h) * size_t(w) + size_t((2 * x + i) % w)];
        next[size_t(y) * size_t(nw) + size_t(x)] = uint8_t((s + 2) / 4);
      }
    px.swap(next);
    w = nw;
    h = nh;
  }
  ok = fclose(f) == 0 && ok;
  return ok;
}
