// PLACEHOLDER: the least of the engine's GUI runtime that the game shell and
// the plug-in binding need before the runtime exists: screens that are queued
// for deletion and deleted once per tick, and styles that can be filled and
// emptied. Replace each part with the runtime's own when it is written.
// Main thread only.
#pragma once

#include "engine/dynArray.h"

// A GUI screen of the plug-in. release() queues it for deletion; the queue is
// emptied by destroy_queued_gui_elements, so a screen never dies while the
// code that released it still runs.
class BaseGuiScreen
{
public:
  virtual ~BaseGuiScreen() {}
  virtual void release();
};

// An ordered set of style sheets; the style owns them.
struct GuiStyle
{
  struct Sheet
  {
    void* selector;
    void* properties;
    int order;
  };
  DynArray<Sheet> sheets;

  void addSheet(void* selector, void* properties, int order);
  // Destroys every sheet; the style stays, empty.
  void removeAllSheets();
};

// Queues a screen for deletion; null and already queued screens are ignored.
void queue_destruction(BaseGuiScreen* screen);
// Deletes every queued screen.
void destroy_queued_gui_elements();
