#include "engine/timer.h"

#include <ctime>

int64_t ref_time_freq = 10000000;
double ref_time_inv_freq = 1.0 / 10000000.0;

static int64_t (*time_source)() = nullptr;

static int64_t monotonic_100ns()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100;
}

void init_timer()
{
  ref_time_freq = 10000000;
  ref_time_inv_freq = 1.0 / (double)ref_time_freq;
}

int64_t get_ref_time() { return time_source ? time_source() : monotonic_100ns(); }
int64_t get_ref_time_freq() { return ref_time_freq; }
int get_time_msec(int64_t ticks) { return (int)(ticks * 1000 / ref_time_freq); }
int get_time_usec(int64_t ticks) { return (int)(ticks * 1000000 / ref_time_freq); }
float get_time_sec(int64_t ticks) { return (float)((double)ticks * ref_time_inv_freq); }
int64_t msec_to_ref_time(int64_t msec) { return msec * ref_time_freq / 1000; }
void set_ref_time_source(int64_t (*source)()) { time_source = source; }
