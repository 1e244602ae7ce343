// The universe map element.
#include "gameobj/universeView.h"

#include "gameobj/guiWidgets.h"
#include "gameobj/menus.h"

#include "engine/gui/guiDraw.h"
#include "scripting/sqbind.h"

#include <algorithm>
#include <cmath>

namespace
{
// Reads slot `key` of the table on top of the stack; the stack is restored.
bool read_float(HSQUIRRELVM vm, const char* key, float& out)
{
  sqbind::StackRestore restore(vm);
  sq_pushstring(vm, key, -1);
  if (SQ_FAILED(sq_get(vm, -2))) return false;
  SQFloat f;
  if (SQ_FAILED(sq_getfloat(vm, -1, &f))) return false;
  out = float(f);
  return true;
}

void read_string(HSQUIRRELVM vm, const char* key, TempString<64>& out)
{
  sqbind::StackRestore restore(vm);
  sq_pushstring(vm, key, -1);
  const SQChar* s = nullptr;
  if (SQ_SUCCEEDED(sq_get(vm, -2)) && SQ_SUCCEEDED(sq_getstring(vm, -1, &s))) out.printf("%.63s", s);
}

// Element `i` of the array in slot `key` as a float, or as an integer.
bool read_array_number(HSQUIRRELVM vm, const char* key, int i, SQFloat* f, SQInteger* n)
{
  sqbind::StackRestore restore(vm);
  sq_pushstring(vm, key, -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY) return false;
  sq_pushinteger(vm, i);
  if (SQ_FAILED(sq_get(vm, -2))) return false;
  if (f) return SQ_SUCCEEDED(sq_getfloat(vm, -1, f));
  return SQ_SUCCEEDED(sq_getinteger(vm, -1, n));
}

void read_links(HSQUIRRELVM vm, DynArray<int>& links)
{
  sqbind::StackRestore restore(vm);
  sq_pushstring(vm, "portals", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY) return;
  SQInteger n = sq_getsize(vm, -1);
  for (SQInteger i = 0; i < n; i++) {
    sqbind::StackRestore inner(vm);
    sq_pushinteger(vm, i);
    if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_TABLE) continue;
    sq_pushstring(vm, "target", -1);
    SQInteger t;
    if (SQ_SUCCEEDED(sq_get(vm, -2)) && SQ_SUCCEEDED(sq_getinteger(vm, -1, &t))) links.push_back(int(t));
  }
}
}  // namespace

void read_universe_worlds(DynArray<UniverseWorld>& out)
{
  out.clear();
  HSQUIRRELVM vm = universe.vm;
  if (!vm || universe.getType() != OT_TABLE) return;
  sqbind::StackRestore restore(vm);
  sq_pushobject(vm, universe.o);
  sq_pushstring(vm, "worlds", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY) return;
  SQInteger n = sq_getsize(vm, -1);
  for (SQInteger i = 0; i < n; i++) {
    UniverseWorld& w = out.push_default();
    w.name.printf("World %d", int(i + 1));
    sqbind::StackRestore inner(vm);
    sq_pushinteger(vm, i);
    if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_TABLE) continue;
    read_string(vm, "name", w.name);
    read_string(vm, "title", w.title);
    read_float(vm, "size", w.size);
    SQFloat f;
    if (read_array_number(vm, "pos", 0, &f, nullptr)) w.x = float(f);
    if (read_array_number(vm, "pos", 1, &f, nullptr)) w.y = float(f);
    SQInteger c;
    if (read_array_number(vm, "colors", 0, nullptr, &c)) w.c1 = uint32_t(c);
    if (read_array_number(vm, "colors", 1, nullptr, &c)) w.c2 = uint32_t(c);
    if (read_array_number(vm, "colors", 2, nullptr, &c)) w.c3 = uint32_t(c);
    float level = 0.f;
    SQInteger lv;
    {
      sqbind::StackRestore r(vm);
      sq_pushstring(vm, "level", -1);
      if (SQ_SUCCEEDED(sq_get(vm, -2)) && SQ_SUCCEEDED(sq_getinteger(vm, -1, &lv))) level = float(lv);
    }
    w.level = int(level);
    read_links(vm, w.links);
  }
}

void UniverseView::layout(vec4f avail, float scale)
{
  rect = innerRect = avail;
  layoutScale = scale;
  for (BaseGuiElement* c : children) c->layout(avail, scale);
  // The map fills the part right of the list panel, so that at the first
  // view the panel hides no world and no name.
  float left = avail[0];
  for (BaseGuiElement* c : children)
    if (!c->isHidden()) left = std::max(left, c->rect[2] + 20.f * scale);
  mapRect = left < avail[2] - 40.f * scale ? make4f(left, avail[1], avail[2], avail[3]) : avail;
  updateView(0.f);
}

void UniverseView::updateView(float dt)
{
  // Input reaches the whole screen; the view is placed in the map's part.
  vec4f whole = rect;
  if (mapRect[2] > mapRect[0]) rect = mapRect;
  UniViewerElement::updateView(dt);
  rect = whole;
}

namespace
{
// The map's tooltip: the kind and danger of the world under the pointer,
// unless the pointer is over one of the map's children (the list of worlds),
// whose own tooltips answer then.
class WorldTooltip : public NewGuiEventHandler
{
public:
  WorldTooltip() : NewGuiEventHandler(GUI_EV_TOOLTIP) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int) override
  {
    UniverseView* v = static_cast<UniverseView*>(element);
    NewGuiTooltipEvent* ev = static_cast<NewGuiTooltipEvent*>(event);
    for (BaseGuiElement* c : v->children)
      if (gui_rect_contains(c->rect, ev->x, ev->y)) return GUI_PASS;
    int w = universe_view_world_at(v, ev->x, ev->y);
    if (w < 0) return GUI_PASS;
    TempString<256> text;
    text.printf("%s: %s, danger %d", v->worlds[w].name.c_str(), v->worlds[w].title.c_str(), v->worlds[w].level);
    show_menu_tooltip(text.c_str());
    return GUI_HANDLED;
  }
};
WorldTooltip world_tooltip;
}  // namespace

UniverseView* new_universe_view()
{
  UniverseView* v = new UniverseView();
  add_behavior(v, "solid_box");
  add_behavior(v, "uni_viewer");
  add_behavior(v, &world_tooltip);
  return v;
}

void load_universe_view(UniverseView* v)
{
  read_universe_worlds(v->worlds);
  float x0 = -100.f, y0 = -100.f, x1 = 100.f, y1 = 100.f;
  for (const UniverseWorld& w : v->worlds) {
    x0 = std::min(x0, w.x - 50.f);
    y0 = std::min(y0, w.y - 50.f);
    x1 = std::max(x1, w.x + 50.f);
    y1 = std::max(y1, w.y + 75.f);  // room for the name under the icon
  }
  v->minX = x0, v->minY = y0, v->maxX = x1, v->maxY = y1;
  v->centreX = (x0 + x1) * 0.5f;
  v->centreY = (y0 + y1) * 0.5f;
  v->extent = std::max(160.f, std::max(x1 - x0, y1 - y0));
  v->updateView(0.f);
}

namespace
{
float icon_radius(const UniverseView* v, const UniverseWorld& w)
{
  return std::max(6.f, w.size * 0.5f * v->viewScale[0]);
}
float screen_x(const UniverseView* v, const UniverseWorld& w) { return v->viewOrigin[0] + w.x * v->viewScale[0]; }
float screen_y(const UniverseView* v, const UniverseWorld& w) { return v->viewOrigin[1] + w.y * v->viewScale[1]; }
}  // namespace

int universe_view_world_at(UniverseView* v, float x, float y)
{
  int best = -1;
  float best_d = 0.f;
  for (int i = 0; i < v->worlds.num; i++) {
    const UniverseWorld& w = v->worlds[i];
    float dx = x - screen_x(v, w), dy = y - screen_y(v, w);
    float d = sqrtf(dx * dx + dy * dy);
    if (d <= icon_radius(v, w) + 4.f && (best < 0 || d < best_d)) {
      best = i;
      best_d = d;
    }
  }
  return best;
}

void draw_universe_view(UniverseView* v, RenderBatch& batch)
{
  for (int i = 0; i < v->worlds.num; i++) {
    const UniverseWorld& a = v->worlds[i];
    for (int t : a.links) {
      if (t <= i || t >= v->worlds.num) continue;  // each pair once
      const UniverseWorld& b = v->worlds[t];
      render_ui_line(batch, make4f(screen_x(v, a), screen_y(v, a), screen_x(v, b), screen_y(v, b)), 2.f,
                     0x60A0B0C0u);
    }
  }
  for (int i = 0; i < v->worlds.num; i++) {
    const UniverseWorld& w = v->worlds[i];
    float r = icon_radius(v, w);
    render_world_icon(batch, screen_x(v, w), screen_y(v, w), r, w.c1, w.c2, i == v->hot ? w.c3 : 0u);
    float sx = screen_x(v, w), sy = screen_y(v, w) + r * 1.6f + 12.f;
    gui_text->draw(batch, make4f(sx - 200.f, sy - 12.f, sx + 200.f, sy + 12.f), 0,
                   i == v->hot ? 0xFFFFDD55u : 0xFFBBBBBBu, 28.f * v->layoutScale, w.name.c_str());
  }
}
