// The foundation containers: DynArray growth and misuse, TempString limits,
// weak references and the chained-block allocator.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/accumAlloc.h"
#include "engine/dynArray.h"
#include "engine/utils.h"
#include "engine/weakRef.h"

// ---- DynArray ----

TEST(DynArray, GrowthRuleCapacities)
{
  struct Case
  {
    int start_num, start_cap, insert, want_cap;
  };
  const Case cases[] = {
      {0, 0, 1, 8},      // first element: at least 8
      {8, 8, 1, 16},     // the 9th doubles
      {5, 8, 100, 113},  // doubling is not enough: need plus 8
      {0, 0, 20, 28},
      {2, 2, 1, 8},      // a small exact capacity still grows to at least 8
      {3, 8, 5, 8},      // fits: no growth
  };
  for (const Case& c : cases) {
    DynArray<int> a;
    a.setCapacity(c.start_cap);
    a.resize(c.start_num);
    ASSERT_EQ(a.capacity, c.start_cap);
    a.insert(a.num, c.insert, nullptr);
    EXPECT_EQ(a.capacity, c.want_cap) << c.start_num << "/" << c.start_cap << " + " << c.insert;
    EXPECT_EQ(a.num, c.start_num + c.insert);
  }
}

TEST(DynArray, ResizeIsExactAndZeroFills)
{
  DynArray<int> a;
  a.resize(3);
  EXPECT_EQ(a.capacity, 3);
  ASSERT_EQ(a.num, 3);
  for (int v : a) EXPECT_EQ(v, 0);

  a[0] = 7;
  a.resize(1);  // shrinking keeps the capacity
  EXPECT_EQ(a.num, 1);
  EXPECT_EQ(a.capacity, 3);
  a.resize(2);
  EXPECT_EQ(a[1], 0);  // regrown slot is zero again
  EXPECT_EQ(a[0], 7);
}

TEST(DynArray, InsertEraseKeepOrder)
{
  DynArray<int> a;
  const int src[] = {1, 2, 3, 4, 5};
  a.append(5, src);
  const int mid[] = {10, 11};
  a.insert(2, 2, mid);
  EXPECT_EQ(std::vector<int>(a.begin(), a.end()), (std::vector<int>{1, 2, 10, 11, 3, 4, 5}));
  a.erase(1, 2);
  EXPECT_EQ(std::vector<int>(a.begin(), a.end()), (std::vector<int>{1, 11, 3, 4, 5}));
  int cap = a.capacity;
  a.erase(a.num, 0);  // allowed, nothing changes
  EXPECT_EQ(a.num, 5);
  a.clear();
  EXPECT_EQ(a.num, 0);
  EXPECT_EQ(a.capacity, cap);

  a.append(5, src);
  a.eraseUnordered(0, 2);  // the last two fill the gap
  EXPECT_EQ(std::vector<int>(a.begin(), a.end()), (std::vector<int>{4, 5, 3}));
}

TEST(DynArray, CopyingOwnElementsSurvivesGrowthAndMoves)
{
  DynArray<int> a;
  for (int i = 0; i < 8; i++) a.push_back(i);
  a.push_back(a[3]);  // reallocates while reading from the old block
  EXPECT_EQ(a.back(), 3);
  a.insert(0, 4, a.data + 2);  // a source inside the array is copied first
  EXPECT_EQ(std::vector<int>(a.begin(), a.begin() + 7), (std::vector<int>{2, 3, 4, 5, 0, 1, 2}));
}

// Element types with their own destructor are destroyed on erase and on
// destruction (arrays of arrays).
TEST(DynArray, NestedArraysAreDestroyed)
{
  DynArray<DynArray<int>> outer;
  outer.resize(3);
  for (int i = 0; i < 3; i++) outer[i].resize(10 + i);
  outer.erase(0, 2);
  ASSERT_EQ(outer.num, 1);
  EXPECT_EQ(outer[0].num, 12);
  DynArray<DynArray<int>> copy(outer);
  EXPECT_EQ(copy[0].num, 12);
  EXPECT_NE(copy[0].data, outer[0].data);
}

TEST(DynArrayDeathTest, MisuseFailsWithFixedAssertionText)
{
  struct Case
  {
    void (*misuse)();
    const char* message;
  };
  const Case cases[] = {
      {[] { DynArray<int> a; a.setCapacity(-1); }, "dynArray\\.h\\(52\\): failed ASSERT\\(n>=0\\)"},
      {[] { DynArray<int> a; a.resize(-1); }, "dynArray\\.h\\(77\\): failed ASSERT\\(n>=0\\)"},
      {[] { DynArray<int> a; a.erase(1, 0); }, "dynArray\\.h\\(119\\): failed ASSERT\\(at>=0 && at<=num\\)"},
      {[] { DynArray<int> a; a.resize(2); a.erase(1, 2); }, "dynArray\\.h\\(120\\): failed ASSERT\\(at\\+n<=num\\)"},
      {[] { DynArray<DynArray<int>> a; a.erase(0, -1); }, "dynArray\\.h\\(130\\): failed ASSERT\\(n>=0\\)"},
      {[] { DynArray<int> a; a.insert(0, -1, nullptr); }, "dynArray\\.h\\(152\\): failed ASSERT\\(n>=0\\)"},
      {[] { DynArray<int> a; a.insert(1, 1, nullptr); }, "dynArray\\.h\\(153\\): failed ASSERT\\(at>=0 && at<=num\\)"},
      {[] { DynArray<int> a; a.back(); }, "dynArray\\.h\\(176\\): failed ASSERT\\(num>0\\)"},
  };
  for (const Case& c : cases) EXPECT_EXIT(c.misuse(), testing::ExitedWithCode(100), c.message);
}

// ---- TempString ----

TEST(TempString, AssignCopiesAndTerminates)
{
  EXPECT_STREQ(TempString<16>(nullptr).c_str(), "");
  EXPECT_STREQ(TempString<16>("abcdef", 3).c_str(), "abc");
  EXPECT_STREQ(TempString<64>(std::string(63, 'x').c_str()).c_str(), std::string(63, 'x').c_str());

  TempString<32> p("data/");
  p += "font.tga";
  EXPECT_STREQ(p, "data/font.tga");
  EXPECT_STREQ((TempString<32>("a") + "b" + TempString<8>("c")).c_str(), "abc");
}

TEST(TempString, FormattingIsCutAtCapacity)
{
  TempString<8> s;
  s.printf("%d-%s", 42, "abcdefgh");
  EXPECT_STREQ(s, "42-abcd");
  EXPECT_STREQ(TempString<32>::format("w%03d", 7), "w007");
}

TEST(TempStringDeathTest, TextThatDoesNotFitFails)
{
  const std::string text(64, 'x');
  EXPECT_EXIT(TempString<64> s(text.c_str()), testing::ExitedWithCode(100), "utils\\.h\\(57\\): failed ASSERT\\(l<BS\\)");
  EXPECT_EXIT(
      {
        TempString<8> s("abcd");
        s += "efgh";
      },
      testing::ExitedWithCode(100), "utils\\.h\\(57\\): failed ASSERT\\(l<BS\\)");
}

// ---- Weak references ----

struct Other
{
  int pad = 1;
};
struct Target : Other, WeakRefTarget
{
  int value = 5;
};

static int count_refs(const WeakRefTarget& t)
{
  if (!t.refs) return 0;
  int n = 0;
  const WeakRef* r = t.refs;
  do {
    n++;
    EXPECT_EQ(r->next->prev, r);
    r = r->next;
  } while (r != t.refs);
  return n;
}

TEST(WeakRef, ClearedWhenTargetDies)
{
  WeakPtr<Target> a, b, c;
  {
    Target t;
    a = &t;
    b = &t;
    c = a;
    EXPECT_EQ(count_refs(t), 3);
    EXPECT_EQ(c->value, 5);  // typed access through a second base
    b.reset();
    EXPECT_EQ(count_refs(t), 2);
  }
  EXPECT_EQ(a.get(), nullptr);
  EXPECT_EQ(c.get(), nullptr);
  EXPECT_EQ(a.prev, nullptr);
  EXPECT_EQ(a.next, nullptr);
  a.reset();  // detaching a cleared reference changes nothing
  EXPECT_EQ(a.get(), nullptr);
}

TEST(WeakRef, DetachKeepsTheCircleIntact)
{
  Target t;
  WeakRef r[4];
  for (WeakRef& x : r) x.set(&t);
  EXPECT_EQ(t.refs, &r[3]);  // the newest is the head
  r[3].reset();              // the head moves to its next
  EXPECT_EQ(count_refs(t), 3);
  r[1].reset();
  EXPECT_EQ(count_refs(t), 2);
  Target u;
  r[0].set(&u);  // retarget
  EXPECT_EQ(count_refs(t), 1);
  EXPECT_EQ(count_refs(u), 1);
  r[2].reset();
  EXPECT_EQ(t.refs, nullptr);
}

TEST(WeakRefDeathTest, AttachChecksTheReference)
{
  EXPECT_EXIT(
      {
        Target t;
        Target u;
        WeakRef r;
        r.target = &u;
        t.attach(&r);
      },
      testing::ExitedWithCode(100), "weakRef\\.h\\(120\\): failed ASSERT\\(ref->target==this\\)");
}

// ---- AccumAlloc ----

TEST(AccumAlloc, AllocatesAlignedFromTheNewestBlockFirst)
{
  AccumAlloc pool(256, 128);
  EXPECT_EQ(pool.total_size(), 256u);
  char* a = (char*)pool.alloc(10, 4);
  EXPECT_EQ((uintptr_t)a % 16, 0u);
  char* b = (char*)pool.alloc(1, 0);
  EXPECT_EQ(b, a + 10);
  pool.clear();
  EXPECT_EQ(pool.alloc(10, 4), a);  // cleared blocks are reused
  EXPECT_EQ(pool.total_size(), 256u);
}

TEST(AccumAlloc, OversizeRequestGetsAnExactBlock)
{
  struct Case
  {
    int block_size, size, align_shift;
    size_t want_block;
  };
  const size_t header = sizeof(AccumAlloc::Block);
  const Case cases[] = {
      {64, 1000, 4, 16 + 1000 + header - 1},  // larger than block_size: exact
      {64, 500, 0, 1 + 500 + header - 1},
      {4096, 1000, 4, 4096},                  // fits a normal block
  };
  for (const Case& c : cases) {
    AccumAlloc pool(64, c.block_size);
    pool.alloc(40, 0);  // the first block is nearly full
    char* p = (char*)pool.alloc(c.size, c.align_shift);
    EXPECT_EQ(AccumAlloc::get_block_size(pool.head), c.want_block) << c.size;
    EXPECT_EQ((uintptr_t)p % (uintptr_t(1) << c.align_shift), 0u);
    EXPECT_LE(p + c.size, pool.head->end);
    EXPECT_EQ(pool.total_size(), 64 + c.want_block);
  }
}

TEST(DynArrayGrowth, PushDefaultReturnsTheNewElementAcrossReallocations)
{
  DynArray<int> a;
  for (int i = 0; i < 40; ++i) {
    int& e = a.push_default();
    EXPECT_EQ(e, 0);
    e = i + 1;
  }
  for (int i = 0; i < 40; ++i) EXPECT_EQ(a[i], i + 1);
}
