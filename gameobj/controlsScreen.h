// The controls screen: the eleven buttons, each a row with its name and a
// key box showing the bound key, and Back.
//
// A click on a row or its box (or Enter on the focused row) makes the box
// wait; the next key, or a mouse button over the box, is bound to the
// button at once (set_button_key stores it); Escape or a click elsewhere
// stops waiting and keeps the old key. The box catches keys and buttons
// through the "keybox" behaviour; a key pressed while the pointer is away
// from the waiting box goes to it too. Up and Down move the focus
// (wrapping), Enter chooses, Escape goes back to the menu that opened the
// screen. A binding is logged as "controls: <button> = <key>", Back as
// "menu Controls: Back", the opening as "controls screen: Forward W,
// Backward S, ...". Main thread only.
#pragma once

// The screen factory of the game_controls slot.
void link_controls_screen();
// Opens the screen (closing the open menu); `back` reopens the menu it
// came from.
void open_controls_screen(void (*back)());
