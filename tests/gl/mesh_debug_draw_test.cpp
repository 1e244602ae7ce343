// Meshes and debug drawing on a real device. A mesh file fills its static
// buffers with the file's bytes and is shared by path in any letter case;
// debug shapes land where the view-projection constants put them, streams
// longer than the shared buffer draw completely, and box corners may come in
// any order.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/d3d_shaders.h"
#include "engine/debugDraw.h"
#include "engine/dynVBWriter.h"
#include "engine/gl.h"
#include "engine/mesh.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put32(Bytes& b, uint32_t v)
{
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put_string(Bytes& b, const std::string& s)
{
  b.push_back(uint8_t(s.size()));
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

// Four vertices of (x, y, z, colour), two triangles.
Bytes mesh_file(const std::vector<std::string>& textures, int spheres, Bytes* verts_out, Bytes* indices_out)
{
  Bytes p;
  put_string(p, "inst_rock.sh");
  put_string(p, "inst_rock_dr.sh");
  p.push_back(uint8_t(textures.size()));
  for (const std::string& t : textures) put_string(p, t);
  p.push_back(uint8_t(spheres));
  for (int i = 0; i < spheres * 4; ++i) {
    float f = float(i) + 0.5f;
    uint32_t u;
    memcpy(&u, &f, 4);
    put32(p, u);
  }
  const uint8_t elems[2][6] = {{0, 0, 0, VDECL_FLOAT3, VDECL_POSITION, 0}, {12, 0, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0}};
  p.push_back(2);
  p.insert(p.end(), &elems[0][0], &elems[0][0] + 12);
  put32(p, 16);
  put32(p, 4);
  put32(p, 2);
  Bytes v, ix;
  for (int i = 0; i < 64; ++i) v.push_back(uint8_t(i * 3 + 1));
  for (uint16_t i : {0, 1, 2, 2, 1, 3}) {
    ix.push_back(uint8_t(i));
    ix.push_back(uint8_t(i >> 8));
  }
  p.insert(p.end(), v.begin(), v.end());
  p.insert(p.end(), ix.begin(), ix.end());
  Bytes f;
  put32(f, MESH_FILE_VERSION);
  put32(f, uint32_t(p.size()));
  f.insert(f.end(), p.begin(), p.end());
  if (verts_out) *verts_out = v;
  if (indices_out) *indices_out = ix;
  return f;
}

void write_file(const std::string& path, const Bytes& b)
{
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(b.data(), 1, b.size(), f);
  fclose(f);
}

Bytes buffer_bytes(GLenum target, GLuint buffer, size_t size)
{
  Bytes out(size);
  glBindBuffer(target, buffer);
  glGetBufferSubData(target, 0, GLsizeiptr(size), out.data());
  glBindBuffer(target, 0);
  return out;
}

}  // namespace

class MeshTest : public GlDeviceTest
{
 protected:
  TempAppDir assets;
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    assets.open();
  }
  void TearDown() override
  {
    free_all_meshes();
    assets.close();
  }
};

TEST_F(MeshTest, LoadsIntoStaticBuffersAndIsShared)
{
  Bytes verts, indices;
  write_file(assets.path("Rock.mesh"), mesh_file({"rock_d.dds", "rock_n.dds"}, 2, &verts, &indices));
  Mesh* a = get_mesh("Rock.mesh", true);
  ASSERT_NE(a, nullptr);
  Mesh* b = get_mesh("ROCK.MESH", true);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refcount, 2);
  EXPECT_EQ(mesh_cache.num, 1);

  EXPECT_STREQ(a->shader.data, "inst_rock.sh");
  EXPECT_STREQ(a->shaderHq.data, "inst_rock_dr.sh");
  ASSERT_EQ(a->textures.num, 2);
  EXPECT_STREQ(a->textures[1].name, "rock_n.dds");
  ASSERT_EQ(a->spheres.num, 2);
  EXPECT_EQ(a->spheres[1].w, 7.5f);
  ASSERT_EQ(a->vsd.num, 2);
  EXPECT_EQ(a->vsd[1].offset, 12);
  EXPECT_EQ(a->vsd[1].type, VDECL_D3DCOLOR);
  EXPECT_EQ(a->stride, 16u);
  EXPECT_EQ(a->numVerts, 4u);
  EXPECT_EQ(a->numFaces, 2u);
  EXPECT_STREQ(a->path.data, assets.path("Rock.mesh").c_str());
  EXPECT_TRUE(buffer_bytes(GL_ARRAY_BUFFER, a->vb->buffer, verts.size()) == verts);
  EXPECT_TRUE(buffer_bytes(GL_ARRAY_BUFFER, a->ib->buffer, indices.size()) == indices);

  destroy_mesh(a);
  EXPECT_EQ(mesh_cache.num, 1);
  destroy_mesh(b);
  EXPECT_EQ(mesh_cache.num, 0);
  destroy_mesh(nullptr);
}

TEST_F(MeshTest, NoTexturesAndNoSpheresIsValid)
{
  write_file(assets.path("bare.mesh"), mesh_file({}, 0, nullptr, nullptr));
  Mesh* m = get_mesh("bare.mesh", true);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->textures.num, 0);
  EXPECT_EQ(m->spheres.num, 0);
  EXPECT_NE(m->vb, nullptr);
  // Shut-down frees cached meshes whatever their count.
  get_mesh("bare.mesh", true);
  free_all_meshes();
  EXPECT_EQ(mesh_cache.num, 0);
}

// ----------------------------------------------------------- debug drawing --

class DebugDrawTest : public GlDeviceTest
{
 protected:
  static TempAppDir assets;
  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    common_vb_writer.create(COMMON_VB_SIZE);
    init_debug_vis();
  }
  static void TearDownTestSuite()
  {
    close_debug_vis();
    common_vb_writer.release();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    // Identity view-projection: positions are clip coordinates.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    set_vs_constants(0, identity, 4);
    set_back_buffer_target();
    clear_view(0xFF000000u);
  }
  static std::vector<uint32_t> picture()
  {
    int w = 0, h = 0, pitch = 0;
    const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
    std::vector<uint32_t> out(size_t(w) * h);
    for (int y = 0; y < h; ++y) memcpy(&out[size_t(y) * w], p + size_t(y) * pitch, size_t(w) * 4);
    release_front_buffer_capture();
    return out;
  }
};

TempAppDir DebugDrawTest::assets;

TEST_F(DebugDrawTest, TrianglesAndLinesInClipSpace)
{
  start_draw_debug_vis();
  // The left half of the screen, wound either way (culling is off).
  draw_debug_vis_tri(make4f(-1, -1, 0.5f, 0), make4f(-1, 1, 0.5f, 0), make4f(0, -1, 0.5f, 0), 0xFFFF0000u);
  draw_debug_vis_tri(make4f(-1, 1, 0.5f, 0), make4f(0, -1, 0.5f, 0), make4f(0, 1, 0.5f, 0), 0xFFFF0000u);
  // A line across the right half, between two triangles' worth of switching.
  draw_debug_vis_line(make4f(0.1f, 0.01f, 0.5f, 0), make4f(0.9f, 0.01f, 0.5f, 0), 0xFF00FF00u);
  draw_debug_vis_tri(make4f(0.5f, 0.5f, 0.5f, 0), make4f(1, 0.5f, 0.5f, 0), make4f(1, 1, 0.5f, 0), 0xFF0000FFu);
  end_draw_debug_vis();
  EXPECT_EQ(common_vb_writer.startPtr, nullptr);
  EXPECT_EQ(back_buffer_pixel(2, 2), 0xFFFF0000u);
  EXPECT_EQ(back_buffer_pixel(30, 45), 0xFFFF0000u);
  EXPECT_EQ(back_buffer_pixel(33, 40), 0xFF000000u);
  // y up in clip space: the line just above the middle row, the blue triangle top right.
  int green = 0;
  for (int y = 20; y < 28; ++y) green += back_buffer_pixel(48, y) == 0xFF00FF00u;
  EXPECT_EQ(green, 1);
  EXPECT_EQ(back_buffer_pixel(62, 10), 0xFF0000FFu);
}

TEST_F(DebugDrawTest, MoreThanOneBufferOfPrimitivesDrawsThemAll)
{
  // 3000 lines (96,000 bytes) then a triangle: the buffer is drawn and
  // refilled on the way, and the triangle after it still shows.
  start_draw_debug_vis();
  for (int i = 0; i < 3000; ++i) {
    float x = -1.0f + 2.0f * float(i % 64) / 64.0f + 1.0f / 64.0f;
    draw_debug_vis_line(make4f(x, -1, 0.5f, 0), make4f(x, -0.5f, 0.5f, 0), 0xFF00FF00u);
  }
  draw_debug_vis_cube(make4f(0, 0.5f, 0.5f, 0), 0.25f, 0xFFFFFFFFu);
  end_draw_debug_vis();
  EXPECT_EQ(back_buffer_pixel(0, 47), 0xFF00FF00u);
  EXPECT_EQ(back_buffer_pixel(63, 40), 0xFF00FF00u);
  EXPECT_EQ(back_buffer_pixel(32, 12), 0xFFFFFFFFu);
}

TEST_F(DebugDrawTest, BoxCornersInAnyOrderGiveTheSameBox)
{
  const vec4f a = make4f(-0.5f, -0.25f, 0.2f, 0), b = make4f(0.25f, 0.75f, 0.6f, 0);
  const vec4f mixed_a = make4f(0.25f, -0.25f, 0.6f, 0), mixed_b = make4f(-0.5f, 0.75f, 0.2f, 0);
  std::vector<uint32_t> pictures[4];
  const vec4f corners[4][2] = {{a, b}, {b, a}, {mixed_a, mixed_b}, {mixed_b, mixed_a}};
  for (int i = 0; i < 4; ++i) {
    clear_view(0xFF000000u);
    start_draw_debug_vis();
    draw_debug_vis_solid_box(corners[i][0], corners[i][1], 0xFF808080u, 0.05f);
    draw_debug_vis_wire_box(corners[i][0], corners[i][1], 0xFFFFFF00u);
    draw_debug_vis_cross_point(make4f(0.6f, -0.6f, 0.5f, 0), 0.1f, 0xFF00FFFFu);
    end_draw_debug_vis();
    pictures[i] = picture();
  }
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(pictures[0] == pictures[i]) << i;
  EXPECT_EQ(pictures[0][24 * 64 + 24], 0xFF808080u);
  EXPECT_EQ(pictures[0][38 * 64 + 51], 0xFF00FFFFu);  // the cross's centre
  // Degenerate boxes draw nothing and break nothing.
  clear_view(0xFF000000u);
  start_draw_debug_vis();
  draw_debug_vis_wire_box(a, a, 0xFFFFFFFFu);
  draw_debug_vis_solid_box(a, a, 0xFFFFFFFFu, 0.0f);
  end_draw_debug_vis();
  EXPECT_EQ(back_buffer_pixel(24, 24), 0xFF000000u);
}
