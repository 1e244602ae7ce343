// Instanced meshes: one InstRender per mesh kind (trees, stones, creature
// parts, house and castle tiles). The gameobj plug-in queues per-instance
// records into an object's chunk list while it draws its objects, then calls
// render, which streams every record through the shared dynamic buffer
// `common_vb_writer` and draws the mesh once per buffer fill with hardware
// instancing, then hands the chunks back to the one shared pool.
//
// Four layouts of instance records, all on vertex stream 1 (what each field
// means is agreed between the plug-in that writes them and the mesh's
// shaders; the game only copies them):
//   SimpleInstRender   28 bytes  POSITION11-13 D3DCOLOR at 0, 4, 8;
//                                POSITION10 FLOAT3 at 12; COLOR10 D3DCOLOR at 24
//   MorphInstRender    32 bytes  the same, then POSITION15 D3DCOLOR at 28
//   SplineInstRender   64 bytes  POSITION10-13 FLOAT3 at 0, 12, 24, 36;
//                                NORMAL10, 11 and COLOR10, 11 D3DCOLOR at 48-60
//   BuildingInstRender 24 bytes  POSITION10 SHORT2 at 0; POSITION11 FLOAT4 at 4;
//                                POSITION12 D3DCOLOR at 20
//
// Chunks hold whole records only (render reads used / stride records of
// each). They are allocated with dlmalloc and freed with dlfree (the pool
// frees its free list at exit). The field order of every record here is
// shared with the plug-in. Main thread only; init and render need the device.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/mesh.h"
#include "engine/vec4f.h"

// The allocator of instance chunks, shared by the game and the plug-in.
void* dlmalloc(size_t size);
void dlfree(void* p);

struct InstanceChunk
{
  uint8_t* data;  // start of the records
  int used;       // bytes of records written
  int spare;      // not read by the game
  InstanceChunk* next;  // next chunk of the same list, or of the pool's free list
};

struct InstanceChunkPool
{
  InstanceChunk* freeList = nullptr;
  int chunkDataSize = 4080;

  ~InstanceChunkPool();  // frees every chunk on the free list
  // A chunk from the free list, or a new one (header and data in one block).
  InstanceChunk* take();
};
extern InstanceChunkPool inst_chunk_pool;

class InstRender
{
public:
  InstanceChunk* head;  // first queued chunk, null when nothing is queued
  InstanceChunk* tail;  // the filling side's last chunk; cleared with head
  InstanceChunkPool* pool;
  Mesh* mesh;
  Shader* shader;
  VertexDecl decl;
  Texture texture;

  InstRender();
  virtual ~InstRender() {}
  // The instance elements (all on stream 1) and their number.
  virtual const VertexElementDesc* getInstVsd(int& count) = 0;
  virtual int getInstStride() = 0;

  // Loads the mesh (must exist) and builds the declaration, the shader of
  // the current graphics quality and the texture the mesh names.
  void init(const char* mesh_name);
  // Draws every queued record and empties the list; nothing at all when
  // nothing is queued.
  void render();
  // Submits the mesh's shadow spheres, placed by tm and their radius times
  // scale, to the shadow balls.
  void renderShadowBalls(const Matrix44& tm, float scale);

  // Room for one more record at the end of the list (the plug-in's side).
  uint8_t* addRecord()
  {
    const int stride = getInstStride();
    if (!tail || tail->used + stride > pool->chunkDataSize) {
      InstanceChunk* c = pool->take();
      c->next = nullptr;
      if (tail)
        tail->next = c;
      else
        head = c;
      tail = c;
    }
    uint8_t* p = tail->data + tail->used;
    tail->used += stride;
    return p;
  }
};

class SimpleInstRender : public InstRender
{
public:
  const VertexElementDesc* getInstVsd(int& count) override;
  int getInstStride() override { return 28; }
};

class MorphInstRender : public InstRender
{
public:
  const VertexElementDesc* getInstVsd(int& count) override;
  int getInstStride() override { return 32; }
};

class SplineInstRender : public InstRender
{
public:
  const VertexElementDesc* getInstVsd(int& count) override;
  int getInstStride() override { return 64; }
};

class BuildingInstRender : public InstRender
{
public:
  const VertexElementDesc* getInstVsd(int& count) override;
  int getInstStride() override { return 24; }
};

// Does nothing; kept for the plug-in.
void init_inst_render_internals();

// Draws and records since the counters were last cleared (tests, statistics).
struct InstRenderStats
{
  int draws;
  int instances;
  int largestDraw;  // instances
};
extern InstRenderStats inst_render_stats;
