// Signed distance maps of a BitMap, as HmapMasks for the world script.
#include "scripting/bitMap.h"
#include "scripting/hmapMask.h"

#include "engine/random.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

using namespace sqbind;

namespace
{

const uint8_t NONE = 255;  // no cell of that value in the line

// dist[v][line * 256 + p]: how far along the wrapped line the nearest entry
// equal to v lies from p (0..128), NONE when the line has none. get(line, p)
// reads the bit at position p of the line.
template <typename Get>
void line_distances(Get get, std::vector<uint8_t> dist[2])
{
  for (int v = 0; v < 2; v++) dist[v].assign(65536, NONE);
  int d[256];
  for (int line = 0; line < 256; line++)
    for (int v = 0; v < 2; v++) {
      // Two laps each way, so every position sees its nearest entry behind
      // and ahead of it round the circle.
      int last = INT_MIN / 2;
      for (int k = 0; k < 512; k++) {
        if (get(line, k & 255) == v) last = k;
        if (k >= 256) d[k & 255] = k - last;
      }
      int next = INT_MAX / 2;
      for (int k = 511; k >= 0; k--) {
        if (get(line, k & 255) == v) next = k;
        if (k < 256 && next - k < d[k]) d[k] = next - k;
      }
      uint8_t* out = dist[v].data() + line * 256;
      for (int p = 0; p < 256; p++) out[p] = d[p] <= 128 ? uint8_t(d[p]) : NONE;
    }
}

}  // namespace

// Ring r holds the rows z - r and z + r over columns x - r .. x + r, and the
// columns x - r and x + r over rows z - r + 1 .. z + r - 1. The least squared
// offset within a ring comes from the nearest differing cell of each of those
// four lines, so each ring costs four look-ups.
void fast_skeleton_map(const BitMap& map, float* out)
{
  std::vector<uint8_t> row_dist[2], col_dist[2];
  line_distances([&](int z, int x) { return int(map.test(x, z)); }, row_dist);
  line_distances([&](int x, int z) { return int(map.test(x, z)); }, col_dist);
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      int c = map.test(x, z);
      int other = 1 - c;
      const uint8_t* rows = row_dist[other].data();
      const uint8_t* cols = col_dist[other].data();
      int least = INT_MAX;
      for (int r = 1; r <= 128 && least == INT_MAX; r++) {
        int r2 = r * r;
        int d = rows[((z - r) & 255) * 256 + x];
        if (d <= r && r2 + d * d < least) least = r2 + d * d;
        d = rows[((z + r) & 255) * 256 + x];
        if (d <= r && r2 + d * d < least) least = r2 + d * d;
        d = cols[((x - r) & 255) * 256 + z];
        if (d <= r - 1 && r2 + d * d < least) least = r2 + d * d;
        d = cols[((x + r) & 255) * 256 + z];
        if (d <= r - 1 && r2 + d * d < least) least = r2 + d * d;
      }
      float v = sqrtf(float(least)) - 0.5f;
      out[z * 256 + x] = c ? v : -v;
    }
}

void make_skeleton_map(const BitMap& map, float jitter, float* out)
{
  const float BIG = 3.4028235e38f;
  std::vector<float> a(65536), b(65536);

  // Seeds on both sides of every boundary, each with a random fraction of
  // the half step (edge) or half diagonal (corner) to the boundary.
  bool seeded = false;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++) {
      bool c = map.test(x, z);
      bool edge = map.test(x, z - 1) != c || map.test(x, z + 1) != c || map.test(x - 1, z) != c ||
                  map.test(x + 1, z) != c;
      bool corner = map.test(x - 1, z - 1) != c || map.test(x + 1, z - 1) != c || map.test(x - 1, z + 1) != c ||
                    map.test(x + 1, z + 1) != c;
      float& v = a[z * 256 + x];
      if (edge) {
        v = rnd_float() * 0.5f;
        seeded = true;
      } else if (corner) {
        v = rnd_float() * 0.70710677f;
        seeded = true;
      } else {
        v = BIG;
      }
    }
  if (!seeded) {
    float v = map.bits[0] ? 1.f : -1.f;
    for (int i = 0; i < 65536; i++) out[i] = v;
    return;
  }

  static const int NX[8] = {0, -1, 1, 0, -1, 1, -1, 1};
  static const int NZ[8] = {-1, 0, 0, 1, -1, -1, 1, 1};
  float* src = a.data();
  float* dst = b.data();
  for (;;) {
    bool reached = false;
    for (int z = 0; z < 256; z++)
      for (int x = 0; x < 256; x++) {
        float c = src[z * 256 + x];
        float best = c;
        for (int n = 0; n < 8; n++) {
          float u = rnd_float();
          float step = 1.f + jitter * (2.f * u - 1.f);
          if (n >= 4) step = step * 1.4142135f;
          float cand = step + src[((z + NZ[n]) & 255) * 256 + ((x + NX[n]) & 255)];
          if (cand <= best) best = cand;
        }
        dst[z * 256 + x] = best;
        if (c == BIG && best != BIG) reached = true;
      }
    std::swap(src, dst);
    if (!reached) break;
  }
  for (int i = 0; i < 65536; i++) out[i] = ((map.bits[i >> 5] >> (i & 31)) & 1) ? src[i] : -src[i];
}

// ---- script natives ----

static HmapMask* sq_fast_skeleton_map(const BitMap& map)
{
  HmapMask* m = alloc_hmap_mask();
  if (m) fast_skeleton_map(map, m->cells);
  return m;
}

static HmapMask* sq_make_skeleton_map(const BitMap& map, float jitter)
{
  HmapMask* m = alloc_hmap_mask();
  if (m) make_skeleton_map(map, jitter, m->cells);
  return m;
}

void register_distance_map_natives(HSQUIRRELVM vm)
{
  bind_function(vm, sq_make_skeleton_map, "make_skeleton_map");
  bind_function(vm, sq_fast_skeleton_map, "fast_skeleton_map");
}
