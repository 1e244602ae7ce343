// Generates the effect textures as DDS files (A8R8G8B8 with a full mip
// chain), from fixed seeds so every build writes the same bytes:
//   blendfx.dds    512 x 256 atlas of the alpha-blended particles: white
//                  sprites whose alpha is their shape (the cells the effect
//                  script names in its sprite table, along the top row)
//   glowfx.dds     512 x 256 atlas of the additive particles: the same cells
//                  with the shape in colour and alpha; the trail head at
//                  (0, 64) size 64; a trail band in rows 128-191 that repeats
//                  along u, brightest along its middle
//   lightning.dds  128 x 32: a bolt's ribbon, u along it (repeating), v
//                  across; a hot core along v = 0.5
// Usage: make_fx_textures OUTPUT_DIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "textureImage.h"

using namespace texgen;

namespace
{
Image blank(int w, int h)
{
  Image img{w, h, {}};
  img.px.assign(size_t(w) * h * 4, 0.f);
  return img;
}

float soft_disc(float r, float edge) { return clamp01((1.f - r) / edge); }

// Shape value of sprite `kind` at (dx, dy) in [-1, 1] (dy up).
float sprite_shape(int kind, float dx, float dy, uint32_t px, uint32_t py)
{
  const float r = std::sqrt(dx * dx + dy * dy);
  switch (kind) {
    case 0:  // puff
      return smooth(clamp01(1.f - r));
    case 1: {  // smoke: a puff broken by noise
      const float n = 0.5f * hash01(px / 4, py / 4, 11u) + 0.5f * hash01(px / 8, py / 8, 12u);
      return clamp01(smooth(clamp01(1.f - r)) * (0.5f + 0.8f * n));
    }
    case 2: {  // flame: a tear drop, wide below, pointed above
      const float w = 0.75f * clamp01((1.f - dy) * 0.6f);
      const float e = w > 0.f ? std::fabs(dx) / w : 2.f;
      return smooth(clamp01(1.f - e)) * smooth(clamp01((1.f - std::fabs(dy)) * 2.f));
    }
    case 3:  // spark
      return soft_disc(r * 1.6f, 0.5f);
    case 4: {  // drop
      const float e = std::sqrt(dx * dx + (dy + 0.2f) * (dy + 0.2f) * 0.5f);
      return soft_disc(e * 1.4f, 0.3f);
    }
    case 5:  // ring
      return smooth(clamp01(1.f - std::fabs(r - 0.7f) * 6.f));
    case 6: {  // star
      const float arms = clamp01(1.f - std::fabs(dx) * 8.f) + clamp01(1.f - std::fabs(dy) * 8.f);
      return clamp01((arms * (1.f - r) + smooth(clamp01(1.f - r * 2.f))));
    }
    default:  // wide glow
      return std::pow(clamp01(1.f - r), 2.f);
  }
}

struct Cell
{
  int u, v, size;
};
const Cell CELLS[8] = {{0, 0, 64},   {64, 0, 64},  {128, 0, 64}, {192, 0, 32},
                       {224, 0, 32}, {256, 0, 64}, {320, 0, 64}, {384, 0, 128}};

void draw_cell(Image& img, const Cell& c, int kind, bool glow)
{
  for (int y = 0; y < c.size; ++y)
    for (int x = 0; x < c.size; ++x) {
      const float dx = (float(x) + 0.5f) / float(c.size) * 2.f - 1.f;
      const float dy = 1.f - (float(y) + 0.5f) / float(c.size) * 2.f;
      const float s = sprite_shape(kind, dx, dy, uint32_t(x), uint32_t(y));
      float* p = img.at(c.u + x, c.v + y);
      p[0] = p[1] = p[2] = glow ? s : 1.f;
      p[3] = s;
    }
}

Image make_atlas(bool glow)
{
  Image img = blank(512, 256);
  for (int k = 0; k < 8; ++k) draw_cell(img, CELLS[k], k, glow);
  if (glow) {
    draw_cell(img, {0, 64, 64}, 0, true);  // trail head
    for (int y = 128; y < 192; ++y)
      for (int x = 0; x < 512; ++x) {
        const float across = 1.f - std::fabs((float(y) - 159.5f) / 32.f);
        const float along = 0.8f + 0.2f * std::sin(float(x) * 6.2831853f / 128.f);
        float* p = img.at(x, y);
        p[0] = p[1] = p[2] = p[3] = clamp01(smooth(clamp01(across)) * along);
      }
  }
  return img;
}

Image make_lightning()
{
  Image img = blank(128, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 128; ++x) {
      const float across = std::fabs((float(y) + 0.5f) / 16.f - 1.f);
      // The core wanders a little along the bolt, repeating every 128 texels.
      const float wobble = 0.08f * std::sin(float(x) * 6.2831853f / 64.f) + 0.04f * (hash01(uint32_t(x) / 8, 0, 5u) - 0.5f);
      const float d = std::fabs(across - std::fabs(wobble));
      const float core = clamp01(1.f - d * 6.f);
      const float halo = clamp01(1.f - across) * 0.45f;
      float* p = img.at(x, y);
      const float v = clamp01(core + halo);
      p[0] = v * 0.85f;
      p[1] = v * 0.9f;
      p[2] = v;
      p[3] = v;
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
  bool ok = write_dds(dir + "/blendfx.dds", make_atlas(false));
  ok = write_dds(dir + "/glowfx.dds", make_atlas(true)) && ok;
  ok = write_dds(dir + "/lightning.dds", make_lightning()) && ok;
  if (!ok) {
    fprintf(stderr, "make_fx_textures: cannot write the effect textures to %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
