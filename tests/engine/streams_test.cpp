// Byte streams: exact reads and writes, the exception texts and positions,
// and the order of the checks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "engine/streams.h"
#include "support/test_dir.h"
#include <fstream>

// Runs op and returns the exception it threw (message "none" if it did not).
template <typename E>
static std::pair<std::string, int> thrown(const std::function<void()>& op)
{
  try {
    op();
  } catch (const E& e) {
    return {e.message, e.position};
  }
  return {"none", -2};
}
using In = InputStream::Exception;
using Out = OutputStream::Exception;

struct StreamCase
{
  const char* what;
  std::function<void()> op;
  const char* message;
  int position;
};

static void run_cases_in(const std::vector<StreamCase>& cases)
{
  for (const StreamCase& c : cases) {
    auto r = thrown<In>(c.op);
    EXPECT_EQ(r.first, c.message) << c.what;
    EXPECT_EQ(r.second, c.position) << c.what;
  }
}

TEST(MemoryInputStream, ExactReadsAndSeeks)
{
  const char bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  char buf[16];
  MemoryInputStream s(bytes, 10);
  s.read(buf, 10);
  EXPECT_EQ(buf[9], 9);
  s.read(buf, 0);  // n = 0 succeeds and changes nothing
  EXPECT_EQ(s.tell(), 10);

  s.seekTo(8);
  EXPECT_EQ(s.readSome(buf, 5), 2);
  EXPECT_EQ(s.readSome(buf, 5), 0);
  EXPECT_EQ(s.readSome(buf, 0), 0);
  s.seekTo(10);  // exactly size is allowed
  s.seekFromEnd(-3);
  EXPECT_EQ(s.readValue<char>(), 7);
  s.seek(-2);
  EXPECT_EQ(s.tell(), 6);

  MemoryInputStream none;
  EXPECT_EQ(none.readSome(buf, 4), 0);

  run_cases_in({
      {"read past end", [&] { s.seekTo(10); s.read(buf, 1); }, "read() outside of input memory region", 10},
      {"seek size+1", [&] { s.seekTo(4); s.seekTo(11); }, "seek outside of input memory region", 4},
      {"seek negative", [&] { s.seekTo(4); s.seek(-5); }, "seek outside of input memory region", 4},
      {"seek from end", [&] { s.seekTo(4); s.seekFromEnd(1); }, "seek outside of input memory region", 4},
      {"seek overflow", [&] { s.seekTo(4); s.seek(0x7FFFFFFF); }, "seek outside of input memory region", 4},
      {"read overflow", [&] { s.seekTo(4); s.read(buf, 0x7FFFFFFF); }, "read() outside of input memory region", 4},
      {"negative size", [&] { s.read(buf, -1); }, "negative size in read()", -1},
      // No block is checked before the size.
      {"no block", [&] { none.read(buf, -1); }, "no input memory region set", -1},
  });
}

class FileStreams : public testing::Test
{
protected:
  std::string dir, path;
  void SetUp() override
  {
    dir = make_test_dir("streams");
    ASSERT_FALSE(dir.empty());
    path = dir + "/file";
    std::ofstream(path, std::ios::binary);   // an empty file
  }
  void TearDown() override { remove_test_dir(dir); }
};

TEST_F(FileStreams, WriteThenReadBack)
{
  {
    FileOutputStream out(path.c_str(), "wb");
    ASSERT_TRUE(out.isOpen());
    out.writeValue<int>(0x01020304);
    out.write("abcdef", 6);
    EXPECT_EQ(out.tell(), 10);
    out.seekTo(4);
    out.write("X", 1);
    out.seekToEnd(0);
    EXPECT_EQ(out.tell(), 10);
    out.flush(true);
    EXPECT_TRUE(out.close());
  }
  FileInputStream in(path.c_str(), "rb");
  ASSERT_TRUE(in.isOpen());
  EXPECT_EQ(in.readValue<int>(), 0x01020304);
  char buf[8] = {};
  in.read(buf, 6);
  EXPECT_STREQ(buf, "Xbcdef");
  in.seekFromEnd(-2);
  EXPECT_EQ(in.readSome(buf, 8), 2);
  in.seekTo(1);
  in.seek(2);
  EXPECT_EQ(in.tell(), 3);

  auto r = thrown<In>([&] { in.seekTo(8); in.read(buf, 4); });
  EXPECT_EQ(r.first, "error reading file");
  EXPECT_EQ(r.second, 10);  // where the read stopped
  r = thrown<In>([&] { in.seekTo(-1); });
  EXPECT_EQ(r.first, "file seek error");
}

TEST_F(FileStreams, UnopenedFilesThrowFileNotOpened)
{
  FileInputStream in("/nonexistent/dir/file", "rb");
  EXPECT_FALSE(in.isOpen());
  char buf[4];
  EXPECT_EQ(in.readSome(buf, 4), 0);
  run_cases_in({
      {"read", [&] { in.read(buf, 4); }, "file not opened", -1},
      {"read negative", [&] { in.read(buf, -1); }, "file not opened", -1},
      {"tell", [&] { in.tell(); }, "file not opened", -1},
      {"seekTo", [&] { in.seekTo(0); }, "file not opened", -1},
      {"seek", [&] { in.seek(0); }, "file not opened", -1},
      {"seekFromEnd", [&] { in.seekFromEnd(0); }, "file not opened", -1},
  });

  FileOutputStream out;
  const std::vector<std::function<void()>> ops = {
      [&] { out.write(buf, 4); }, [&] { out.write(buf, -1); }, [&] { out.tell(); },
      [&] { out.seekTo(0); },     [&] { out.seekToEnd(0); },
  };
  for (const auto& op : ops) {
    auto r = thrown<Out>(op);
    EXPECT_EQ(r.first, "file not opened");
    EXPECT_EQ(r.second, -1);
  }

  // Reopening replaces the file; a negative size is reported once a file is open.
  ASSERT_TRUE(out.open(path.c_str(), "wb"));
  auto r = thrown<Out>([&] { out.write(buf, -1); });
  EXPECT_EQ(r.first, "negative size in write()");
  EXPECT_EQ(r.second, -1);
  ASSERT_TRUE(in.open(path.c_str(), "rb"));
  r = thrown<In>([&] { in.read(buf, -1); });
  EXPECT_EQ(r.first, "negative size in read()");
}

TEST(MemoryOutputBuffer, SeekPastEndLeavesZeroGap)
{
  MemoryOutputBuffer b;
  b.seekTo(100);
  b.write("abcd", 4);
  ASSERT_EQ(b.bytes.num, 104);
  for (int i = 0; i < 100; i++) ASSERT_EQ(b.bytes[i], 0) << i;
  EXPECT_EQ(memcmp(b.bytes.data + 100, "abcd", 4), 0);
  EXPECT_EQ(b.tell(), 104);

  b.seekTo(1);
  b.write("Z", 1);  // overwrite inside: no growth
  EXPECT_EQ(b.bytes.num, 104);
  b.seekToEnd(-4);
  EXPECT_EQ(b.tell(), 100);

  struct Case
  {
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {[&] { b.write("x", -1); }, "negative size in write()"},
      {[&] { b.seekTo(-1); }, "negative position in seekTo()"},
      {[&] { b.seekToEnd(-105); }, "negative position in seekToEnd()"},
      {[&] { b.seekTo(0x7FFFFFF0); b.write("0123456789abcdef0123", 20); }, "out of memory"},
  };
  for (const Case& c : cases) {
    b.seekTo(100);
    int before = b.tell();
    auto r = thrown<Out>(c.op);
    EXPECT_EQ(r.first, c.message);
    EXPECT_EQ(r.second, c.message == std::string("out of memory") ? 0x7FFFFFF0 : before);
  }
  EXPECT_EQ(b.bytes.num, 104);
}

TEST(StreamIOException, MessageIsCutAt511Characters)
{
  std::string longText(600, 'm');
  InputStream::Exception e(longText.c_str(), 7);
  EXPECT_EQ(strlen(e.message), 511u);
  EXPECT_EQ(e.position, 7);
  const StreamIOException& base = e;  // both exceptions share the base
  EXPECT_EQ(base.position, 7);
}
