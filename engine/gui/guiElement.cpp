// GUI elements, property slots, setters and the style engine.
#include "engine/gui/guiElement.h"

#include "engine/app.h"
#include "engine/debug.h"
#include "engine/gui/guiEvents.h"
#include "engine/gui/guiScreen.h"

// ---------------------------------------------------------------- records --

BaseGuiProperty::~BaseGuiProperty()
{
  // Iteratively, so a long chain cannot exhaust the stack.
  BaseGuiProperty* p = next;
  next = nullptr;
  while (p) {
    BaseGuiProperty* n = p->next;
    p->next = nullptr;
    delete p;
    p = n;
  }
}

GuiTransitionProperty::~GuiTransitionProperty() { delete value.tmpl; }

BaseGuiProperty* gui_transition_prop(GuiTransition* tmpl, const char* slots, BaseGuiProperty* next)
{
  GuiTransitionSpec spec;
  spec.tmpl = tmpl;
  memset(spec.slots, 0, sizeof(spec.slots));
  strncpy(spec.slots, slots ? slots : "", NUM_GUI_PROPS);
  return new GuiTransitionProperty(spec, next);
}

// ---------------------------------------------------------------- element --

BaseGuiElement::~BaseGuiElement()
{
  if (parent) parent->removeChild(this);
  forget_queued_gui_element(this);
  for (BaseGuiElement* c : children) {
    c->parent = nullptr;
    delete c;
  }
  children.clear();
  delete ownProps;
  for (GuiTransition*& t : transitions) {
    delete t;
    t = nullptr;
  }
  delete_gui_listeners(onPress);
  delete_gui_listeners(onRelease);
  delete_gui_listeners(onClick);
  delete_gui_listeners(onCheckChanged);
  delete_gui_listeners(onClickKey);
  delete_gui_listeners(onValueChanged);
}

void BaseGuiElement::layout(vec4f avail, float scale)
{
  rect = avail;
  innerRect = avail;
  layoutScale = scale;
  for (BaseGuiElement* c : children) c->layout(avail, scale);
}

void BaseGuiElement::addChild(BaseGuiElement* child)
{
  if (!child) return;
  if (child->parent) child->parent->removeChild(child);
  child->parent = this;
  children.push_back(child);
  child->needRestyle = true;
  needRestyle = true;
}

bool BaseGuiElement::removeChild(BaseGuiElement* child)
{
  int i = children.find(child);
  if (i < 0) return false;
  children.erase(i, 1);
  child->parent = nullptr;
  needRestyle = true;
  return true;
}

void BaseGuiElement::setClassFlag(int flag, bool on)
{
  uint32_t bit = 1u << flag;
  uint32_t f = on ? (classFlags | bit) : (classFlags & ~bit);
  if (f == classFlags) return;
  classFlags = f;
  markRestyle();
}

void BaseGuiElement::markRestyle()
{
  needRestyle = true;
  if (parent) parent->needRestyle = true;
}

// ---------------------------------------------------------------- setters --

namespace
{
template <typename T>
bool same_value(const T& a, const T& b)
{
  return a == b;
}
template <>
bool same_value(const GuiVec& a, const GuiVec& b)
{
  return memcmp(&a.v, &b.v, sizeof(vec4f)) == 0;
}
template <>
bool same_value(const GuiText& a, const GuiText& b)
{
  return strcmp(a.s, b.s) == 0;
}
template <>
bool same_value(const D3dColor& a, const D3dColor& b)
{
  return a.u == b.u;
}
}  // namespace

template <int Slot>
void set_gui_prop(BaseGuiElement* e, const typename GuiSlotType<Slot>::type& value, bool quiet)
{
  typedef typename GuiSlotType<Slot>::type T;
  if (e->ownsProp(Slot)) {
    GuiProperty<T>* p = static_cast<GuiProperty<T>*>(e->prop(Slot));
    if (same_value(p->value, value)) return;
    p->value = value;
  } else {
    GuiProperty<T>* p = new GuiProperty<T>(Slot, value, e->ownProps);
    e->ownProps = p;
    e->props[Slot] = uintptr_t(p) | 1u;
  }
  if (!quiet) e->markRestyle();
}

#define GUI_INSTANTIATE_SETTER(slot) \
  template void set_gui_prop<slot>(BaseGuiElement*, const GuiSlotType<slot>::type&, bool);
GUI_INSTANTIATE_SETTER(0)
GUI_INSTANTIATE_SETTER(3) GUI_INSTANTIATE_SETTER(4) GUI_INSTANTIATE_SETTER(5) GUI_INSTANTIATE_SETTER(6)
GUI_INSTANTIATE_SETTER(7) GUI_INSTANTIATE_SETTER(8) GUI_INSTANTIATE_SETTER(9) GUI_INSTANTIATE_SETTER(10)
GUI_INSTANTIATE_SETTER(11) GUI_INSTANTIATE_SETTER(12) GUI_INSTANTIATE_SETTER(14) GUI_INSTANTIATE_SETTER(15)
GUI_INSTANTIATE_SETTER(16) GUI_INSTANTIATE_SETTER(17) GUI_INSTANTIATE_SETTER(18) GUI_INSTANTIATE_SETTER(19)
GUI_INSTANTIATE_SETTER(20) GUI_INSTANTIATE_SETTER(21) GUI_INSTANTIATE_SETTER(22) GUI_INSTANTIATE_SETTER(23)
GUI_INSTANTIATE_SETTER(24) GUI_INSTANTIATE_SETTER(25) GUI_INSTANTIATE_SETTER(28) GUI_INSTANTIATE_SETTER(29)
GUI_INSTANTIATE_SETTER(30) GUI_INSTANTIATE_SETTER(32)
#undef GUI_INSTANTIATE_SETTER

void set_element_pressed(BaseGuiElement* e, const bool* value, bool quiet) { set_gui_prop<GUI_PRESSED>(e, *value, quiet); }
void set_element_hover(BaseGuiElement* e, const bool* value, bool quiet) { set_gui_prop<GUI_HOVER>(e, *value, quiet); }
void set_element_checked(BaseGuiElement* e, bool value, bool quiet) { set_gui_prop<GUI_CHECKED>(e, value, quiet); }
void set_element_value(BaseGuiElement* e, double value, bool quiet) { set_gui_prop<GUI_VALUE>(e, value, quiet); }
void set_element_offsets(BaseGuiElement* e, vec4f value, bool quiet) { set_gui_prop<GUI_OFFSETS>(e, value, quiet); }
void set_element_text(BaseGuiElement* e, const char* text, bool quiet) { set_gui_prop<GUI_TEXT>(e, GuiText(text), quiet); }

bool get_element_pressed(const BaseGuiElement* e) { return get_gui_prop<GUI_PRESSED>(e, false); }
bool get_element_checked(const BaseGuiElement* e) { return get_gui_prop<GUI_CHECKED>(e, false); }
bool get_element_hover(const BaseGuiElement* e) { return get_gui_prop<GUI_HOVER>(e, false); }
double get_element_value(const BaseGuiElement* e) { return get_gui_prop<GUI_VALUE>(e, 0.0); }
double get_element_max_value(const BaseGuiElement* e) { return get_gui_prop<GUI_MAX_VALUE>(e, 1.0); }

const char* get_element_text(const BaseGuiElement* e)
{
  BaseGuiProperty* p = e->prop(GUI_TEXT);
  return p ? static_cast<GuiProperty<GuiText>*>(p)->value.s : "";
}

vec4f get_element_offsets(BaseGuiElement* e, bool running)
{
  vec4f v = get_gui_prop<GUI_OFFSETS>(e, GuiVec());
  if (running && e->transitions[GUI_OFFSETS]) v = e->transitions[GUI_OFFSETS]->value(v, time_dt);
  return v;
}

// -------------------------------------------------------------- behaviours --

void add_behavior(BaseGuiElement* e, NewGuiEventHandler* behavior)
{
  if (!behavior || e->behaviors.find(behavior) >= 0) return;
  e->behaviors.push_back(behavior);
  behavior->attach(e);
  e->eventMask |= behavior->eventMask;
}

bool add_behavior(BaseGuiElement* e, const char* name)
{
  NewGuiEventHandler* b = get_behavior(name);
  if (!b) return false;
  add_behavior(e, b);
  return true;
}

// -------------------------------------------------------------- resolving --

namespace
{
enum SlotKind : uint8_t
{
  K_NONE,
  K_COLOR,
  K_FLOAT,
  K_VEC,
};

// How each slot resolves, and its default when empty.
struct SlotInfo
{
  SlotKind kind;
  float def[4];
};

const SlotInfo slot_info[NUM_GUI_PROPS] = {
    {K_NONE, {}},                         // 0 text
    {K_NONE, {}},                         // 1
    {K_NONE, {}},                         // 2
    {K_COLOR, {0.f, 0.f, 0.f, 68.f / 255.f}},  // 3: 0x44000000
    {K_FLOAT, {}},                        // 4
    {K_VEC, {}},                          // 5
    {K_FLOAT, {}},                        // 6
    {K_FLOAT, {}},                        // 7
    {K_FLOAT, {}},                        // 8
    {K_FLOAT, {}},                        // 9
    {K_COLOR, {}},                        // 10
    {K_FLOAT, {30.f, 30.f, 30.f, 30.f}},  // 11
    {K_COLOR, {1.f, 1.f, 1.f, 1.f}},      // 12: 0xFFFFFFFF
    {K_NONE, {}},                         // 13
    {K_FLOAT, {}},                        // 14
    {K_FLOAT, {}},                        // 15
    {K_FLOAT, {}},                        // 16
    {K_FLOAT, {}},                        // 17
    {K_COLOR, {}},                        // 18
    {K_VEC, {}},                          // 19 offsets
    {K_VEC, {10.f, 10.f, 10.f, 10.f}},    // 20
    {K_FLOAT, {}},                        // 21
    {K_FLOAT, {}},                        // 22
    {K_NONE, {}},                         // 23 pressed
    {K_NONE, {}},                         // 24 checked
    {K_NONE, {}},                         // 25 hover
    {K_NONE, {}},                         // 26
    {K_NONE, {}},                         // 27
    {K_NONE, {}},                         // 28 value
    {K_NONE, {}},                         // 29 maximum
    {K_FLOAT, {}},                        // 30
    {K_NONE, {}},                         // 31
    {K_FLOAT, {100.f, 100.f, 100.f, 100.f}},  // 32
};

vec4f resolve_one(uintptr_t slot_ptr, int slot)
{
  const SlotInfo& info = slot_info[slot];
  BaseGuiProperty* p = (BaseGuiProperty*)(slot_ptr & ~uintptr_t(1));
  if (!p) return make4f(info.def[0], info.def[1], info.def[2], info.def[3]);
  switch (info.kind) {
    case K_COLOR: return color_to_vec4f(static_cast<GuiProperty<D3dColor>*>(p)->value);
    case K_FLOAT: return v_splat(static_cast<GuiProperty<float>*>(p)->value);
    case K_VEC: return static_cast<GuiProperty<GuiVec>*>(p)->value.v;
    default: return v_zero();
  }
}
}  // namespace

bool gui_slot_transitions(int slot) { return slot >= 0 && slot < NUM_GUI_PROPS && slot_info[slot].kind != K_NONE; }

void resolve_gui_props(const uintptr_t* slots, vec4f* out)
{
  for (int i = 0; i < NUM_GUI_PROPS; i++) out[i] = resolve_one(slots[i], i);
}

vec4f resolve_gui_prop(const BaseGuiElement* e, int slot) { return resolve_one(e->props[slot], slot); }

vec4f get_gui_value(BaseGuiElement* e, int slot, float dt)
{
  vec4f v = resolve_one(e->props[slot], slot);
  if (GuiTransition* t = e->transitions[slot]) v = t->value(v, dt);
  return v;
}

// ------------------------------------------------------------------ style --

void GuiStyle::addSheet(GuiSelector* selector, BaseGuiProperty* props)
{
  Sheet s = {selector, props, selector ? selector->order() : 0};
  sheets.push_back(s);
}

void GuiStyle::removeAllSheets()
{
  for (Sheet& s : sheets) {
    delete s.selector;
    delete s.props;
  }
  sheets.clear();
}

namespace
{
// The matched sheets of the element being restyled; consumed before the
// recursion into the children, so one buffer serves the whole walk.
DynArray<int> matched;

// Attaches each named behaviour the element lacks; unknown names are skipped.
void attach_named_behaviors(BaseGuiElement* e, const char* names)
{
  if (!names) return;
  for (const char* n = names; *n; n += strlen(n) + 1) add_behavior(e, get_behavior(n));
}
}  // namespace

void GuiStyle::restyle(BaseGuiElement* e, bool force)
{
  if (!e) return;
  if (!force && !e->needRestyle) {
    for (BaseGuiElement* c : e->children) restyle(c, false);
    return;
  }

  matched.clear();
  for (int i = 0; i < sheets.num; i++)
    if (sheets[i].selector && sheets[i].selector->matches(e)) matched.push_back(i);
  // By (order, index): later sheets override earlier ones, and of equal
  // orders the one added last wins. Insertion sort: the lists are short and
  // already in index order.
  for (int i = 1; i < matched.num; i++) {
    int v = matched[i], j = i;
    while (j > 0 && sheets[matched[j - 1]].order > sheets[v].order) {
      matched[j] = matched[j - 1];
      j--;
    }
    matched[j] = v;
  }

  uintptr_t slots[NUM_GUI_PROPS];
  GuiTransition* templates[NUM_GUI_PROPS] = {};
  for (int i = 0; i < NUM_GUI_PROPS; i++) slots[i] = (e->props[i] & 1u) ? e->props[i] : 0;

  for (int m : matched) {
    for (BaseGuiProperty* p = sheets[m].props; p; p = p->next) {
      if (p->id == GUI_PROP_BEHAVIORS) {
        attach_named_behaviors(e, static_cast<GuiProperty<GuiBehaviorNames>*>(p)->value.names);
      } else if (p->id == GUI_PROP_TRANSITION) {
        const GuiTransitionSpec& spec = static_cast<GuiProperty<GuiTransitionSpec>*>(p)->value;
        if (!spec.slots[0]) {
          for (GuiTransition*& t : templates) t = spec.tmpl;
        } else {
          for (const char* s = spec.slots; *s; s++) {
            ASSERT_AT("guiRuntime", 0, *s>0 && *s<=NUM_GUI_PROPS);
            templates[*s - 1] = spec.tmpl;
          }
        }
      } else if (p->id >= 0 && p->id < NUM_GUI_PROPS) {
        if (!(slots[p->id] & 1u)) slots[p->id] = uintptr_t(p);
      }
    }
  }
  matched.clear();

  if (memcmp(slots, e->props, sizeof(slots)) != 0) {
    vec4f old_values[NUM_GUI_PROPS];
    resolve_gui_props(e->props, old_values);
    for (GuiTransition*& t : e->transitions) {
      delete t;
      t = nullptr;
    }
    memcpy(e->props, slots, sizeof(slots));
    for (int i = 0; i < NUM_GUI_PROPS; i++) {
      if (!templates[i] || !gui_slot_transitions(i)) continue;
      e->transitions[i] = templates[i]->clone();
      e->transitions[i]->start(old_values[i]);
    }
  }
  e->needRestyle = false;
  for (BaseGuiElement* c : e->children) restyle(c, true);
}
