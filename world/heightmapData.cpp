// The world grid's arrays, its reset, and the world-data block of save games.
//
// Loading treats the block as untrusted: it is read whole into staging memory
// and checked there, and the arrays change only after every check passed, so
// a short or corrupt world file leaves the world in memory as it was.
#include "world/heightmapData.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "engine/streams.h"
#include "world/worldServices.h"

namespace HeightmapData
{

alignas(64) float hmap[HMAP_CELLS];
alignas(64) float target_hmap[HMAP_CELLS];
alignas(64) Surface surface[HMAP_CELLS];
LandSoundGroup land_sound[8];

// The two fluid arrays; `water` and `tmpw` point at one each.
alignas(64) static WaterRow fluid_first[HMAP_SIZE];
alignas(64) static WaterRow fluid_second[HMAP_SIZE];
WaterRow* water = fluid_first;
WaterRow* tmpw = fluid_second;

const vec4f ash_color0 = {0.01f, 0.01f, 0.01f, 0.0f};
const vec4f ash_color1 = {0.04f, 0.04f, 0.04f, 0.5f};

// Block layout: offsets of the four arrays.
enum
{
  BLOCK_HMAP = 0x000000,
  BLOCK_TARGET = 0x040000,
  BLOCK_SURFACE = 0x080000,
  BLOCK_WATER = 0x140000,
};
static_assert(sizeof(hmap) == BLOCK_TARGET - BLOCK_HMAP, "block layout");
static_assert(sizeof(target_hmap) == BLOCK_SURFACE - BLOCK_TARGET, "block layout");
static_assert(sizeof(surface) == BLOCK_WATER - BLOCK_SURFACE, "block layout");
static_assert(sizeof(fluid_first) == WORLD_DATA_SIZE - BLOCK_WATER, "block layout");

// A block being loaded is read here whole and checked before the arrays
// change (main thread only, as the arrays).
alignas(64) static unsigned char staging[WORLD_DATA_SIZE];

// Heights, fluid depths and velocities beyond this are no world the game can
// make; the fluid step squares head differences and extrapolates velocities,
// so far larger finite values would overflow into infinity there.
static const float MAX_LOADED_VALUE = 1e9f;

// House tiles index the renderer's table of 19 building pieces.
static const uint32_t HOUSE_TILE_MATERIALS = 19;

static void forget_land_sounds()
{
  for (LandSoundGroup& g : land_sound)
    fade_out_and_stop_sound(g.channel, 10);
  memset(land_sound, 0, sizeof(land_sound));
}

void reset()
{
  for (LandSoundGroup& g : land_sound)
    fade_out_and_stop_sound(g.channel, 10);
  for (int i = 0; i < HMAP_CELLS; i++) {
    hmap[i] = 0.f;
    target_hmap[i] = 0.f;
  }
  for (int i = 0; i < HMAP_CELLS; i++)
    surface[i] = Surface{0xFF808080u, 0u, uint32_t(GT_ROCK)};
  memset(water, 0, sizeof(fluid_first));
  memset(land_sound, 0, sizeof(land_sound));
}

void saveWorldData(OutputStream& out)
{
  out.write(hmap, int(sizeof(hmap)));
  out.write(target_hmap, int(sizeof(target_hmap)));
  out.write(surface, int(sizeof(surface)));
  out.write(water, int(sizeof(fluid_first)));
}

static bool loadable_value(float v) { return std::isfinite(v) && std::fabs(v) <= MAX_LOADED_VALUE; }

[[noreturn]] static void refuse_block(int block_start, int offset, const char* what, int cell)
{
  char text[200];
  snprintf(text, sizeof(text), "corrupt world data: %s at cell (%d, %d)", what, cell_x(cell), cell_z(cell));
  throw InputStream::Exception(text, block_start < 0 ? -1 : block_start + offset);
}

// The common case of a good block is checked in one pass of plain arithmetic
// on sixteen 32-bit lanes at a time, without a comparison or branch per value.
typedef uint32_t Lanes __attribute__((vector_size(64)));

static void load_lanes(Lanes& v, const unsigned char* p) { memcpy(&v, p, sizeof(v)); }

static uint32_t lanes_or(const Lanes& v)
{
  uint32_t r = 0;
  for (int i = 0; i < 16; i++) r |= v[i];
  return r;
}

// Whether n floats (a multiple of 64) all pass loadable_value. The magnitude
// bits of floats order as the magnitudes do, and those of infinities and NaNs
// are above every finite value's: limit - magnitude wraps (sets the top bit)
// exactly for the values loadable_value refuses.
static bool all_loadable(const unsigned char* p, int n)
{
  static const float limit = MAX_LOADED_VALUE;
  uint32_t limit_bits;
  memcpy(&limit_bits, &limit, 4);
  static_assert(0xFFFFFFFFu - 0x7FFFFFFFu > 0x7FFFFFFFu, "one wrap sets the top bit");
  Lanes limit_lanes = {};
  limit_lanes += limit_bits;
  Lanes wrapped = {}, a, b, c, d;
  for (const unsigned char* end = p + size_t(n) * 4; p != end; p += 256) {
    load_lanes(a, p);
    load_lanes(b, p + 64);
    load_lanes(c, p + 128);
    load_lanes(d, p + 192);
    wrapped |= (limit_lanes - (a & 0x7FFFFFFFu)) | (limit_lanes - (b & 0x7FFFFFFFu)) |
               (limit_lanes - (c & 0x7FFFFFFFu)) | (limit_lanes - (d & 0x7FFFFFFFu));
  }
  return (lanes_or(wrapped) >> 31) == 0;
}

// Bits of a house tile whose material is out of range get the top bit: for a
// house tile (ground bits 0) ground - 1 wraps, and so does the largest known
// material - material for an unknown one.
static void mark_unknown_houses(Lanes& bad, const Lanes& w, const Lanes& keep)
{
  static_assert(GT_HOUSE == 0, "house tiles are the ground bits 0");
  Lanes material = (w & uint32_t(SURF_MATERIAL_MASK)) >> uint32_t(SURF_MATERIAL_SHIFT);
  bad |= keep & ((w & uint32_t(SURF_GROUND_MASK)) - 1u) & ((HOUSE_TILE_MATERIALS - 1u) - material);
}

// Whether none of n cells (a multiple of 16) is a house tile whose material
// is out of range. Sixteen cells are three groups of lanes; each cell's third
// word (its bits) is kept, the colours are masked out.
static bool all_house_materials_known(const unsigned char* p, int n)
{
  static_assert(sizeof(Surface) == 12 && offsetof(Surface, bits) == 8, "the bits are a cell's third word");
  static_assert(HMAP_CELLS % 16 == 0, "sixteen cells at a time");
  const uint32_t k = ~0u;
  const Lanes keep0 = {0, 0, k, 0, 0, k, 0, 0, k, 0, 0, k, 0, 0, k, 0};
  const Lanes keep1 = {0, k, 0, 0, k, 0, 0, k, 0, 0, k, 0, 0, k, 0, 0};
  const Lanes keep2 = {k, 0, 0, k, 0, 0, k, 0, 0, k, 0, 0, k, 0, 0, k};
  Lanes bad = {}, w;
  for (const unsigned char* end = p + size_t(n) * 12; p != end; p += 192) {
    load_lanes(w, p);
    mark_unknown_houses(bad, w, keep0);
    load_lanes(w, p + 64);
    mark_unknown_houses(bad, w, keep1);
    load_lanes(w, p + 128);
    mark_unknown_houses(bad, w, keep2);
  }
  return (lanes_or(bad) >> 31) == 0;
}

// The first of n floats (a multiple of 64) that fails loadable_value, or n.
// Groups of 64 are passed over with the check above; only the first group
// that fails is looked at value by value.
static int first_unloadable(const unsigned char* p, int n)
{
  for (int i = 0; i < n; i += 64) {
    if (all_loadable(p + size_t(i) * 4, 64)) continue;
    const float* v = reinterpret_cast<const float*>(p) + i;
    for (int k = 0; k < 64; k++)
      if (!loadable_value(v[k])) return i + k;
  }
  return n;
}

// The first house tile with a material out of range, or HMAP_CELLS; found as
// first_unloadable finds its value.
static int first_unknown_house(const unsigned char* p)
{
  const Surface* surf = reinterpret_cast<const Surface*>(p);
  for (int i = 0; i < HMAP_CELLS; i += 16) {
    if (all_house_materials_known(p + size_t(i) * 12, 16)) continue;
    for (int k = i; k < i + 16; k++) {
      uint32_t bits = surf[k].bits;
      uint32_t material = (bits & SURF_MATERIAL_MASK) >> SURF_MATERIAL_SHIFT;
      if (ground_type(bits) == GT_HOUSE && material >= HOUSE_TILE_MATERIALS) return k;
    }
  }
  return HMAP_CELLS;
}

// Checks a staged block; throws InputStream::Exception naming the first bad value.
static void check_block(const unsigned char* block, int block_start)
{
  if (all_loadable(block + BLOCK_HMAP, 2 * HMAP_CELLS) && all_loadable(block + BLOCK_WATER, 4 * HMAP_CELLS) &&
      all_house_materials_known(block + BLOCK_SURFACE, HMAP_CELLS))
    return;
  // Something is wrong: find the first bad value, array by array.
  int i = first_unloadable(block + BLOCK_HMAP, HMAP_CELLS);
  if (i < HMAP_CELLS) refuse_block(block_start, BLOCK_HMAP + i * 4, "height not a finite number in range", i);
  i = first_unloadable(block + BLOCK_TARGET, HMAP_CELLS);
  if (i < HMAP_CELLS)
    refuse_block(block_start, BLOCK_TARGET + i * 4, "target height not a finite number in range", i);
  i = first_unknown_house(block + BLOCK_SURFACE);
  if (i < HMAP_CELLS) refuse_block(block_start, BLOCK_SURFACE + i * 12 + 8, "house tile material out of range", i);
  static const char* const fluid_fields[4] = {"fluid amount", "fluid velocity u", "fluid velocity w", "foam"};
  static_assert(sizeof(Water) == 16, "four floats a cell");
  i = first_unloadable(block + BLOCK_WATER, 4 * HMAP_CELLS);
  if (i < 4 * HMAP_CELLS) {
    char what[80];
    snprintf(what, sizeof(what), "%s not a finite number in range", fluid_fields[i % 4]);
    refuse_block(block_start, BLOCK_WATER + i * 4, what, i / 4);
  }
}

void loadWorldData(InputStream& in)
{
  // Where the block starts, for the positions of error messages; streams
  // that cannot tell report -1.
  int block_start = -1;
  try {
    block_start = in.tell();
  } catch (const InputStream::Exception&) {
  }

  // Fixed-size staging, one buffer for every load; the file decides no
  // allocation size.
  unsigned char* block = staging;
  in.read(block + BLOCK_HMAP, BLOCK_TARGET - BLOCK_HMAP);
  in.read(block + BLOCK_TARGET, BLOCK_SURFACE - BLOCK_TARGET);
  in.read(block + BLOCK_SURFACE, BLOCK_WATER - BLOCK_SURFACE);
  in.read(block + BLOCK_WATER, WORLD_DATA_SIZE - BLOCK_WATER);
  check_block(block, block_start);

  forget_land_sounds();
  memcpy(hmap, block + BLOCK_HMAP, sizeof(hmap));
  memcpy(target_hmap, block + BLOCK_TARGET, sizeof(target_hmap));
  memcpy(surface, block + BLOCK_SURFACE, sizeof(surface));
  memcpy(fluid_first, block + BLOCK_WATER, sizeof(fluid_first));
  memcpy(fluid_second, fluid_first, sizeof(fluid_first));
  water = fluid_first;
  tmpw = fluid_second;
}

}  // namespace HeightmapData
