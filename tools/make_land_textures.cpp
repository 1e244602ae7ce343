// Generates the land renderer's tiling textures as DDS files (A8R8G8B8 with
// a full mip chain), from fixed seeds so every build writes the same bytes:
//   detail.dds  ground grain: rgb a soft grey around 0.5 (colour times
//               0.6 + 0.8 * rgb), alpha a small bump height around 0.5
//   foam.dds    white foam: alpha the foam's cover, in drifting clumps
//   lava.dds    melt: rgb hot colours, alpha the crust (high on the plates,
//               low in the glowing cracks between them)
// Usage: make_land_textures OUTPUT_DIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const int SIZE = 256;

struct Image
{
  int w, h;
  std::vector<float> px;  // r, g, b, a per pixel, 0..1
  float* at(int x, int y) { return &px[(size_t(y) * w + x) * 4]; }
};

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed)
{
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

float hash01(uint32_t x, uint32_t y, uint32_t seed) { return float(hash(x, y, seed) & 0xFFFFFF) / 16777215.f; }

float smooth(float t) { return t * t * (3.f - 2.f * t); }

// Value noise on a lattice of `period` cells across the texture, wrapping.
float tiled_value_noise(float u, float v, int period, uint32_t seed)
{
  const float x = u * float(period), y = v * float(period);
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const float tx = smooth(x - float(x0)), ty = smooth(y - float(y0));
  auto corner = [&](int cx, int cy) {
    return hash01(uint32_t(((cx % period) + period) % period), uint32_t(((cy % period) + period) % period), seed);
  };
  const float a = corner(x0, y0) + (corner(x0 + 1, y0) - corner(x0, y0)) * tx;
  const float b = corner(x0, y0 + 1) + (corner(x0 + 1, y0 + 1) - corner(x0, y0 + 1)) * tx;
  return a + (b - a) * ty;
}

// Octaves of value noise, 0..1 around 0.5.
float tiled_fbm(float u, float v, int period, int octaves, uint32_t seed)
{
  float sum = 0.f, amp = 0.5f, norm = 0.f;
  for (int o = 0; o < octaves; ++o) {
    sum += tiled_value_noise(u, v, period << o, seed + uint32_t(o)) * amp;
    norm += amp;
    amp *= 0.5f;
  }
  return sum / norm;
}

// Cellular pattern with `period` cells across: distances to the nearest and
// second nearest feature point (in cell units), wrapping.
void tiled_cells(float u, float v, int period, uint32_t seed, float* d1, float* d2)
{
  const float x = u * float(period), y = v * float(period);
  const int cx = int(std::floor(x)), cy = int(std::floor(y));
  float best = 1e9f, second = 1e9f;
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      const int gx = cx + i, gy = cy + j;
      const uint32_t wx = uint32_t(((gx % period) + period) % period), wy = uint32_t(((gy % period) + period) % period);
      const float fx = float(gx) + hash01(wx, wy, seed), fy = float(gy) + hash01(wx, wy, seed + 17u);
      const float d = std::sqrt((fx - x) * (fx - x) + (fy - y) * (fy - y));
      if (d < best) {
        second = best;
        best = d;
      } else if (d < second) {
        second = d;
      }
    }
  }
  *d1 = best;
  *d2 = second;
}

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

Image make_detail()
{
  Image img{SIZE, SIZE, std::vector<float>(size_t(SIZE) * SIZE * 4)};
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const float u = (float(x) + 0.5f) / SIZE, v = (float(y) + 0.5f) / SIZE;
      const float grain = tiled_fbm(u, v, 8, 5, 101u);
      const float speck = hash01(uint32_t(x), uint32_t(y), 7u) - 0.5f;
      const float tint = tiled_fbm(u, v, 4, 3, 203u) - 0.5f;
      const float g = clamp01(0.5f + (grain - 0.5f) * 0.9f + speck * 0.08f);
      float* p = img.at(x, y);
      p[0] = clamp01(g + tint * 0.06f);
      p[1] = g;
      p[2] = clamp01(g - tint * 0.06f);
      p[3] = clamp01(0.5f + (tiled_fbm(u, v, 4, 4, 307u) - 0.5f) * 1.6f);
    }
  }
  return img;
}

Image make_foam()
{
  Image img{SIZE, SIZE, std::vector<float>(size_t(SIZE) * SIZE * 4)};
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const float u = (float(x) + 0.5f) / SIZE, v = (float(y) + 0.5f) / SIZE;
      float d1, d2;
      tiled_cells(u, v, 12, 401u, &d1, &d2);
      const float bubbles = clamp01((d2 - d1) * 3.f);
      const float clumps = tiled_fbm(u, v, 4, 4, 503u);
      float* p = img.at(x, y);
      p[0] = p[1] = p[2] = 1.f;
      p[3] = clamp01((clumps - 0.35f) * 2.5f) * (0.4f + 0.6f * bubbles);
    }
  }
  return img;
}

Image make_lava()
{
  Image img{SIZE, SIZE, std::vector<float>(size_t(SIZE) * SIZE * 4)};
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      const float u = (float(x) + 0.5f) / SIZE, v = (float(y) + 0.5f) / SIZE;
      float d1, d2;
      tiled_cells(u, v, 8, 601u, &d1, &d2);
      const float edge = d2 - d1;  // 0 on the cracks between plates
      const float heat = tiled_fbm(u, v, 4, 4, 701u);
      float* p = img.at(x, y);
      p[0] = 1.f;
      p[1] = clamp01(0.18f + heat * 0.55f);
      p[2] = clamp01(0.02f + (heat - 0.6f) * 0.3f);
      p[3] = clamp01(edge * 2.2f + (tiled_fbm(u, v, 16, 3, 809u) - 0.5f) * 0.3f);
    }
  }
  return img;
}

Image half_size(Image& src)
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

bool write_dds(const std::string& path, Image img)
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

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  struct
  {
    const char* name;
    Image (*make)();
  } textures[] = {{"detail.dds", make_detail}, {"foam.dds", make_foam}, {"lava.dds", make_lava}};
  for (const auto& t : textures) {
    if (!write_dds(dir + "/" + t.name, t.make())) {
      fprintf(stderr, "make_land_textures: cannot write %s/%s\n", dir.c_str(), t.name);
      return 1;
    }
  }
  return 0;
}
