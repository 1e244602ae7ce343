// Trees and stones: scattered over the open land of a new world (and again,
// the same way, over a loaded one, since they are not saved), kept in the
// proximity grid, and solid to the player. Each one's look (variant, turn,
// size) follows from its position, so it is the same after every load.
// Main thread only.
#pragma once

#include "gameobj/objects.h"

// The common part of trees and stones: in the proximity grid once placed.
class SceneryObject : public PluginObject
{
public:
  void onLoaded() override;
};

#define PLUGIN_SCENERY_CLASSES(X) \
  X(TreeObject)                   \
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

// The look of a scenery object.
uint32_t scenery_variant(const PluginObject* obj);
float scenery_yaw(const PluginObject* obj);
float scenery_scale(const PluginObject* obj);

// Moves a body of the given radius at pos, below `top` height over its
// ground, out of the trees and stones it overlaps (found through the
// proximity grid).
void push_out_of_scenery(vec4f& pos, float radius);
