// scriptHeap: the memory and call-depth ceilings of the script VMs.
//
// Squirrel allocates through this module (the library is built without its
// default allocator): every block carries a small header naming the budget it
// was charged to, so a free gives the bytes back to the same budget. A VM's
// budget lives in its shared state; the VM's limit hook (called on every
// script call and backward jump) makes that budget the one charged until
// another VM runs, and raises a script error when the call depth or the bytes
// in use pass the ceiling. The script then fails like on any other error and
// the game goes on. Allocations made while no VM has run are charged to no
// ceiling.
//
// Squirrel's own recursion in native code (freeing or collecting deeply nested
// values, compiling deeply nested text, sorting) is bounded by the memory
// ceiling; the game runs its VMs on a thread whose stack is deep enough for
// whatever fits under it (engine/largeStack.h).
//
// Budgets are never freed (blocks charged to one may outlive its VM); the
// budget of a closed VM is reused once nothing is charged to it. The
// module stands alone (it is linked into the Squirrel library). Main thread
// only.
#pragma once

#include <squirrel.h>

#include <cstddef>

enum
{
  SCRIPT_MAX_CALL_DEPTH = 4000,
};
// Bytes one VM may hold: far above what the world scripts use.
constexpr size_t SCRIPT_MEMORY_CEILING = size_t(256) << 20;

// Gives a newly opened VM its own budget and installs the limit hook.
void script_heap_attach(HSQUIRRELVM vm, size_t ceiling = SCRIPT_MEMORY_CEILING,
                        int max_call_depth = SCRIPT_MAX_CALL_DEPTH);
// Before vm is closed: its budget may be given to a VM opened later.
void script_heap_detach(HSQUIRRELVM vm);
// Charges the allocations that follow to vm's budget (a VM without one: none).
void script_heap_enter(HSQUIRRELVM vm);
// Bytes currently charged to vm's budget (0 without one).
size_t script_heap_used(HSQUIRRELVM vm);
// The bytes vm may still allocate before its ceiling (SIZE_MAX without one).
size_t script_heap_room(HSQUIRRELVM vm);
