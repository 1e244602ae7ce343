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

#include "textureImage.h"

using namespace texgen;

namespace
{

const int SIZE = 256;

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
