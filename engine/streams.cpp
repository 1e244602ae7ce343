#include "engine/streams.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include <unistd.h>

StreamIOException::StreamIOException(const char* text, int pos) : position(pos)
{
  if (!text) text = "";
  size_t l = strlen(text);
  if (l > sizeof(message) - 1) l = sizeof(message) - 1;
  memcpy(message, text, l);
  message[l] = 0;
}

// position + d, or -1 (always rejected) when the sum leaves the int range.
static int offset_position(int64_t base, int64_t d)
{
  int64_t p = base + d;
  return (p < INT_MIN || p > INT_MAX) ? -1 : int(p);
}

// ---- MemoryInputStream ----

MemoryInputStream::MemoryInputStream(const void* d, int s) : data(d), size(s < 0 ? 0 : s), position(0) {}

void MemoryInputStream::setData(const void* d, int s)
{
  data = d;
  size = s < 0 ? 0 : s;
  position = 0;
}

int MemoryInputStream::readSome(void* buffer, int n)
{
  if (n < 1 || !data) return 0;
  int left = size - position;
  int count = n < left ? n : left;
  if (count <= 0) return 0;
  memcpy(buffer, (const char*)data + position, size_t(count));
  position += count;
  return count;
}

void MemoryInputStream::read(void* buffer, int n)
{
  if (!data) throw Exception("no input memory region set", -1);
  if (n < 0) throw Exception("negative size in read()", -1);
  if (int64_t(position) + n > size) throw Exception("read() outside of input memory region", position);
  if (n > 0) memcpy(buffer, (const char*)data + position, size_t(n));
  position += n;
}

void MemoryInputStream::seekTo(int p)
{
  if (p < 0 || p > size) throw Exception("seek outside of input memory region", position);
  position = p;
}

void MemoryInputStream::seek(int d) { seekTo(offset_position(position, d)); }

void MemoryInputStream::seekFromEnd(int d) { seekTo(offset_position(size, d)); }

// ---- FileInputStream ----

FileInputStream::FileInputStream(const char* name, const char* mode) : file(nullptr) { open(name, mode); }

FileInputStream::~FileInputStream() { close(); }

bool FileInputStream::open(const char* name, const char* mode)
{
  close();
  if (!name || !mode) return false;
  file = fopen(name, mode);
  return file != nullptr;
}

void FileInputStream::close()
{
  if (file) fclose(file);
  file = nullptr;
}

int FileInputStream::readSome(void* buffer, int n)
{
  if (!file || n < 1) return 0;
  return int(fread(buffer, 1, size_t(n), file));
}

void FileInputStream::read(void* buffer, int n)
{
  if (!file) throw Exception("file not opened", -1);
  if (n < 0) throw Exception("negative size in read()", -1);
  size_t got = n > 0 ? fread(buffer, 1, size_t(n), file) : 0;
  if (got != size_t(n)) throw Exception("error reading file", int(ftell(file)));
}

int FileInputStream::tell()
{
  if (!file) throw Exception("file not opened", -1);
  return int(ftell(file));
}

void FileInputStream::seekTo(int p)
{
  if (!file) throw Exception("file not opened", -1);
  if (fseek(file, p, SEEK_SET) != 0) throw Exception("file seek error", int(ftell(file)));
}

void FileInputStream::seek(int d)
{
  if (!file) throw Exception("file not opened", -1);
  if (fseek(file, d, SEEK_CUR) != 0) throw Exception("file seek error", int(ftell(file)));
}

void FileInputStream::seekFromEnd(int d)
{
  if (!file) throw Exception("file not opened", -1);
  if (fseek(file, d, SEEK_END) != 0) throw Exception("file seek error", int(ftell(file)));
}

// ---- FileOutputStream ----

FileOutputStream::FileOutputStream(const char* name, const char* mode) : file(nullptr) { open(name, mode); }

FileOutputStream::~FileOutputStream() { close(); }

bool FileOutputStream::open(const char* name, const char* mode)
{
  close();
  if (!name || !mode) return false;
  file = fopen(name, mode);
  return file != nullptr;
}

bool FileOutputStream::close()
{
  bool ok = true;
  if (file) ok = fclose(file) == 0;
  file = nullptr;
  return ok;
}

void FileOutputStream::flush(bool to_disk)
{
  if (!file) throw Exception("file not opened", -1);
  if (fflush(file) != 0 || (to_disk && fsync(fileno(file)) != 0))
    throw Exception("error writing file", int(ftell(file)));
}

void FileOutputStream::write(const void* buffer, int n)
{
  if (!file) throw Exception("file not opened", -1);
  if (n < 0) throw Exception("negative size in write()", -1);
  size_t put = n > 0 ? fwrite(buffer, 1, size_t(n), file) : 0;
  if (put != size_t(n)) throw Exception("error writing file", int(ftell(file)));
}

int FileOutputStream::tell()
{
  if (!file) throw Exception("file not opened", -1);
  return int(ftell(file));
}

void FileOutputStream::seekTo(int p)
{
  if (!file) throw Exception("file not opened", -1);
  if (fseek(file, p, SEEK_SET) != 0) throw Exception("file seek error", int(ftell(file)));
}

void FileOutputStream::seekToEnd(int d)
{
  if (!file) throw Exception("file not opened", -1);
  if (fseek(file, d, SEEK_END) != 0) throw Exception("file seek error", int(ftell(file)));
}

// ---- MemoryOutputBuffer ----

void MemoryOutputBuffer::write(const void* buffer, int n)
{
  if (n < 0) throw Exception("negative size in write()", position);
  int64_t need = int64_t(position) + n;
  if (need > INT_MAX) throw Exception("out of memory", position);
  if (need > bytes.num) {
    // Grow by the array's doubling rule so a stream of small writes does not
    // reallocate every time; the gap and the new bytes are zero.
    bytes.reserveMore(int(need) - bytes.num);
    bytes.resize(int(need));
  }
  if (bytes.num < need) throw Exception("out of memory", position);
  if (n > 0) memcpy(bytes.data + position, buffer, size_t(n));
  position += n;
}

void MemoryOutputBuffer::seekTo(int p)
{
  if (p < 0) throw Exception("negative position in seekTo()", position);
  position = p;
}

void MemoryOutputBuffer::seekToEnd(int d)
{
  int64_t p = int64_t(bytes.num) + d;
  if (p < 0 || p > INT_MAX) throw Exception("negative position in seekToEnd()", position);
  position = int(p);
}
