#include "scripting/bitMap.h"

#include "scripting/intMap.h"
#include "scripting/scriptServices.h"
#include "scripting/worldNatives.h"

#include "engine/debug.h"
#include "engine/random.h"
#include "engine/tga.h"
#include "engine/vec4f.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

using namespace sqbind;

// The type tag lives in the game, so the plug-in shares it.
template struct sqbind::ClassTag<BitMap>;

// ---- rows of 256 bits ----

// out = row rotated so that bit x of out is bit (x - s) & 255 of row.
static void rotate_row(const uint32_t* row, int s, uint32_t out[8])
{
  s &= 255;
  int ws = s >> 5, bs = s & 31;
  for (int w = 0; w < 8; w++) {
    uint32_t v = row[(w - ws) & 7] << bs;
    if (bs) v |= row[(w - ws - 1) & 7] >> (32 - bs);
    out[w] = v;
  }
}

// Bit (a + 2b) of op decides each pair (a, b) of bits.
static inline uint32_t combine(uint32_t a, uint32_t b, int op)
{
  uint32_t r = 0;
  if (op & 1) r |= ~a & ~b;
  if (op & 2) r |= a & ~b;
  if (op & 4) r |= ~a & b;
  if (op & 8) r |= a & b;
  return r;
}

static BitMap* new_bitmap_or_throw()
{
  BitMap* m = new_bitmap();
  if (!m) throw SquirrelError("out of memory");
  return m;
}

BitMap* new_bitmap()
{
  BitMap* m = (BitMap*)calloc(1, sizeof(BitMap));
  return m;
}

// ---- cache ----

void BitMap::updateCache()
{
  if (cacheValid) return;
  cacheValid = 1;
  uint32_t col_words[8] = {};
  uint8_t cols[256], rows[256];
  int count = 0;
  for (int z = 0; z < 256; z++) {
    const uint32_t* row = bits + z * 8;
    uint32_t any = 0;
    for (int w = 0; w < 8; w++) {
      col_words[w] |= row[w];
      any |= row[w];
      count += __builtin_popcount(row[w]);
    }
    rows[z] = any != 0;
  }
  for (int x = 0; x < 256; x++) cols[x] = (col_words[x >> 5] >> (x & 31)) & 1;
  area = count;
  wrapped_bounds(cols, rows, bounds);
  if (!count) {
    radius = 0.f;
    return;
  }
  // Every set cell lies inside the box; measure each from the box centre
  // along the shorter way round.
  float cx = float(bounds[0]) + float(bounds[2]) * 0.5f;
  float cz = float(bounds[1]) + float(bounds[3]) * 0.5f;
  float best = 0.f;
  for (int i = 0; i < WORDS; i++) {
    uint32_t w = bits[i];
    if (!w) continue;
    float dz = wrap_world_coord(float(i >> 3) - cz);
    while (w) {
      int b = __builtin_ctz(w);
      w &= w - 1;
      float dx = wrap_world_coord(float(((i & 7) << 5) | b) - cx);
      float d2 = dx * dx + dz * dz;
      if (d2 > best) best = d2;
    }
  }
  radius = sqrtf(best);
}

// ---- copies and combinations ----

BitMap* BitMap::makeCopy() const
{
  BitMap* m = new_bitmap_or_throw();
  memcpy(m, this, sizeof(BitMap));
  return m;
}

BitMap* BitMap::shiftedCopy(int dx, int dz) const
{
  BitMap* m = new_bitmap_or_throw();
  for (int z = 0; z < 256; z++) rotate_row(bits + wrap_sub(z, dz) * 8, dx, m->bits + z * 8);
  return m;
}

BitMap* BitMap::inverse() const
{
  BitMap* m = new_bitmap_or_throw();
  for (int i = 0; i < WORDS; i++) m->bits[i] = ~bits[i];
  return m;
}

BitMap* BitMap::erode() const
{
  BitMap* m = new_bitmap_or_throw();
  for (int z = 0; z < 256; z++) {
    const uint32_t* row = bits + z * 8;
    uint32_t left[8], right[8];
    rotate_row(row, 1, left);    // bit x holds this(x - 1, z)
    rotate_row(row, 255, right);  // bit x holds this(x + 1, z)
    const uint32_t* up = bits + ((z - 1) & 255) * 8;
    const uint32_t* down = bits + ((z + 1) & 255) * 8;
    for (int w = 0; w < 8; w++) m->bits[z * 8 + w] = row[w] & up[w] & left[w] & right[w] & down[w];
  }
  return m;
}

int BitMap::testMask(BitMap* other, int op, int dx, int dz) const
{
  if (!other) return 0;
  int count = 0;
  uint32_t b[8];
  for (int z = 0; z < 256; z++) {
    rotate_row(other->bits + wrap_sub(z, dz) * 8, dx, b);
    for (int w = 0; w < 8; w++) count += __builtin_popcount(combine(bits[z * 8 + w], b[w], op));
  }
  return count;
}

BitMap* BitMap::bitwise(BitMap* other, int op, int dx, int dz) const
{
  if (!other) return nullptr;
  BitMap* m = makeCopy();
  m->bitwiseInplace(other, op, dx, dz);
  return m;
}

void BitMap::bitwiseInplace(BitMap* other, int op, int dx, int dz)
{
  if (!other) return;
  // Combining a map with a shifted view of itself must read the old bits
  // throughout, not the rows already rewritten.
  std::vector<uint32_t> snapshot;
  const uint32_t* src = other->bits;
  if (other == this) {
    snapshot.assign(bits, bits + WORDS);
    src = snapshot.data();
  }
  uint32_t b[8];
  for (int z = 0; z < 256; z++) {
    rotate_row(src + wrap_sub(z, dz) * 8, dx, b);
    for (int w = 0; w < 8; w++) bits[z * 8 + w] = combine(bits[z * 8 + w], b[w], op);
  }
  cacheValid = 0;
}

// ---- queries ----

SqObject BitMap::boundsArray(HSQUIRRELVM vm)
{
  updateCache();
  return new_int_array(world_vm_or(vm), bounds, 4);
}

SqObject BitMap::boundingCircle(HSQUIRRELVM vm)
{
  updateCache();
  float v[3] = {float(bounds[0]) + float(bounds[2]) * 0.5f, float(bounds[1]) + float(bounds[3]) * 0.5f, radius};
  vm = world_vm_or(vm);
  StackRestore restore(vm);
  sq_newarray(vm, 0);
  for (float f : v) {
    sq_pushfloat(vm, f);
    sq_arrayappend(vm, -2);
  }
  return SqObject::fromStack(vm, -1);
}

int BitMap::getArea()
{
  updateCache();
  return area;
}

int BitMap::testOverlap(BitMap* other, int dx, int dz)
{
  if (!other) return 0;
  updateCache();
  other->updateCache();
  uint8_t xs[256], zs[256];
  if (!overlap_axis(bounds[0], bounds[2], wrap_add(other->bounds[0], dx), other->bounds[2], xs)) return 0;
  if (!overlap_axis(bounds[1], bounds[3], wrap_add(other->bounds[1], dz), other->bounds[3], zs)) return 0;
  uint32_t xmask[8] = {};
  for (int x = 0; x < 256; x++)
    if (xs[x]) xmask[x >> 5] |= 1u << (x & 31);
  int count = 0;
  uint32_t b[8];
  for (int z = 0; z < 256; z++) {
    if (!zs[z]) continue;
    rotate_row(other->bits + wrap_sub(z, dz) * 8, dx, b);
    for (int w = 0; w < 8; w++) count += __builtin_popcount(bits[z * 8 + w] & b[w] & xmask[w]);
  }
  return count;
}

int BitMap::findPixel(bool value) const
{
  uint32_t flip = value ? 0u : ~0u;
  for (int i = 0; i < WORDS; i++) {
    uint32_t w = bits[i] ^ flip;
    if (w) return i * 32 + __builtin_ctz(w);
  }
  return -1;
}

void BitMap::dumpTga(const char* path) const
{
  std::vector<uint32_t> pixels(65536);
  for (int i = 0; i < 65536; i++) pixels[i] = ((bits[i >> 5] >> (i & 31)) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  save_tga(path, pixels.data(), 256, 256, 1024);
}

// ---- flood fill ----

namespace
{

struct Span
{
  int x, z, len;
};

// Fills cells 4-connected to a seed whose bit equals the seed's. Cells are
// set in the result when their span is queued, so no span is queued twice.
struct FloodFill
{
  const BitMap& src;
  BitMap& dst;
  bool value;
  std::vector<Span> stack;

  bool open(int x, int z) const { return src.test(x, z) == value && !dst.test(x, z); }

  // The maximal run of matching cells through (x, z), the whole row from x
  // when it reaches 256 cells.
  Span spanAt(int x, int z) const
  {
    int left = 0;
    while (left < 255 && src.test(x - left - 1, z) == value) left++;
    int len = left + 1;
    while (len < 256 && src.test(x + len - left, z) == value) len++;
    if (len == 256) return Span{x & 255, z & 255, 256};
    return Span{(x - left) & 255, z & 255, len};
  }

  void push(const Span& s)
  {
    for (int i = 0; i < s.len; i++) {
      int x = (s.x + i) & 255;
      dst.bits[(s.z << 3) | (x >> 5)] |= 1u << (x & 31);
    }
    stack.push_back(s);
  }

  void scanRow(const Span& s, int z)
  {
    z &= 255;
    for (int i = 0; i < s.len;) {
      int x = (s.x + i) & 255;
      if (!open(x, z)) {
        i++;
        continue;
      }
      Span child = spanAt(x, z);
      push(child);
      if (child.len == 256) break;
      i += child.len - ((x - child.x) & 255);
    }
  }

  void run(int x, int z)
  {
    push(spanAt(x, z));
    while (!stack.empty()) {
      Span s = stack.back();
      stack.pop_back();
      scanRow(s, s.z - 1);
      scanRow(s, s.z + 1);
    }
    dst.cacheValid = 0;
  }
};

}  // namespace

BitMap* BitMap::floodFillMask(int x, int z) const
{
  BitMap* m = new_bitmap_or_throw();
  try {
    FloodFill fill{*this, *m, test(x, z), {}};
    fill.run(x & 255, z & 255);
  } catch (...) {
    free(m);
    throw;
  }
  return m;
}

bool BitMap::isContinuous() const
{
  int first = findPixel(true);
  if (first < 0) return true;
  BitMap* m = floodFillMask(first & 255, first >> 8);
  bool same = memcmp(m->bits, bits, sizeof(bits)) == 0;
  free(m);
  return same;
}

// ---- random placement ----

namespace
{

// Squared distance between two cell indices the shorter way round, each
// difference taken as a signed 8-bit number.
inline int wrapped_dist2(int a, int b)
{
  int dx = int8_t(uint8_t((a & 255) - (b & 255)));
  int dz = int8_t(uint8_t((a >> 8) - (b >> 8)));
  return dx * dx + dz * dz;
}

inline float wrapped_dist(int a, int b) { return sqrtf(float(wrapped_dist2(a, b))); }

// One draw: a set cell from the list, and whether bit 52 of the new state
// asks for the pair to be swapped.
inline int draw_cell(const std::vector<int>& cells, bool* swap)
{
  uint32_t h = rnd_u32();
  if (swap) *swap = (game_rnd_seed >> 52) & 1;
  return cells[h % uint32_t(cells.size())];
}

std::vector<int> list_set_cells(const BitMap& m)
{
  std::vector<int> cells;
  for (int i = 0; i < BitMap::WORDS; i++) {
    uint32_t w = m.bits[i];
    while (w) {
      cells.push_back(i * 32 + __builtin_ctz(w));
      w &= w - 1;
    }
  }
  return cells;
}

void call_for_cells(const SqObject& fn, const std::vector<int>& cells)
{
  SqFunc<void> f;
  f.set(world_vm_or(fn.vm), fn);
  for (int c : cells) f(c & 255, c >> 8);
}

// Euclidean distance from a cell to the nearest clear cell, computed on first use.
struct EdgeDistance
{
  const BitMap& map;
  std::vector<float> known;

  explicit EdgeDistance(const BitMap& m) : map(m), known(65536, -1.f) {}

  float operator()(int cell)
  {
    float& d = known[cell];
    if (d < 0.f) d = measure(cell & 255, cell >> 8);
    return d;
  }

  float measure(int x, int z) const
  {
    int best = INT_MAX;
    // Rows by growing vertical distance: 0, 1, -1, 2, -2, ..., -127, 128.
    for (int k = 0; k < 256; k++) {
      int dz = (k + 1) / 2 * ((k & 1) ? 1 : -1);
      if (dz * dz > best) break;
      int zz = z + dz;
      for (int dx = 0; dx <= 128; dx++) {
        int d2 = dx * dx + dz * dz;
        if (d2 >= best) break;
        if (!map.test(x + dx, zz) || !map.test(x - dx, zz)) {
          best = d2;
          break;
        }
      }
    }
    return sqrtf(float(best));
  }
};

}  // namespace

void BitMap::placePoints(int n, SqObject fn) const
{
  check_script_bound(n, SCRIPT_MAX_PLACEMENTS, "placePoints: count");
  std::vector<int> cells = list_set_cells(*this);
  if (cells.empty()) return;
  std::vector<int> pts;
  for (int k = 0; k < n; k++) pts.push_back(draw_cell(cells, nullptr));
  int64_t tries = int64_t(n) * 10;
  while (tries > 0) {
    int i = 0, j = 0, cur_min = INT_MAX;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++) {
        int d = wrapped_dist2(pts[a], pts[b]);
        if (d < cur_min) {
          cur_min = d;
          i = a;
          j = b;
        }
      }
    while (tries > 0) {
      bool swap = false;
      int cand = draw_cell(cells, &swap);
      if (swap) std::swap(i, j);
      bool reject = false;
      for (int k = 0; k < n && !reject; k++)
        if (k != i && wrapped_dist2(cand, pts[k]) < cur_min) reject = true;
      tries--;
      if (!reject) {
        pts[i] = cand;
        break;
      }
    }
  }
  call_for_cells(fn, pts);
}

void BitMap::placeCircles(SqObject radii_arr, SqObject fn) const
{
  if (!sq_isarray(radii_arr.o)) throw_type_error();
  HSQUIRRELVM vm = radii_arr.vm;
  StackRestore restore(vm);
  sq_pushobject(vm, radii_arr.o);
  SQInteger size = sq_getsize(vm, -1);
  check_script_bound(double(size), SCRIPT_MAX_PLACEMENTS, "placeCircles: count");
  int n = int(size);
  if (n < 1) return;
  std::vector<float> radii(n);
  for (int k = 0; k < n; k++) radii[k] = get_float_slot(vm, radii_arr.o, k);
  std::vector<int> cells = list_set_cells(*this);
  if (cells.empty()) return;

  EdgeDistance edge(*this);
  std::vector<int> centres;
  for (int k = 0; k < n; k++) centres.push_back(draw_cell(cells, nullptr));
  int64_t tries = int64_t(n) * 40;
  while (tries > 0) {
    // The worst circle sticking out of the region, else the tightest pair.
    int i = 0, j = 0;
    float cur_min = 0.f;
    bool single = false;
    for (int k = 0; k < n; k++) {
      float slack = edge(centres[k]) - radii[k];
      if (slack < 0.f && (!single || slack < cur_min)) {
        single = true;
        cur_min = slack;
        i = j = k;
      }
    }
    if (!single) {
      cur_min = 3.4028235e38f;
      for (int a = 0; a < n; a++)
        for (int b = a + 1; b < n; b++) {
          float gap = wrapped_dist(centres[a], centres[b]) - radii[a] - radii[b];
          if (gap < cur_min) {
            cur_min = gap;
            i = a;
            j = b;
          }
        }
    }
    while (tries > 0) {
      bool swap = false;
      int cand = draw_cell(cells, &swap);
      if (swap) std::swap(i, j);
      float slack = edge(cand) - radii[i];
      bool reject = single ? slack < cur_min : slack < 0.f;
      for (int k = 0; k < n && !reject; k++)
        if (k != i && wrapped_dist(cand, centres[k]) - radii[k] - radii[i] < cur_min) reject = true;
      tries--;
      if (!reject) {
        centres[i] = cand;
        break;
      }
    }
  }
  call_for_cells(fn, centres);
}

// ---- streams and saved graphs ----

void write_bitmap_bits(const BitMap& map, OutputStream& out) { out.write(map.bits, BitMap::BYTES); }

void read_bitmap_bits(BitMap& map, InputStream& in)
{
  in.read(map.bits, BitMap::BYTES);
  map.cacheValid = 0;
}

void read_bitmap_bits_raw(BitMap& map, InputStream& in) { in.read(map.bits, BitMap::BYTES); }

uint32_t* get_bitmap_bits(BitMap* map) { return map->bits; }

BitMap* alloc_bitmap_for_load() { return new_bitmap(); }

// ---- script bindings ----

// BitMap(fill): an integer sets every bit (non-zero) or none; anything else
// is called as fill(x, z) for every cell, rows outer, and the bit takes the
// truth of its result.
static void bit_map_ctor(HSQUIRRELVM vm, SqObject fill)
{
  BitMap* m = new_bitmap_or_throw();
  if (sq_isinteger(fill.o)) {
    if (sq_objtointeger(&fill.o)) memset(m->bits, 0xFF, sizeof(m->bits));
  } else {
    try {
      SqFunc<bool> fn;
      fn.set(vm, fill);
      RepeatedCall<bool> call(fn);
      for (int z = 0; z < 256; z++)
        for (int x = 0; x < 256; x++)
          if (call(x, z)) m->bits[(z << 3) | (x >> 5)] |= 1u << (x & 31);
    } catch (...) {
      free(m);
      throw;
    }
  }
  init_native_instance(m, vm);
}

void register_bit_map(HSQUIRRELVM vm)
{
  ClassDef<BitMap>(vm, "BitMap")
    .ctor(bit_map_ctor)
    .method(&BitMap::get, "get")
    .method(&BitMap::set, "set")
    .method(&BitMap::makeCopy, "makeCopy")
    .method(&BitMap::shiftedCopy, "shiftedCopy")
    .method(&BitMap::boundsArray, "bounds")
    .method(&BitMap::boundingCircle, "boundingCircle")
    .method(&BitMap::getArea, "area")
    .method(&BitMap::testOverlap, "testOverlap")
    .method(&BitMap::floodFillMask, "floodFillMask")
    .method(&BitMap::isContinuous, "isContinuous")
    .method(&BitMap::dumpTga, "dumpTga")
    .method(&BitMap::findPixel, "findPixel")
    .method(&BitMap::testMask, "testMask")
    .method(&BitMap::bitwise, "bitwise")
    .method(&BitMap::bitwiseInplace, "bitwiseInplace")
    .method(&BitMap::inverse, "inverse")
    .method(&BitMap::erode, "erode")
    .method(&BitMap::placePoints, "placePoints")
    .method(&BitMap::placeCircles, "placeCircles");
  register_distance_map_natives(vm);
}
