// Logging and the fatal-error path shared by every module.
//
// debug() prints one line to standard output and flushes; debug_() and
// vdebug() print without newline or flush. fatal() reports an unusable
// set-up or a failed internal check: the message goes to standard error and
// to a message box (when a display exists), every system is closed and the
// process exits with code 100. fatal() is guarded against re-entry: a fatal
// raised while closing prints its message and exits at once.
// Main thread only.
#pragma once

#include <cstdarg>

#if defined(__GNUC__)
#define QM_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define QM_PRINTF(a, b)
#endif

void debug(const char* fmt, ...) QM_PRINTF(1, 2);
void debug_(const char* fmt, ...) QM_PRINTF(1, 2);
void vdebug(const char* fmt, va_list args);

// Logs "ERROR: %s" and shows a modal error box titled "<window title> - FATAL ERROR".
void error_message(const char* text);

[[noreturn]] void fatal(const char* fmt, ...) QM_PRINTF(1, 2);

// Reports "%s(%d): failed ASSERT(%s)" through fatal().
[[noreturn]] void assert_failed(const char* file, int line, const char* expr);

// Assertion with the source name and line given explicitly: the texts of some
// assertions are a stable contract (they appear in the messages users report),
// so they must not move when the code around them is edited.
#define ASSERT_AT(file, line, expr) \
  do { if (!(expr)) assert_failed(file, line, #expr); } while (0)

// Plain assertion naming this source file and line.
#define ASSERT(expr) ASSERT_AT(__FILE_NAME__, __LINE__, expr)

// Hooks for tests and tools: the closing sequence fatal() runs before exiting
// (the application shell installs close_all_systems), and whether message
// boxes may be shown at all.
void set_fatal_close_hook(void (*hook)());
void set_message_boxes_enabled(bool enabled);
// The window title that error boxes name in their caption (the game's by
// default; the launcher sets its own). The text must outlive its use.
void set_message_box_window_title(const char* title);
