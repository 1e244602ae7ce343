// RenderBatch: collects the 2D drawing of a frame (quads, glyphs, icons, GUI
// primitives) as vertex chunks, each tagged with a render state and the
// screen rectangle it covers, and draws them with as few state changes as
// painter's order allows: a chunk joins the newest earlier entry of the same
// state object unless a chunk of another state added in between overlaps
// it. Rendering copies the chunks entry by entry into common_vb_writer.
//
// A state is a BaseRenderBatchState object, compared by address only (equal
// fields do not make two states one). Every state used in a batch must begin
// common_vb_writer in apply(); StdRenderBatchState and its subclasses do.
// Chunk memory comes from a chained-block pool that clear() rewinds, so a
// steady frame allocates nothing. The field layouts are shared with the
// gameobj plug-in. Main thread only.
#pragma once

#include "engine/accumAlloc.h"
#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/dynArray.h"
#include "engine/vec4f.h"

struct BaseRenderBatchState
{
  Shader* shader;
  VertexDecl vdecl;
  int stride;       // bytes per vertex
  Texture texture;  // bound to stage 0

  BaseRenderBatchState(Shader* shader_, VertexDecl vdecl_, int stride_, Texture texture_)
      : shader(shader_), vdecl(vdecl_), stride(stride_), texture(texture_) {}
  virtual ~BaseRenderBatchState() {}
  // Clears shader, declaration and texture; the stride stays.
  virtual void reset();
  // Binds shader, declaration and texture, each unless `previous` has the same.
  virtual void apply(BaseRenderBatchState* previous);
  // Draws what is left and unlocks: common_vb_writer.flush(true).
  virtual void flush();
};

struct StdRenderBatchState : BaseRenderBatchState
{
  StdRenderBatchState(Shader* shader_ = nullptr, VertexDecl vdecl_ = nullptr, int stride_ = 0,
                      Texture texture_ = nullptr)
      : BaseRenderBatchState(shader_, vdecl_, stride_, texture_) {}
  // The base bindings, then the writer's buffer as stream 0 with `stride`,
  // and begins the writer with triangle lists.
  void apply(BaseRenderBatchState* previous) override;
};

class RenderBatch
{
public:
  struct Chunk
  {
    vec4f rect;   // x0, y0, x1, y1
    int bytes;
    int count;    // triangles
    Chunk* next;  // next chunk of the same entry
    uint8_t* data() { return (uint8_t*)(this + 1); }
  };
  struct Entry
  {
    vec4f rect;  // union of its chunks' rectangles
    BaseRenderBatchState* state;
    Chunk* first;
    Chunk* last;
  };

  AccumAlloc pool;
  DynArray<Entry> entries;  // in drawing order

  explicit RenderBatch(int pool_block_size = 32768);
  ~RenderBatch();
  RenderBatch(const RenderBatch&) = delete;
  RenderBatch& operator=(const RenderBatch&) = delete;

  // Space for `bytes` bytes (16-byte aligned) of vertices making `count`
  // triangles inside the screen rectangle (x0, y0, x1, y1).
  void* add(BaseRenderBatchState* state, vec4f rect, int bytes, int count);
  // Draws every entry; the entries stay. A chunk larger than the writer's
  // whole buffer is fatal: "batch vertex buffer is not large enough".
  void render();
  void clear();
};

// Whether the new rectangle a overlaps the older b: a.x0 <= b.x1,
// a.y0 <= b.y1, a.x1 > b.x0, a.y1 > b.y0 (deliberately not symmetric).
bool batch_rects_overlap(vec4f a, vec4f b);

static_assert(sizeof(RenderBatch::Chunk) % 16 == 0, "chunk data starts 16-byte aligned");
