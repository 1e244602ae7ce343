// DynVBWriter: the one shared dynamic vertex buffer, `common_vb_writer`
// (65536 bytes), through which every batched, immediate-mode and instanced
// draw goes. A writer begins it with a draw callback (locking the whole
// buffer with discard), stores vertices at `ptr` itself, advances `ptr` by
// the bytes and `count` by the items in the callback's unit (triangles,
// lines or instances), flushes (draws, then locks again) when the next item
// would not fit, and ends with a final flush (draws and unlocks).
// The field layout is shared with the gameobj plug-in. Main thread only.
#pragma once

#include <cstdint>

#include "engine/d3d_vbuf.h"

typedef void (*DynVBRenderFunc)(int count, int arg);

struct DynVBWriter
{
  uint8_t* ptr;        // write position; null while unlocked
  int count;           // items written since the last draw
  uint8_t* startPtr;   // base of the locked buffer; non-null exactly while locked
  VertexBuffer vb;
  int size;            // bytes
  DynVBRenderFunc renderFunc;  // null when no drawing is under way
  int renderArg;

  DynVBWriter() : ptr(nullptr), count(0), startPtr(nullptr), vb(nullptr), size(0), renderFunc(nullptr), renderArg(0) {}

  // Fatal when the buffer cannot be made: "can't create dynamic VB of size %d".
  void create(int size);
  void release();
  void begin(DynVBRenderFunc func, int arg);
  // Draws what was written (count > 0); final unlocks and forgets the
  // callback, otherwise the buffer is locked again. A non-final flush with
  // nothing written does nothing; a final one without a lock does nothing.
  void flush(bool final);
  int bytesWritten() const { return int(ptr - startPtr); }
};

extern DynVBWriter common_vb_writer;
enum { COMMON_VB_SIZE = 65536 };

// Draw callbacks. arg = primitive type; draws `count` primitives from vertex 0.
void dyn_vb_draw_triangles(int count, int arg);
// count instances of an indexed triangle list with (arg >> 16) vertices and
// (arg & 0xFFFF) triangles; instancing is off again afterwards.
void dyn_vb_draw_instances(int count, int arg);
