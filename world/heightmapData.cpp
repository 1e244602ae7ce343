// The world grid's arrays, its reset, and the world-data block of save games.
//
// Loading treats the block as untrusted: it is read whole into staging memory
// and checked there, and the arrays change only after every check passed, so
// a short or corrupt world file leaves the world in memory as it was.
#include "world/heightmapData.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

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

// Checks a staged block; throws InputStream::Exception naming the first bad value.
static void check_block(const unsigned char* block, int block_start)
{
  const float* heights = reinterpret_cast<const float*>(block + BLOCK_HMAP);
  const float* targets = reinterpret_cast<const float*>(block + BLOCK_TARGET);
  const Surface* surf = reinterpret_cast<const Surface*>(block + BLOCK_SURFACE);
  const Water* fluid = reinterpret_cast<const Water*>(block + BLOCK_WATER);

  for (int i = 0; i < HMAP_CELLS; i++)
    if (!loadable_value(heights[i]))
      refuse_block(block_start, BLOCK_HMAP + i * 4, "height not a finite number in range", i);
  for (int i = 0; i < HMAP_CELLS; i++)
    if (!loadable_value(targets[i]))
      refuse_block(block_start, BLOCK_TARGET + i * 4, "target height not a finite number in range", i);
  for (int i = 0; i < HMAP_CELLS; i++) {
    uint32_t bits = surf[i].bits;
    uint32_t material = (bits & SURF_MATERIAL_MASK) >> SURF_MATERIAL_SHIFT;
    if (ground_type(bits) == GT_HOUSE && material >= HOUSE_TILE_MATERIALS)
      refuse_block(block_start, BLOCK_SURFACE + i * 12 + 8, "house tile material out of range", i);
  }
  static const char* const fluid_fields[4] = {"fluid amount", "fluid velocity u", "fluid velocity w", "foam"};
  for (int i = 0; i < HMAP_CELLS; i++) {
    const float* c = &fluid[i].amount;
    for (int k = 0; k < 4; k++)
      if (!loadable_value(c[k])) {
        char what[80];
        snprintf(what, sizeof(what), "%s not a finite number in range", fluid_fields[k]);
        refuse_block(block_start, BLOCK_WATER + i * 16 + k * 4, what, i);
      }
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

  // Fixed-size staging; the file decides no allocation size.
  std::unique_ptr<unsigned char[]> block(new unsigned char[WORLD_DATA_SIZE]);
  in.read(block.get() + BLOCK_HMAP, BLOCK_TARGET - BLOCK_HMAP);
  in.read(block.get() + BLOCK_TARGET, BLOCK_SURFACE - BLOCK_TARGET);
  in.read(block.get() + BLOCK_SURFACE, BLOCK_WATER - BLOCK_SURFACE);
  in.read(block.get() + BLOCK_WATER, WORLD_DATA_SIZE - BLOCK_WATER);
  check_block(block.get(), block_start);

  forget_land_sounds();
  memcpy(hmap, block.get() + BLOCK_HMAP, sizeof(hmap));
  memcpy(target_hmap, block.get() + BLOCK_TARGET, sizeof(target_hmap));
  memcpy(surface, block.get() + BLOCK_SURFACE, sizeof(surface));
  memcpy(fluid_first, block.get() + BLOCK_WATER, sizeof(fluid_first));
  memcpy(fluid_second, fluid_first, sizeof(fluid_first));
  water = fluid_first;
  tmpw = fluid_second;
}

}  // namespace HeightmapData
