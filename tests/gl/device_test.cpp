// The device on a real GL context: clears and read-back, the viewport that
// follows a change of render target, clears that ignore the write masks,
// render textures that follow the back buffer across a resize, and the
// picture's orientation and culling.
#include "gl/gl_fixture.h"

#include "engine/gl.h"

TEST_F(GlDeviceTest, ClearAndReadBack)
{
  clear_view(0xFF112233u);
  EXPECT_EQ(back_buffer_pixel(0, 0), 0xFF112233u);
  EXPECT_EQ(back_buffer_pixel(WIDTH - 1, HEIGHT - 1), 0xFF112233u);
}

TEST_F(GlDeviceTest, RenderTargetOfAnotherSizeGetsItsOwnViewport)
{
  Texture rt = create_render_texture(16, 8, RT_A8R8G8B8);
  ASSERT_NE(rt, nullptr);
  GLint vp[4];
  set_render_target(rt, 0, false);
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 16);
  EXPECT_EQ(vp[3], 8);
  clear_view(0xFF0000FFu);
  EXPECT_EQ(texture_pixel(rt, 15, 7), 0xFF0000FFu);

  set_back_buffer_target();
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], WIDTH);
  EXPECT_EQ(vp[3], HEIGHT);
  release_texture(rt);
}

TEST_F(GlDeviceTest, ClearIgnoresColourAndStencilWriteMasks)
{
  Texture rt = create_screen_render_texture();
  ASSERT_NE(rt, nullptr);
  set_render_target(rt, 0, true);
  glStencilMask(0xFF);
  glClearStencil(7);
  glClear(GL_STENCIL_BUFFER_BIT);

  set_color_write_mask(0);
  set_stencil_replace_bits(0);  // stencil write mask off
  clear_view(0xFF445566u);

  uint8_t stencil = 99;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(3, 3, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
  EXPECT_EQ(stencil, 0);
  set_color_write_mask(15);
  EXPECT_EQ(texture_pixel(rt, 3, 3), 0xFF445566u);
  // The masks themselves are as they were set.
  GLint smask = -1;
  glGetIntegerv(GL_STENCIL_WRITEMASK, &smask);
  EXPECT_EQ(smask, 0);
  set_back_buffer_target();
  release_texture(rt);
}

TEST_F(GlDeviceTest, ScreenSizeRenderTextureFollowsResize)
{
  Texture screen = create_screen_render_texture();
  Texture fixed = create_render_texture(8, 8, RT_R32F);
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(fixed, nullptr);
  ASSERT_TRUE(resize_d3d(40, 30, false, false));
  EXPECT_EQ(d3d_wd, 40);
  EXPECT_EQ(screen->real_width, 40);
  EXPECT_EQ(screen->real_height, 30);
  EXPECT_EQ(fixed->real_width, 8);
  EXPECT_NE(screen->texture, 0u);
  // The same size and mode without force changes nothing.
  GLuint before = screen->texture;
  EXPECT_TRUE(resize_d3d(40, 30, false, false));
  EXPECT_EQ(screen->texture, before);
  release_texture(screen);
  release_texture(fixed);
}

TEST_F(GlDeviceTest, TableSlotsAreReusedFirstFree)
{
  Texture a = create_render_texture(4, 4, RT_A8R8G8B8);
  Texture b = create_render_texture(4, 4, RT_A8R8G8B8);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  release_texture(a);
  Texture c = create_render_texture(4, 4, RT_A8R8G8B8);
  EXPECT_EQ(c, a);
  release_texture(b);
  release_texture(c);
  EXPECT_EQ(create_render_texture(4, 4, 99), nullptr);  // unknown format code
}

namespace {
GLuint compile_program()
{
  const char* vs =
      "#version 330 core\nlayout(location=0) in vec3 pos;\nvoid main(){ gl_Position = vec4(pos, 1.0); }\n";
  const char* fs = "#version 330 core\nout vec4 c;\nvoid main(){ c = vec4(1.0, 0.0, 0.0, 1.0); }\n";
  GLuint p = glCreateProgram();
  for (int i = 0; i < 2; ++i) {
    GLuint s = glCreateShader(i ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
    const char* src = i ? fs : vs;
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    glAttachShader(p, s);
    glDeleteShader(s);
  }
  glLinkProgram(p);
  return p;
}

void draw_triangle(const float* xyz)
{
  GLuint vb = 0;
  glGenBuffers(1, &vb);
  glBindBuffer(GL_ARRAY_BUFFER, vb);
  glBufferData(GL_ARRAY_BUFFER, 36, xyz, GL_STREAM_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
  draw_prim(4, 0, 1);
  glDeleteBuffers(1, &vb);
}
}  // namespace

TEST_F(GlDeviceTest, PictureRowsRunTopDownAndClockwiseFacesAreKept)
{
  GLuint prog = compile_program();
  glUseProgram(prog);
  set_cull_mode(1);
  // A triangle in the upper half of clip space, clockwise as seen on screen.
  const float cw[9] = {-1, 1, 0, 1, 1, 0, -1, 0, 0};
  clear_view(0xFF000000u);
  draw_triangle(cw);
  EXPECT_EQ(back_buffer_pixel(1, 1), 0xFFFF0000u) << "upper clip space lands in the first rows";
  EXPECT_EQ(back_buffer_pixel(1, HEIGHT - 2), 0xFF000000u);

  // The same triangle wound the other way is culled.
  const float ccw[9] = {-1, 1, 0, -1, 0, 0, 1, 1, 0};
  clear_view(0xFF000000u);
  draw_triangle(ccw);
  EXPECT_EQ(back_buffer_pixel(1, 1), 0xFF000000u);

  // Render textures share the orientation.
  Texture rt = create_render_texture(16, 16, RT_A8R8G8B8);
  set_render_target(rt, 0, false);
  clear_view(0xFF000000u);
  draw_triangle(cw);
  EXPECT_EQ(texture_pixel(rt, 1, 1), 0xFFFF0000u);
  EXPECT_EQ(texture_pixel(rt, 1, 14), 0xFF000000u);
  set_back_buffer_target();
  release_texture(rt);
  glUseProgram(0);
  glDeleteProgram(prog);
}

TEST_F(GlDeviceTest, DrawFrameKeepsAtMostTwoFramesInFlight)
{
  // Frames are drawn while the GPU keeps up; flush_gpu leaves none pending.
  flush_gpu();
  EXPECT_TRUE(draw_frame(0.0f));
  flush_gpu();
  EXPECT_TRUE(draw_frame(0.0f));
  present_frame();
  draw_prim(4, 0, 0);  // no primitives: nothing drawn, no error
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}
