// What the GUI runtime needs from the game: the plug-in's tooltip. The game
// shell defines these (forwarding to the bound plug-in, doing nothing while
// none is bound); test programs that link the engine alone supply their own.
#pragma once

// Shows the tooltip with a text of at most 255 characters.
void gui_show_tooltip(const char* text);
void gui_hide_tooltip();
