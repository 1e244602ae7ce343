// GUI screens: input routing, restyle and layout, deferred destruction.
#include "engine/gui/guiScreen.h"

#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/gui/guiServices.h"
#include "engine/input.h"

namespace
{
DynArray<BaseGuiScreen*> queued_screens;
DynArray<BaseGuiElement*> queued_elements;

void send_crossing(NewGuiInputEvent* event, BaseGuiElement* element, uint32_t type)
{
  uint32_t saved = event->type;
  event->type = type;
  send_event(event, element, GUI_TARGET, nullptr);
  event->type = saved;
}
}  // namespace

BaseGuiScreen::~BaseGuiScreen()
{
  queue_destruction(root);
  root = captured = hovered = nullptr;
}

void BaseGuiScreen::release() { queue_destruction(this); }

uint32_t gui_event_type_of_input(int input_type)
{
  switch (input_type) {
    case INPUT_KEY_DOWN:
    case INPUT_KEY_UP: return GUI_EV_KEY;
    case INPUT_BUTTON_DOWN: return GUI_EV_BUTTON_DOWN;
    case INPUT_BUTTON_UP: return GUI_EV_BUTTON_UP;
    case INPUT_MOUSE_MOVE: return GUI_EV_MOVE;
    case INPUT_WHEEL: return GUI_EV_WHEEL;
    default: ASSERT_AT("guiRuntime", 0, !"unknown input event type");
  }
  return 0;
}

void BaseGuiScreen::routeInput(NewGuiInputEvent* ev)
{
  BaseGuiElement* target;
  if (captured) {
    if (ev->input.flags & GUI_BUTTONS_HELD) {
      BaseGuiElement* h = root ? hit_test(root, ev->input.x, ev->input.y) : nullptr;
      if (h != hovered) {
        if (hovered) send_crossing(ev, hovered, GUI_EV_LEAVE);
        hovered = nullptr;
        if (h == captured) {
          hovered = h;
          send_crossing(ev, h, GUI_EV_ENTER);
        }
      }
      target = captured;
    } else {
      target = captured;
      captured = nullptr;
    }
  } else {
    if (!root) return;
    BaseGuiElement* h = hit_test(root, ev->input.x, ev->input.y);
    if (h != hovered) {
      if (hovered) send_crossing(ev, hovered, GUI_EV_LEAVE);
      hovered = h;
      if (h) send_crossing(ev, h, GUI_EV_ENTER);
    }
    target = h;
  }
  processInputEvent(ev, target);
}

void BaseGuiScreen::processInput()
{
  NewGuiInputEvent ev;
  while (getEvent(&ev.input)) {
    ev.type = GUI_EV_KEY;
    routeInput(&ev);
  }
  float x = 0.f, y = 0.f;
  getMousePos(&x, &y);
  queryTooltip(x, y);
}

void BaseGuiScreen::queryTooltip(float x, float y)
{
  if (!root) return;
  NewGuiTooltipEvent tip(x, y);
  if (send_event(&tip, root, GUI_BROADCAST, nullptr) != GUI_HANDLED) gui_hide_tooltip();
}

void BaseGuiScreen::processInputEvent(NewGuiInputEvent* event, BaseGuiElement* target)
{
  if (event->input.type == INPUT_BUTTON_DOWN) captured = target;
  event->type = gui_event_type_of_input(event->input.type);
  if (event->type != GUI_EV_KEY) {
    if (target) send_event(event, target, GUI_TARGET, nullptr);
  } else if (!target) {
    send_event(event, root, GUI_BROADCAST, nullptr);
  } else {
    send_event(event, target, GUI_BUBBLE, nullptr);
  }
}

void BaseGuiScreen::resetState()
{
  captured = nullptr;
  if (hovered) {
    NewGuiInputEvent ev;
    ev.input.type = INPUT_MOUSE_MOVE;
    getMousePos(&ev.input.x, &ev.input.y);
    send_crossing(&ev, hovered, GUI_EV_LEAVE);
  }
  hovered = nullptr;
}

void BaseGuiScreen::restyle()
{
  if (style && root) style->restyle(root, false);
  if (root) root->layout(make4f(0.f, 0.f, float(d3d_wd), float(d3d_ht)), float(d3d_ht) * 0.001f);
}

// ------------------------------------------------------------ destruction --

void queue_destruction(BaseGuiElement* element)
{
  if (element && queued_elements.find(element) < 0) queued_elements.push_back(element);
}

void queue_destruction(BaseGuiScreen* screen)
{
  if (screen && queued_screens.find(screen) < 0) queued_screens.push_back(screen);
}

void forget_queued_gui_element(BaseGuiElement* element)
{
  int i = queued_elements.find(element);
  if (i >= 0) queued_elements[i] = nullptr;
}

void destroy_queued_gui_elements()
{
  // The count is read anew after each deletion: what a destructor queues
  // meanwhile goes in the same pass (screens queued by element destructors
  // wait for the next one).
  for (int i = 0; i < queued_screens.num; i++) delete queued_screens[i];
  queued_screens.clear();
  for (int i = 0; i < queued_elements.num; i++) {
    BaseGuiElement* e = queued_elements[i];
    queued_elements[i] = nullptr;
    delete e;
  }
  queued_elements.clear();
}
