// Texture locking, per-unit sampler state, shared vertex declarations and the
// buffer tables on a real GL context.
#include <cstring>
#include <vector>

#include "engine/d3d_misc.h"
#include "engine/d3d_vbuf.h"
#include "engine/gl.h"
#include "gl/gl_fixture.h"

class TextureBufferTest : public GlDeviceTest {};

TEST_F(TextureBufferTest, LockedPixelsReachTheTextureInEveryLayout)
{
  struct Case { int format, w, h, pitch, rows; };
  const Case cases[] = {
      {FMT_A8R8G8B8, 4, 4, 16, 4},
      {FMT_L8, 5, 3, 5, 3},         // rows of odd length are not padded
      {FMT_R32F, 3, 2, 12, 2},
      {FMT_G16R16F, 2, 2, 8, 2},
      {FMT_DXT1, 8, 8, 16, 2},      // rows of 4 x 4 blocks
      {FMT_DXT5, 6, 5, 32, 2},      // partial blocks still take whole ones
  };
  for (const Case& c : cases) {
    Texture t = create_texture(c.w, c.h, 1, 0, c.format, TEXPOOL_MANAGED);
    ASSERT_NE(t, nullptr) << c.format;
    int pitch = 0;
    uint8_t* p = (uint8_t*)lock_texture(t, &pitch, false);
    ASSERT_NE(p, nullptr) << c.format;
    EXPECT_EQ(pitch, c.pitch) << c.format;
    std::vector<uint8_t> pattern(size_t(c.pitch) * c.rows);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i * 7 + 3);
    if (c.format == FMT_R32F || c.format == FMT_G16R16F) {
      // Plain numbers: the driver may canonicalise NaN patterns.
      for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = (i % 4 == 3 || i % 4 == 1) ? 0x3C : uint8_t(i);
    }
    memcpy(p, pattern.data(), pattern.size());
    EXPECT_EQ(lock_texture(t, &pitch, false), nullptr) << "a locked texture cannot be locked again";
    unlock_texture(t);

    // A lock that does not discard starts from what the texture holds.
    p = (uint8_t*)lock_texture(t, &pitch, false);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memcmp(p, pattern.data(), pattern.size()), 0) << c.format;
    unlock_texture(t);
    release_texture(t);
  }
  EXPECT_EQ(lock_texture(nullptr, nullptr, true), nullptr);
}

TEST_F(TextureBufferTest, SamplerStateBelongsToTheUnit)
{
  auto sampler_of = [](int unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    GLint s = 0;
    glGetIntegerv(GL_SAMPLER_BINDING, &s);
    glActiveTexture(GL_TEXTURE0);
    return (GLuint)s;
  };
  auto param = [](GLuint s, GLenum p) {
    GLint v = 0;
    glGetSamplerParameteriv(s, p, &v);
    return v;
  };
  set_texture_filter(3, false);
  EXPECT_EQ(param(sampler_of(3), GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
  EXPECT_EQ(param(sampler_of(3), GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(param(sampler_of(2), GL_TEXTURE_MAG_FILTER), GL_LINEAR) << "other units keep theirs";
  set_texture_filter(3, true);
  EXPECT_EQ(param(sampler_of(3), GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);

  struct Case { int u, v, w; GLint s, t, r; };
  const Case cases[] = {
      {2, -1, -1, GL_CLAMP_TO_BORDER, GL_CLAMP_TO_BORDER, GL_CLAMP_TO_BORDER},  // v and w follow u
      {0, 1, -1, GL_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},                // w follows v
      {1, 0, 2, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_CLAMP_TO_BORDER},
      {3, 7, 4, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},           // other codes clamp
  };
  for (const Case& c : cases) {
    set_texture_address(5, c.u, c.v, c.w);
    GLuint s = sampler_of(5);
    EXPECT_EQ(param(s, GL_TEXTURE_WRAP_S), c.s) << c.u << c.v << c.w;
    EXPECT_EQ(param(s, GL_TEXTURE_WRAP_T), c.t) << c.u << c.v << c.w;
    EXPECT_EQ(param(s, GL_TEXTURE_WRAP_R), c.r) << c.u << c.v << c.w;
  }
  set_texture_address(5, 1);
}

TEST_F(TextureBufferTest, EqualElementListsShareOneDeclaration)
{
  const VertexElementDesc a[] = {{0, 0, VDECL_FLOAT3, VDECL_POSITION, 0}, {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
                                 {0, 255, 0, 0, 0}};
  const VertexElementDesc b[] = {{0, 0, VDECL_FLOAT3, VDECL_POSITION, 0}, {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
                                 {0, 255, 0, 0, 0}};
  const VertexElementDesc other_index[] = {{0, 0, VDECL_FLOAT3, VDECL_POSITION, 0},
                                           {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 1},
                                           {0, 255, 0, 0, 0}};
  const VertexElementDesc prefix[] = {{0, 0, VDECL_FLOAT3, VDECL_POSITION, 0}, {0, 255, 0, 0, 0}};
  VertexDecl da = get_vertex_decl(a);
  EXPECT_EQ(get_vertex_decl(b), da);
  EXPECT_NE(get_vertex_decl(other_index), da);
  EXPECT_NE(get_vertex_decl(prefix), da);

  char name[16];
  vertex_input_name(VDECL_TEXCOORD, 15, name);
  EXPECT_STREQ(name, "TEXCOORD15");
  vertex_input_name(9, 0, name);  // any other usage is a tangent
  EXPECT_STREQ(name, "TANGENT0");
}

namespace {
std::vector<uint8_t> buffer_bytes(GLuint b, int size)
{
  std::vector<uint8_t> out(size_t(size), 0);
  glBindBuffer(GL_COPY_READ_BUFFER, b);
  glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, out.data());
  glBindBuffer(GL_COPY_READ_BUFFER, 0);
  return out;
}
}  // namespace

TEST_F(TextureBufferTest, StaticBuffersKeepTheirContentsOverAReset)
{
  VertexBuffer s = create_vb(64, VB_STATIC);
  VertexBuffer d = create_vb(64, 0);
  IndexBuffer ib = create_ib(5, 0);
  ASSERT_NE(s, nullptr);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(ib, nullptr);
  EXPECT_EQ(ib->size, 10u) << "16-bit indices";

  uint8_t* p = (uint8_t*)lock_vb(s, 0, 0);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) p[i] = uint8_t(i);
  unlock_vb(s);
  // A partial lock of a static buffer keeps the rest.
  p = (uint8_t*)lock_vb(s, 16, 8);
  ASSERT_NE(p, nullptr);
  memset(p, 0xEE, 8);
  unlock_vb(s);

  ASSERT_TRUE(resize_d3d(WIDTH, HEIGHT, false, true));
  std::vector<uint8_t> got = buffer_bytes(s->buffer, 64);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(got[i], (i >= 16 && i < 24) ? 0xEE : i) << i;
  EXPECT_NE(d->buffer, 0u) << "a dynamic buffer is recreated in its slot";
  EXPECT_EQ(d->size, 64u);
  EXPECT_NE(lock_vb(d, 0, 0), nullptr);
  unlock_vb(d);
  release_vb(s);
  release_vb(d);
  release_ib(ib);
}

TEST_F(TextureBufferTest, LocksOutsideTheBufferAreRefused)
{
  VertexBuffer vb = create_vb(32, VB_STATIC);
  ASSERT_NE(vb, nullptr);
  struct Case { int offset, size; bool ok; };
  const Case cases[] = {
      {0, 0, true},     // the whole buffer
      {16, 0, true},    // from the offset to the end
      {0, 32, true},
      {31, 1, true},
      {0, 33, false},
      {32, 0, false},   // nothing left to lock
      {30, 4, false},
      {-1, 4, false},
      {0, -4, false},
  };
  for (const Case& c : cases) {
    void* p = lock_vb(vb, c.offset, c.size);
    EXPECT_EQ(p != nullptr, c.ok) << c.offset << " " << c.size;
    if (p) {
      EXPECT_EQ(lock_vb(vb, 0, 0), nullptr) << "already locked";
      unlock_vb(vb);
    }
  }
  release_vb(vb);
  EXPECT_EQ(lock_vb(nullptr, 0, 0), nullptr);
  EXPECT_EQ(create_vb(0, 0), nullptr);
  EXPECT_EQ(create_ib(-3, 0), nullptr);
}

TEST_F(TextureBufferTest, TablesHoldAThousandBuffersEach)
{
  std::vector<VertexBuffer> vbs;
  for (int i = 0; i < MAX_BUFFERS; ++i) {
    VertexBuffer vb = create_vb(16, 0);
    ASSERT_NE(vb, nullptr) << i;
    vbs.push_back(vb);
  }
  EXPECT_EQ(create_vb(16, 0), nullptr);
  IndexBuffer ib = create_ib(8, 0);
  EXPECT_NE(ib, nullptr) << "index buffers have their own table";
  release_vb(vbs[10]);
  EXPECT_EQ(create_vb(16, 0), vbs[10]) << "the freed slot is reused";
  for (VertexBuffer vb : vbs) release_vb(vb);
  release_ib(ib);
}
