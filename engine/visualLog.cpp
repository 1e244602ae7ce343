#include "engine/visualLog.h"

#include <cstdarg>
#include <algorithm>
#include <cstring>
#include <string>

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

std::string fit_error_message(int max_height, int& band_height)
{
  // The band holds the whole wrapped text, growing with it down to
  // max_height; a text too long even at the smaller scale is cut to the
  // band (its last line ending in "...") rather than run over what lies
  // below. A cell's height of margin on each side.
  int margin = 0;
  std::string text;
  for (int scale = 2; scale >= 1; --scale) {
    bitmap_font.scale = scale;
    margin = scale * bitmap_font.cellH;
    text = wrap_text(error_message_text.data, d3d_wd - 2 * margin);
    int w = 0, h = 0;
    calc_text_size(text.c_str(), -1, w, h);
    if (h + margin <= max_height) {
      band_height = std::max(12 * bitmap_font.cellH, h + margin);
      return text;
    }
  }
  band_height = max_height;
  // Whole lines while they fit, the last of them marked as cut.
  std::string kept;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string candidate = kept + (kept.empty() ? "" : "\n") + text.substr(start, end - start) + "...";
    int w = 0, h = 0;
    calc_text_size(candidate.c_str(), -1, w, h);
    if (h + margin > max_height || end == std::string::npos) break;
    kept = candidate.substr(0, candidate.size() - 3);
    start = end + 1;
  }
  return kept + "...";
}

void draw_error_message()
{
  if (!has_error_message()) return;
  push_font_settings();
  // The top 45% of the screen at most: the menus stand below the middle.
  int band = 0;
  std::string text = fit_error_message(d3d_ht * 45 / 100, band);
  draw_rect(0, d3d_ht - band, d3d_wd, d3d_ht, 0xCC660000u);
  draw_text(text.c_str(), -1, d3d_wd / 2, d3d_ht - bitmap_font.cellH * bitmap_font.scale / 2, 0, 1, 0xFFFFEE00u);
  pop_font_settings();
}
