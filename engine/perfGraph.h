// The performance overlay: where the time of every tick and frame goes. It
// draws the main loop's rings of the last 100 frame and tick times and GPU
// loads (app.h) and the update trackers' rings (updateStats.h): a bar graph
// of frame times at the right edge against the tick budget, stacked tracker
// bars and a table of their maxima and averages at the left edge, and a
// summary panel at the top right. Integer layout, y upward from the bottom,
// one unit L = one text line of the font scaled to about a fortieth of the
// screen's height. Main thread only.
#pragma once

#include <cstdint>

#include "engine/color.h"
#include "engine/dynArray.h"

struct UpdateStatsTracker;

// A colour of hue, saturation and value in 0..1 (the hue taken modulo 1);
// saturation 0 gives the grey (v, v, v).
vec4f hsv_to_rgb(float h, float s, float v, float a);

// Draws the overlay between start_draw_text() and end_draw_text().
void draw_perf_graph();

// ---- the layout, apart from the drawing, so that it can be checked ----

// What the overlay draws from.
struct PerfGraphInput
{
  int width, height;  // screen size in pixels
  int line;           // L: one text line in pixels
  int tick_usec;      // the tick period
  const uint32_t* frame_ring;  // 100 samples each
  int frame_pos;
  const uint32_t* update_ring;
  int update_pos;
  const int32_t* gpu_ring;
  const DynArray<UpdateStatsTracker*>* trackers;
  int fps;
  unsigned free_texmem;  // bytes
};

// Where the drawing goes: solid rectangles (pixels x0..x1-1 by y0..y1-1) and
// texts placed as draw_text() places them.
class PerfGraphCanvas
{
public:
  virtual ~PerfGraphCanvas() {}
  virtual void rect(int x0, int y0, int x1, int y1, D3dColor color) = 0;
  virtual void text(const char* text, int x, int y, int align_x, int align_y, D3dColor color) = 0;
};

struct RingStats
{
  int64_t sum;
  int64_t min, max;
  int avg() const { return int((sum + 50) / 100); }
};
RingStats ring_stats(const uint32_t* ring);
RingStats ring_stats(const int32_t* ring);

// Lays the whole overlay out onto the canvas. Fills the trackers' avg, max
// and colour.
void layout_perf_graph(const PerfGraphInput& in, PerfGraphCanvas& canvas);
