// GPU load for the performance figures, read from the kernel's DRM sysfs
// file "gpu_busy_percent" of the first card that has one. Machines without
// it (software rendering among them) give no reading. Main thread only.
#pragma once

// True when a GPU-load source was found (or already open).
bool init_gpu_load_monitor();
void close_gpu_load_monitor();
// The current GPU activity in percent; false when there is no reading.
bool get_gpu_activity(int* percent);
