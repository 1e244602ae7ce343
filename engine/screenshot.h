// Screenshots: the last presented picture written as a PNG file
// "shots/shot<date>_<time>.png" beside the program, encoded in memory by
// stb_image_write. The "shots" folder is not created: without it the write
// fails and only a log line says so. Main thread only (reads the device).
#pragma once

// Captures the front buffer and writes it; every failure is only logged.
void take_screenshot();

// Encodes `components` bytes per pixel (red, green, blue, alpha order), rows
// `pitch` bytes apart, as PNG and writes it to make_full_path(path); false
// when encoding, opening or writing fails.
bool write_png_file(const char* path, int width, int height, int components, const void* pixels, int pitch);

// The file name for a screenshot taken at that local time, as the screenshot
// uses it; "shots/shot.png" for a null time.
struct tm;
void make_screenshot_name(const struct tm* local, char* buffer, int size);
