// PLACEHOLDER: stand-ins for the key bindings until they are read from the
// configuration: the buttons are fixed to W, S, A, D (forward, back, left,
// right), Space and C (up, down) and Shift (turbo). Delete each definition
// here as the real one is written.
#include "gameshell/shellPending.h"

#include "engine/input.h"

static const int default_button_keys[] = {'W', 'S', 'A', 'D', ' ', 'C', 16};
static const int num_buttons = int(sizeof(default_button_keys) / sizeof(default_button_keys[0]));

void init_controls() {}

bool button_state(int button)
{
  return button >= 0 && button < num_buttons && getKeyState(default_button_keys[button]);
}

bool button_down(int button) { return button >= 0 && button < num_buttons && keyDown(default_button_keys[button]); }
