// The universe screen's map: a "uni_viewer" element that shows the worlds
// of the universe as icons at their map positions, joined by their portals,
// with the hot world (focused in the list) ringed and named. Main thread only.
#pragma once

#include "gameshell/universe.h"

#include "engine/utils.h"

struct UniverseWorld
{
  TempString<64> name;
  TempString<64> title;  // the kind of world
  float x = 0.f, y = 0.f, size = 20.f;
  uint32_t c1 = 0xFFFFFFFFu, c2 = 0xFF808080u, c3 = 0xFFFFDD55u;
  int level = 0;
  DynArray<int> links;  // worlds its portals lead to
};

class UniverseView : public UniViewerElement
{
public:
  DynArray<UniverseWorld> worlds;
  int hot = -1;
  vec4f mapRect = v_zero();  // where the map is placed: right of the list
  void layout(vec4f avail, float scale) override;
  void updateView(float dt) override;
};

// The universe's "worlds" as far as the script table has them.
void read_universe_worlds(DynArray<UniverseWorld>& out);
UniverseView* new_universe_view();
// Reads the worlds and sets the bounds and a view of them all.
void load_universe_view(UniverseView* view);
// The world whose icon holds the screen point, or -1.
int universe_view_world_at(UniverseView* view, float x, float y);
void draw_universe_view(UniverseView* view, RenderBatch& batch);
