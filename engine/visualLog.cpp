#include "engine/visualLog.h"

#include <cstdarg>
#include <cstring>

#include "engine/d3d_render.h"
#include "engine/font.h"

DynArray<TempString<128>> visual_log_lines;
DynArray<char> error_message_text;

void visual_log(const char* fmt, ...)
{
  TempString<128> line;
  va_list args;
  va_start(args, fmt);
  line.vprintf(fmt, args);
  va_end(args);
  visual_log_lines.push_back(line);
  if (visual_log_lines.num > VISUAL_LOG_MAX_LINES) visual_log_lines.erase(0, visual_log_lines.num - VISUAL_LOG_MAX_LINES);
}

void clear_visual_log() { visual_log_lines = DynArray<TempString<128>>(); }

void draw_visual_log()
{
  push_font_settings();
  bitmap_font.scale = 2;
  int n = visual_log_lines.num;
  for (int i = 0; i < n; ++i)
    draw_text(visual_log_lines[i], -1, 2 * bitmap_font.cellH, 2 * bitmap_font.cellH * (n - i), -1, -1, 0xFFFFFFFFu);
  pop_font_settings();
}

void set_error_message(const char* text)
{
  if (!text || !*text) {
    error_message_text.clear();
    return;
  }
  int l = int(strlen(text));
  error_message_text.clear();
  error_message_text.append(l + 1, text);
  debug("ERROR MESSAGE SET: %s", text);
}

void append_error_message(const char* text, int length)
{
  if (!text || length == 0) return;
  if (length < 0) length = int(strlen(text));
  if (length == 0) return;
  if (error_message_text.num == 0) {
    error_message_text.append(length, text);
  } else {
    error_message_text.back() = '\n';  // the old terminator becomes the separator
    error_message_text.append(length, text);
  }
  error_message_text.push_back(0);
}

bool has_error_message() { return error_message_text.num > 0; }

void draw_error_message()
{
  if (!has_error_message()) return;
  push_font_settings();
  bitmap_font.scale = 2;
  draw_rect(0, d3d_ht - 12 * bitmap_font.cellH, d3d_wd, d3d_ht, 0xCC660000u);
  // Long lines are broken to stay on screen, a cell's height from each edge.
  int margin = bitmap_font.scale * bitmap_font.cellH;
  std::string text = wrap_text(error_message_text.data, d3d_wd - 2 * margin);
  draw_text(text.c_str(), -1, d3d_wd / 2, d3d_ht - bitmap_font.cellH, 0, 1, 0xFFFFEE00u);
  pop_font_settings();
}
