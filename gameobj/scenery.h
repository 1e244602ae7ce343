// Trees and stones: scattered over the open land of a new world, kept in
// the proximity grid, and solid to the player while they stand. Each one's
// look (variant, turn, size) follows from its position. They keep to the
// ground as it moves a little; where the land rises or sinks far under one,
// or it stands in lava or deep water, it falls over, lies a while and is
// gone. Fire (any harm) sets a tree burning (a BurnEffect on it) until it
// is charred; stones do not burn. Main thread only.
#pragma once

#include "gameobj/objects.h"

#include <cmath>

const float SCENERY_FALL_DEPTH = 1.2f;  // land moved this far under it: it falls
const float SCENERY_FALL_TIME = 1.5f;   // seconds to topple
const float SCENERY_LIE_TIME = 30.f;    // seconds a fallen one lies before it is gone
const float TREE_HEALTH = 40.f;         // fire harm a tree takes before it is charred
const float BURN_HARM = 10.f;           // per second of burning
const float BURN_SPREAD = 3.f;          // a burning tree lights the trees this near

// The common part of trees and stones.
class SceneryObject : public PluginObject
{
public:
  float baseY = NAN;      // the ground it grew on (NaN: not yet known)
  float tilt = 0.f;       // radians from upright; it falls along its own +z
  float lying = 0.f;      // seconds since it came to lie
  float health = TREE_HEALTH;
  bool charred = false;

  bool standing() const { return tilt == 0.f; }
  void tick(float dt) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  // Takes its place in the proximity grid.
  void onLoaded() override;
};

class TreeObject;
// Fire on a tree: harms it every tick until it is charred, and lights the
// trees round it once.
class BurnEffect : public ListedObject<BurnEffect>
{
public:
  WeakPtr<PluginObject> target;
  uint32_t savedTarget = 0;  // its serial id, between loadState and onLoaded
  float age = 0.f;
  bool spread = false;

  void tick(float dt) override;
  void saveState(OutputStream& s) override;
  void loadState(InputStream& s) override;
  void onLoaded() override;
};

class TreeObject : public ListedObject<TreeObject, SceneryObject>
{
public:
  // Fire takes hold unless it burns already or is charred.
  void hurt(float amount) override;
};

#define PLUGIN_SCENERY_CLASSES(X) \
  X(StoneCup1Object)              \
  X(Stone1StaticObject)           \
  X(Menhir1StaticObject)          \
  X(Menhir2StaticObject)
#define PLUGIN_SCENERY_CLASS(cls) \
  class cls : public ListedObject<cls, SceneryObject> {};
PLUGIN_SCENERY_CLASSES(PLUGIN_SCENERY_CLASS)
#undef PLUGIN_SCENERY_CLASS

// Scatters the scenery unless the world has some already.
void scatter_scenery();
// Puts an object into the proximity grid with a footprint of radius r.
void place_in_proximity(PluginObject* obj, float r);
// Puts a tree or stone into the proximity grid with its own footprint.
void place_scenery_in_proximity(PluginObject* obj);

// Every object in the proximity grid within range of p (its position), into
// out (emptied first); destroyed ones are left out.
void objects_near(vec4f p, float range, DynArray<PluginObject*>& out);

// The look of a scenery object.
uint32_t scenery_variant(const PluginObject* obj);
float scenery_yaw(const PluginObject* obj);
float scenery_scale(const PluginObject* obj);

// Moves a body of the given radius at pos, below `top` height over its
// ground, out of the trees and stones it overlaps (found through the
// proximity grid).
void push_out_of_scenery(vec4f& pos, float radius);
