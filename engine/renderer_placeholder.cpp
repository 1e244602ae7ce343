// Stand-ins for the renderer's resource modules (bitmap font, meshes,
// GPU-load monitor) until they exist; each does nothing.
#include "engine/debug.h"

bool init_gpu_load_monitor() { return false; }
void close_gpu_load_monitor() {}
int get_gpu_activity() { return -1; }
