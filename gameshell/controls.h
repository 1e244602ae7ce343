// Key bindings and the "keybox" GUI behaviour: the game's eleven logical
// buttons, each bound to one virtual-key code (mouse buttons count as keys:
// 1 left, 2 right, 4 middle).
//
// The bindings live in the configuration store as "#<code>" under
// "B_forward" ... "B_spells"; init_controls reads them once at start-up (a
// missing value, or one not starting with "#", keeps the default) and
// set_button_key stores a new binding at once. The camera code and the
// gameobj plug-in ask for buttons by index; an index outside 0..10 gives the
// neutral result of each function.
//
// The plug-in's controls screen rebinds through key boxes: an element with
// the "keybox" behaviour reports the next key or mouse button pressed while
// the pointer is over the box itself (not over a child of it) to its
// onClickKey listeners, with the virtual-key code (1, 2 or 4 for a mouse
// button); the listener calls set_button_key. The box keeps the element's
// hover state. Main thread only.
#pragma once

#include "engine/gui/guiEvents.h"
#include "engine/utils.h"

enum
{
  BUTTON_FORWARD,
  BUTTON_BACK,
  BUTTON_LEFT,
  BUTTON_RIGHT,
  BUTTON_UP,
  BUTTON_DOWN,
  BUTTON_TURBO,
  BUTTON_LEFT_SPELL,
  BUTTON_RIGHT_SPELL,
  BUTTON_MAP,
  BUTTON_SPELLS,
  NUM_BUTTONS
};

class KeyBoxBehavior : public NewGuiEventHandler
{
public:
  KeyBoxBehavior() : NewGuiEventHandler(GUI_EV_KEY | GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_DOWN | GUI_EV_RESET) {}
  int handle(NewGuiEvent* event, BaseGuiElement* element, int mode) override;
  void attach(BaseGuiElement* element) override;
  void detach(BaseGuiElement* element) override;
};
extern KeyBoxBehavior keybox_behavior;

// Loads every binding from the store, then registers "keybox".
void init_controls();

const char* get_button_ui_name(int button);          // null outside the range
TempString<260> get_button_key_name(int button);     // "" outside the range
bool button_down(int button);   // the bound key went down this tick
bool button_up(int button);     // ... went up this tick
bool button_state(int button);  // ... is held now
// Binds the key and stores "#<key>" under the button's configuration key.
void set_button_key(int button, int key);
