// Byte streams: every binary file of the game (saves, world blocks, script
// values, meshes, shader caches, images) is read and written through the
// abstract InputStream and OutputStream, over a file or memory. Failures are
// thrown, never returned: InputStream::Exception or OutputStream::Exception,
// both StreamIOException {message, position (-1 when none)}, thrown by value
// and caught by reference at the operation's top. Exact operations check in a
// fixed order (no source, then the size, then the range or the transfer), so
// the first failing check decides the message. readSome never throws and is
// the way to probe for data. Positions and sizes are signed 32-bit byte counts.
// A stream belongs to one thread at a time.
#pragma once

#include <cstdio>
#include <type_traits>

#include "engine/dynArray.h"

struct StreamIOException
{
  char message[512];  // at most 511 characters, terminated
  int position;       // stream position at the failure, -1 when none

  StreamIOException(const char* text, int pos);
};

class InputStream
{
public:
  struct Exception : StreamIOException
  {
    Exception(const char* text, int pos) : StreamIOException(text, pos) {}
  };

  virtual int readSome(void* buffer, int n) = 0;
  virtual void read(void* buffer, int n) = 0;
  virtual int tell() = 0;
  virtual void seekTo(int position) = 0;
  virtual void seek(int offset) = 0;
  virtual void seekFromEnd(int offset) = 0;
  virtual ~InputStream() {}

  // Reads one plain value in the machine's byte order.
  template <typename T>
  T readValue()
  {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only");
    T v;
    read(&v, int(sizeof(T)));
    return v;
  }
  template <typename T>
  void readValue(T& v)
  {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only");
    read(&v, int(sizeof(T)));
  }
};

class OutputStream
{
public:
  struct Exception : StreamIOException
  {
    Exception(const char* text, int pos) : StreamIOException(text, pos) {}
  };

  virtual void write(const void* buffer, int n) = 0;
  virtual int tell() = 0;
  virtual void seekTo(int position) = 0;
  virtual void seekToEnd(int offset) = 0;
  virtual ~OutputStream() {}

  template <typename T>
  void writeValue(const T& v)
  {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only");
    write(&v, int(sizeof(T)));
  }
};

// Reads a block of memory it does not own.
class MemoryInputStream : public InputStream
{
public:
  const void* data;
  int size;
  int position;

  MemoryInputStream(const void* data = nullptr, int size = 0);
  void setData(const void* data, int size);

  int readSome(void* buffer, int n) override;
  void read(void* buffer, int n) override;
  int tell() override { return position; }
  void seekTo(int p) override;
  void seek(int d) override;
  void seekFromEnd(int d) override;
};

class FileInputStream : public InputStream
{
public:
  FILE* file;

  FileInputStream() : file(nullptr) {}
  FileInputStream(const char* name, const char* mode);
  ~FileInputStream() override;
  FileInputStream(const FileInputStream&) = delete;
  FileInputStream& operator=(const FileInputStream&) = delete;

  // Closes any open file first; returns whether the new one opened.
  bool open(const char* name, const char* mode);
  void close();
  bool isOpen() const { return file != nullptr; }

  int readSome(void* buffer, int n) override;
  void read(void* buffer, int n) override;
  int tell() override;
  void seekTo(int p) override;
  void seek(int d) override;
  void seekFromEnd(int d) override;
};

class FileOutputStream : public OutputStream
{
public:
  FILE* file;

  FileOutputStream() : file(nullptr) {}
  FileOutputStream(const char* name, const char* mode);
  ~FileOutputStream() override;
  FileOutputStream(const FileOutputStream&) = delete;
  FileOutputStream& operator=(const FileOutputStream&) = delete;

  bool open(const char* name, const char* mode);
  // Closes the file; false when buffered data could not be written.
  bool close();
  bool isOpen() const { return file != nullptr; }
  // Pushes buffered data to the system (and to the disk when asked), so a
  // save can be checked before it replaces the previous one.
  void flush(bool to_disk = false);

  void write(const void* buffer, int n) override;
  int tell() override;
  void seekTo(int p) override;
  void seekToEnd(int d) override;
};

// Writes into a growable byte array; seeking past the end and writing leaves
// a zero-filled gap.
class MemoryOutputBuffer : public OutputStream
{
public:
  DynArray<char> bytes;
  int position;

  MemoryOutputBuffer() : position(0) {}

  void write(const void* buffer, int n) override;
  int tell() override { return position; }
  void seekTo(int p) override;
  void seekToEnd(int d) override;
};
