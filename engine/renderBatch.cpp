#include "engine/renderBatch.h"

#include <cstring>

#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/dynVBWriter.h"

// ------------------------------------------------------------------ states --

void BaseRenderBatchState::reset()
{
  shader = nullptr;
  vdecl = nullptr;
  texture = nullptr;
}

void BaseRenderBatchState::apply(BaseRenderBatchState* previous)
{
  if (!previous || previous->shader != shader) set_shader(shader);
  if (!previous || previous->vdecl != vdecl) set_vertex_decl(vdecl);
  if (!previous || previous->texture != texture) set_texture(0, texture);
}

void BaseRenderBatchState::flush() { common_vb_writer.flush(true); }

void StdRenderBatchState::apply(BaseRenderBatchState* previous)
{
  BaseRenderBatchState::apply(previous);
  set_vb(0, common_vb_writer.vb, 0, stride);
  common_vb_writer.begin(dyn_vb_draw_triangles, 4);
}

// ------------------------------------------------------------------- batch --

bool batch_rects_overlap(vec4f a, vec4f b)
{
  return v_extract_x(a) <= v_extract_z(b) && v_extract_y(a) <= v_extract_w(b) && v_extract_z(a) > v_extract_x(b) &&
         v_extract_w(a) > v_extract_y(b);
}

RenderBatch::RenderBatch(int pool_block_size) : pool(pool_block_size, pool_block_size) {}

RenderBatch::~RenderBatch() {}

void* RenderBatch::add(BaseRenderBatchState* state, vec4f rect, int bytes, int count)
{
  Chunk* ne = (Chunk*)pool.alloc(int(sizeof(Chunk)) + bytes, 4);
  ASSERT(ne);
  ne->rect = rect;
  ne->bytes = bytes;
  ne->count = count;
  ne->next = nullptr;

  // Join the newest entry of the same state unless something drawn after it
  // lies under the new chunk.
  for (int i = entries.num - 1; i >= 0; --i) {
    Entry& e = entries[i];
    if (e.state == state) {
      e.rect = _mm_shuffle_ps(v_min(e.rect, rect), v_max(e.rect, rect), _MM_SHUFFLE(3, 2, 1, 0));
      e.last->next = ne;
      e.last = ne;
      return ne->data();
    }
    if (batch_rects_overlap(rect, e.rect)) {
      bool hit = false;
      for (Chunk* c = e.first; c && !hit; c = c->next) hit = batch_rects_overlap(rect, c->rect);
      if (hit) break;
    }
  }
  Entry e;
  e.rect = rect;
  e.state = state;
  e.first = e.last = ne;
  entries.push_back(e);
  return ne->data();
}

void RenderBatch::render()
{
  BaseRenderBatchState* previous = nullptr;
  DynVBWriter& w = common_vb_writer;
  for (int i = 0; i < entries.num; ++i) {
    Entry& e = entries[i];
    e.state->apply(previous);
    for (Chunk* c = e.first; c; c = c->next) {
      if (w.bytesWritten() + c->bytes > w.size) {
        w.flush(false);
        if (w.bytesWritten() + c->bytes > w.size) fatal("batch vertex buffer is not large enough");
      }
      memcpy(w.ptr, c->data(), size_t(c->bytes));
      w.ptr += c->bytes;
      w.count += c->count;
    }
    e.state->flush();
    previous = e.state;
  }
}

void RenderBatch::clear()
{
  entries.clear();
  pool.clear();
}
