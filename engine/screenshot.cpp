#include "engine/screenshot.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/timer.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

bool write_png_file(const char* path, int width, int height, int components, const void* pixels, int pitch)
{
  int len = 0;
  unsigned char* png = stbi_write_png_to_mem((const unsigned char*)pixels, pitch, width, height, components, &len);
  if (!png) return false;
  bool ok = false;
  if (FILE* f = fopen(make_full_path(path), "wb")) {
    ok = fwrite(png, 1, size_t(len), f) == size_t(len);
    ok = (fclose(f) == 0) && ok;
  }
  STBIW_FREE(png);
  return ok;
}

void make_screenshot_name(const struct tm* t, char* buffer, int size)
{
  if (!t) {
    snprintf(buffer, size_t(size), "shots/shot.png");
    return;
  }
  snprintf(buffer, size_t(size), "shots/shot%4u_%02u_%02u_%02u_%02u_%02u.png", unsigned(t->tm_year + 1900),
           unsigned(t->tm_mon + 1), unsigned(t->tm_mday), unsigned(t->tm_hour), unsigned(t->tm_min),
           unsigned(t->tm_sec));
}

void take_screenshot()
{
  int64_t start = get_ref_time();
  debug("screenshot...");
  int w = 0, h = 0, pitch = 0;
  const uint8_t* captured = capture_front_buffer(&w, &h, &pitch);
  if (!captured) return;

  char name[260];
  time_t now = time(nullptr);
  struct tm local;
  make_screenshot_name(localtime_r(&now, &local) ? &local : nullptr, name, int(sizeof(name)));

  // The capture is B, G, R, A in memory; the encoder takes R, G, B, A.
  // Alpha is forced opaque: the back buffer's alpha is whatever the last
  // blend left there.
  uint8_t* rgba = (uint8_t*)malloc(size_t(w) * size_t(h) * 4);
  bool ok = false;
  if (rgba) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = captured + ptrdiff_t(y) * pitch;
      uint8_t* d = rgba + size_t(y) * size_t(w) * 4;
      for (int x = 0; x < w; ++x, s += 4, d += 4) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = 255;
      }
    }
    ok = write_png_file(name, w, h, 4, rgba, w * 4);
    free(rgba);
  }
  release_front_buffer_capture();

  if (!ok) debug("failed to save screenshot to '%s'", name);
  else debug("screenshot captured to '%s' in %d ms", name, get_time_msec(get_ref_time() - start));
}
