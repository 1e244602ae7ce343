#include "gameobj/scenery.h"

#include <cmath>

#include "gameshell/proximity.h"
#include "world/heightmapData.h"
#include "world/mapGrid.h"

namespace
{
uint32_t hash_xz(float x, float z, uint32_t seed)
{
  uint32_t h = uint32_t(int32_t(x * 64.f)) * 0x8da6b343u ^ uint32_t(int32_t(z * 64.f)) * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

float hash01(uint32_t h) { return float(h & 0xFFFFFF) / 16777216.f; }

// Kinds: 0, 1 trees; 2 boulder; 3, 4 menhirs; 5 stone cup.
float radius_of_kind(int kind) { return kind < 2 ? 0.6f : (kind == 2 ? 0.8f : 0.5f); }
float height_of_kind(int kind) { return kind < 2 ? 6.f : (kind == 2 ? 1.2f : 3.2f); }

template <class T>
int kind_if(GameObj* o, int kind)
{
  return dynamic_cast<T*>(o) ? kind : -1;
}

int kind_of(GameObj* o)
{
  int k = -1;
  if ((k = kind_if<TreeObject>(o, 0)) >= 0) return k;
  if ((k = kind_if<Stone1StaticObject>(o, 2)) >= 0) return k;
  if ((k = kind_if<Menhir1StaticObject>(o, 3)) >= 0) return k;
  if ((k = kind_if<Menhir2StaticObject>(o, 4)) >= 0) return k;
  return kind_if<StoneCup1Object>(o, 5);
}

// One candidate point per 8 x 8 block, from a hash of the block: open,
// dry, gentle ground without marks gets a tree (mostly) or a stone.
class ScatterWalk : public IWalkMapGrid
{
public:
  void on_map_grid_walk(float x, float z, float size) override
  {
    using namespace HeightmapData;
    const uint32_t h = hash_xz(x, z, 77u);
    if (hash01(h) > 0.55f) return;
    const float px = x + 0.5f + hash01(h >> 3) * (size - 1.f), pz = z + 0.5f + hash01(h * 2654435761u) * (size - 1.f);
    const int cell = cell_index(int(px), int(pz));
    if (cell_marks(surface[cell].bits) != 0 || ground_type(surface[cell].bits) == GT_HOUSE) return;
    const float ground = land_height(px, pz);
    if (ground < 0.3f) return;
    const float slope = std::fabs(land_height(px + 1.f, pz) - ground) + std::fabs(land_height(px, pz + 1.f) - ground);
    if (slope > 1.2f) return;
    const vec4f pos = make4f(px, ground, pz, 1.f);
    const float pick = hash01(h >> 7);
    PluginObject* obj;
    if (pick < 0.72f)
      obj = new_object<TreeObject>(pos);
    else if (pick < 0.84f)
      obj = new_object<Stone1StaticObject>(pos);
    else if (pick < 0.91f)
      obj = new_object<Menhir1StaticObject>(pos);
    else if (pick < 0.96f)
      obj = new_object<Menhir2StaticObject>(pos);
    else
      obj = new_object<StoneCup1Object>(pos);
    place_scenery_in_proximity(obj);
  }
};
}  // namespace

uint32_t scenery_variant(const PluginObject* obj) { return hash_xz(obj->pos[0], obj->pos[2], 5u); }
float scenery_yaw(const PluginObject* obj) { return hash01(hash_xz(obj->pos[0], obj->pos[2], 9u)) * 6.2831853f; }
float scenery_scale(const PluginObject* obj) { return 0.8f + 0.5f * hash01(hash_xz(obj->pos[0], obj->pos[2], 13u)); }

void place_in_proximity(PluginObject* obj, float r)
{
  update_proximity(obj, make4f(obj->pos[0] - r, obj->pos[2] - r, obj->pos[0] + r, obj->pos[2] + r));
}

void place_scenery_in_proximity(PluginObject* obj)
{
  place_in_proximity(obj, radius_of_kind(kind_of(obj)) * scenery_scale(obj));
}

void SceneryObject::onLoaded() { place_scenery_in_proximity(this); }

void scatter_scenery()
{
  if (TreeObject_list.num || Stone1StaticObject_list.num) return;
  ScatterWalk walk;
  walk_map_grid(3, walk);
}

void push_out_of_scenery(vec4f& pos, float radius)
{
  static ProximityQuery q;
  const float reach = radius + 2.f;
  q.proximityQuery(make4f(pos[0] - reach, pos[2] - reach, pos[0] + reach, pos[2] + reach), false);
  for (int b : q.bins) {
    for (GameObj* o : proximity[b]) {
      const int kind = kind_of(o);
      if (kind < 0) continue;
      PluginObject* s = static_cast<PluginObject*>(o);
      const float scale = scenery_scale(s);
      if (pos[1] > s->pos[1] + height_of_kind(kind) * scale) continue;
      const vec4f near = nearest_world_image(s->pos, pos);
      const float dx = pos[0] - near[0], dz = pos[2] - near[2];
      const float min_d = radius + radius_of_kind(kind) * scale;
      const float d2 = dx * dx + dz * dz;
      if (d2 >= min_d * min_d) continue;
      const float d = std::sqrt(d2);
      // Straight on the trunk's axis: out along x.
      const float nx = d > 1e-4f ? dx / d : 1.f, nz = d > 1e-4f ? dz / d : 0.f;
      pos[0] = near[0] + nx * min_d;
      pos[2] = near[2] + nz * min_d;
    }
  }
}
