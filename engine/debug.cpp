#include "engine/debug.h"

#include <SDL.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char** environ;

static const char* window_title = "Quillmere 0.22";

static void (*fatal_close_hook)() = nullptr;
static bool message_boxes_enabled = true;
static bool in_fatal = false;

void set_fatal_close_hook(void (*hook)()) { fatal_close_hook = hook; }
void set_message_boxes_enabled(bool enabled) { message_boxes_enabled = enabled; }
void set_message_box_window_title(const char* title) { window_title = title ? title : ""; }

void vdebug(const char* fmt, va_list args) { vfprintf(stdout, fmt, args); }

void debug_(const char* fmt, ...)
{
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
}

void debug(const char* fmt, ...)
{
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
  fputs("\n", stdout);
  fflush(stdout);
}

// A message box needs a display; without one (tests, CI, a console) the text
// on standard error is all there is.
static bool display_available()
{
  if (!message_boxes_enabled) return false;
  const char* no_dialogs = getenv("QUILLMERE_NO_DIALOGS");
  if (no_dialogs && *no_dialogs && *no_dialogs != '0') return false;
  const char* x = getenv("DISPLAY");
  const char* w = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

void error_message(const char* text)
{
  debug("ERROR: %s", text);
  if (!display_available()) return;
  char title[256];
  snprintf(title, sizeof(title), "%s - FATAL ERROR", window_title);
  // The X toolkit's message window works with or without a window manager;
  // SDL's own box waits forever for a window manager that may not be there.
  const char* argv[] = {"xmessage", "-center", "-title", title, "-buttons", "OK:0", "-default", "OK", text, nullptr};
  pid_t pid = 0;
  if (getenv("DISPLAY") && posix_spawnp(&pid, "xmessage", nullptr, nullptr, (char**)argv, environ) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return;
  }
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr);
}

void fatal(const char* fmt, ...)
{
  va_list args;
  va_start(args, fmt);
  fputs("\n\n", stderr);
  vfprintf(stderr, fmt, args);
  va_end(args);
  fputs("\n", stderr);
  fflush(stdout);
  fflush(stderr);

  if (in_fatal) {
    // Raised while closing after an earlier fatal: do not close again.
    _Exit(100);
  }
  in_fatal = true;

  char msg[4096];
  va_start(args, fmt);
  vsnprintf(msg, sizeof(msg), fmt, args);
  va_end(args);
  error_message(msg);
  if (fatal_close_hook) fatal_close_hook();
  fflush(stdout);
  fflush(stderr);
  _Exit(100);
}

void assert_failed(const char* file, int line, const char* expr)
{
  fatal("%s(%d): failed ASSERT(%s)", file, line, expr);
}
