// Instanced meshes on the real device: records queued in chunks are streamed
// through the shared dynamic buffer in as few draws as it allows, the chunks
// go back to the pool, and 5,000 instances land on their own pixels.
#include "worldrender/renderInst.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/dynVBWriter.h"
#include "inst_test_mesh.h"
#include "object_render_fixture.h"

namespace
{
struct SimpleRecord
{
  uint32_t row[3];
  float pos[3];
  uint32_t color;
};
static_assert(sizeof(SimpleRecord) == 28, "simple instance record");

// Unit rows (x, y, z) with scale 1.
SimpleRecord unit_record(float x, float y, float z, uint32_t color)
{
  SimpleRecord r;
  r.row[0] = 0x20FF8080u;
  r.row[1] = 0x2080FF80u;
  r.row[2] = 0x208080FFu;
  r.pos[0] = x;
  r.pos[1] = y;
  r.pos[2] = z;
  r.color = color;
  return r;
}

class InstRenderTest : public ObjectRenderTest<0>
{
 protected:
  static void SetUpTestSuite()
  {
    open_assets();
    ASSERT_TRUE(write_inst_test_mesh(assets.path("white.mesh"), 0x00FFFFFFu));
  }
  void SetUp() override
  {
    GlDeviceTest::SetUp();
    inst_render_stats = InstRenderStats{0, 0, 0};
  }
};

int pool_free_count()
{
  int n = 0;
  for (InstanceChunk* c = inst_chunk_pool.freeList; c; c = c->next) {
    EXPECT_EQ(c->used, 0);
    ++n;
  }
  return n;
}

TEST_F(InstRenderTest, LayoutsAnswerTheirStrideAndElements)
{
  SimpleInstRender s;
  MorphInstRender m;
  SplineInstRender sp;
  BuildingInstRender b;
  struct Case
  {
    InstRender* r;
    int stride, elements, last_offset;
  } cases[] = {{&s, 28, 5, 24}, {&m, 32, 6, 28}, {&sp, 64, 8, 60}, {&b, 24, 3, 20}};
  for (const Case& c : cases) {
    int n = 0;
    const VertexElementDesc* e = c.r->getInstVsd(n);
    EXPECT_EQ(c.r->getInstStride(), c.stride);
    ASSERT_EQ(n, c.elements);
    EXPECT_EQ(e[n - 1].offset, c.last_offset);
    for (int i = 0; i < n; ++i) EXPECT_EQ(e[i].stream, 1);
    EXPECT_EQ(c.r->pool, &inst_chunk_pool);
    EXPECT_EQ(c.r->head, nullptr);
    EXPECT_EQ(c.r->mesh, nullptr);
  }
}

TEST_F(InstRenderTest, WholeRecordsOfEveryChunkAreDrawnAndChunksReturnToThePool)
{
  SimpleInstRender r;
  r.init("white.mesh");
  ASSERT_NE(r.shader, nullptr);
  const int free_before = pool_free_count();

  // Three records and a torn fourth, then a chunk of two.
  InstanceChunk* a = inst_chunk_pool.take();
  InstanceChunk* b = inst_chunk_pool.take();
  for (int i = 0; i < 4; ++i) {
    SimpleRecord rec = unit_record(float(i), 0.f, 0.f, 0xFFFFFFFFu);
    memcpy(a->data + i * 28, &rec, 28);
  }
  a->used = 3 * 28 + 5;
  b->used = 2 * 28;
  a->next = b;
  r.head = a;
  r.tail = b;

  r.render();
  EXPECT_EQ(inst_render_stats.instances, 5);
  EXPECT_EQ(inst_render_stats.draws, 1);
  EXPECT_EQ(r.head, nullptr);
  EXPECT_EQ(r.tail, nullptr);
  EXPECT_EQ(pool_free_count(), free_before + 2 - (free_before >= 2 ? 2 : free_before));

  // An empty list draws nothing and binds nothing.
  set_shader(nullptr);
  r.render();
  EXPECT_EQ(inst_render_stats.draws, 1);
  EXPECT_EQ(get_current_shader(), nullptr);
}

TEST_F(InstRenderTest, RecordsBeyondOneBufferAreSplitAtExactlyItsCapacity)
{
  SimpleInstRender r;
  r.init("white.mesh");
  for (int i = 0; i < 5000; ++i) {
    SimpleRecord rec = unit_record(float(i % 100), 0.f, float(i / 100), 0xFFFFFFFFu);
    memcpy(r.addRecord(), &rec, sizeof(rec));
  }
  // Chunks hold whole records only.
  int chunks = 0;
  for (InstanceChunk* c = r.head; c; c = c->next, ++chunks) EXPECT_EQ(c->used % 28, 0);
  EXPECT_EQ(chunks, (5000 + 145 - 1) / 145);

  r.render();
  const int capacity = COMMON_VB_SIZE / 28;
  EXPECT_EQ(inst_render_stats.instances, 5000);
  EXPECT_EQ(inst_render_stats.draws, (5000 + capacity - 1) / capacity);
  EXPECT_EQ(inst_render_stats.largestDraw, capacity);
  EXPECT_GE(pool_free_count(), chunks);
}

TEST_F(InstRenderTest, FiveThousandInstancesLandOnTheirOwnPixels)
{
  enum { W = 100, H = 50 };
  Texture target = create_render_texture(W, H, RT_A8R8G8B8);
  ASSERT_NE(target, nullptr);
  set_render_target(target, 0, false);
  clear_view_color(0xFF000000u);

  // World x 0..100 across, z 0..50 down the target; pixel centres on whole
  // coordinates.
  const float vs[16] = {2.f / W, 0, 0, 0, 0, 0, 0, 0, 0, -2.f / H, 0, 0, -1.f, 1.f, 0.5f, 1.f};
  set_vs_constants(0, vs, 4);
  const float zero[4 * 16] = {0};
  set_vs_constants(4, zero, 16);
  set_vs_constants(30, zero, 13);
  set_zenable(false);
  set_cull_mode(0);

  SimpleInstRender r;
  r.init("white.mesh");
  for (int i = 0; i < W * H; ++i) {
    // The tint carries the index.
    SimpleRecord rec = unit_record(float(i % W), 0.f, float(i / W), 0x00000000u | uint32_t(i & 255) << 16 |
                                                                       uint32_t(i >> 8) << 8 | 0x40u);
    memcpy(r.addRecord(), &rec, sizeof(rec));
  }
  r.render();
  set_cull_mode(1);

  int wrong = 0;
  for (int i = 0; i < W * H && wrong < 5; ++i) {
    const uint32_t px = texture_pixel(target, i % W, i / W);
    const int idx = int((px >> 16) & 255) | int((px >> 8) & 255) << 8;
    if (idx != i) {
      ADD_FAILURE() << "pixel " << i % W << "," << i / W << " holds " << std::hex << px;
      ++wrong;
    }
  }
  set_back_buffer_target();
  release_texture(target);
}
}  // namespace
