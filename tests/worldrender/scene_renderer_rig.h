// The 3D frame's renderers made and released as the game's start-up and
// shut-down do, over a program folder (gl/asset_dir.h) that receives the
// fixed sky script and mid-grey stand-ins for the texture files: the land
// renderer, the sky, the post effects, the debug visuals, the scene image,
// at quality 1 the deferred path's shaders, and the game shell's
// quarter-size textures. Shared by the scene tests and the frame benchmark;
// needs the device.
#pragma once

#include <sys/stat.h>

#include <fstream>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debugDraw.h"
#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "gl/asset_dir.h"
#include "land_render_doubles.h"
#include "scene_doubles.h"
#include "scene_test_world.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/sky.h"

inline void release_scene_quarter_textures()
{
  Texture* q[] = {&shadow_image, &shadow_blur_image, &gbuf0_quarter, &gbuf1_quarter};
  for (Texture* t : q) {
    release_texture(*t);
    *t = nullptr;
  }
}

// Made again after a resize, as the game shell's device-reset hook does.
inline void make_scene_quarter_textures()
{
  release_scene_quarter_textures();
  Texture* q[] = {&shadow_image, &shadow_blur_image, &gbuf0_quarter, &gbuf1_quarter};
  for (Texture* t : q) *t = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
}

// Sets gfx_quality; false when a stand-in file cannot be written.
inline bool open_scene_renderer(TempAppDir& assets, int quality)
{
  mkdir(assets.path("cache").c_str(), 0755);
  for (const char* name : {"detail.dds", "foam.dds", "lava.dds"})
    if (!write_flat_dds(assets.path(name).c_str(), 4, 0x80808080u)) return false;
  std::ofstream(assets.path("sky.nut"), std::ios::binary) << scene_test_sky_script();
  gfx_quality = quality;
  common_vb_writer.create(COMMON_VB_SIZE);
  land_doubles::reset();
  scene_doubles::reset();
  init_sky();
  init_land_render();
  init_post_effects();
  init_debug_vis();
  scene_image = create_screen_render_texture();
  if (quality == 1) {
    deferred_final_shader = create_shader("dr_final.sh", nullptr);
    deferred_light_shader = create_shader("dr_calc_light.sh", nullptr);
    deferred_shadow_blur_shader = create_shader("dr_shadow_blur.sh", nullptr);
  }
  make_scene_quarter_textures();
  return true;
}

// Everything open_scene_renderer made, and every shader.
inline void close_scene_renderer()
{
  release_scene_quarter_textures();
  release_texture(scene_image);
  scene_image = nullptr;
  Shader** shaders[] = {&deferred_final_shader, &deferred_light_shader, &deferred_shadow_blur_shader};
  for (Shader** s : shaders) {
    destroy_shader(*s);
    *s = nullptr;
  }
  close_debug_vis();
  close_post_effects();
  close_land_render();
  close_sky();
  common_vb_writer.release();
  close_shaders();
}
