// GUI events, their delivery and the standard behaviours.
//
// An element reacts to nothing by itself: it carries behaviours
// (NewGuiEventHandler objects) and an event mask, and every event that
// reaches it is offered to those behaviours in list order. send_event
// delivers an event in one of four modes (root first, bubble, target only,
// broadcast); hit_test broadcasts a hit-test event that the "solid_box"
// behaviour answers. Behaviours are registered by name; the first
// registration of a name wins, names are borrowed (string literals).
//
// The six standard behaviours are static objects: "solid_box", "button",
// "checkbox", "radio_button", "tooltip_box", "h_slider". They keep their
// state in the element's slots (pressed, checked, hover, slider value,
// the thumb's offsets) and call the element's listener lists.
// Main thread only.
#pragma once

#include "engine/gui/guiElement.h"
#include "engine/input.h"

// Event types: single bits, so masks can hold several.
enum
{
  GUI_EV_NOTIFY = 1,
  GUI_EV_HITTEST = 2,
  GUI_EV_KEY = 4,
  GUI_EV_ENTER = 16,
  GUI_EV_LEAVE = 32,
  GUI_EV_BUTTON_UP = 64,
  GUI_EV_BUTTON_DOWN = 128,
  GUI_EV_MOVE = 256,
  GUI_EV_WHEEL = 512,
  GUI_EV_RESET = 1024,
  GUI_EV_TOOLTIP = 2048,
};

// Delivery modes of send_event.
enum
{
  GUI_ROOT_FIRST = 0,
  GUI_BUBBLE = 1,
  GUI_TARGET = 2,
  GUI_BROADCAST = 3,
};

// Handler results.
enum
{
  GUI_PASS = 0,     // not handled: go on
  GUI_HANDLED = 1,  // stop
  GUI_SKIP = 2,     // declined for this element and its subtree
};

// Input flags meaning a mouse button is held.
enum { GUI_BUTTONS_HELD = INPUT_LBUTTON | INPUT_RBUTTON };

class NewGuiEvent
{
public:
  uint32_t type;
  explicit NewGuiEvent(uint32_t type_) : type(type_) {}
  virtual ~NewGuiEvent() {}
};

class NewGuiHittestEvent : public NewGuiEvent
{
public:
  float x, y;
  BaseGuiElement* hit = nullptr;
  NewGuiHittestEvent(float x_, float y_) : NewGuiEvent(GUI_EV_HITTEST), x(x_), y(y_) {}
};

class NewGuiTooltipEvent : public NewGuiEvent
{
public:
  float x, y;
  NewGuiTooltipEvent(float x_, float y_) : NewGuiEvent(GUI_EV_TOOLTIP), x(x_), y(y_) {}
};

class NewGuiInputEvent : public NewGuiEvent
{
public:
  InputEvent input;
  NewGuiInputEvent() : NewGuiEvent(GUI_EV_KEY), input() {}
  explicit NewGuiInputEvent(const InputEvent& in) : NewGuiEvent(GUI_EV_KEY), input(in) {}
};

// A command to an element. Code 1: a slider's value was changed from outside.
class NewGuiNotifyEvent : public NewGuiEvent
{
public:
  int code;
  explicit NewGuiNotifyEvent(int code_) : NewGuiEvent(GUI_EV_NOTIFY), code(code_) {}
};
enum { GUI_NOTIFY_VALUE_CHANGED = 1 };

// A behaviour.
class NewGuiEventHandler
{
public:
  uint32_t eventMask;
  explicit NewGuiEventHandler(uint32_t mask) : eventMask(mask) {}
  virtual ~NewGuiEventHandler() {}
  // GUI_PASS, GUI_HANDLED or GUI_SKIP.
  virtual int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) = 0;
  virtual void attach(BaseGuiElement*) {}
  virtual void detach(BaseGuiElement*) {}
};

// ---- registry ----

// Adds the behaviour under `name` unless the name is taken (silently kept).
void register_behavior(NewGuiEventHandler* behavior, const char* name);
// The six standard behaviours, each only while its name is free.
void register_std_behaviors();
NewGuiEventHandler* get_behavior(const char* name);
// Forgets every registration made after the first `count`; the plug-in's
// behaviours go when it is unbound. Returns how many were forgotten.
int unregister_behaviors_after(int count);
int num_registered_behaviors();

// ---- delivery ----

// Offers the event to the element's behaviours (see the banner).
int dispatch_to_behaviors(BaseGuiElement* element, NewGuiEvent* event, int mode);
// Delivers from `element` in one of the four modes; `stop` ends the climb of
// root-first and bubble (null: the root). The first non-zero handler result
// that ends the delivery, else 0.
int send_event(NewGuiEvent* event, BaseGuiElement* element, int mode, BaseGuiElement* stop);
// The element that claims the point, or null.
BaseGuiElement* hit_test(BaseGuiElement* root, float x, float y);
// x0 < x <= x1 and y0 < y <= y1 (a NaN is outside).
bool gui_rect_contains(vec4f rect, float x, float y);

// ---- standard behaviours ----

class NewGuiHittestHandler : public NewGuiEventHandler
{
public:
  NewGuiHittestHandler() : NewGuiEventHandler(GUI_EV_HITTEST) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) override;
  virtual bool contains(BaseGuiElement* element, float x, float y);
};

class TooltipBoxBehavior : public NewGuiEventHandler
{
public:
  TooltipBoxBehavior() : NewGuiEventHandler(GUI_EV_TOOLTIP) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) override;
  virtual bool contains(BaseGuiElement* element, float x, float y);
};

class ButtonBehavior : public NewGuiEventHandler
{
public:
  ButtonBehavior() : NewGuiEventHandler(GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_UP | GUI_EV_BUTTON_DOWN | GUI_EV_RESET) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) override;
  void attach(BaseGuiElement* element) override;
  void detach(BaseGuiElement* element) override;
  virtual void click(BaseGuiElement* element, NewGuiInputEvent* event);
};

class CheckboxBehavior : public ButtonBehavior
{
public:
  void attach(BaseGuiElement* element) override;
  void click(BaseGuiElement* element, NewGuiInputEvent* event) override;
};

class RadioButtonBehavior : public ButtonBehavior
{
public:
  void attach(BaseGuiElement* element) override;
  void click(BaseGuiElement* element, NewGuiInputEvent* event) override;
};

class HSliderBehavior : public NewGuiEventHandler
{
public:
  HSliderBehavior()
      : NewGuiEventHandler(GUI_EV_NOTIFY | GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_UP | GUI_EV_BUTTON_DOWN |
                           GUI_EV_MOVE | GUI_EV_RESET) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) override;
  void attach(BaseGuiElement* element) override;
  void detach(BaseGuiElement* element) override;
};

// The slider's thumb: its first child with the thumb flag, or null.
BaseGuiElement* get_slider_thumb(BaseGuiElement* slider);
// Places the thumb at t (clamped to 0..1) of the slider's free span.
void place_slider_thumb(BaseGuiElement* slider, double t);

extern NewGuiHittestHandler gui_hittest_box_handler;
extern ButtonBehavior* button_behavior;
