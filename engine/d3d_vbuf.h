// The vertex and index buffer tables: MAX_BUFFERS slots each, handed out as
// slot addresses (`VertexBuffer`, `IndexBuffer`, valid for the whole run).
//
// A buffer is static (VB_STATIC: kept over a device reset; a lock keeps what
// it does not overwrite) or dynamic (dropped before a reset and recreated
// empty after it; every lock, even of a part, discards the old contents by
// orphaning the GL buffer, so writing never waits for the GPU). Index
// buffers hold 16-bit indices. set_vb and set_ib record the stream sources
// and the index source that the next draws read.
// Main thread only; needs the device (d3d_render).
#pragma once

#include <cstdint>

#include "engine/gl.h"

enum { MAX_BUFFERS = 1000, MAX_STREAMS = 16 };
enum { VB_STATIC = 1 };

struct BufferSlot {
  GLuint buffer;  // 0 when none
  uint32_t size;  // bytes
  uint32_t flags;  // bit 0 VB_STATIC
  bool used;
  bool locked;
};
struct VertexBufferSlot : BufferSlot {};
struct IndexBufferSlot : BufferSlot {};
typedef VertexBufferSlot* VertexBuffer;
typedef IndexBufferSlot* IndexBuffer;

extern VertexBufferSlot vb_table[MAX_BUFFERS];
extern IndexBufferSlot ib_table[MAX_BUFFERS];

// Null when the table is full ("reached MAX_BUFFERS for VB" / "... for IB")
// or creation fails ("error creating VB (code 0x%08X)" / "... IB ...").
VertexBuffer create_vb(int size, int flags);
IndexBuffer create_ib(int index_count, int flags);  // 2 bytes per index
void release_vb(VertexBuffer vb);
void release_ib(IndexBuffer ib);

// size 0 locks from offset to the end. Null for a null handle, a missing
// buffer, a range outside the buffer, a buffer already locked or a failed map.
void* lock_vb(VertexBuffer vb, int offset, int size);
void unlock_vb(VertexBuffer vb);
void* lock_ib(IndexBuffer ib, int offset, int size);
void unlock_ib(IndexBuffer ib);
// Whole-buffer locks that keep a dynamic buffer's storage instead of
// discarding it: the lock waits for draws still reading it, and what is not
// written keeps its content. For buffers rewritten every frame once the last
// frame is drawn, where fresh storage would cost more than it saves.
void* lock_vb_in_place(VertexBuffer vb);
void* lock_ib_in_place(IndexBuffer ib);

// Buffers without a table slot (same kinds, same messages); 0 on failure.
GLuint create_bare_vb(int size, int flags);
GLuint create_bare_ib(int index_count, int flags);

struct StreamSource {
  VertexBuffer vb;
  int offset, stride;
};
extern StreamSource stream_sources[MAX_STREAMS];
extern IndexBuffer current_ib;

void set_vb(int stream, VertexBuffer vb, int offset, int stride);
void set_ib(IndexBuffer ib);

void buffers_on_device_lost();
void buffers_on_device_reset();
void release_all_buffers();
