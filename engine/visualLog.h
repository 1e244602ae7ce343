// Two overlays that show what the log alone would hide: the visual log, the
// last 100 short lines (127 characters each) that any part of the game or the
// plug-in prints, drawn newest lowest; and the error message, one block of
// text shown in a red band at the top of the screen until it is replaced or
// cleared. The game shell draws both at the end of every frame inside a
// start_draw_text / end_draw_text pair (error message first).
// Main thread only.
#pragma once

#include "engine/debug.h"
#include "engine/dynArray.h"
#include "engine/utils.h"

#include <string>

enum { VISUAL_LOG_MAX_LINES = 100 };

// Oldest first.
extern DynArray<TempString<128>> visual_log_lines;
// One zero-terminated text; its count includes the terminator, 0 means none.
extern DynArray<char> error_message_text;

// printf-style; output longer than 127 characters is cut. The oldest lines
// go once more than 100 are held.
void visual_log(const char* fmt, ...) QM_PRINTF(1, 2);
void clear_visual_log();
void draw_visual_log();

// A null or empty text clears the message; any other replaces it and is
// logged as "ERROR MESSAGE SET: %s".
void set_error_message(const char* text);
// Adds the text as a further line (no newline before the first); a negative
// length means up to the terminator. Nothing is logged.
void append_error_message(const char* text, int length);
bool has_error_message();
// The red band at the top: it grows with the wrapped text up to 45% of the
// screen height (the text drawn smaller, then cut with "...", when longer).
void draw_error_message();
// The text as draw_error_message shows it within max_height pixels, and the
// band's height; sets bitmap_font.scale (call between font pushes).
std::string fit_error_message(int max_height, int& band_height);
