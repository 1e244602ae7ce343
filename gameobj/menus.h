// The plug-in's menus: plain text lists drawn with the engine's bitmap font
// and driven by the arrow keys, Enter and Escape.
//
//   main menu   New game, Load game (the save slots), Quit
//   universe    the worlds of the game (Enter goes there), Main menu
//   game menu   Resume, Save game, Main menu, Quit
//
// Each is a screen of the game's screen slots (main_menu_screen,
// universe_screen, game_menu_screen), made through its createScreen factory
// and released when closed; at most one is open. A menu that is done sets
// should_close_game_menu, and the game's mode leaves on it. Main thread only.
#pragma once

// Sets the three screen factories.
void link_menus();
void open_menu_main();
void open_menu_game();
void open_menu_universe();
// Releases the open menu; nothing when none is open.
void close_menu();
void update_menu(float dt);
void draw_menu(float t);
