// A real GL device on a hidden window of SDL's off-screen driver (Mesa's
// software renderer, no X server needed), shared by the renderer tests.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/d3d_render.h"

#include <vector>

class GlDeviceTest : public testing::Test {
 protected:
  static SDL_Window* window;
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // Pixel (x, y) of the back buffer, rows counted from the top, as 0xAARRGGBB.
  static uint32_t back_buffer_pixel(int x, int y);
  // Pixel (x, y) of an A8R8G8B8 render texture, rows from the top.
  static uint32_t texture_pixel(Texture tex, int x, int y);
  // The whole back buffer, rows from the top, as 0xAARRGGBB.
  static std::vector<uint32_t> back_buffer_picture();

  // A GL program outside the shader system: a triangle over the whole
  // target, coloured by `fragment_source` (GLSL 3.30 core); 0 on failure.
  static unsigned plain_program(const char* fragment_source);
  // Draws that triangle with `program` into the current target.
  static void draw_plain(unsigned program);

  enum { WIDTH = 64, HEIGHT = 48 };
};
