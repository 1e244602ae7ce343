// The reference timer: a monotonic 64-bit counter in units of 100 ns
// (frequency 10^7), never zero-based, so its first reading can seed the
// shared random state. init_timer() runs first at start-up; main thread.
#pragma once

#include <cstdint>

extern int64_t ref_time_freq;
extern double ref_time_inv_freq;

void init_timer();
int64_t get_ref_time();
int64_t get_ref_time_freq();
int get_time_msec(int64_t ticks);
int get_time_usec(int64_t ticks);
float get_time_sec(int64_t ticks);
int64_t msec_to_ref_time(int64_t msec);

// Tests replace the clock with their own; null restores the real one.
void set_ref_time_source(int64_t (*source)());
