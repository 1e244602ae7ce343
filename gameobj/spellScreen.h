// The spell screen and the play screen's spell display.
//
// The spell screen (the game's spells_gui screen slot, opened and closed
// with the "Select spells" button) shows the spells of the spell grid, each
// with its icon and name, and which two sit on the spell buttons. Pressing
// a spell button over a spell puts that spell on the button: a click with
// the left spell button (the left mouse button unless rebound) over a spell
// chooses it for the left button, the right one for the right. The focus
// starts on the left button's spell and follows the pointer; the arrow
// keys move it, Enter puts the focused spell on the left button,
// Space on the right; Escape or "Select spells" again closes the screen.
// While it is open the pointer is free and the buttons cast nothing.
//
// In play the display shows a crosshair, the health and mana bars, the two
// chosen spells with their icons, names and costs (greyed while the mana
// does not suffice) and the last cast's message. Main thread only.
#pragma once

// Sets the spells_gui factory.
void link_spells_screen();
void open_spells_screen();
void close_spells_screen();
bool spells_screen_open();
// One tick of the open screen.
void update_spells_screen();
// The play display, and the screen over it when open.
void draw_spells_display(float t);
