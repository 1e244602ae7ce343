#include "worldrender/renderInst.h"

#include <cstdlib>
#include <cstring>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/dynVBWriter.h"
#include "engine/textureCache.h"
#include "worldrender/shadows.h"

InstanceChunkPool inst_chunk_pool;
InstRenderStats inst_render_stats;

void* dlmalloc(size_t size) { return malloc(size); }
void dlfree(void* p) { free(p); }

InstanceChunkPool::~InstanceChunkPool()
{
  while (freeList) {
    InstanceChunk* c = freeList;
    freeList = c->next;
    dlfree(c);
  }
}

InstanceChunk* InstanceChunkPool::take()
{
  InstanceChunk* c = freeList;
  if (c) {
    freeList = c->next;
  } else {
    c = (InstanceChunk*)dlmalloc(sizeof(InstanceChunk) + size_t(chunkDataSize));
    if (!c) fatal("out of memory for instance chunks");
    c->data = (uint8_t*)(c + 1);
    c->spare = 0;
  }
  c->used = 0;
  c->next = nullptr;
  return c;
}

namespace
{
enum { S1 = 1 };
#define EL(off, type, usage, index) {uint16_t(off), S1, VDECL_##type, VDECL_##usage, index}

const VertexElementDesc simple_vsd[] = {
    EL(0, D3DCOLOR, POSITION, 11), EL(4, D3DCOLOR, POSITION, 12), EL(8, D3DCOLOR, POSITION, 13),
    EL(12, FLOAT3, POSITION, 10),  EL(24, D3DCOLOR, COLOR, 10),
};
const VertexElementDesc morph_vsd[] = {
    EL(0, D3DCOLOR, POSITION, 11), EL(4, D3DCOLOR, POSITION, 12), EL(8, D3DCOLOR, POSITION, 13),
    EL(12, FLOAT3, POSITION, 10),  EL(24, D3DCOLOR, COLOR, 10),   EL(28, D3DCOLOR, POSITION, 15),
};
const VertexElementDesc spline_vsd[] = {
    EL(0, FLOAT3, POSITION, 10),  EL(12, FLOAT3, POSITION, 11), EL(24, FLOAT3, POSITION, 12),
    EL(36, FLOAT3, POSITION, 13), EL(48, D3DCOLOR, NORMAL, 10), EL(52, D3DCOLOR, NORMAL, 11),
    EL(56, D3DCOLOR, COLOR, 10),  EL(60, D3DCOLOR, COLOR, 11),
};
const VertexElementDesc building_vsd[] = {
    EL(0, SHORT2, POSITION, 10),
    EL(4, FLOAT4, POSITION, 11),
    EL(20, D3DCOLOR, POSITION, 12),
};
#undef EL

template <int N>
const VertexElementDesc* answer(const VertexElementDesc (&list)[N], int& count)
{
  count = N;
  return list;
}

// The shared instanced draw, counted.
void draw_mesh_instances(int count, int arg)
{
  inst_render_stats.draws++;
  inst_render_stats.instances += count;
  if (count > inst_render_stats.largestDraw) inst_render_stats.largestDraw = count;
  dyn_vb_draw_instances(count, arg);
}
}  // namespace

const VertexElementDesc* SimpleInstRender::getInstVsd(int& count) { return answer(simple_vsd, count); }
const VertexElementDesc* MorphInstRender::getInstVsd(int& count) { return answer(morph_vsd, count); }
const VertexElementDesc* SplineInstRender::getInstVsd(int& count) { return answer(spline_vsd, count); }
const VertexElementDesc* BuildingInstRender::getInstVsd(int& count) { return answer(building_vsd, count); }

InstRender::InstRender()
    : head(nullptr), tail(nullptr), pool(&inst_chunk_pool), mesh(nullptr), shader(nullptr), decl(nullptr),
      texture(nullptr)
{
}

void InstRender::init(const char* mesh_name)
{
  mesh = get_mesh(mesh_name, true);
  int inum = 0;
  const VertexElementDesc* inst = getInstVsd(inum);
  ASSERT_AT("renderInst", 42, mesh->vsd.size()+inum<MAX_VDECL_LEN);

  VertexElementDesc list[MAX_VDECL_LEN];
  int n = 0;
  for (const VertexElementDesc& e : mesh->vsd) list[n++] = e;
  for (int i = 0; i < inum; ++i) list[n++] = inst[i];
  list[n++] = VertexElementDesc{0, 255, 0, 0, 0};
  decl = get_vertex_decl(list);

  shader = create_shader(gfx_quality == 1 ? mesh->shaderHq.data : mesh->shader.data, nullptr);
  if (mesh->textures.num > 0 && mesh->textures[0].name[0]) texture = get_texture(mesh->textures[0].name, true);
}

void InstRender::render()
{
  if (!head) return;
  set_vertex_decl(decl);
  set_ib(mesh->ib);
  set_shader(shader);
  if (texture) set_texture(0, texture);

  const int stride = getInstStride();
  const int capacity = common_vb_writer.size / stride;
  set_vb(0, mesh->vb, 0, int(mesh->stride));
  set_vb(1, common_vb_writer.vb, 0, stride);
  common_vb_writer.begin(draw_mesh_instances, int((mesh->numVerts << 16) + mesh->numFaces));

  for (InstanceChunk* c = head; c; c = c->next) {
    int n = c->used / stride;
    const uint8_t* src = c->data;
    while (n > 0) {
      int room = capacity - common_vb_writer.count;
      if (room < 1) {
        common_vb_writer.flush(false);
        room = capacity;
      }
      const int k = n < room ? n : room;
      memcpy(common_vb_writer.ptr, src, size_t(k) * size_t(stride));
      common_vb_writer.ptr += k * stride;
      common_vb_writer.count += k;
      src += k * stride;
      n -= k;
    }
  }
  common_vb_writer.flush(true);

  InstanceChunk* c = head;
  head = nullptr;
  tail = nullptr;
  while (c) {
    InstanceChunk* next = c->next;
    c->used = 0;
    c->next = pool->freeList;
    pool->freeList = c;
    c = next;
  }
}

void InstRender::renderShadowBalls(const Matrix44& tm, float scale)
{
  for (const MeshSphere& s : mesh->spheres) {
    const vec4f p = v_transform(make4f(s.x, s.y, s.z, 1.f), tm);
    render_shadow_ball(p, s.w * scale);
  }
}

void init_inst_render_internals() {}
