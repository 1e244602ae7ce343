#include "engine/accumAlloc.h"

#include <cstdint>
#include <cstdlib>

#include "engine/debug.h"

AccumAlloc::Block* AccumAlloc::create_block(size_t size)
{
  // A block always has room for its own header.
  if (size < sizeof(Block)) size = sizeof(Block);
  void* p = malloc(size);
  ASSERT_AT("accumAlloc.cpp", 101, p);
  Block* b = (Block*)p;
  b->next = nullptr;
  b->cur = (char*)p + sizeof(Block);
  b->end = (char*)p + size;
  return b;
}

void AccumAlloc::reset_block(Block* b) { b->cur = (char*)b + sizeof(Block); }

void* AccumAlloc::alloc_from_block(Block* b, size_t size, size_t align)
{
  uintptr_t p = ((uintptr_t)b->cur + (align - 1)) & ~(uintptr_t)(align - 1);
  // Compare sizes rather than pointers so a huge request cannot wrap around.
  if (p > (uintptr_t)b->end || size > (uintptr_t)b->end - p) return nullptr;
  b->cur = (char*)(p + size);
  return (void*)p;
}

size_t AccumAlloc::get_block_size(const Block* b) { return size_t(b->end - (const char*)b); }

AccumAlloc::AccumAlloc(int first_size, int block_size_) : head(nullptr), block_size(block_size_ ? block_size_ : first_size)
{
  head = create_block(first_size > 0 ? size_t(first_size) : 0);
}

AccumAlloc::~AccumAlloc()
{
  while (head) {
    Block* n = head->next;
    free(head);
    head = n;
  }
}

void* AccumAlloc::alloc(int size, int align_shift)
{
  size_t align = size_t(1) << align_shift;
  size_t sz = size > 0 ? size_t(size) : 0;
  for (Block* b = head; b; b = b->next)
    if (void* p = alloc_from_block(b, sz, align)) return p;

  size_t need = align + sz + sizeof(Block) - 1;
  size_t bs = block_size > 0 ? size_t(block_size) : 0;
  Block* b = create_block(need > bs ? need : bs);
  b->next = head;
  head = b;
  void* ptr = alloc_from_block(b, sz, align);
  ASSERT_AT("accumAlloc.cpp", 61, ptr);
  return ptr;
}

void AccumAlloc::clear()
{
  for (Block* b = head; b; b = b->next) reset_block(b);
}

size_t AccumAlloc::total_size() const
{
  size_t total = 0;
  for (const Block* b = head; b; b = b->next) total += get_block_size(b);
  return total;
}
