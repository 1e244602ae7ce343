// The performance overlay's colours, statistics and layout from fixed rings,
// recorded from a canvas instead of drawn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/perfGraph.h"
#include "engine/updateStats.h"

namespace
{
struct Rect
{
  int x0, y0, x1, y1;
  uint32_t c;
};
struct Text
{
  std::string s;
  int x, y, ax, ay;
  uint32_t c;
};

class Recorder : public PerfGraphCanvas
{
public:
  std::vector<Rect> rects;
  std::vector<Text> texts;
  void rect(int x0, int y0, int x1, int y1, D3dColor c) override { rects.push_back({x0, y0, x1, y1, c}); }
  void text(const char* s, int x, int y, int ax, int ay, D3dColor c) override { texts.push_back({s, x, y, ax, ay, c}); }
  const Text* find(const std::string& s, int x, int y) const
  {
    for (const Text& t : texts)
      if (t.s == s && t.x == x && t.y == y) return &t;
    return nullptr;
  }
  int count(const std::string& s) const
  {
    int n = 0;
    for (const Text& t : texts) n += t.s == s;
    return n;
  }
};

TEST(PerfGraph, HsvToRgb)
{
  struct Case
  {
    float h, s, v;
    float r, g, b;
  } cases[] = {
      {0.f, 1.f, 1.f, 1.f, 0.f, 0.f},     {1.f / 6, 1.f, 1.f, 1.f, 1.f, 0.f}, {1.f / 3, 1.f, 1.f, 0.f, 1.f, 0.f},
      {0.5f, 1.f, 1.f, 0.f, 1.f, 1.f},    {2.f / 3, 1.f, 1.f, 0.f, 0.f, 1.f}, {5.f / 6, 1.f, 1.f, 1.f, 0.f, 1.f},
      {1.5f, 1.f, 1.f, 0.f, 1.f, 1.f},    {-0.25f, 1.f, 1.f, 0.5f, 0.f, 1.f}, {0.3f, 0.f, 0.7f, 0.7f, 0.7f, 0.7f},
      {0.25f, 0.5f, 0.8f, 0.6f, 0.8f, 0.4f}, {0.9999999f, 1.f, 1.f, 1.f, 0.f, 0.f},
  };
  for (const Case& c : cases) {
    vec4f v = hsv_to_rgb(c.h, c.s, c.v, 0.25f);
    EXPECT_NEAR(v[0], c.r, 1e-4) << c.h;
    EXPECT_NEAR(v[1], c.g, 1e-4) << c.h;
    EXPECT_NEAR(v[2], c.b, 1e-4) << c.h;
    EXPECT_EQ(v[3], 0.25f);
  }
}

class PerfGraphLayout : public testing::Test
{
protected:
  uint32_t frame[100] = {}, update[100] = {};
  int32_t gpu[100];
  DynArray<UpdateStatsTracker*> trackers;
  UpdateStatsTracker a{"script"}, b{"fluid"};
  PerfGraphInput in;
  Recorder rec;

  void SetUp() override
  {
    for (int i = 0; i < 100; i++) {
      frame[i] = 20000;
      update[i] = 3000;
      gpu[i] = -1;
      a.samples[i] = 1000;
      b.samples[i] = 500;
    }
    trackers.push_back(&a);
    trackers.push_back(&b);
    in = PerfGraphInput{1280, 720, 16, 50000, frame, 10, update, 30, gpu, &trackers, 58, 512u << 20};
  }
  // The bar of frame sample i (the right-edge graph draws 100 of them after
  // its background and budget band).
  const Rect& frameBar(int i) const { return rec.rects[2 + i]; }
};

TEST_F(PerfGraphLayout, FrameBarsAgainstTheBudget)
{
  frame[3] = 60000;   // over the tick: red
  frame[7] = 250000;  // over twice the tick: clipped at the top
  frame[9] = 250000;  // equal to the maximum too, but not labelled
  layout_perf_graph(in, rec);
  // b = 6, G = 180, x0 = 1280 - 600; band up to half the graph.
  const Rect& bg = rec.rects[0];
  EXPECT_EQ(bg.x0, 680);
  EXPECT_EQ(bg.x1, 1280);
  EXPECT_EQ(bg.y1, 180);
  EXPECT_EQ(bg.c, 0x40000000u);
  EXPECT_EQ(rec.rects[1].y1, 90);
  EXPECT_EQ(rec.rects[1].c, 0x20008000u);

  EXPECT_EQ(frameBar(0).x0, 680 + 3 + 1);
  EXPECT_EQ(frameBar(0).x1 - frameBar(0).x0, 6);
  EXPECT_EQ(frameBar(0).y1, 20000 * 180 / 100000);
  EXPECT_EQ(D3dColor(frameBar(0).c).r(), 0);
  EXPECT_GT(D3dColor(frameBar(0).c).g(), 0);
  EXPECT_EQ(D3dColor(frameBar(3).c).g(), 0);
  EXPECT_GT(D3dColor(frameBar(3).c).r(), 0);
  EXPECT_EQ(frameBar(7).y1, 180);
  // The oldest sample (at the ring position) is darkest, the newest brightest.
  EXPECT_EQ(frameBar(10).c, 0xFF000000u);
  EXPECT_GT(D3dColor(frameBar(8).c).g(), D3dColor(frameBar(11).c).g());

  EXPECT_EQ(rec.count("250000"), 2);  // the label and the panel's maximum
  EXPECT_EQ(rec.find("250000", frameBar(9).x0 + 2, 180), nullptr);
  const Text* label = rec.find("250000", frameBar(7).x0 + 2, 180);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->ax, 1);
  EXPECT_EQ(label->ay, -1);
}

TEST_F(PerfGraphLayout, TrackerTableAndStackedBars)
{
  update[5] = 1200;  // less than the trackers' sum: "other" is 0 there, not negative
  a.samples[0] = 1050;
  layout_perf_graph(in, rec);
  // Rows hang from (2 + 3) * 16 + 180 = 260, one line apart: the trackers,
  // "other", "total".
  const Text* script = rec.find("script", 240, 260);
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(script->ax, -1);
  EXPECT_EQ(script->c, uint32_t(vec4f_to_color(hsv_to_rgb(0.3f, 1.f, 1.f, 1.f))));
  EXPECT_NE(rec.find("fluid", 240, 244), nullptr);
  EXPECT_NE(rec.find("other", 240, 228), nullptr);
  EXPECT_NE(rec.find("total", 240, 212), nullptr);
  EXPECT_NE(rec.find("1050", 112, 260), nullptr);  // script's maximum at 7 L
  EXPECT_NE(rec.find("1001", 224, 260), nullptr);  // its average (100050 + 50) / 100 at 14 L
  EXPECT_EQ(a.max, 1050);
  EXPECT_EQ(a.avg, 1001);
  EXPECT_EQ(b.avg, 500);
  EXPECT_NE(rec.find("1500", 112, 228), nullptr);   // other: 3000 - 1000 - 500 (1450 at slot 0)
  EXPECT_NE(rec.find("3000", 112, 212), nullptr);   // total maximum

  // Stacked bars of slot 1 (b = 6, G = 180, M = 3000): other from 0 to 90,
  // then fluid (the last tracker) on it to 120, then script to 180.
  std::vector<Rect> slot1;
  for (const Rect& r : rec.rects)
    if (r.x0 == 6 && r.x1 == 12) slot1.push_back(r);
  ASSERT_EQ(slot1.size(), 3u);
  EXPECT_EQ(slot1[0].y0, 0);
  EXPECT_EQ(slot1[0].y1, 90);
  EXPECT_EQ(slot1[1].y0, 90);
  EXPECT_EQ(slot1[1].y1, 120);
  EXPECT_EQ(slot1[2].y1, 180);
  for (const Rect& r : rec.rects)
    EXPECT_LE(r.y0, r.y1);
}

TEST_F(PerfGraphLayout, SummaryPanelShowsGpuRowsOnlyWithAReading)
{
  layout_perf_graph(in, rec);
  EXPECT_NE(rec.find("FPS", 1280 - 176, 720), nullptr);
  EXPECT_NE(rec.find("58", 1280, 720), nullptr);
  EXPECT_NE(rec.find("20000", 1280, 720 - 24), nullptr);
  EXPECT_NE(rec.find("3000", 1280, 720 - 80), nullptr);
  EXPECT_NE(rec.find("512 MB", 1280, 720 - 136), nullptr);
  EXPECT_EQ(rec.count("GPU\nload"), 0);

  for (int i = 0; i < 100; i++) gpu[i] = i < 50 ? 20 : 40;
  Recorder with_gpu;
  layout_perf_graph(in, with_gpu);
  EXPECT_NE(with_gpu.find("GPU\nload", 1280 - 176, 720 - 184), nullptr);
  EXPECT_NE(with_gpu.find(" 40%", 1280, 720 - 160), nullptr);
  EXPECT_NE(with_gpu.find(" 30%", 1280, 720 - 176), nullptr);
  EXPECT_NE(with_gpu.find(" 20%", 1280, 720 - 192), nullptr);
}
}  // namespace
