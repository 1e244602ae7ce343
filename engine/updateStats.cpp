#include "engine/updateStats.h"

#include <cstring>

#include "engine/timer.h"

DynArray<UpdateStatsTracker*> update_stats_trackers;

UpdateStatsTracker::UpdateStatsTracker(const char* n) : index(-1), start(0), accum(0), name(n), avg(0), max(0), colour(0)
{
  memset(samples, 0, sizeof(samples));
}

void UpdateStatsTracker::store(int i)
{
  if (i < 0 || i >= NUM_SAMPLES) return;
  // 64-bit arithmetic: a phase that ran for minutes (a debugger stop) must
  // not wrap into a small value.
  uint64_t freq = uint64_t(get_ref_time_freq());
  uint64_t us = freq ? (unsigned __int128)accum * 1000000u / freq : 0;
  samples[i] = us > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(us);
}

void UpdateStatsTracker::begin()
{
  if (index < 0) register_update_stats_tracker(this);
  start = get_ref_time();
}

void UpdateStatsTracker::end()
{
  int64_t now = get_ref_time();
  if (now > start) accum += uint64_t(now - start);
}

void register_update_stats_tracker(UpdateStatsTracker* tracker)
{
  if (!tracker || update_stats_trackers.find(tracker) >= 0) return;
  tracker->index = update_stats_trackers.num;
  update_stats_trackers.push_back(tracker);
}

void store_all_update_stats(int ring_index)
{
  for (UpdateStatsTracker* t : update_stats_trackers) t->store(ring_index);
}

void reset_all_update_stats()
{
  for (UpdateStatsTracker* t : update_stats_trackers) t->reset();
}
