// Update trackers: named microsecond timers of the phases inside a tick (the
// plug-in's objects, the world script, the fluid simulation...). A tracker
// registers itself once in update_stats_trackers; the main loop stores every
// registered tracker's time of the last tick into its ring of samples at the
// update ring's position and resets the trackers before the next tick; the
// performance graph draws the rings. Measurements within one tick add up.
// The list holds pointers: a registered tracker must outlive the list's use
// (they are globals). Main thread only.
#pragma once

#include <cstdint>

#include "engine/color.h"
#include "engine/dynArray.h"
#include "engine/utils.h"

struct UpdateStatsTracker
{
  static const int NUM_SAMPLES = 100;

  int index;                       // position in the registered list, -1 until registered
  int64_t start;                   // timer reading at the start of the current measurement
  uint64_t accum;                  // timer ticks accumulated during the current tick
  uint32_t samples[NUM_SAMPLES];   // microseconds per tick, at the update ring's positions
  TempString<256> name;
  int avg, max;                    // filled by the performance graph when drawn
  D3dColor colour;

  explicit UpdateStatsTracker(const char* name);

  void reset() { accum = 0; }
  // samples[i] = accum in microseconds.
  void store(int i);
  // Registers the tracker when needed and marks the start of a measurement.
  void begin();
  // Adds the time since begin() to accum.
  void end();
};

extern DynArray<UpdateStatsTracker*> update_stats_trackers;

// Ignores null and trackers already in the list; otherwise the tracker's
// index becomes the list's count and it is appended.
void register_update_stats_tracker(UpdateStatsTracker* tracker);
inline void register_update_stats_tracker(UpdateStatsTracker& tracker) { register_update_stats_tracker(&tracker); }

// Per-tick operations of the main loop: store every registered tracker's
// accum at ring position ring_index, then reset them all.
void store_all_update_stats(int ring_index);
void reset_all_update_stats();

// Measures the enclosing scope into a tracker.
struct ScopedUpdateStats
{
  UpdateStatsTracker& tracker;
  explicit ScopedUpdateStats(UpdateStatsTracker& t) : tracker(t) { tracker.begin(); }
  ~ScopedUpdateStats() { tracker.end(); }
  ScopedUpdateStats(const ScopedUpdateStats&) = delete;
  ScopedUpdateStats& operator=(const ScopedUpdateStats&) = delete;
};
