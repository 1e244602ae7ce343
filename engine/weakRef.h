// Intrusive weak references. An object that may be pointed at weakly derives
// from WeakRefTarget, which heads a circular doubly linked list of the WeakRef
// nodes naming it; when the object dies every node is cleared, so a weak
// reference to a dead object reads null. No counting, no allocation.
//
// The layouts are shared with the gameobj plug-in: WeakRefTarget is {refs},
// WeakRef is {target, prev, next}. Main thread only.
#pragma once

#include <cstddef>

#include "engine/debug.h"

struct WeakRef;

struct WeakRefTarget
{
  WeakRef* refs;  // head of the circular list, null when none

  WeakRefTarget() : refs(NULL) {}
  // A copy is a different object: nobody refers to it yet.
  WeakRefTarget(const WeakRefTarget&) : refs(NULL) {}
  WeakRefTarget& operator=(const WeakRefTarget&) { return *this; }
  ~WeakRefTarget() { clearRefs(); }

  inline void attach(WeakRef* ref);
  inline void detach(WeakRef* ref);
  // Clears every reference to this object.
  inline void clearRefs();
};

struct WeakRef
{
  WeakRefTarget* target;
  WeakRef* prev;
  WeakRef* next;

  WeakRef() : target(NULL), prev(NULL), next(NULL) {}
  explicit WeakRef(WeakRefTarget* t) : target(NULL), prev(NULL), next(NULL) { set(t); }
  WeakRef(const WeakRef& other) : target(NULL), prev(NULL), next(NULL) { set(other.target); }
  WeakRef& operator=(const WeakRef& other)
  {
    set(other.target);
    return *this;
  }
  WeakRef& operator=(WeakRefTarget* t)
  {
    set(t);
    return *this;
  }
  ~WeakRef() { reset(); }

  void set(WeakRefTarget* t)
  {
    if (t == target) return;
    if (target) target->detach(this);
    target = t;
    if (t) t->attach(this);
  }
  void reset() { set(NULL); }
  WeakRefTarget* get() const { return target; }
  explicit operator bool() const { return target != NULL; }
};

inline void WeakRefTarget::attach(WeakRef* ref)
{
  if (!ref) return;
  ASSERT_AT("weakRef.h", 120, ref->target==this);
  ASSERT_AT("weakRef.h", 121, ref->prev==NULL);
  ASSERT_AT("weakRef.h", 122, ref->next==NULL);
  if (!refs) {
    ref->prev = ref->next = ref;
  } else {
    ref->prev = refs->prev;
    ref->next = refs;
    refs->prev->next = ref;
    refs->prev = ref;
  }
  refs = ref;
}

inline void WeakRefTarget::detach(WeakRef* ref)
{
  if (!ref) return;
  // A reference already cleared (its target died) has nothing to unlink.
  if (ref->next) {
    if (ref->next == ref) {
      if (refs == ref) refs = NULL;
    } else {
      ref->prev->next = ref->next;
      ref->next->prev = ref->prev;
      if (refs == ref) refs = ref->next;
    }
  }
  ref->target = NULL;
  ref->prev = ref->next = NULL;
}

inline void WeakRefTarget::clearRefs()
{
  WeakRef* r = refs;
  if (r) {
    do {
      WeakRef* n = r->next;
      r->target = NULL;
      r->prev = r->next = NULL;
      r = n;
    } while (r && r != refs);
  }
  refs = NULL;
}

// Typed weak pointer to a T deriving from WeakRefTarget. Stores the address of
// the WeakRefTarget part, so T may have other bases before it.
template <typename T>
struct WeakPtr : WeakRef
{
  WeakPtr() {}
  WeakPtr(T* p) { set(p); }
  WeakPtr& operator=(T* p)
  {
    set(p);
    return *this;
  }
  WeakPtr& operator=(const WeakPtr& other)
  {
    WeakRef::operator=(other);
    return *this;
  }
  WeakPtr(const WeakPtr& other) : WeakRef(other) {}

  T* get() const { return target ? static_cast<T*>(target) : nullptr; }
  T* operator->() const { return get(); }
  T& operator*() const { return *get(); }
  operator T*() const { return get(); }
};
