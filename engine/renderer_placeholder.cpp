// Stand-ins for the renderer's resource modules (bitmap font, meshes, shader
// hot reload, GPU-load monitor) until they exist; each does nothing.
#include "engine/debug.h"

void init_font() {}
void close_font() {}
void free_all_meshes() {}
void reload_shaders(bool) {}
bool init_gpu_load_monitor() { return false; }
void close_gpu_load_monitor() {}
int get_gpu_activity() { return -1; }
