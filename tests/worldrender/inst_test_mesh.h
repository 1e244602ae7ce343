// A small mesh file for the instanced-mesh tests: a flat square of half-size
// 0.4 in x and z round the origin, one colour, fully emissive, drawn with the
// shipped object shaders; optional shadow spheres.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

inline bool write_inst_test_mesh(const std::string& path, uint32_t color, const std::vector<float>& spheres = {},
                                 int extra_elements = 0)
{
  std::vector<uint8_t> pay;
  auto u32 = [&pay](uint32_t v) {
    for (int i = 0; i < 4; ++i) pay.push_back(uint8_t(v >> (8 * i)));
  };
  auto f32 = [&u32](float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    u32(u);
  };
  auto str = [&pay](const char* s) {
    pay.push_back(uint8_t(strlen(s)));
    pay.insert(pay.end(), s, s + strlen(s) + 1);
  };
  str("inst_simple.sh");
  str("dr_inst_simple.sh");
  pay.push_back(0);
  pay.push_back(uint8_t(spheres.size() / 4));
  for (float f : spheres) f32(f);
  // POSITION0, NORMAL0, COLOR0, then unused TEXCOORDn copies of COLOR0.
  pay.push_back(uint8_t(3 + extra_elements));
  const uint8_t el[3][6] = {{0, 0, 0, 3, 0, 0}, {12, 0, 0, 5, 1, 0}, {16, 0, 0, 5, 2, 0}};
  for (const auto& e : el) pay.insert(pay.end(), e, e + 6);
  for (int i = 0; i < extra_elements; ++i) {
    const uint8_t e[6] = {16, 0, 0, 5, 3, uint8_t(i)};
    pay.insert(pay.end(), e, e + 6);
  }
  u32(20);
  u32(4);
  u32(2);
  const float c[4][2] = {{-0.4f, -0.4f}, {-0.4f, 0.4f}, {0.4f, 0.4f}, {0.4f, -0.4f}};
  for (const auto& p : c) {
    f32(p[0]);
    f32(0.f);
    f32(p[1]);
    u32(0xFF80FF80u);
    u32(color);
  }
  for (uint16_t i : {0, 1, 2, 0, 2, 3}) {
    pay.push_back(uint8_t(i));
    pay.push_back(0);
  }
  std::vector<uint8_t> file;
  pay.swap(file);
  u32(0x12040900u);
  u32(uint32_t(file.size()));
  pay.insert(pay.end(), file.begin(), file.end());
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(pay.data(), 1, pay.size(), f) == pay.size();
  return fclose(f) == 0 && ok;
}
