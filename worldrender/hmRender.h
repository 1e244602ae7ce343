// The land, water, lava and horizon renderer: the GPU's picture of the
// 256 x 256 wrapping world grid.
//
// Textures of the grid (heights with fluid, normals, aperture at high quality,
// the two surface colours) are brought up to date only when the refresh flag
// is set: at start, by invalidate_land_textures (device reset, developer keys,
// menus) and by every world tick's update_fluid_surfaces. Heights and colours
// are copied into the textures whole; normals and aperture are computed on
// the GPU from the height texture. Normals and aperture are ping-pong pairs,
// so each frame blends the last two results by the frame fraction. A refresh
// redoes only what its inputs changed (an unchanged world gives the same
// textures, so nothing is redrawn), and everything when the textures may
// have lost their contents (start, device reset) or a pass's shader changed.
//
// Every frame update_land_render lays the land, fluid and horizon meshes out
// around the camera: a 256 x 256 vertex window centred on the camera cell in
// unwrapped integer coordinates (the wrap seam lies 128 cells away), drawn as
// a disk of radius 130 quads; the 64 x 64 cells round the camera are drawn as
// instanced 4 x 4 patches instead; house tiles (ground type 0) are never drawn
// as land but handed to the plug-in's render_building once per frame.
//
// The draws (render_land, render_lava, render_water, render_horizon) expect the
// scene's camera constants (VS c0-c7) and target state set by the scene passes.
// Textures and shown heights are exported to the plug-in under the
// HeightmapRenderer namespace. Main thread only; needs the device.
#pragma once

#include "engine/d3d_misc.h"
#include "world/heightmapData.h"

namespace HeightmapRenderer
{
extern Texture hmapTex;  // 256 x 256 R32F: height + |fluid| per cell
extern Texture normTex;  // 1024 x 1024: displayed normals, texel k at cell coordinate k / 4
extern Texture aperTex;  // 256 x 256: displayed aperture (high quality only, else null)
extern Texture colrTex;  // 256 x 256: surface colour per cell
extern Texture topcTex;  // 256 x 256: second (top) colour per cell
extern Texture mapTex;   // 512 x 512 world map (hmMapRender.h)
// Heights shown this frame (HeightmapData::morphHmap), index z * 256 + x.
extern float curh[HeightmapData::HMAP_CELLS];
}  // namespace HeightmapRenderer

// Builds every texture, buffer and shader (fatal on any failure), the world
// map and the fluid surfaces; closes first, so it may be called again.
void init_land_render();
void close_land_render();
// The next update_land_render rewrites every land texture and the world map.
void invalidate_land_textures();
bool land_textures_invalid();

// Once per frame before drawing; t = seconds since the last tick.
void update_land_render(float t);
void render_land(float t);  // t is not used
void render_lava(float f);
void render_water(float f);
void render_horizon();      // high quality only

// Region passes over cells [x0, x0 + nx) x [z0, z0 + nz); fatal assertions
// when the region is empty or leaves the grid. The normal and aperture passes
// swap their pair and write the region of the new current member.
void upload_land_heights(int x0, int z0, int nx, int nz);
void upload_land_colors(int x0, int z0, int nx, int nz);
void calc_land_normals(int x0, int z0, int nx, int nz);
void calc_land_aperture(int x0, int z0, int nx, int nz);
// dst := previous + (current - previous) * f over a size x size target.
void interpolate_land_textures(Texture dst, Texture previous, Texture current, float f, int size);

// The current member of each ping-pong pair (the latest result).
Texture current_land_normals();
Texture current_land_aperture();

// Leave out of the draws the parts of the land and fluid meshes that lie
// outside the widest view of the camera (on by default; off draws the whole
// disk, the same picture at a higher cost).
extern bool land_cull_to_view;

// Per-frame geometry counts (for tests and statistics).
struct LandRenderStats
{
  int camera_cell_x, camera_cell_z;  // window origin + 128
  int patches;        // instanced detail patches
  int land_quads;     // quads of the land grid drawn
  int water_quads, lava_quads;
  int horizon_quads;  // built once
  int horizon_drawn_quads;  // of those, the ones the last horizon draw sent
  int buildings;      // render_building calls this frame
  int visible_blocks; // of the 32 x 32 blocks of 8 x 8 quads, those in view
};
extern LandRenderStats land_render_stats;
