// AccumAlloc: a chained-block bump allocator for data that lives one frame
// (the vertex chunks of a RenderBatch). Allocation bumps a pointer in the
// newest block that has room; there is no individual free: clear() rewinds
// every block and keeps its memory for the next frame.
//
// Each block is one heap allocation starting with a Block header; sizes given
// for blocks include that header. A block added for a request larger than the
// free space is at least alignment + size + sizeof(Block) - 1 bytes, so the
// request always fits after aligning. Exhausted memory ends the program
// through a failed assertion. The owner's thread only.
#pragma once

#include <cstddef>

struct AccumAlloc
{
  struct Block
  {
    Block* next;  // the following (older) block
    char* cur;    // first free byte
    char* end;    // one past the block's last byte
  };

  Block* head;
  int block_size;  // size of every block added after the first

  AccumAlloc(int first_size, int block_size);
  ~AccumAlloc();
  AccumAlloc(const AccumAlloc&) = delete;
  AccumAlloc& operator=(const AccumAlloc&) = delete;

  // Returns size bytes aligned to 2^align_shift bytes; never null.
  void* alloc(int size, int align_shift);
  // Rewinds every block; the memory is kept.
  void clear();
  // Sum of the blocks' sizes, headers included.
  size_t total_size() const;

  // Block operations.
  static Block* create_block(size_t size);
  static void reset_block(Block* b);
  // Allocates from this block only; null when it has no room.
  static void* alloc_from_block(Block* b, size_t size, size_t align);
  static size_t get_block_size(const Block* b);
};
