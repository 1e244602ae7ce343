#include "gameshell/proximity.h"

#include <xmmintrin.h>

#include "gameshell/gameobjExports.h"

ProximityBin proximity[PROXIMITY_BINS];

namespace
{
// Nearest integer (ties to even) to v - 0.49999991: floor(v) but for values
// a hair below an integer, which count as that integer.
inline int prox_floor(float v) { return _mm_cvtss_si32(_mm_set_ss(v - 0.49999991f)); }

inline int fine_cell(float v) { return prox_floor(v / 8.f); }
inline int coarse_cell(float v) { return prox_floor((v + 4.f) / 16.f); }
inline int fine_bin(int cx, int cz) { return (cz & 31) * 32 + (cx & 31); }
inline int coarse_bin(int cx, int cz) { return PROXIMITY_COARSE_FIRST + (cz & 15) * 16 + (cx & 15); }

// Removes the first match; the bin's last entry takes its place.
void take_out_of_bin(ProximityBin& bin, GameObj* object)
{
  for (int i = 0; i < bin.num; ++i)
    if (bin[i] == object) {
      bin[i] = bin[bin.num - 1];
      bin.pop_back();
      return;
    }
}
}  // namespace

int proximity_bin_of_box(vec4f box)
{
  const int fx0 = fine_cell(box[0]), fz0 = fine_cell(box[1]), fx1 = fine_cell(box[2]), fz1 = fine_cell(box[3]);
  if (fx0 == fx1 && fz0 == fz1) return fine_bin(fx0, fz0);
  const int cx0 = coarse_cell(box[0]), cz0 = coarse_cell(box[1]), cx1 = coarse_cell(box[2]),
            cz1 = coarse_cell(box[3]);
  if (cx0 == cx1 && cz0 == cz1) return coarse_bin(cx0, cz0);
  return PROXIMITY_OVERFLOW_BIN;
}

void update_proximity(GameObj* object, vec4f box)
{
  const int b = proximity_bin_of_box(box);
  if (b == object->proximityBin) return;
  if (object->proximityBin >= 0) take_out_of_bin(proximity[object->proximityBin], object);
  proximity[b].push_back(object);
  object->proximityBin = b;
}

void remove_proximity_object(GameObj* object)
{
  if (!object) return;
  if (unsigned(object->proximityBin) >= unsigned(PROXIMITY_BINS)) return;
  take_out_of_bin(proximity[object->proximityBin], object);
  object->proximityBin = -1;
}

void ProximityQuery::proximityQuery(vec4f box, bool skip_overflow)
{
  bins.clear();
  const int fx0 = fine_cell(box[0]), fz0 = fine_cell(box[1]), fx1 = fine_cell(box[2]), fz1 = fine_cell(box[3]);
  for (int z = fz0; z <= fz1; ++z)
    for (int x = fx0; x <= fx1; ++x) {
      const int b = fine_bin(x, z);
      if (proximity[b].num > 0) bins.push_back(b);
    }
  const int cx0 = coarse_cell(box[0]), cz0 = coarse_cell(box[1]), cx1 = coarse_cell(box[2]),
            cz1 = coarse_cell(box[3]);
  for (int z = cz0; z <= cz1; ++z)
    for (int x = cx0; x <= cx1; ++x) {
      const int b = coarse_bin(x, z);
      if (proximity[b].num > 0) bins.push_back(b);
    }
  if (!skip_overflow && proximity[PROXIMITY_OVERFLOW_BIN].num > 0) bins.push_back(PROXIMITY_OVERFLOW_BIN);
  cursor = 0;
  subCursor = -1;
}
