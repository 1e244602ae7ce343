// DynArray<T>: the growable array behind every list of the program, including
// the object lists shared with the gameobj plug-in (so its layout is fixed:
// data, num, capacity). Misuse (negative counts, indices outside 0..num, an
// empty back(), exhausted memory) is a programming error and ends the program
// through a failed assertion whose file name and line are fixed texts.
//
// Elements are relocated with raw byte moves, so T must be relocatable by
// copying its bytes (plain records, pointers, owning handles without
// self-pointers). Growth: twice the capacity, at least 8; when that is still
// below the need, the need plus 8. resize() and setCapacity() allocate exactly.
// Not thread-safe; the owner of the array decides which thread uses it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "engine/debug.h"

// Allocates, resizes and frees through the program's general heap.
struct DefaultAllocator
{
  static void* alloc(size_t size) { return malloc(size); }
  static void* realloc(void* p, size_t size) { return ::realloc(p, size); }
  static void free(void* p) { ::free(p); }
};

template <typename T, typename Allocator = DefaultAllocator>
class DynArray
{
public:
  T* data;
  int num;
  int capacity;

  DynArray() : data(nullptr), num(0), capacity(0) {}
  DynArray(const DynArray& other) : data(nullptr), num(0), capacity(0) { append(other.num, other.data); }
  DynArray(DynArray&& other) noexcept : data(other.data), num(other.num), capacity(other.capacity)
  {
    other.data = nullptr;
    other.num = other.capacity = 0;
  }
  DynArray& operator=(const DynArray& other)
  {
    if (this != &other) {
      clear();
      append(other.num, other.data);
    }
    return *this;
  }
  DynArray& operator=(DynArray&& other) noexcept
  {
    if (this != &other) {
      destroyAll();
      data = other.data;
      num = other.num;
      capacity = other.capacity;
      other.data = nullptr;
      other.num = other.capacity = 0;
    }
    return *this;
  }
  ~DynArray() { destroyAll(); }

  // Grows the allocation to exactly n elements; never shrinks.
  void setCapacity(int n)
  {
    ASSERT_AT("dynArray.h", 52, n>=0);
    if (n <= capacity) return;
    void* np = Allocator::realloc((void*)data, size_t(n) * sizeof(T));
    ASSERT_AT("dynArray.h", 57, np);
    data = (T*)np;
    capacity = n;
  }
  void reserve(int n) { setCapacity(n); }

  // Shrinking erases the tail; growing allocates exactly n and appends
  // value-initialised elements.
  void resize(int n)
  {
    ASSERT_AT("dynArray.h", 77, n>=0);
    if (n <= num) {
      erase(n, num - n);
      return;
    }
    setCapacity(n);
    insert(num, n - num, nullptr);
  }

  // Makes room for n more elements by the growth rule, with step in place of 8.
  void reserveMore(int n, int step = 8)
  {
    ASSERT_AT("dynArray.h", 52, n>=0);
    int need = num + n;
    if (need <= capacity) return;
    int nc = capacity * 2;
    if (nc < step) nc = step;
    if (nc < need) nc = need + step;
    setCapacity(nc);
  }

  void erase(int at, int n)
  {
    if (std::is_trivially_destructible<T>::value) {
      ASSERT_AT("dynArray.h", 118, n>=0);
      ASSERT_AT("dynArray.h", 119, at>=0 && at<=num);
      ASSERT_AT("dynArray.h", 120, at+n<=num);
    } else {
      ASSERT_AT("dynArray.h", 130, n>=0);
      ASSERT_AT("dynArray.h", 131, at>=0 && at<=num);
      ASSERT_AT("dynArray.h", 132, at+n<=num);
      for (int i = at; i < at + n; i++) data[i].~T();
    }
    if (n == 0) return;
    if (at + n < num) memmove((void*)(data + at), (const void*)(data + at + n), size_t(num - at - n) * sizeof(T));
    num -= n;
  }

  // Removes n elements at `at` by moving the last elements into the gap;
  // the order of the rest is not kept.
  void eraseUnordered(int at, int n)
  {
    ASSERT_AT("dynArray.h", 118, n>=0);
    ASSERT_AT("dynArray.h", 119, at>=0 && at<=num);
    ASSERT_AT("dynArray.h", 120, at+n<=num);
    for (int i = at; i < at + n; i++) data[i].~T();
    int tail = num - (at + n);
    int moved = tail < n ? tail : n;
    if (moved > 0) memcpy((void*)(data + at), (const void*)(data + num - moved), size_t(moved) * sizeof(T));
    num -= n;
  }

  // Inserts n elements at `at`, copied from source or value-initialised
  // (zero for plain data) when source is null. Returns the index `at`.
  int insert(int at, int n, const T* source)
  {
    ASSERT_AT("dynArray.h", 152, n>=0);
    ASSERT_AT("dynArray.h", 153, at>=0 && at<=num);
    if (source && n > 0 && source < data + num && source + n > data) {
      // The source lies in this array and would move under the copy.
      DynArray tmp;
      tmp.insert(0, n, source);
      return insert(at, n, tmp.data);
    }
    if (num + n > capacity) reserveMore(n);
    if (at < num) memmove((void*)(data + at + n), (const void*)(data + at), size_t(num - at) * sizeof(T));
    num += n;
    if (source)
      for (int i = 0; i < n; i++) new (data + at + i) T(source[i]);
    else
      for (int i = 0; i < n; i++) new (data + at + i) T();
    return at;
  }
  int append(int n, const T* source) { return insert(num, n, source); }

  // Appends one element and returns its index.
  int push_back(const T& v)
  {
    if (num + 1 > capacity) {
      T copy(v);  // v may live inside this array
      reserveMore(1);
      new (data + num) T(std::move(copy));
    } else {
      new (data + num) T(v);
    }
    return num++;
  }
  // Appends one value-initialised element and returns it.
  T& push_default()
  {
    // insert() may reallocate: read data only after it returns.
    int at = insert(num, 1, nullptr);
    return data[at];
  }
  void pop_back() { erase(num - 1, 1); }

  void clear() { erase(0, num); }

  T& back()
  {
    ASSERT_AT("dynArray.h", 176, num>0);
    return data[num - 1];
  }
  const T& back() const
  {
    ASSERT_AT("dynArray.h", 177, num>0);
    return data[num - 1];
  }

  // Index of the first element equal to v, or -1.
  int find(const T& v) const
  {
    for (int i = 0; i < num; i++)
      if (data[i] == v) return i;
    return -1;
  }

  T& operator[](int i) { return data[i]; }
  const T& operator[](int i) const { return data[i]; }
  int size() const { return num; }
  bool empty() const { return num == 0; }
  T* begin() { return data; }
  T* end() { return data + num; }
  const T* begin() const { return data; }
  const T* end() const { return data + num; }

private:
  void destroyAll()
  {
    for (int i = 0; i < num; i++) data[i].~T();
    if (data) Allocator::free((void*)data);
    data = nullptr;
    num = capacity = 0;
  }
};
