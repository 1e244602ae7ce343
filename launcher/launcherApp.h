// The application shell of `launcher`: a 640 x 480 SDL window titled
// "Quillmere Launcher" showing the settings screen, drawn in software into
// `screen_buffer` and copied to the window; input through the engine's
// input queue, exactly as the game gets it.
//
// Redraws follow input activity and happen at least 30 times a second; the
// layout is redone only when the window's size changes. The program ends in
// three ways: the window is closed (exit code 0, options not saved), Start or
// Quit (options saved, exit code 0), or a fatal error (exit code 100, with a
// box captioned "Quillmere Launcher - FATAL ERROR"). Main thread only.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"

class GuiScreen;
class SoftwareGuiRenderer;

extern DynArray<uint32_t> screen_buffer;   // top row first
extern int screen_buffer_wd, screen_buffer_ht;   // at least 1 x 1
extern GuiScreen* launcher_screen;
SoftwareGuiRenderer& launcher_renderer();

int run_launcher(int argc, char** argv);

// Loads the options and the font, builds the screen and attaches the
// command handler. Needs no window (the pixel tests use it).
void init_launcher();
void resize_screen_buffer(int w, int h);
// Clears the pixels and draws the screen into them.
void paint_launcher_screen(uint32_t* pixels, int pitch, int w, int h);
void process_launcher_input();
void relayout_launcher_screen();
void destroy_launcher_screen();
// Frees the screen and the buffer; also the closing step of fatal().
void close_launcher();
