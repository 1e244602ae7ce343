#include "scripting/scriptHeap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace
{

struct Budget
{
  size_t used = 0;
  size_t ceiling = SIZE_MAX;
  SQInteger maxCallDepth = 0;
  Budget* next = nullptr;  // every budget made, newest first
  bool open = true;        // its VM has not been closed
};

// Keeps the blocks that follow it aligned as malloc's own.
struct alignas(16) BlockHeader
{
  Budget* owner;
  size_t size;
};

Budget unowned;           // charged while no VM has run
Budget* current = &unowned;
Budget* all_budgets = nullptr;

[[noreturn]] void out_of_memory(size_t size)
{
  fprintf(stderr, "out of memory: a script VM asked for %zu bytes\n", size);
  fflush(stderr);
  abort();
}

void* finish(BlockHeader* h, Budget* owner, size_t size)
{
  h->owner = owner;
  h->size = size;
  owner->used += size;
  return h + 1;
}

Budget* budget_of(HSQUIRRELVM vm) { return vm ? (Budget*)sq_getsharedforeignptr(vm) : nullptr; }

SQInteger limit_hook(HSQUIRRELVM vm, SQInteger call_depth)
{
  Budget* b = budget_of(vm);
  if (!b) return SQ_OK;
  current = b;
  if (call_depth > b->maxCallDepth) return sq_throwerror(vm, "script call depth limit exceeded (runaway recursion?)");
  if (b->used > b->ceiling) return sq_throwerror(vm, "script memory limit exceeded");
  return SQ_OK;
}

}  // namespace

// ---- Squirrel's allocator ----

void* sq_vm_malloc(SQUnsignedInteger size)
{
  if (size > SIZE_MAX - sizeof(BlockHeader)) out_of_memory(size);
  BlockHeader* h = (BlockHeader*)malloc(sizeof(BlockHeader) + size);
  if (!h) out_of_memory(size);
  return finish(h, current, size);
}

void* sq_vm_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger size)
{
  if (!p) return sq_vm_malloc(size);
  if (size > SIZE_MAX - sizeof(BlockHeader)) out_of_memory(size);
  BlockHeader* old = (BlockHeader*)p - 1;
  Budget* owner = old->owner;
  size_t old_size = old->size;
  BlockHeader* h = (BlockHeader*)realloc(old, sizeof(BlockHeader) + size);
  if (!h) out_of_memory(size);
  owner->used -= old_size;
  return finish(h, owner, size);
}

void sq_vm_free(void* p, SQUnsignedInteger)
{
  if (!p) return;
  BlockHeader* h = (BlockHeader*)p - 1;
  h->owner->used -= h->size;
  free(h);
}

// ---- budgets ----

void script_heap_attach(HSQUIRRELVM vm, size_t ceiling, int max_call_depth)
{
  // Deliberately never freed: a block charged to it may outlive the VM. The
  // budget of a closed VM is taken again once nothing is charged to it, so
  // VMs opened and closed one after another share a few budgets.
  Budget* b = all_budgets;
  while (b && (b->open || b->used != 0)) b = b->next;
  if (!b) {
    b = new Budget;
    b->next = all_budgets;
    all_budgets = b;
  }
  b->open = true;
  b->ceiling = ceiling;
  b->maxCallDepth = max_call_depth;
  sq_setsharedforeignptr(vm, b);
  sq_setlimithook(vm, limit_hook);
  current = b;
}

void script_heap_detach(HSQUIRRELVM vm)
{
  Budget* b = budget_of(vm);
  if (!b) return;
  b->open = false;
  if (current == b) current = &unowned;
}

void script_heap_enter(HSQUIRRELVM vm)
{
  Budget* b = budget_of(vm);
  if (b) current = b;
}

size_t script_heap_used(HSQUIRRELVM vm)
{
  Budget* b = budget_of(vm);
  return b ? b->used : 0;
}

size_t script_heap_room(HSQUIRRELVM vm)
{
  Budget* b = budget_of(vm);
  if (!b) return SIZE_MAX;
  return b->used < b->ceiling ? b->ceiling - b->used : 0;
}
