// The plug-in's menu screens, built from GUI boxes styled by common_style:
//
//   main menu   New game, Load game, Controls, Credits, Quit
//   slot list   the save slots by name (Load game), Back
//   universe    the map of the worlds (a "uni_viewer" element: wheel and
//               right-drag zoom, left-drag pan, a click on a world enters
//               it) beside the list of worlds, Main menu
//   game menu   Resume, Save game, Main menu, Quit, Controls, Options
//   controls    the key boxes of the eleven buttons (controlsScreen.h)
//   options     switches: fog, post effects, anti-aliasing (checkboxes), Back
//   cheats      switches: endless mana, monster spawning, Resume
//   credits, new-game note and entering-world notes: a text and OK
//
// Each menu is a column of buttons: the mouse hovers and clicks them, Up
// and Down move the focus (wrapping), Enter chooses, Escape goes back. Each
// is a screen of the game's screen slots, made through its createScreen
// factory and released when closed; at most one is open. A menu that is
// done sets should_close_game_menu, and the game's mode leaves on it. A
// chosen item is logged as "menu <title>: <item>". Main thread only.
#pragma once

class BaseGuiScreen;

// Sets the screen factories and the styles; after a reload, opens the
// current menu mode's menu again.
void link_menus();
void open_menu_main();
void open_menu_game();
void open_menu_universe();
void open_menu_cheats();
// Releases the open menu; nothing when none is open.
void close_menu();
void update_menu(float dt);
void draw_menu(float t);

// The tooltip over every screen.
void show_menu_tooltip(const char* text);
void hide_menu_tooltip();
void draw_menu_tooltip(float dt);
// True while a menu screen is open (the pointer belongs to it).
bool menu_is_open();

// Makes `screen` (a screen of its own kind, such as the controls screen) the
// open menu screen after close_menu: `update` runs it each tick and `draw`
// each frame until its release calls forget_menu_screen.
void adopt_menu_screen(BaseGuiScreen* screen, void (*update)(), void (*draw)(float dt));
void forget_menu_screen(BaseGuiScreen* screen);
