// The world map: a 512 x 512 top view of the whole wrapping world (two map
// pixels per cell), redrawn on the GPU after every full land refresh: the
// surface colours, then water and lava blended over them, then the shading
// from the latest normals (low quality) or aperture (high quality)
// multiplied in. Map pixel k lies at cell coordinate k / 2.
// The plug-in draws HeightmapRenderer::mapTex on its map screens.
// Main thread only; needs the device and the land renderer's textures.
#pragma once

#include "worldrender/hmRender.h"

// Made and released by init_land_render / close_land_render. Fatal on failure.
void init_world_map_render();
void close_world_map_render();
// Redraws mapTex from the land textures of the refresh that has just run.
void update_world_map();

// Fluid quads of the last redraw: rows 0..253, and rows 254..255 drawn apart.
struct WorldMapStats
{
  int main_quads, last_rows_quads;
  int fluid_draws;  // draw calls of the fluid pass (0 when the world is dry)
};
extern WorldMapStats world_map_stats;
