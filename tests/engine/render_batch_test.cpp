// RenderBatch without a GPU: which chunks share an entry and in which order
// entries are drawn, and the size limit of the shared vertex buffer. States
// here record their calls instead of binding anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dynVBWriter.h"
#include "engine/renderBatch.h"

namespace {

std::vector<std::string> calls;
uint8_t fake_buffer[COMMON_VB_SIZE + 64];

void record_draw(int count, int arg) { calls.push_back("draw " + std::to_string(count) + " " + std::to_string(arg)); }

// Begins the writer on plain memory and records what reaches it.
struct RecordingState : BaseRenderBatchState
{
  std::string name;
  explicit RecordingState(const char* n) : BaseRenderBatchState(nullptr, nullptr, 16, nullptr), name(n) {}
  void apply(BaseRenderBatchState* previous) override
  {
    calls.push_back("apply " + name + " after " + (previous ? ((RecordingState*)previous)->name : "-"));
    DynVBWriter& w = common_vb_writer;
    w.startPtr = w.ptr = fake_buffer;
    w.count = 0;
    w.renderFunc = record_draw;
    w.renderArg = 4;
  }
  void flush() override
  {
    DynVBWriter& w = common_vb_writer;
    calls.push_back("flush " + name + " " + std::to_string(w.bytesWritten()) + " bytes");
    if (w.count > 0) w.renderFunc(w.count, w.renderArg);
    w.startPtr = w.ptr = nullptr;
    w.count = 0;
    w.renderFunc = nullptr;
  }
};

class RenderBatchTest : public testing::Test {
 protected:
  RecordingState a{"A"}, b{"B"}, a_twin{"A'"};
  RenderBatch batch;
  DynVBWriter saved;

  void SetUp() override
  {
    saved = common_vb_writer;
    common_vb_writer.size = COMMON_VB_SIZE;
    calls.clear();
  }
  void TearDown() override { common_vb_writer = saved; }

  RecordingState* state(char c) { return c == 'A' ? &a : c == 'B' ? &b : &a_twin; }

  // Entries as "A:0,2 B:1", chunks numbered in order of adding.
  std::string layout(const std::vector<RenderBatch::Chunk*>& chunks)
  {
    std::string out;
    for (const RenderBatch::Entry& e : batch.entries) {
      if (!out.empty()) out += " ";
      out += ((RecordingState*)e.state)->name + ":";
      bool first = true;
      for (RenderBatch::Chunk* c = e.first; c; c = c->next) {
        for (size_t i = 0; i < chunks.size(); ++i) {
          if (chunks[i] != c) continue;
          out += (first ? "" : ",") + std::to_string(i);
          first = false;
        }
      }
    }
    return out;
  }
};

struct Add { char state; float x0, y0, x1, y1; };
struct MergeCase { const char* rule; std::vector<Add> adds; const char* entries; };

}  // namespace

TEST_F(RenderBatchTest, ChunksJoinTheirStateUnlessSomethingBetweenOverlapsThem)
{
  const MergeCase cases[] = {
      // Painter's order: an overlapping chunk of another state in between splits the state.
      {"overlap between", {{'A', 0, 0, 10, 10}, {'B', 5, 5, 15, 15}, {'A', 8, 8, 12, 12}}, "A:0 B:1 A:2"},
      {"no overlap between", {{'A', 0, 0, 10, 10}, {'B', 20, 20, 30, 30}, {'A', 2, 2, 4, 4}}, "A:0,2 B:1"},
      // Shared edges: the test is deliberately not symmetric.
      {"new right edge on old left edge", {{'A', 40, 0, 50, 10}, {'B', 10, 0, 20, 10}, {'A', 0, 0, 10, 10}},
       "A:0,2 B:1"},
      {"new left edge on old right edge", {{'A', 40, 0, 50, 10}, {'B', 10, 0, 20, 10}, {'A', 20, 0, 30, 10}},
       "A:0 B:1 A:2"},
      {"new bottom edge on old top edge", {{'A', 0, 40, 10, 50}, {'B', 0, 10, 10, 20}, {'A', 0, 0, 10, 10}},
       "A:0,2 B:1"},
      {"new top edge on old bottom edge", {{'A', 0, 40, 10, 50}, {'B', 0, 10, 10, 20}, {'A', 0, 20, 10, 30}},
       "A:0 B:1 A:2"},
      {"zero-size rectangle inside", {{'A', 90, 90, 99, 99}, {'B', 0, 0, 10, 10}, {'A', 5, 5, 5, 5}}, "A:0 B:1 A:2"},
      // The entry's union is only a quick test: each of its chunks decides.
      {"gap inside the other entry",
       {{'A', 100, 100, 110, 110}, {'B', 0, 0, 10, 10}, {'B', 20, 20, 30, 30}, {'A', 12, 12, 18, 18}},
       "A:0,3 B:1,2"},
      // Only the newest entry of the state is joined.
      {"newest entry of the state",
       {{'A', 0, 0, 10, 10}, {'B', 5, 5, 15, 15}, {'A', 8, 8, 12, 12}, {'A', 50, 50, 60, 60}},
       "A:0 B:1 A:2,3"},
      // States are objects: equal fields are not the same state.
      {"twin states", {{'A', 0, 0, 10, 10}, {'T', 50, 50, 60, 60}, {'A', 70, 70, 80, 80}}, "A:0,2 A':1"},
      {"twin states overlapping", {{'A', 0, 0, 10, 10}, {'T', 0, 0, 10, 10}}, "A:0 A':1"},
  };
  for (const MergeCase& c : cases) {
    batch.clear();
    std::vector<RenderBatch::Chunk*> chunks;
    for (const Add& add : c.adds) {
      uint8_t* data = (uint8_t*)batch.add(state(add.state), make4f(add.x0, add.y0, add.x1, add.y1), 48, 1);
      EXPECT_EQ((uintptr_t)data % 16, 0u) << c.rule;
      chunks.push_back((RenderBatch::Chunk*)data - 1);
    }
    EXPECT_EQ(layout(chunks), c.entries) << c.rule;
  }
}

TEST_F(RenderBatchTest, EntryRectangleIsTheUnionOfItsChunks)
{
  batch.add(&a, make4f(10, 20, 30, 40), 16, 1);
  batch.add(&a, make4f(0, 25, 15, 60), 16, 1);
  ASSERT_EQ(batch.entries.num, 1);
  vec4f r = batch.entries[0].rect;
  EXPECT_EQ(v_extract_x(r), 0.f);
  EXPECT_EQ(v_extract_y(r), 20.f);
  EXPECT_EQ(v_extract_z(r), 30.f);
  EXPECT_EQ(v_extract_w(r), 60.f);
}

TEST_F(RenderBatchTest, RenderDrawsEntriesInOrderWithThePreviousState)
{
  batch.render();
  EXPECT_TRUE(calls.empty()) << "an empty batch does nothing";

  batch.add(&a, make4f(0, 0, 10, 10), 32, 2);
  batch.add(&b, make4f(5, 5, 15, 15), 16, 1);
  batch.add(&a, make4f(8, 8, 12, 12), 48, 3);
  batch.render();
  const std::vector<std::string> once = {"apply A after -", "flush A 32 bytes", "draw 2 4",
                                         "apply B after A", "flush B 16 bytes", "draw 1 4",
                                         "apply A after B", "flush A 48 bytes", "draw 3 4"};
  EXPECT_EQ(calls, once);
  // Entries stay until clear: a second render draws everything again.
  calls.clear();
  batch.render();
  EXPECT_EQ(calls, once);
  batch.clear();
  calls.clear();
  batch.render();
  EXPECT_TRUE(calls.empty());
}

TEST_F(RenderBatchTest, ChunkOfTheWholeBufferFitsAndOneByteMoreIsFatal)
{
  uint8_t* p = (uint8_t*)batch.add(&a, make4f(0, 0, 1, 1), COMMON_VB_SIZE, 7);
  p[0] = 1;
  p[COMMON_VB_SIZE - 1] = 2;
  batch.render();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1], "flush A 65536 bytes");
  EXPECT_EQ(fake_buffer[0], 1);
  EXPECT_EQ(fake_buffer[COMMON_VB_SIZE - 1], 2);

  batch.clear();
  batch.add(&a, make4f(0, 0, 1, 1), COMMON_VB_SIZE + 1, 1);
  EXPECT_EXIT(batch.render(), testing::ExitedWithCode(100), "batch vertex buffer is not large enough");
}

TEST(DynVBWriterTest, FlushWithNothingWrittenOrNothingBegunDoesNothing)
{
  DynVBWriter w;
  w.flush(true);  // not begun
  EXPECT_EQ(w.startPtr, nullptr);
  uint8_t buf[16];
  w.startPtr = w.ptr = buf;
  w.renderFunc = record_draw;
  calls.clear();
  w.flush(false);  // nothing written: keeps the lock, draws nothing
  EXPECT_EQ(w.startPtr, buf);
  EXPECT_EQ(w.renderFunc, record_draw);
  EXPECT_TRUE(calls.empty());
}
