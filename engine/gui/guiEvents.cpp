// GUI event delivery, hit testing, the behaviour registry and the six
// standard behaviours.
#include "engine/gui/guiEvents.h"

#include <cmath>
#include <cstring>

#include "engine/gui/guiServices.h"

// --------------------------------------------------------------- registry --

namespace
{
struct Registration
{
  const char* name;
  NewGuiEventHandler* behavior;
};
DynArray<Registration> registry;
}  // namespace

void register_behavior(NewGuiEventHandler* behavior, const char* name)
{
  if (!behavior || !name || get_behavior(name)) return;
  registry.push_back(Registration{name, behavior});
}

NewGuiEventHandler* get_behavior(const char* name)
{
  if (!name) return nullptr;
  for (const Registration& r : registry)
    if (strcmp(r.name, name) == 0) return r.behavior;
  return nullptr;
}

int num_registered_behaviors() { return registry.num; }

int unregister_behaviors_after(int count)
{
  if (count < 0) count = 0;
  if (count >= registry.num) return 0;
  int n = registry.num - count;
  registry.erase(count, n);
  return n;
}

// --------------------------------------------------------------- delivery --

int dispatch_to_behaviors(BaseGuiElement* element, NewGuiEvent* event, int mode)
{
  if (!(element->eventMask & event->type) || element->behaviors.num == 0) return GUI_PASS;
  // A handler may add behaviours: index anew each time.
  for (int i = 0; i < element->behaviors.num; i++) {
    NewGuiEventHandler* b = element->behaviors[i];
    if (!(b->eventMask & event->type)) continue;
    if (int r = b->handle(event, element, mode)) return r;
  }
  return GUI_PASS;
}

int send_event(NewGuiEvent* event, BaseGuiElement* element, int mode, BaseGuiElement* stop)
{
  if (!element) return 0;
  switch (mode) {
    case GUI_ROOT_FIRST:
      if (element != stop && element->parent)
        if (int r = send_event(event, element->parent, GUI_ROOT_FIRST, stop)) return r;
      return dispatch_to_behaviors(element, event, GUI_ROOT_FIRST);
    case GUI_BUBBLE:
      for (BaseGuiElement* e = element; e; e = e->parent) {
        if (int r = dispatch_to_behaviors(e, event, GUI_BUBBLE)) return r;
        if (e == stop) return 0;
      }
      return 0;
    case GUI_TARGET:
      return dispatch_to_behaviors(element, event, GUI_TARGET);
    case GUI_BROADCAST: {
      int r = dispatch_to_behaviors(element, event, GUI_BROADCAST);
      if (r == GUI_SKIP) return 0;
      if (r) return r;
      for (int i = 0; i < element->children.num; i++)
        if (int rc = send_event(event, element->children[i], GUI_BROADCAST, stop)) return rc;
      return 0;
    }
    default:
      return 0;
  }
}

bool gui_rect_contains(vec4f rect, float x, float y)
{
  // Written so that a NaN on either side fails every comparison.
  return rect[0] < x && x <= rect[2] && rect[1] < y && y <= rect[3];
}

BaseGuiElement* hit_test(BaseGuiElement* root, float x, float y)
{
  NewGuiHittestEvent ev(x, y);
  send_event(&ev, root, GUI_BROADCAST, nullptr);
  return ev.hit;
}

// ------------------------------------------------------------- hit boxes --

namespace
{
// The steps a hit box and a tooltip box share. A hidden box hides its whole
// subtree: it declines, so the broadcast skips its children and goes on with
// its siblings. Then its children in array order; a child's 1 ends the
// search. GUI_PASS: the box's own rectangle decides.
int search_box_children(NewGuiEvent* event, BaseGuiElement* element, int mode)
{
  if (element->isHidden()) return GUI_SKIP;
  for (int i = 0; i < element->children.num; i++)
    if (send_event(event, element->children[i], mode, nullptr) == GUI_HANDLED) return GUI_HANDLED;
  return GUI_PASS;
}
}  // namespace

bool NewGuiHittestHandler::contains(BaseGuiElement* element, float x, float y)
{
  return gui_rect_contains(element->rect, x, y);
}

int NewGuiHittestHandler::handle(NewGuiEvent* event, BaseGuiElement* element, int mode)
{
  if (event->type != GUI_EV_HITTEST || !element) return GUI_PASS;
  if (int r = search_box_children(event, element, mode)) return r;
  NewGuiHittestEvent* ev = static_cast<NewGuiHittestEvent*>(event);
  if (!contains(element, ev->x, ev->y)) return GUI_SKIP;
  ev->hit = element;
  return GUI_HANDLED;
}

bool TooltipBoxBehavior::contains(BaseGuiElement* element, float x, float y)
{
  return gui_rect_contains(element->rect, x, y);
}

int TooltipBoxBehavior::handle(NewGuiEvent* event, BaseGuiElement* element, int mode)
{
  if (event->type != GUI_EV_TOOLTIP || !element) return GUI_PASS;
  if (int r = search_box_children(event, element, mode)) return r;
  NewGuiTooltipEvent* ev = static_cast<NewGuiTooltipEvent*>(event);
  if (!contains(element, ev->x, ev->y)) return GUI_SKIP;
  char text[256];
  strncpy(text, get_element_text(element), 255);
  text[255] = 0;
  if (text[0])
    gui_show_tooltip(text);
  else
    gui_hide_tooltip();
  return GUI_HANDLED;
}

// ---------------------------------------------------------------- buttons --

namespace
{
void set_pressed(BaseGuiElement* e, bool v) { set_element_pressed(e, &v, false); }
void set_hover(BaseGuiElement* e, bool v) { set_element_hover(e, &v, false); }

// Clears pressed and hover, calling the release listeners when it was pressed.
void release_button(BaseGuiElement* e)
{
  bool was_pressed = get_element_pressed(e);
  set_pressed(e, false);
  set_hover(e, false);
  if (was_pressed) call_gui_listeners(e->onRelease);
}

bool buttons_held(const NewGuiEvent* event)
{
  return (static_cast<const NewGuiInputEvent*>(event)->input.flags & GUI_BUTTONS_HELD) != 0;
}
}  // namespace

int ButtonBehavior::handle(NewGuiEvent* event, BaseGuiElement* element, int)
{
  if (event->type == GUI_EV_RESET) {
    release_button(element);
    return GUI_PASS;
  }
  if (!element->isEnabled()) return GUI_PASS;
  bool was_pressed = get_element_pressed(element);
  NewGuiInputEvent* ev = static_cast<NewGuiInputEvent*>(event);
  switch (event->type) {
    case GUI_EV_ENTER:
      set_pressed(element, buttons_held(event));
      set_hover(element, true);
      break;
    case GUI_EV_LEAVE:
      set_pressed(element, false);
      set_hover(element, false);
      break;
    case GUI_EV_BUTTON_DOWN:
      set_pressed(element, true);
      break;
    case GUI_EV_BUTTON_UP: {
      bool held = buttons_held(event);
      set_pressed(element, held);
      bool over = hit_test(element, ev->input.x, ev->input.y) == element;
      set_hover(element, over);
      if (!held && over) click(element, ev);
      break;
    }
    default:
      break;
  }
  bool pressed = get_element_pressed(element);
  if (pressed != was_pressed) {
    if (pressed)
      call_gui_listeners(element->onPress);
    else
      call_gui_listeners(element->onRelease);
  }
  return GUI_HANDLED;
}

void ButtonBehavior::attach(BaseGuiElement* element)
{
  set_pressed(element, false);
  set_hover(element, false);
}

void ButtonBehavior::detach(BaseGuiElement* element) { release_button(element); }

void ButtonBehavior::click(BaseGuiElement* element, NewGuiInputEvent* event)
{
  call_gui_listeners<BaseGuiElement*, int>(element->onClickKey, element, event ? event->input.key : 0);
  call_gui_listeners<bool>(element->onClick, get_element_checked(element));
}

void CheckboxBehavior::attach(BaseGuiElement* element)
{
  ButtonBehavior::attach(element);
  set_element_checked(element, get_element_checked(element), false);
}

void CheckboxBehavior::click(BaseGuiElement* element, NewGuiInputEvent* event)
{
  bool checked = !get_element_checked(element);
  set_element_checked(element, checked, false);
  call_gui_listeners<bool>(element->onCheckChanged, checked);
  ButtonBehavior::click(element, event);
}

void RadioButtonBehavior::attach(BaseGuiElement* element)
{
  ButtonBehavior::attach(element);
  set_element_checked(element, get_element_checked(element), false);
}

void RadioButtonBehavior::click(BaseGuiElement* element, NewGuiInputEvent* event)
{
  if (BaseGuiElement* parent = element->parent) {
    for (BaseGuiElement* c : parent->children)
      if (c->behaviors.find(this) >= 0) set_element_checked(c, c == element, false);
    for (BaseGuiElement* c : parent->children)
      if (c->behaviors.find(this) >= 0) call_gui_listeners<bool>(c->onCheckChanged, get_element_checked(c));
  }
  ButtonBehavior::click(element, event);
}

// ----------------------------------------------------------------- slider --

BaseGuiElement* get_slider_thumb(BaseGuiElement* slider)
{
  for (BaseGuiElement* c : slider->children)
    if (c->hasClassFlag(GUI_FLAG_SLIDER_THUMB)) return c;
  return nullptr;
}

void place_slider_thumb(BaseGuiElement* slider, double t)
{
  BaseGuiElement* thumb = get_slider_thumb(slider);
  if (!thumb) return;
  if (!(t >= 0.0)) t = 0.0;  // a NaN goes to the start
  if (t > 1.0) t = 1.0;
  float w = thumb->rect[2] - thumb->rect[0];
  float free_span = (slider->innerRect[2] - slider->innerRect[0]) - w;
  float tf = float(t);
  float scale = slider->layoutScale;
  vec4f off = get_element_offsets(thumb, true);
  off[0] = free_span * tf / scale;
  off[2] = (free_span - free_span * tf) / scale;
  set_element_offsets(thumb, off, false);
}

int HSliderBehavior::handle(NewGuiEvent* event, BaseGuiElement* element, int)
{
  if (event->type == GUI_EV_NOTIFY) {
    if (static_cast<NewGuiNotifyEvent*>(event)->code != GUI_NOTIFY_VALUE_CHANGED) return GUI_PASS;
    double maximum = get_element_max_value(element);
    if (maximum == 0.0) maximum = 1.0;
    place_slider_thumb(element, get_element_value(element) / maximum);
    return GUI_HANDLED;
  }
  if (event->type == GUI_EV_RESET) {
    set_pressed(element, false);
    set_hover(element, false);
    return GUI_PASS;
  }
  if (!element->isEnabled()) return GUI_PASS;
  NewGuiInputEvent* ev = static_cast<NewGuiInputEvent*>(event);
  float x = ev->input.x, y = ev->input.y;
  if (event->type == GUI_EV_ENTER)
    set_hover(element, true);
  else if (event->type == GUI_EV_LEAVE)
    set_hover(element, false);
  else
    set_hover(element, hit_test(element, x, y) == element);

  if (!buttons_held(event)) {
    set_pressed(element, false);
    return GUI_HANDLED;
  }
  set_pressed(element, true);
  if (BaseGuiElement* thumb = get_slider_thumb(element)) {
    float w = thumb->rect[2] - thumb->rect[0];
    float free_span = (element->innerRect[2] - element->innerRect[0]) - w;
    float t = ((x - w * 0.5f) - element->innerRect[0]) / free_span;
    // Clamped so that a NaN (no free span) lands at the start.
    if (!(t >= 0.f)) t = 0.f;
    if (t > 1.f) t = 1.f;
    double value = double(t) * get_element_max_value(element);
    if (value != get_element_value(element)) {
      set_element_value(element, value, false);
      call_gui_listeners<BaseGuiElement*>(element->onValueChanged, element);
    }
    place_slider_thumb(element, t);
  }
  return GUI_HANDLED;
}

void HSliderBehavior::attach(BaseGuiElement* element)
{
  set_pressed(element, false);
  set_hover(element, false);
}

void HSliderBehavior::detach(BaseGuiElement* element) { attach(element); }

// --------------------------------------------------------------- standard --

NewGuiHittestHandler gui_hittest_box_handler;
namespace
{
ButtonBehavior std_button;
CheckboxBehavior std_checkbox;
RadioButtonBehavior std_radio_button;
TooltipBoxBehavior std_tooltip_box;
HSliderBehavior std_h_slider;
}  // namespace
ButtonBehavior* button_behavior = &std_button;

void register_std_behaviors()
{
  register_behavior(&gui_hittest_box_handler, "solid_box");
  register_behavior(&std_button, "button");
  register_behavior(&std_checkbox, "checkbox");
  register_behavior(&std_radio_button, "radio_button");
  register_behavior(&std_tooltip_box, "tooltip_box");
  register_behavior(&std_h_slider, "h_slider");
}
