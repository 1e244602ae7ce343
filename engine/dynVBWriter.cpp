#include "engine/dynVBWriter.h"

#include "engine/d3d_misc.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"

DynVBWriter common_vb_writer;

void DynVBWriter::create(int size_)
{
  ASSERT(!startPtr);
  if (vb) release_vb(vb);
  vb = nullptr;
  size = size_;
  vb = create_vb(size_, 0);
  if (!vb) fatal("can't create dynamic VB of size %d", size_);
  startPtr = ptr = nullptr;
  count = 0;
  renderFunc = nullptr;
}

void DynVBWriter::release()
{
  ASSERT(!startPtr);
  release_vb(vb);
  vb = nullptr;
}

void DynVBWriter::begin(DynVBRenderFunc func, int arg)
{
  ASSERT(!startPtr);
  ASSERT(vb);
  // A dynamic buffer discards on every lock: each begin starts on fresh memory.
  startPtr = (uint8_t*)lock_vb(vb, 0, 0);
  ASSERT(startPtr);
  ptr = startPtr;
  count = 0;
  renderFunc = func;
  renderArg = arg;
}

void DynVBWriter::flush(bool final)
{
  if (count <= 0 && !final) return;
  if (final && !startPtr) return;
  ASSERT(startPtr && renderFunc);
  unlock_vb(vb);
  ptr = startPtr = nullptr;
  if (count > 0) renderFunc(count, renderArg);
  count = 0;
  if (!final) {
    startPtr = (uint8_t*)lock_vb(vb, 0, 0);
    ASSERT(startPtr);
    ptr = startPtr;
  } else {
    renderFunc = nullptr;
  }
}

void dyn_vb_draw_triangles(int count, int arg) { draw_prim(arg, 0, count); }

void dyn_vb_draw_instances(int count, int arg)
{
  set_instancing(count);
  draw_indexed(4, 0, 0, arg >> 16, 0, arg & 0xFFFF);
  // Later indexed draws are single again, whoever issues them.
  set_instancing(0);
}
