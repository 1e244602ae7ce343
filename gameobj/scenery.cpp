#include "gameobj/scenery.h"

#include <cmath>

#include "gameshell/proximity.h"
#include "scripting/fxScript.h"
#include "world/heightmapData.h"
#include "world/mapGrid.h"

namespace
{
// A coordinate in 1/64 units as the hash's key. Loaded objects may stand far
// outside the world; those keys wrap instead of overflowing the conversion.
uint32_t coord_key(float v)
{
  float s = v * 64.f;
  if (s > -2147483648.f && s < 2147483648.f) return uint32_t(int32_t(s));
  return uint32_t(int64_t(std::fmod(v, 67108864.f) * 64.f));
}

uint32_t hash_xz(float x, float z, uint32_t seed)
{
  uint32_t h = coord_key(x) * 0x8da6b343u ^ coord_key(z) * 0xd8163841u ^ seed * 0xcb1ab31fu;
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
    obj->onLoaded();
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

void SceneryObject::onLoaded()
{
  if (std::isnan(baseY)) baseY = pos[1];
  place_scenery_in_proximity(this);
}

void SceneryObject::tick(float dt)
{
  using namespace HeightmapData;
  if (std::isnan(baseY)) baseY = pos[1];
  if (!standing()) {
    // Toppling, then lying until it is gone.
    if (tilt < 1.5707963f) {
      tilt += 1.5707963f * dt / SCENERY_FALL_TIME;
      if (tilt > 1.5707963f) tilt = 1.5707963f;
    } else if ((lying += dt) >= SCENERY_LIE_TIME) {
      destroy();
    }
    return;
  }
  const int cell = cell_index(int(std::floor(pos[0])), int(std::floor(pos[2])));
  const float fluid = water[cell >> 8][cell & 255].amount;
  if (fluid < 0.f) hurt(BURN_HARM * 4.f * dt);  // lava sets trees alight
  const float ground = land_height(pos[0], pos[2]);
  if (std::fabs(ground - baseY) > SCENERY_FALL_DEPTH || fluid < -0.3f || fluid > SCENERY_FALL_DEPTH) {
    tilt = 1e-3f;
    return;
  }
  pos[1] = ground;
}

void SceneryObject::saveState(OutputStream& s)
{
  s.writeValue(std::isnan(baseY) ? pos[1] : baseY);
  s.writeValue(tilt);
  s.writeValue(lying);
  s.writeValue(health);
  s.writeValue(uint8_t(charred));
}

void SceneryObject::loadState(InputStream& s)
{
  baseY = s.readValue<float>();
  tilt = s.readValue<float>();
  lying = s.readValue<float>();
  health = s.readValue<float>();
  const uint8_t c = s.readValue<uint8_t>();
  if (!std::isfinite(baseY) || !(tilt >= 0.f && tilt <= 1.5707964f) || !(lying >= 0.f && lying <= SCENERY_LIE_TIME) ||
      !(health >= -BURN_HARM && health <= TREE_HEALTH) || c > 1)
    throw InputStream::Exception("tree or stone state out of range", s.tell());
  charred = c != 0;
}

void TreeObject::hurt(float amount)
{
  if (!(amount > 0.f) || charred || (flags & 1)) return;
  for (BurnEffect* b : BurnEffect_list)
    if (b->target.get() == this) return;
  BurnEffect* fire = new_object<BurnEffect>(pos);
  fire->target = this;
}

void BurnEffect::tick(float dt)
{
  SceneryObject* tree = dynamic_cast<SceneryObject*>(target.get());
  if (!tree || (tree->flags & 1) || tree->charred) {
    destroy();
    return;
  }
  age += dt;
  pos = tree->pos;
  tree->health -= BURN_HARM * dt;
  const float height = height_of_kind(0) * scenery_scale(tree);
  const int step = int(age / dt + 0.5f);
  if (step % 4 == 0)
    call_fx_script("fire_burst", pos + make4f(0.f, height * 0.6f, 0.f, 0.f), make4f(0.f, 1.f, 0.f, 0.f),
                   make4f(1.f, 0.55f, 0.15f, 1.f), 0.5f);
  if (step % 10 == 0)
    call_fx_script("smoke_column", pos + make4f(0.f, height, 0.f, 0.f), make4f(0.1f, 0.f, 0.1f, 0.f),
                   make4f(0.3f, 0.3f, 0.3f, 0.7f), 0.4f);
  // Halfway through it lights the trees next to it.
  if (!spread && tree->health < TREE_HEALTH * 0.5f) {
    spread = true;
    DynArray<PluginObject*> near;
    objects_near(pos, BURN_SPREAD, near);
    for (PluginObject* o : near)
      if (o != tree && dynamic_cast<TreeObject*>(o)) o->hurt(BURN_HARM);
  }
  if (tree->health <= 0.f) {
    tree->charred = true;
    destroy();
  }
}

void BurnEffect::saveState(OutputStream& s)
{
  write_ref(s, target.get());
  s.writeValue(age);
  s.writeValue(uint8_t(spread));
}

void BurnEffect::loadState(InputStream& s)
{
  savedTarget = s.readValue<uint32_t>();
  age = s.readValue<float>();
  const uint8_t sp = s.readValue<uint8_t>();
  if (!(age >= 0.f && age < 3600.f) || sp > 1) throw InputStream::Exception("fire state out of range", s.tell());
  spread = sp != 0;
}

void BurnEffect::onLoaded() { target = resolve_ref<PluginObject>(savedTarget); }

void objects_near(vec4f p, float range, DynArray<PluginObject*>& out)
{
  out.clear();
  ProximityQuery q;
  q.proximityQuery(make4f(p[0] - range, p[2] - range, p[0] + range, p[2] + range), false);
  for (int b : q.bins)
    for (GameObj* o : proximity[b]) {
      PluginObject* obj = static_cast<PluginObject*>(o);
      if ((obj->flags & 1) || out.find(obj) >= 0) continue;
      const vec4f d = nearest_world_image(obj->pos, p) - p;
      if (d[0] * d[0] + d[1] * d[1] + d[2] * d[2] <= range * range) out.push_back(obj);
    }
}

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
      SceneryObject* s = static_cast<SceneryObject*>(static_cast<PluginObject*>(o));
      if (!s->standing()) continue;
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
