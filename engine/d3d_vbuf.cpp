#include "engine/d3d_vbuf.h"

#include <climits>
#include <cstring>

#include "engine/d3d_render.h"
#include "engine/debug.h"

VertexBufferSlot vb_table[MAX_BUFFERS];
IndexBufferSlot ib_table[MAX_BUFFERS];
StreamSource stream_sources[MAX_STREAMS];
IndexBuffer current_ib = nullptr;

// Buffers are filled through the copy-write binding point, which belongs to
// no vertex array: mapping an index buffer must not rebind the index source.
static const GLenum kTransferTarget = GL_COPY_WRITE_BUFFER;

static GLenum buffer_usage(uint32_t flags) { return (flags & VB_STATIC) ? GL_STATIC_DRAW : GL_STREAM_DRAW; }

// Makes a GL buffer of `size` bytes; 0 (and the GL error in *err) on failure.
static GLuint make_buffer(uint32_t size, uint32_t flags, GLenum* err)
{
  while (glGetError() != GL_NO_ERROR) {}
  GLuint b = 0;
  glGenBuffers(1, &b);
  glBindBuffer(kTransferTarget, b);
  glBufferData(kTransferTarget, (GLsizeiptr)size, nullptr, buffer_usage(flags));
  glBindBuffer(kTransferTarget, 0);
  *err = glGetError();
  if (*err != GL_NO_ERROR || size == 0) {
    if (*err == GL_NO_ERROR) *err = GL_INVALID_VALUE;  // an empty buffer is refused, as by the original device
    glDeleteBuffers(1, &b);
    return 0;
  }
  return b;
}

template <typename Slot>
static Slot* create_in(Slot* table, int64_t size, int flags, const char* kind)
{
  ASSERT(d3d);
  Slot* s = nullptr;
  for (int i = 0; i < MAX_BUFFERS; ++i) {
    if (!table[i].used) {
      s = &table[i];
      break;
    }
  }
  if (!s) {
    debug("reached MAX_BUFFERS for %s", kind);
    return nullptr;
  }
  memset((BufferSlot*)s, 0, sizeof(BufferSlot));
  GLenum err = GL_INVALID_VALUE;
  GLuint b = (size > 0 && size <= INT_MAX) ? make_buffer((uint32_t)size, (uint32_t)flags, &err) : 0;
  if (!b) {
    debug("error creating %s (code 0x%08X)", kind, (unsigned)err);
    return nullptr;
  }
  s->buffer = b;
  s->size = (uint32_t)size;
  s->flags = (uint32_t)flags;
  s->used = true;
  return s;
}

VertexBuffer create_vb(int size, int flags) { return create_in(vb_table, size, flags, "VB"); }

IndexBuffer create_ib(int index_count, int flags) { return create_in(ib_table, int64_t(index_count) * 2, flags, "IB"); }

GLuint create_bare_vb(int size, int flags)
{
  GLenum err = GL_INVALID_VALUE;
  GLuint b = size > 0 ? make_buffer((uint32_t)size, (uint32_t)flags, &err) : 0;
  if (!b) debug("error creating VB (code 0x%08X)", (unsigned)err);
  return b;
}

GLuint create_bare_ib(int index_count, int flags)
{
  GLenum err = GL_INVALID_VALUE;
  GLuint b = (index_count > 0 && index_count <= INT_MAX / 2) ? make_buffer((uint32_t)index_count * 2, (uint32_t)flags, &err) : 0;
  if (!b) debug("error creating IB (code 0x%08X)", (unsigned)err);
  return b;
}

static void release_slot(BufferSlot* s)
{
  if (s->buffer) {
    if (s->locked) {
      glBindBuffer(kTransferTarget, s->buffer);
      glUnmapBuffer(kTransferTarget);
      glBindBuffer(kTransferTarget, 0);
    }
    glDeleteBuffers(1, &s->buffer);
  }
  memset(s, 0, sizeof(*s));
}

void release_vb(VertexBuffer vb)
{
  if (!vb) return;
  // Draws must not read a buffer that is gone (or a new one in its slot).
  for (StreamSource& src : stream_sources)
    if (src.vb == vb) src = StreamSource{nullptr, 0, 0};
  release_slot(vb);
}

void release_ib(IndexBuffer ib)
{
  if (!ib) return;
  if (current_ib == ib) set_ib(nullptr);
  release_slot(ib);
}

static void* lock_slot(BufferSlot* s, int offset, int size, bool discard = true)
{
  if (!s || !s->buffer || s->locked || offset < 0 || size < 0) return nullptr;
  if ((uint32_t)offset > s->size) return nullptr;
  uint32_t len = size == 0 ? s->size - (uint32_t)offset : (uint32_t)size;
  if (len == 0 || len > s->size - (uint32_t)offset) return nullptr;
  glBindBuffer(kTransferTarget, s->buffer);
  GLbitfield access = GL_MAP_WRITE_BIT;
  if (discard && !(s->flags & VB_STATIC)) {
    // Discard: orphan the storage so the GPU keeps reading the old one.
    glBufferData(kTransferTarget, (GLsizeiptr)s->size, nullptr, GL_STREAM_DRAW);
    access |= GL_MAP_INVALIDATE_BUFFER_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
  }
  void* p = glMapBufferRange(kTransferTarget, (GLintptr)offset, (GLsizeiptr)len, access);
  glBindBuffer(kTransferTarget, 0);
  if (p) s->locked = true;
  return p;
}

static void unlock_slot(BufferSlot* s)
{
  if (!s || !s->buffer || !s->locked) return;
  glBindBuffer(kTransferTarget, s->buffer);
  glUnmapBuffer(kTransferTarget);
  glBindBuffer(kTransferTarget, 0);
  s->locked = false;
}

void* lock_vb(VertexBuffer vb, int offset, int size) { return lock_slot(vb, offset, size); }
void unlock_vb(VertexBuffer vb) { unlock_slot(vb); }
void* lock_ib(IndexBuffer ib, int offset, int size) { return lock_slot(ib, offset, size); }
void* lock_vb_in_place(VertexBuffer vb) { return lock_slot(vb, 0, 0, false); }
void* lock_ib_in_place(IndexBuffer ib) { return lock_slot(ib, 0, 0, false); }
void unlock_ib(IndexBuffer ib) { unlock_slot(ib); }

void set_vb(int stream, VertexBuffer vb, int offset, int stride)
{
  if (stream < 0 || stream >= MAX_STREAMS) return;
  stream_sources[stream] = vb ? StreamSource{vb, offset, stride} : StreamSource{nullptr, 0, 0};
}

void set_ib(IndexBuffer ib)
{
  current_ib = ib;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib ? ib->buffer : 0);
}

void buffers_on_device_lost()
{
  set_ib(nullptr);
  for (StreamSource& src : stream_sources) src = StreamSource{nullptr, 0, 0};
  auto drop = [](BufferSlot& s) {
    if (s.used && !(s.flags & VB_STATIC) && s.buffer) {
      if (s.locked) unlock_slot(&s);
      glDeleteBuffers(1, &s.buffer);
      s.buffer = 0;
    }
  };
  for (VertexBufferSlot& s : vb_table) drop(s);
  for (IndexBufferSlot& s : ib_table) drop(s);
}

void buffers_on_device_reset()
{
  auto remake = [](BufferSlot& s, const char* kind) {
    if (s.used && !(s.flags & VB_STATIC) && !s.buffer) {
      GLenum err = GL_NO_ERROR;
      s.buffer = make_buffer(s.size, s.flags, &err);
      if (!s.buffer) debug("error creating %s (code 0x%08X)", kind, (unsigned)err);
    }
  };
  for (VertexBufferSlot& s : vb_table) remake(s, "VB");
  for (IndexBufferSlot& s : ib_table) remake(s, "IB");
}

void release_all_buffers()
{
  for (StreamSource& src : stream_sources) src = StreamSource{nullptr, 0, 0};
  current_ib = nullptr;
  for (VertexBufferSlot& s : vb_table) release_slot(&s);
  for (IndexBufferSlot& s : ib_table) release_slot(&s);
}
