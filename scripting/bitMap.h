// BitMap: one bit per cell of the 256 x 256 wrapping world grid, the world
// script's map of regions and placements. It caches the wrapped bounding box
// of its set cells, their bounding radius and their count until the next
// write, and combines with other bit maps at a wrapped offset through 4-bit
// truth tables. Two root natives turn a bit map into a signed distance map
// (an HmapMask): fast_skeleton_map and make_skeleton_map (distanceMaps.cpp).
//
// Row z occupies words z * 8 .. z * 8 + 7; cell (x, z) is bit x & 31 of word
// z * 8 + (x >> 5); coordinates wrap with & 255. The 8,192 bytes of bits are
// also the saved form of a BitMap inside script object graphs. Instances are
// plain data on the heap (malloc), owned by their script instance. Every
// random draw (placement, distance maps) steps game_rnd_seed. Main thread only.
#pragma once

#include "scripting/sqbindCall.h"
#include "engine/streams.h"

#include <cstdint>

struct HmapMask;

class BitMap
{
public:
  enum { WORDS = 2048, BYTES = 8192 };

  uint32_t bits[WORDS];
  int32_t bounds[4];   // x, z, w, h of the set cells, wrapped
  float radius;        // largest distance of a set cell from the box centre
  int32_t area;        // number of set cells
  uint8_t cacheValid;  // 0: bounds, radius and area must be recomputed

  bool test(int x, int z) const { return (bits[((z & 255) << 3) | ((x & 255) >> 5)] >> (x & 31)) & 1; }
  void put(int x, int z, bool on)
  {
    uint32_t& w = bits[((z & 255) << 3) | ((x & 255) >> 5)];
    uint32_t bit = 1u << (x & 31);
    w = on ? (w | bit) : (w & ~bit);
    cacheValid = 0;
  }
  void updateCache();

  // ---- script methods ----
  // The bit as it lies in its word: 0 or 2^(x & 31), negative for bit 31.
  int32_t get(int x, int z) const { return int32_t(bits[((z & 255) << 3) | ((x & 255) >> 5)] & (1u << (x & 31))); }
  void set(int x, int z, bool on) { put(x, z, on); }
  BitMap* makeCopy() const;
  // new(x, z) = this((x - dx) & 255, (z - dz) & 255)
  BitMap* shiftedCopy(int dx, int dz) const;
  sqbind::SqObject boundsArray(HSQUIRRELVM vm);
  // [x + w * 0.5, z + h * 0.5, radius] as floats.
  sqbind::SqObject boundingCircle(HSQUIRRELVM vm);
  int getArea();
  // Cells set in both, other shifted by (dx, dz); 0 for null.
  int testOverlap(BitMap* other, int dx, int dz);
  void dumpTga(const char* path) const;
  // (z << 8) | x of the first cell (rows outer) whose bit equals value, or -1.
  int findPixel(bool value) const;
  // Truth table op: bit (a + 2b) of op is the result for a = this(x, z) and
  // b = other((x - dx) & 255, (z - dz) & 255); 8 AND, 14 OR, 6 XOR, 12 copy.
  int testMask(BitMap* other, int op, int dx, int dz) const;
  BitMap* bitwise(BitMap* other, int op, int dx, int dz) const;
  void bitwiseInplace(BitMap* other, int op, int dx, int dz);
  BitMap* inverse() const;
  // Set where the cell and its four edge neighbours are all set.
  BitMap* erode() const;
  // The 4-connected region of cells equal to the seed's bit, as set bits.
  BitMap* floodFillMask(int x, int z) const;
  bool isContinuous() const;
  // n points on set cells spread apart by random relaxation; fn(x, z) each.
  void placePoints(int n, sqbind::SqObject fn) const;
  // Circles of the given radii inside the set region, spread apart; fn(x, z)
  // for each centre.
  void placeCircles(sqbind::SqObject radii, sqbind::SqObject fn) const;
};

// A new all-clear bit map on the heap with a stale cache; null when out of memory.
BitMap* new_bitmap();

// The bits as 8,192 bytes. read_bitmap_bits marks the cache stale;
// read_bitmap_bits_raw leaves the flag as it is.
void write_bitmap_bits(const BitMap& map, OutputStream& out);
void read_bitmap_bits(BitMap& map, InputStream& in);
void read_bitmap_bits_raw(BitMap& map, InputStream& in);

// Registers the class "BitMap" (constructor, get, set, makeCopy, shiftedCopy,
// bounds, boundingCircle, area, testOverlap, floodFillMask, isContinuous,
// dumpTga, findPixel, testMask, bitwise, bitwiseInplace, inverse, erode,
// placePoints, placeCircles) and the root natives "make_skeleton_map" and
// "fast_skeleton_map".
void register_bit_map(HSQUIRRELVM vm);

// ---- distance maps (distanceMaps.cpp) ----

// Signed distance to the nearest cell of the other value, searched in square
// rings: sqrt(least squared offset in the first ring that has one) - 0.5,
// positive on set cells. out holds 65,536 floats.
void fast_skeleton_map(const BitMap& map, float* out);
// Randomised chamfer distance: seeded at the boundary, relaxed with jittered
// steps until no unreached cell changes; negative on clear cells.
void make_skeleton_map(const BitMap& map, float jitter, float* out);
// The root natives "make_skeleton_map" and "fast_skeleton_map" (part of
// register_bit_map).
void register_distance_map_natives(HSQUIRRELVM vm);
