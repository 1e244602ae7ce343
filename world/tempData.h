// TempData<T>: a scoped scratch buffer owning one heap block of a fixed number
// of elements, for the 256 x 256 work grids of the generators. The block lives
// exactly as long as the object (normally one generator call). A failed
// allocation is a failed assertion ("data"), i.e. fatal: the generators have
// no way to continue without their grid. Not copyable. Any thread, one owner.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "engine/debug.h"

template <typename T>
class TempData
{
public:
  enum ZeroFill { ZERO };

  explicit TempData(size_t count) { allocate(count); }
  // The same, with the whole block cleared to zero bytes.
  TempData(size_t count, ZeroFill) : TempData(count) { memset((void*)data, 0, count * sizeof(T)); }

  ~TempData()
  {
    ASSERT(data);
    free((void*)data);
    data = nullptr;
  }

  TempData(const TempData&) = delete;
  TempData& operator=(const TempData&) = delete;

  T* get() const { return data; }
  T& operator[](size_t i) const { return data[i]; }

  T* data = nullptr;

private:
  void allocate(size_t count)
  {
    ASSERT(!data);
    data = (T*)malloc(count * sizeof(T));
    ASSERT(data);
  }
};
