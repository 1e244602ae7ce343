// GUI screens: input routing, restyle and layout, and deferred destruction.
//
// A screen owns one tree of elements. processInput drains the engine's input
// queue: it tracks the element under the pointer (sending enter and leave),
// captures the element a mouse button went down on (which then gets every
// event until the buttons are up), routes each input to its target, and at
// the end asks the tree for a tooltip. restyle restyles the dirty parts of
// the tree and lays it out over the whole back buffer.
//
// Screens and elements are never deleted while an event may still refer to
// them: they are queued, and destroy_queued_gui_elements deletes them once
// per tick (screens first, then elements). A screen's destructor queues its
// root. The concrete screens are the plug-in's subclasses. Main thread only.
#pragma once

#include "engine/gui/guiEvents.h"

class BaseGuiScreen
{
public:
  BaseGuiElement* root = nullptr;
  BaseGuiElement* captured = nullptr;  // got the last button-down
  BaseGuiElement* hovered = nullptr;
  GuiStyle* style = nullptr;

  BaseGuiScreen() {}
  BaseGuiScreen(const BaseGuiScreen&) = delete;
  BaseGuiScreen& operator=(const BaseGuiScreen&) = delete;
  // Queues the root for destruction.
  virtual ~BaseGuiScreen();

  virtual void processInput();
  virtual void processInputEvent(NewGuiInputEvent* event, BaseGuiElement* target);
  virtual void resetState();
  virtual void restyle();
  // Queues the screen for destruction.
  virtual void release();

  // One input event as processInput routes it (for callers with their own
  // queue, and for tests).
  void routeInput(NewGuiInputEvent* event);
  // The tooltip query at (x, y); hide_tooltip when no tooltip box answers.
  void queryTooltip(float x, float y);
};

// The GUI event type of an input type; fatal for unknown types.
uint32_t gui_event_type_of_input(int input_type);

// Null and already queued pointers are ignored.
void queue_destruction(BaseGuiElement* element);
void queue_destruction(BaseGuiScreen* screen);
// Deletes the queued screens, then the queued elements.
void destroy_queued_gui_elements();
// Called by a dying element: it leaves the queue (its subtree dies with it).
void forget_queued_gui_element(BaseGuiElement* element);
