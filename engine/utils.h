// TempString<N>: a fixed buffer of N bytes holding one zero-terminated text,
// used for paths (260), names and messages (16 to 1024). Copying or joining a
// text that does not fit in N - 1 characters is a programming error and ends
// the program through the assertion "l<BS" (utils.h, line 57); printf-style
// formatting is cut at N - 1 characters instead, since its callers format
// texts of outside origin (error messages) that must not end the program.
// A plain value type: any thread may use its own instances.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/debug.h"

template <int BS>
struct TempString
{
  char buffer[BS];

  TempString() { buffer[0] = 0; }
  TempString(const char* text) { assign(text, -1); }
  TempString(const char* text, int length) { assign(text, length); }
  template <int M>
  TempString(const TempString<M>& other) { assign(other.buffer, -1); }

  // A null text gives the empty string; a negative length means strlen(text).
  TempString& assign(const char* text, int length)
  {
    if (!text) {
      buffer[0] = 0;
      return *this;
    }
    size_t l = length < 0 ? strlen(text) : size_t(length);
    ASSERT_AT("utils.h", 57, l<BS);
    memmove(buffer, text, l);
    buffer[l] = 0;
    return *this;
  }
  TempString& operator=(const char* text) { return assign(text, -1); }
  template <int M>
  TempString& operator=(const TempString<M>& other) { return assign(other.buffer, -1); }

  // Appends the first `length` characters of text (all of it when negative).
  TempString& append(const char* text, int length = -1)
  {
    if (!text) return *this;
    size_t cur = strlen(buffer);
    size_t add = length < 0 ? strlen(text) : size_t(length);
    size_t l = cur + add;
    ASSERT_AT("utils.h", 57, l<BS);
    memmove(buffer + cur, text, add);
    buffer[l] = 0;
    return *this;
  }
  TempString& operator+=(const char* text) { return append(text, -1); }
  template <int M>
  TempString& operator+=(const TempString<M>& other) { return append(other.buffer, -1); }
  TempString operator+(const char* text) const { return TempString(*this).append(text, -1); }
  template <int M>
  TempString operator+(const TempString<M>& other) const { return TempString(*this).append(other.buffer, -1); }

  // printf-style formatting into the buffer, cut at BS - 1 characters.
  QM_PRINTF(2, 3) TempString& printf(const char* fmt, ...)
  {
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
    return *this;
  }
  TempString& vprintf(const char* fmt, va_list args)
  {
    vsnprintf(buffer, BS, fmt, args);
    return *this;
  }
  // A new string formatted like printf.
  QM_PRINTF(1, 2) static TempString format(const char* fmt, ...)
  {
    TempString s;
    va_list args;
    va_start(args, fmt);
    s.vprintf(fmt, args);
    va_end(args);
    return s;
  }

  const char* c_str() const { return buffer; }
  char* str() { return buffer; }
  operator const char*() const { return buffer; }
  int length() const { return int(strlen(buffer)); }
  bool empty() const { return buffer[0] == 0; }
  static constexpr int capacity() { return BS; }
};
