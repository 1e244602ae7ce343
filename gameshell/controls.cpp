// Key bindings and their configuration store values.
#include "gameshell/controls.h"

#include "engine/config.h"
#include "engine/gui/guiEvents.h"
#include "engine/input.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace
{
struct ButtonInfo
{
  const char* configKey;
  const char* uiName;
  int defaultKey;
};

const ButtonInfo buttons[NUM_BUTTONS] = {
    {"B_forward", "Forward", 87},        // W
    {"B_back", "Backward", 83},          // S
    {"B_left", "Left", 65},              // A
    {"B_right", "Right", 68},            // D
    {"B_up", "Up", 32},                  // space
    {"B_down", "Down", 67},              // C
    {"B_turbo", "Go faster", 16},        // shift
    {"B_lspell", "Left spell", 1},       // left mouse button
    {"B_rspell", "Right spell", 2},      // right mouse button
    {"B_map", "Show map", 9},            // tab
    {"B_spells", "Select spells", 17},   // control
};

int bound_keys[NUM_BUTTONS] = {87, 83, 65, 68, 32, 67, 16, 1, 2, 9, 17};

bool in_range(int button) { return button >= 0 && button < NUM_BUTTONS; }

// The leading decimal number of a stored value as atoi reads it ("" and
// "x" give 0, "-5" gives -5), saturated to int instead of overflowing.
int parse_key_code(const char* text)
{
  long v = strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}
}  // namespace

// ---- the key box ----

namespace
{
void set_key_box_state(BaseGuiElement* e, bool pressed, bool hover)
{
  set_element_pressed(e, &pressed, false);
  set_element_hover(e, &hover, false);
}
}  // namespace

int KeyBoxBehavior::handle(NewGuiEvent* event, BaseGuiElement* element, int)
{
  if (event->type == GUI_EV_RESET) {
    set_key_box_state(element, false, false);
    return GUI_PASS;
  }
  if (!element->isEnabled()) return GUI_PASS;
  bool hover = true;
  switch (event->type) {
    case GUI_EV_LEAVE:
      hover = false;
      // fall through
    case GUI_EV_ENTER:
      set_element_hover(element, &hover, false);
      return GUI_HANDLED;
    case GUI_EV_KEY:
    case GUI_EV_BUTTON_DOWN: {
      const InputEvent& in = static_cast<NewGuiInputEvent*>(event)->input;
      if (event->type == GUI_EV_KEY && in.type != INPUT_KEY_DOWN) return GUI_HANDLED;
      if (hit_test(element, in.x, in.y) == element) call_gui_listeners(element->onClickKey, element, in.key);
      return GUI_HANDLED;
    }
    default:
      return GUI_HANDLED;
  }
}

void KeyBoxBehavior::attach(BaseGuiElement* element) { set_key_box_state(element, false, false); }

void KeyBoxBehavior::detach(BaseGuiElement* element) { set_key_box_state(element, false, false); }

KeyBoxBehavior keybox_behavior;

void init_controls()
{
  for (int i = 0; i < NUM_BUTTONS; ++i) {
    bound_keys[i] = buttons[i].defaultKey;
    char value[65];
    if (get_config_str(buttons[i].configKey, value, sizeof(value)) && value[0] == '#')
      bound_keys[i] = parse_key_code(value + 1);
  }
  register_behavior(&keybox_behavior, "keybox");
}

const char* get_button_ui_name(int button) { return in_range(button) ? buttons[button].uiName : nullptr; }

TempString<260> get_button_key_name(int button)
{
  TempString<260> name;
  if (!in_range(button)) return name;
  const char* text = getKeyName(bound_keys[button]);
  if (text) name.printf("%s", text);
  return name;
}

bool button_down(int button) { return in_range(button) && keyDown(bound_keys[button]); }
bool button_up(int button) { return in_range(button) && keyUp(bound_keys[button]); }
bool button_state(int button) { return in_range(button) && getKeyState(bound_keys[button]); }

void set_button_key(int button, int key)
{
  if (!in_range(button)) return;
  bound_keys[button] = key;
  char value[16];
  snprintf(value, sizeof(value), "#%d", key);
  set_config_str(buttons[button].configKey, value, -1);
}
