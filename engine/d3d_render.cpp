#include "engine/d3d_render.h"

int d3d_wd = 0, d3d_ht = 0;
