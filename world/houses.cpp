#include "world/houses.h"

#include <cstdint>

#include "world/heightmapData.h"

// ---- templates ------------------------------------------------------------------------

// 18 x 18
static const char castle_heights[] =
    "0000000000000000000"
    "0888000000000008880"
    "0898664466644668980"
    "0888664466644668880"
    "0066444444444446600"
    "0066444444444446600"
    "0044440000000444400"
    "0044440000000444400"
    "0066440088800446600"
    "0066440089800446600"
    "0066440088800446600"
    "0044440000000444400"
    "0044440000000444400"
    "0066444444444446600"
    "0066444444444446600"
    "0888664466644668880"
    "0898664466644668980"
    "0888000000000008880"
    "0000000000000000000";
static const char castle_materials[] =
    "bdcb..........bdcb"
    "caarkomnkjqlpjraad"
    "daaifheiffheifhaac"
    "brhsigeghigeghsirb"
    ".jfheeeeeeeeeeifk."
    ".pigebcdcdcdbegho."
    ".leeed......ceeem."
    ".qhgec.bdcb.degin."
    ".jfied.caad.cehfk."
    ".kfhec.daac.deifj."
    ".niged.bcdb.ceghq."
    ".meeec......deeel."
    ".ohgebdcdcdcbegip."
    ".kfieeeeeeeeeehfj."
    "brishgegihgegishrb"
    "caahfiehffiehfiaad"
    "daarjplqjknmokraac"
    "bcdb..........bcdb";
static const char castle_codes[] =
    "566600000000005666"
    "556766666666665563"
    "503363056630565033"
    "000303000030000043"
    "055300000000005330"
    "050305000000600030"
    "050003000000500030"
    "056603056660505630"
    "055303055630505330"
    "055303050330505330"
    "050303000030500030"
    "050003000000500030"
    "056600666666305630"
    "055300000000005330"
    "526666056660565666"
    "556303050030505563"
    "503300000000001033"
    "000300000000000003";

// 4 x 4
static const char small_heights[] =
    "00000"
    "08880"
    "08980"
    "08880"
    "00000";
static const char small_materials[] =
    "bdcb"
    "caad"
    "daac"
    "bcdb";
static const char small_codes[] =
    "5666"
    "5563"
    "5033"
    "0003";

// 4 x 10
static const char long_heights[] =
    "00000"
    "05550"
    "05650"
    "05550"
    "05550"
    "05750"
    "05550"
    "05550"
    "05650"
    "05550"
    "00000";
static const char long_materials[] =
    "bdcb"
    "caad"
    "daac"
    "ceed"
    "daac"
    "caad"
    "deec"
    "caad"
    "daac"
    "bcdb";
static const char long_codes[] =
    "5666"
    "5563"
    "5033"
    "5003"
    "5563"
    "5033"
    "5003"
    "5563"
    "5033"
    "0003";

// 10 x 4
static const char wide_heights[] =
    "00000000000"
    "05555555550"
    "05655755650"
    "05555555550"
    "00000000000";
static const char wide_materials[] =
    "bdcdcdcdcb"
    "caaeaaeaad"
    "daaeaaeaac"
    "bcdcdcdcdb";
static const char wide_codes[] =
    "5666666666"
    "5560560563"
    "5030030033"
    "0000000003";

// The tower and the 4 x 4 house share one design.
const HouseTemplate house_templates[5] = {
    {18, 18, 6.75f, castle_heights, castle_materials, castle_codes},  // -1: castle
    {4, 4, 6.75f, small_heights, small_materials, small_codes},       // -2: tower
    {4, 4, 6.75f, small_heights, small_materials, small_codes},       // type mod 3 = 0
    {4, 10, 6.75f, long_heights, long_materials, long_codes},         // type mod 3 = 1
    {10, 4, 6.75f, wide_heights, wide_materials, wide_codes},         // type mod 3 = 2
};

static int template_index(int type)
{
  if (type == -1) return 0;
  if (type == -2) return 1;
  return 2 + int(uint32_t(type) % 3u);
}

static inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

namespace HeightmapData
{

void placeHouse(int x, int z, int type, float* buf, bool level)
{
  const HouseTemplate& t = house_templates[template_index(type)];
  const int w = t.w, h = t.h;
  const int x0 = (x - w / 2) & 255;
  const int z0 = (z - h / 2) & 255;

  if (type >= 0 && !test_rect_mark(x0, z0, x0 + w, z0 + h, 15, 0)) return;
  mark_rect(x0, z0, x0 + w, z0 + h, MARK_HOUSE, 0);

  // Base height over the (w + 1) x (h + 1) block.
  double sum = 0.0;
  for (int dz = 0; dz <= h; dz++)
    for (int dx = 0; dx <= w; dx++) {
      sum += double(buf[cell_index(x0 + dx, z0 + dz)]);
      if (level) {
        char c = t.heights[(h - dz) * (w + 1) + dx];
        float th = is_digit(c) ? float(c - '0') * t.height_scale / 9.0f : -1000.0f;
        sum -= double(th);
      }
    }
  const float base = float(sum / double((w + 1) * (h + 1)));

  for (int dz = 0; dz <= h; dz++)
    for (int dx = 0; dx <= w; dx++) {
      char c = t.heights[(h - dz) * (w + 1) + dx];
      if (is_digit(c)) buf[cell_index(x0 + dx, z0 + dz)] = float(c - '0') * t.height_scale * (1.0f / 9.0f) + base;
    }

  for (int dz = 0; dz < h; dz++)
    for (int dx = 0; dx < w; dx++) {
      int k = (h - 1 - dz) * w + dx;
      char m = t.materials[k];
      if (m < 'a' || m > 'z') continue;
      Surface& s = surface[cell_index(x0 + dx, z0 + dz)];
      uint32_t code = uint32_t(t.codes[k]) & 7u;
      s.bits = (s.bits & SURF_MARK_MASK) | (code << SURF_TILE_SHIFT) | (uint32_t(m - 'a') << SURF_MATERIAL_SHIFT);
      s.topColor = 0;
    }
}

}  // namespace HeightmapData
