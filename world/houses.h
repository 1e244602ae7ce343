// House placement: stamps a castle, a tower or a house from one of five fixed
// templates onto a height buffer and the world's surface records. The ground
// under the building is levelled to one base height with the template's
// heights on top; every template cell with a material letter gets its house
// tile code and material in Surface::bits (ground and surface type 0, marks
// kept) and topColor 0; the whole covered block is marked MARK_HOUSE.
//
// Template by type: -1 the 18 x 18 castle, -2 the 4 x 4 tower; type >= 0 picks
// by type mod 3 the 4 x 4, 4 x 10 or 10 x 4 house (other negative types: the
// type read as unsigned, mod 3). Houses (type >= 0) are silently not placed
// where any covered cell carries a mark; castles and towers always are.
// Main thread only, during world generation.
#pragma once

namespace HeightmapData
{

// Centres the building on cell (x, z) of buf (index z * 256 + x, wrapping).
// level false (the script's choice): base = the mean ground height over the
// block; level true: the building's own mean height equals the ground's.
void placeHouse(int x, int z, int type, float* buf, bool level);

}  // namespace HeightmapData

// One building template: heights is (w + 1) x (h + 1) digits, materials and
// codes w x h characters; rows run from the far edge (largest z offset) down
// to z offset 0, x offset 0 first within a row.
struct HouseTemplate
{
  int w, h;
  float height_scale;  // height of the digit 9
  const char* heights;
  const char* materials;  // 'a'-'z' material, '.' no tile
  const char* codes;      // house tile code digits, low three bits stored
};

extern const HouseTemplate house_templates[5];
