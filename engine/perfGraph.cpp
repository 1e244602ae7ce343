#include "engine/perfGraph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/font.h"
#include "engine/updateStats.h"

static const int N = PERF_RING_SIZE;
static const D3dColor BACKGROUND = 0x40000000u;
static const D3dColor WHITE = 0xFFFFFFFFu;

vec4f hsv_to_rgb(float h, float s, float v, float a)
{
  if (s <= 0.f) return make4f(v, v, v, a);
  h -= floorf(h);
  float x = h * 6.f;
  int sector = int(x);
  if (sector > 5) sector = 5;  // h just below 1 rounds up to 6
  float f = x - float(sector);
  float p = v * (1.f - s), q = v * (1.f - s * f), t = v * (1.f - s * (1.f - f));
  switch (sector) {
    case 0: return make4f(v, t, p, a);
    case 1: return make4f(q, v, p, a);
    case 2: return make4f(p, v, t, a);
    case 3: return make4f(p, q, v, a);
    case 4: return make4f(t, p, v, a);
    default: return make4f(v, p, q, a);
  }
}

template <typename T>
static RingStats stats_of(const T* ring)
{
  RingStats s = {0, ring[0], ring[0]};
  for (int i = 0; i < N; i++) {
    s.sum += ring[i];
    s.min = std::min<int64_t>(s.min, ring[i]);
    s.max = std::max<int64_t>(s.max, ring[i]);
  }
  return s;
}
RingStats ring_stats(const uint32_t* ring) { return stats_of(ring); }
RingStats ring_stats(const int32_t* ring) { return stats_of(ring); }

static float age(int i, int pos) { return float(((i - pos) % N + N) % N) / float(N); }

static void print(PerfGraphCanvas& c, int x, int y, int ax, int ay, D3dColor col, const char* fmt, int64_t v)
{
  char buf[32];
  snprintf(buf, sizeof(buf), fmt, int(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, v))));
  c.text(buf, x, y, ax, ay, col);
}

// The frame-time bars against the tick budget, on the right edge.
static void ring_bar_graph(const PerfGraphInput& in, PerfGraphCanvas& c, const uint32_t* ring, int pos,
                           bool right_side)
{
  const int b = std::max(1, in.width / 200);
  const int G = in.height / 4;
  const int x0 = right_side ? in.width - N * b : 0;
  c.rect(x0, 0, x0 + N * b, G, BACKGROUND);
  const int64_t F = std::max<int64_t>(1, int64_t(in.tick_usec) * 2);
  const int64_t threshold = in.tick_usec;
  if (threshold <= F) c.rect(x0, 0, x0 + N * b, int(G * threshold / F), 0x20008000u);
  const RingStats st = ring_stats(ring);
  bool labelled = false;
  for (int i = 0; i < N; i++) {
    const float t = age(i, pos);
    const int h = int(std::min<int64_t>(int64_t(ring[i]) * G / F, G));
    const vec4f col = int64_t(ring[i]) < threshold ? make4f(0.f, 0.5f * t, 0.f, 1.f) : make4f(0.5f * t, 0.f, 0.f, 1.f);
    const int left = x0 + b / 2 + 1 + i * b;
    c.rect(left, 0, left + b, h, vec4f_to_color(col));
    if (!labelled && ring[i] == st.max) {
      labelled = true;
      print(c, left + (b - 2) / 2, std::max(h, G / 2), right_side ? 1 : -1, -1, WHITE, "%d", ring[i]);
    }
  }
}

// The trackers' stacked bars and table, on the left edge.
static void tracker_graph(const PerfGraphInput& in, PerfGraphCanvas& c)
{
  static UpdateStatsTracker other("other");  // private: never registered
  const DynArray<UpdateStatsTracker*>& list = *in.trackers;
  const int n = list.num;

  float h = 0.3f;
  for (int i = 0; i < n; i++) {
    list[i]->colour = vec4f_to_color(hsv_to_rgb(h, 1.f, 1.f, 1.f));
    h += 0.618034f;
    h -= floorf(h);
  }
  other.colour = vec4f_to_color(hsv_to_rgb(h, 1.f, 1.f, 1.f));

  // "other" is the tick's time no tracker accounts for (never below zero:
  // nested measurements can add up to more than the tick).
  for (int j = 0; j < N; j++) {
    int64_t rest = in.update_ring[j];
    for (int i = 0; i < n; i++)
      rest -= list[i]->samples[j];
    other.samples[j] = uint32_t(std::max<int64_t>(0, rest));
  }
  for (int i = 0; i <= n; i++) {
    UpdateStatsTracker* t = i < n ? list[i] : &other;
    RingStats s = ring_stats(t->samples);
    t->avg = s.avg();
    t->max = int(s.max);
  }

  const int L = in.line;
  int y = (n + 3) * L + in.height / 4;
  for (int i = 0; i <= n; i++, y -= L) {
    UpdateStatsTracker* t = i < n ? list[i] : &other;
    print(c, 7 * L, y, 1, 1, t->colour, "%d", t->max);
    print(c, 14 * L, y, 1, 1, t->colour, "%d", t->avg);
    c.text(t->name.c_str(), 15 * L, y, -1, 1, t->colour);
  }
  const RingStats total = ring_stats(in.update_ring);
  print(c, 7 * L, y, 1, 1, WHITE, "%d", total.max);
  print(c, 14 * L, y, 1, 1, WHITE, "%d", total.avg());
  c.text("total", 15 * L, y, -1, 1, WHITE);

  const int b = std::max(1, in.width / 200);
  const int G = in.height / 4;
  c.rect(0, 0, N * b, G, BACKGROUND);
  const int64_t M = std::max<int64_t>(1, total.max);
  for (int j = 0; j < N; j++) {
    const float t = age(j, in.update_pos);
    auto part = [&](UpdateStatsTracker* tr, int64_t from, int64_t to) {
      vec4f col = color_to_vec4f(tr->colour) * make4f(t, t, t, 1.f);
      col[3] = 1.f;
      c.rect(j * b, int(from * G / M), (j + 1) * b, int(to * G / M), vec4f_to_color(col));
    };
    int64_t sum = other.samples[j];
    part(&other, 0, sum);
    for (int i = n - 1; i >= 0; i--) {
      int64_t next = sum + list[i]->samples[j];
      part(list[i], sum, next);
      sum = next;
    }
  }
}

static void summary_panel(const PerfGraphInput& in, PerfGraphCanvas& c)
{
  const int W = in.width, H = in.height, L = in.line;
  const int lx = W - 11 * L;
  c.rect(W - 12 * L, H - 14 * L, W, H, BACKGROUND);
  const RingStats gpu = ring_stats(in.gpu_ring);
  c.text("FPS", lx, H, -1, 1, WHITE);
  c.text("frame\ntime", lx, H - 3 * L, -1, 0, WHITE);
  c.text("update\ntime", lx, H - 13 * L / 2, -1, 0, WHITE);
  c.text("tex\nmem", lx, H - 9 * L, -1, 0, WHITE);
  if (gpu.max >= 0) c.text("GPU\nload", lx, H - 23 * L / 2, -1, 0, WHITE);

  print(c, W, H, 1, 1, WHITE, "%d", in.fps);
  const RingStats frame = ring_stats(in.frame_ring);
  print(c, W, H - 3 * L / 2, 1, 1, WHITE, "%02d", frame.max);
  print(c, W, H - 5 * L / 2, 1, 1, WHITE, "%02d", frame.avg());
  print(c, W, H - 7 * L / 2, 1, 1, WHITE, "%02d", frame.min);
  const RingStats tick = ring_stats(in.update_ring);
  print(c, W, H - 5 * L, 1, 1, WHITE, "%02d", tick.max);
  print(c, W, H - 6 * L, 1, 1, WHITE, "%02d", tick.avg());
  print(c, W, H - 7 * L, 1, 1, WHITE, "%02d", tick.min);
  print(c, W, H - 17 * L / 2, 1, 1, WHITE, "%3d MB", int64_t(in.free_texmem >> 20));
  if (gpu.max >= 0) {
    print(c, W, H - 10 * L, 1, 1, WHITE, "%3d%%", gpu.max);
    print(c, W, H - 11 * L, 1, 1, WHITE, "%3d%%", gpu.avg());
    print(c, W, H - 12 * L, 1, 1, WHITE, "%3d%%", gpu.min);
  }
}

void layout_perf_graph(const PerfGraphInput& in, PerfGraphCanvas& canvas)
{
  ring_bar_graph(in, canvas, in.frame_ring, in.frame_pos, true);
  tracker_graph(in, canvas);
  summary_panel(in, canvas);
}

namespace
{
class ScreenCanvas : public PerfGraphCanvas
{
public:
  void rect(int x0, int y0, int x1, int y1, D3dColor color) override
  {
    if (x1 > x0 && y1 > y0) draw_rect(x0, y0, x1, y1, color);
  }
  void text(const char* text, int x, int y, int ax, int ay, D3dColor color) override
  {
    draw_text(text, -1, x, y, ax, ay, color);
  }
};
}  // namespace

void draw_perf_graph()
{
  push_font_settings();
  FontSettings fs;
  get_font_settings(fs);
  fs.lineGap = 0;
  fs.charSpacing = 0;
  fs.scale = std::max(1, d3d_ht / (bitmap_font.cellH * 40));
  set_font_settings(fs);

  PerfGraphInput in;
  in.width = d3d_wd;
  in.height = d3d_ht;
  in.line = bitmap_font.cellH * fs.scale;
  in.tick_usec = get_update_period_usec();
  in.frame_ring = frame_time_ring;
  in.frame_pos = frame_ring_index;
  in.update_ring = update_time_ring;
  in.update_pos = update_ring_index;
  in.gpu_ring = gpu_load_ring;
  in.trackers = &update_stats_trackers;
  in.fps = cur_fps;
  in.free_texmem = get_free_texmem();
  ScreenCanvas canvas;
  layout_perf_graph(in, canvas);

  pop_font_settings();
}
