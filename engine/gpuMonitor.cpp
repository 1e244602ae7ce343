#include "engine/gpuMonitor.h"

#include <glob.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static char busy_file[512] = "";

bool init_gpu_load_monitor()
{
  if (busy_file[0]) return true;
  glob_t g;
  if (glob("/sys/class/drm/card*/device/gpu_busy_percent", 0, nullptr, &g) != 0) return false;
  bool found = false;
  for (size_t i = 0; i < g.gl_pathc && !found; ++i) {
    if (strlen(g.gl_pathv[i]) >= sizeof(busy_file)) continue;
    strcpy(busy_file, g.gl_pathv[i]);
    int p = 0;
    found = get_gpu_activity(&p);
    if (!found) busy_file[0] = 0;
  }
  globfree(&g);
  return found;
}

void close_gpu_load_monitor() { busy_file[0] = 0; }

bool get_gpu_activity(int* percent)
{
  if (!busy_file[0]) return false;
  FILE* f = fopen(busy_file, "r");
  if (!f) return false;
  int v = -1;
  bool ok = fscanf(f, "%d", &v) == 1 && v >= 0 && v <= 100;
  fclose(f);
  if (ok) *percent = v;
  return ok;
}
