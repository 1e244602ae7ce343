// D3dColor: a colour packed as 0xAARRGGBB (the byte order of vertex colours,
// palettes and saved colour values), and its conversions to and from a vec4f
// (r, g, b, a) in 0..1. A plain value type; any thread.
#pragma once

#include <cstdint>

#include "engine/vec4f.h"

struct D3dColor
{
  uint32_t u;

  constexpr D3dColor() : u(0) {}
  constexpr D3dColor(uint32_t v) : u(v) {}
  constexpr D3dColor(int r, int g, int b, int a)
      : u((uint32_t(a & 255) << 24) | (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255))
  {
  }
  constexpr operator uint32_t() const { return u; }

  constexpr int r() const { return int((u >> 16) & 255); }
  constexpr int g() const { return int((u >> 8) & 255); }
  constexpr int b() const { return int(u & 255); }
  constexpr int a() const { return int(u >> 24); }
};

// (r, g, b, a) = (bits 16-23, 8-15, 0-7, 24-31) / 255.
vec4f color_to_vec4f(D3dColor c);
// Saturates, scales by 255, rounds each lane to nearest (ties to even) and packs.
D3dColor vec4f_to_color(vec4f v);
