// PLACEHOLDER: see guiRuntime_placeholder.h.
#include "gameshell/guiRuntime_placeholder.h"

static DynArray<BaseGuiScreen*> queued_screens;

void BaseGuiScreen::release() { queue_destruction(this); }

void GuiStyle::addSheet(void* selector, void* properties, int order)
{
  Sheet s = {selector, properties, order};
  sheets.push_back(s);
}

void GuiStyle::removeAllSheets() { sheets.clear(); }

void queue_destruction(BaseGuiScreen* screen)
{
  if (screen && queued_screens.find(screen) < 0) queued_screens.push_back(screen);
}

void destroy_queued_gui_elements()
{
  // A screen's destructor may queue further screens: take the queue first.
  while (queued_screens.num) {
    DynArray<BaseGuiScreen*> batch(static_cast<DynArray<BaseGuiScreen*>&&>(queued_screens));
    for (BaseGuiScreen* s : batch) delete s;
  }
}
