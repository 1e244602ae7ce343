// largeStack: runs a function on a thread with a very deep stack.
//
// The script VMs recurse in native code as deep as their values nest (freeing
// or collecting a nested array, compiling nested text); their memory ceiling
// bounds that depth, and the game runs on a thread whose stack holds it. The
// stack is reserved address space: only the pages touched cost memory.
#pragma once

#include <cstddef>

constexpr size_t LARGE_STACK_BYTES = size_t(4) << 30;

// Runs fn(arg) on a new thread with a stack of stack_bytes and returns its
// result once the thread has ended. When no such thread can be made, calls fn
// on this thread.
int run_on_large_stack(int (*fn)(void*), void* arg, size_t stack_bytes = LARGE_STACK_BYTES);
