#include "gl/gl_fixture.h"

#include "engine/app.h"
#include "engine/gl.h"

#include <cstring>

SDL_Window* GlDeviceTest::window = nullptr;

void GlDeviceTest::SetUpTestSuite()
{
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  window = SDL_CreateWindow("test", 0, 0, WIDTH, HEIGHT, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  isFullscreen = false;
  ASSERT_TRUE(init_d3d(window, WIDTH, HEIGHT));
}

void GlDeviceTest::TearDownTestSuite()
{
  close_d3d();
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
}

void GlDeviceTest::SetUp()
{
  ASSERT_NE(d3d, nullptr);
  if (d3d_wd != WIDTH || d3d_ht != HEIGHT) resize_d3d(WIDTH, HEIGHT, false, true);
  set_back_buffer_target();
  set_color_write_mask(15);
  set_stencil_test(0, 0, 8);
  set_stencil_replace_bits(0);
}

uint32_t GlDeviceTest::back_buffer_pixel(int x, int y)
{
  int w = 0, h = 0, pitch = 0;
  const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
  EXPECT_NE(p, nullptr);
  if (!p) return 0;
  uint32_t v;
  memcpy(&v, p + y * pitch + x * 4, 4);
  release_front_buffer_capture();
  return v;
}

uint32_t GlDeviceTest::texture_pixel(Texture tex, int x, int y)
{
  int pitch = 0;
  const uint8_t* p = (const uint8_t*)read_render_texture(tex, &pitch);
  EXPECT_NE(p, nullptr);
  if (!p) return 0;
  uint32_t v;
  memcpy(&v, p + y * pitch + x * 4, 4);
  end_read_render_texture(tex);
  return v;
}

std::vector<uint32_t> GlDeviceTest::back_buffer_picture()
{
  int w = 0, h = 0, pitch = 0;
  const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
  EXPECT_NE(p, nullptr);
  std::vector<uint32_t> out(size_t(w) * size_t(h));
  if (!p) return out;
  for (int y = 0; y < h; ++y) memcpy(&out[size_t(y) * size_t(w)], p + size_t(y) * size_t(pitch), size_t(w) * 4);
  release_front_buffer_capture();
  return out;
}

unsigned GlDeviceTest::plain_program(const char* fragment_source)
{
  const char* vs =
      "#version 330 core\n"
      "void main() { vec2 p = vec2((gl_VertexID & 1) * 4 - 1, (gl_VertexID >> 1) * 4 - 1);"
      " gl_Position = vec4(p, 0.0, 1.0); }\n";
  GLuint s[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
  glShaderSource(s[0], 1, &vs, nullptr);
  glShaderSource(s[1], 1, &fragment_source, nullptr);
  GLuint program = glCreateProgram();
  for (GLuint sh : s) {
    glCompileShader(sh);
    glAttachShader(program, sh);
  }
  glLinkProgram(program);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  for (GLuint sh : s) glDeleteShader(sh);
  if (!ok) {
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

void GlDeviceTest::draw_plain(unsigned program)
{
  GLint prev_vao = 0;
  glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &prev_vao);
  GLuint vao = 0;
  glGenVertexArrays(1, &vao);
  set_cull_mode(0);
  glUseProgram(program);
  glBindVertexArray(vao);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(GLuint(prev_vao));
  glUseProgram(0);
  glDeleteVertexArrays(1, &vao);
  set_cull_mode(1);
}
