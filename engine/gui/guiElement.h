// GUI elements, their property slots and style sheets.
//
// An element is a node of a GUI tree. Its look and state live in 33 property
// slots; a slot points either at a property the element owns (set at run time
// by the setters below; the pointer's lowest bit marks it) or at a property of
// a style sheet. A GuiStyle is an ordered set of sheets, each a selector with
// a chain of properties; GuiStyle::restyle matches the sheets against an
// element, fills its slots, attaches the behaviours the sheets name and starts
// transitions for slots whose assignment changed.
//
// The runtime fixes only what it shares with the plug-in: the element fields
// below, the property records, and the interfaces of selectors, transitions
// and listeners. Concrete elements (their hidden and enabled queries, their
// layout), selectors, transitions and listeners are the plug-in's classes,
// derived from the ones here; the game and the plug-in compile this header
// alike. Property values have the type their slot's table row gives
// (GuiSlotType); the typed helpers check it at compile time.
//
// Ownership: an element owns its own-property chain, its transitions, its
// listeners and its children (deleting an element deletes its subtree). A
// style owns its sheets' selectors and chains. Main thread only.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/color.h"
#include "engine/dynArray.h"
#include "engine/vec4f.h"

enum { NUM_GUI_PROPS = 33 };

class BaseGuiElement;
class NewGuiEventHandler;

// ---- slots ----

enum GuiSlot
{
  GUI_TEXT = 0,        // text, the tooltip text of a tooltip box
  GUI_OFFSETS = 19,    // vec4f {left, top, right, bottom}; a slider writes its thumb's
  GUI_PRESSED = 23,    // bool
  GUI_CHECKED = 24,    // bool
  GUI_HOVER = 25,      // bool
  GUI_VALUE = 28,      // double, a slider's value
  GUI_MAX_VALUE = 29,  // double, a slider's maximum (1 when absent)
};

// Slot 0's value: up to 255 characters.
struct GuiText
{
  char s[256];
  GuiText() { s[0] = 0; }
  GuiText(const char* text)
  {
    strncpy(s, text ? text : "", 255);
    s[255] = 0;
  }
};

// Property id -1: behaviour names, each NUL-ended, the list ended by an empty
// name ("button\0" as a literal). The string is borrowed and must live as
// long as the style.
struct GuiBehaviorNames
{
  const char* names;
};

// A vector slot's value (a class, so that it can be a template argument).
struct GuiVec
{
  vec4f v;
  GuiVec() : v(v_zero()) {}
  GuiVec(vec4f x) : v(x) {}
  operator vec4f() const { return v; }
};

class GuiTransition;
// Property id -2: a transition template (owned by the property) and the
// slots it serves, each as slot + 1; an empty string means all 33 slots.
struct GuiTransitionSpec
{
  GuiTransition* tmpl;
  char slots[NUM_GUI_PROPS + 1];
};

enum { GUI_PROP_BEHAVIORS = -1, GUI_PROP_TRANSITION = -2 };

// The value type of each slot (slots 1, 2, 13, 26, 27 and 31 are the plug-in's
// to type; the runtime never reads them).
template <int Slot>
struct GuiSlotType
{
  typedef float type;
};
#define GUI_SLOT_TYPE(slot, T) \
  template <>                  \
  struct GuiSlotType<slot>     \
  {                            \
    typedef T type;            \
  };
GUI_SLOT_TYPE(0, GuiText)
GUI_SLOT_TYPE(3, D3dColor)
GUI_SLOT_TYPE(5, GuiVec)
GUI_SLOT_TYPE(10, D3dColor)
GUI_SLOT_TYPE(12, D3dColor)
GUI_SLOT_TYPE(18, D3dColor)
GUI_SLOT_TYPE(19, GuiVec)
GUI_SLOT_TYPE(20, GuiVec)
GUI_SLOT_TYPE(23, bool)
GUI_SLOT_TYPE(24, bool)
GUI_SLOT_TYPE(25, bool)
GUI_SLOT_TYPE(28, double)
GUI_SLOT_TYPE(29, double)
GUI_SLOT_TYPE(GUI_PROP_BEHAVIORS, GuiBehaviorNames)
GUI_SLOT_TYPE(GUI_PROP_TRANSITION, GuiTransitionSpec)
#undef GUI_SLOT_TYPE

// ---- properties ----

// One record of a property chain. Deleting a record deletes its successors.
class BaseGuiProperty
{
public:
  BaseGuiProperty* next;
  int id;  // slot 0..32, GUI_PROP_BEHAVIORS or GUI_PROP_TRANSITION

  BaseGuiProperty(int id_, BaseGuiProperty* next_) : next(next_), id(id_) {}
  virtual ~BaseGuiProperty();
  BaseGuiProperty(const BaseGuiProperty&) = delete;
  BaseGuiProperty& operator=(const BaseGuiProperty&) = delete;
};

template <typename T>
class GuiProperty : public BaseGuiProperty
{
public:
  T value;
  GuiProperty(int id_, const T& value_, BaseGuiProperty* next_) : BaseGuiProperty(id_, next_), value(value_) {}
};

// A sheet's transition record owns its template.
class GuiTransitionProperty : public GuiProperty<GuiTransitionSpec>
{
public:
  GuiTransitionProperty(const GuiTransitionSpec& spec, BaseGuiProperty* next_)
      : GuiProperty<GuiTransitionSpec>(GUI_PROP_TRANSITION, spec, next_) {}
  ~GuiTransitionProperty() override;
};

// A property of slot `Slot` with its slot's value type, at the head of `next`.
template <int Slot>
BaseGuiProperty* gui_prop(const typename GuiSlotType<Slot>::type& value, BaseGuiProperty* next = nullptr)
{
  static_assert(Slot >= 0 && Slot < NUM_GUI_PROPS, "a slot index");
  return new GuiProperty<typename GuiSlotType<Slot>::type>(Slot, value, next);
}
inline BaseGuiProperty* gui_behaviors_prop(const char* names, BaseGuiProperty* next = nullptr)
{
  return new GuiProperty<GuiBehaviorNames>(GUI_PROP_BEHAVIORS, GuiBehaviorNames{names}, next);
}
// Takes the template; `slots` lists slot + 1 per slot, "" for all.
BaseGuiProperty* gui_transition_prop(GuiTransition* tmpl, const char* slots, BaseGuiProperty* next = nullptr);

// ---- plug-in interfaces ----

// A running or template transition of one slot's resolved value.
class GuiTransition
{
public:
  virtual ~GuiTransition() {}
  // Starts from the value the slot had.
  virtual void start(vec4f from) = 0;
  // The value now, moving toward `target` by dt seconds.
  virtual vec4f value(vec4f target, float dt) = 0;
  virtual GuiTransition* clone() const = 0;
};

class GuiSelector
{
public:
  virtual ~GuiSelector() {}
  virtual bool matches(BaseGuiElement* element) = 0;
  // Sheets of higher order override those of lower; asked once, when added.
  virtual int order() = 0;
};

// A listener of one of an element's six lists: a singly linked list of
// objects whose invoke takes the list's arguments.
template <typename... Args>
class GuiListener
{
public:
  GuiListener* next = nullptr;
  virtual ~GuiListener() {}
  virtual void invoke(Args... args) = 0;
};

// A listener calling a function object.
template <typename F, typename... Args>
class GuiFuncListener : public GuiListener<Args...>
{
public:
  F func;
  explicit GuiFuncListener(F f) : func(f) {}
  void invoke(Args... args) override { func(args...); }
};

typedef GuiListener<> GuiPressListener;
typedef GuiListener<bool> GuiCheckListener;
typedef GuiListener<BaseGuiElement*, int> GuiKeyListener;
typedef GuiListener<BaseGuiElement*> GuiElementListener;

// Adds `listener` at the end of `list` (the element takes ownership).
template <typename... Args>
void add_gui_listener(GuiListener<Args...>*& list, GuiListener<Args...>* listener)
{
  GuiListener<Args...>** p = &list;
  while (*p) p = &(*p)->next;
  *p = listener;
}
template <typename... Args>
void call_gui_listeners(GuiListener<Args...>* list, Args... args)
{
  for (GuiListener<Args...>* l = list; l; l = l->next) l->invoke(args...);
}
template <typename... Args>
void delete_gui_listeners(GuiListener<Args...>*& list)
{
  while (list) {
    GuiListener<Args...>* next = list->next;
    delete list;
    list = next;
  }
}

// ---- the element ----

class BaseGuiElement
{
public:
  BaseGuiElement* parent = nullptr;
  DynArray<BaseGuiElement*> children;       // paint and hit-test order
  DynArray<NewGuiEventHandler*> behaviors;  // no duplicates
  uint32_t eventMask = 0;                   // OR of the behaviours' masks
  uintptr_t props[NUM_GUI_PROPS] = {};      // BaseGuiProperty*, bit 0 = own
  BaseGuiProperty* ownProps = nullptr;
  GuiTransition* transitions[NUM_GUI_PROPS] = {};
  uint32_t classFlags = 0;  // tested by selectors; flag 10 marks a slider's thumb
  bool needRestyle = true;

  vec4f rect = v_zero();       // x0, y0, x1, y1 in screen pixels
  vec4f innerRect = v_zero();  // the span a slider's thumb travels in
  float layoutScale = 1.f;     // pixels per layout unit

  GuiPressListener* onPress = nullptr;
  GuiPressListener* onRelease = nullptr;
  GuiCheckListener* onClick = nullptr;
  GuiCheckListener* onCheckChanged = nullptr;
  GuiKeyListener* onClickKey = nullptr;
  GuiElementListener* onValueChanged = nullptr;

  BaseGuiElement() {}
  BaseGuiElement(const BaseGuiElement&) = delete;
  BaseGuiElement& operator=(const BaseGuiElement&) = delete;
  // Deletes the children, the own properties, the transitions and the listeners.
  virtual ~BaseGuiElement();

  // Hidden: neither hit nor searched by the hit-test and tooltip behaviours.
  virtual bool isHidden() { return false; }
  // Disabled: buttons and sliders ignore input.
  virtual bool isEnabled() { return true; }
  // Places the element (and its children) in the available rectangle.
  virtual void layout(vec4f avail, float scale);

  void addChild(BaseGuiElement* child);  // appends; the element owns it
  // Unlinks a child (not deleted); false when it is not one.
  bool removeChild(BaseGuiElement* child);

  bool hasClassFlag(int flag) const { return (classFlags >> flag) & 1u; }
  void setClassFlag(int flag, bool on);

  BaseGuiProperty* prop(int slot) const { return (BaseGuiProperty*)(props[slot] & ~uintptr_t(1)); }
  bool ownsProp(int slot) const { return props[slot] & 1u; }
  // Marks the element and its parent for the next restyle.
  void markRestyle();
};

enum { GUI_FLAG_SLIDER_THUMB = 10 };

// The slot's value as typed, or the slot's default when the slot is empty.
template <int Slot>
typename GuiSlotType<Slot>::type get_gui_prop(const BaseGuiElement* e, const typename GuiSlotType<Slot>::type& def)
{
  BaseGuiProperty* p = e->prop(Slot);
  return p ? static_cast<GuiProperty<typename GuiSlotType<Slot>::type>*>(p)->value : def;
}

// Sets an own property: changes it in place (nothing at all when equal) or
// makes one at the head of the own chain; unless quiet, marks the element
// and its parent for restyle.
template <int Slot>
void set_gui_prop(BaseGuiElement* e, const typename GuiSlotType<Slot>::type& value, bool quiet);

// The typed setters and getters the behaviours use.
void set_element_pressed(BaseGuiElement* e, const bool* value, bool quiet);
void set_element_hover(BaseGuiElement* e, const bool* value, bool quiet);
void set_element_checked(BaseGuiElement* e, bool value, bool quiet);
void set_element_value(BaseGuiElement* e, double value, bool quiet);
void set_element_offsets(BaseGuiElement* e, vec4f value, bool quiet);
void set_element_text(BaseGuiElement* e, const char* text, bool quiet);
bool get_element_pressed(const BaseGuiElement* e);
bool get_element_checked(const BaseGuiElement* e);
bool get_element_hover(const BaseGuiElement* e);
double get_element_value(const BaseGuiElement* e);
double get_element_max_value(const BaseGuiElement* e);  // 1 when absent
const char* get_element_text(const BaseGuiElement* e);  // "" when absent
// The offsets; `running`: through the slot's transition when it has one.
vec4f get_element_offsets(BaseGuiElement* e, bool running);

// Adds a behaviour (null or present: ignored), attaches it and ORs its mask.
void add_behavior(BaseGuiElement* e, NewGuiEventHandler* behavior);
// By registered name; false when the name is unknown.
bool add_behavior(BaseGuiElement* e, const char* name);

// Resolves every slot into a vec4f: colours as (r, g, b, a) / 255, floats
// in all four lanes, vectors as they are, other slots zero; empty slots give
// the slot's default.
void resolve_gui_props(const uintptr_t* slots, vec4f* out);
vec4f resolve_gui_prop(const BaseGuiElement* e, int slot);
// The resolved value of a slot as the element shows it now: through its
// transition, if it has one, moving it on by dt.
vec4f get_gui_value(BaseGuiElement* e, int slot, float dt);
// Slots whose resolved value can run through a transition.
bool gui_slot_transitions(int slot);

// ---- styles ----

class GuiStyle
{
public:
  struct Sheet
  {
    GuiSelector* selector;
    BaseGuiProperty* props;
    int order;
  };
  DynArray<Sheet> sheets;

  GuiStyle() {}
  GuiStyle(const GuiStyle&) = delete;
  GuiStyle& operator=(const GuiStyle&) = delete;
  ~GuiStyle() { removeAllSheets(); }

  // Appends a sheet; the style takes both and asks the order now.
  void addSheet(GuiSelector* selector, BaseGuiProperty* props);
  void removeAllSheets();
  // Restyles the dirty parts of the tree (all of it with force).
  void restyle(BaseGuiElement* e, bool force);
};
