// A whole 3D frame on the headless GL device: the land renderer, the sky, the
// post effects and the scene image, made once per test suite at the quality
// the suite asks for, over a program folder holding the shipped shaders, a
// fixed sky script and uniform stand-ins for the texture files. The world is
// a fixed generated grid (simplex hills, a lake, a lava pool) seen from a
// fixed camera that shows land, water, lava, the horizon and the sky.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debugDraw.h"
#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "engine/random.h"
#include "land_render_doubles.h"
#include "land_test_fixture.h"
#include "scene_doubles.h"
#include "world/hmGen.h"
#include "world/noise.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/sky.h"

// Daylight that does not change with the sun's height.
inline const char* scene_test_sky_script()
{
  return "function get_sky_colors(zenith) {\n"
         "  return [[0.70, 0.80, 0.93], [-0.50, -0.36, -0.07], [0.55, 0.40, 0.22], [1.25, 1.20, 1.08],\n"
         "          [0.55, 0.18, 0], [0.26, 0.25, 0.20], [28, 0.02, 0], [0.65, 0.80, 1.00],\n"
         "          [2.2, 0.020, 0.65], [3.0, 0.022, 0]]\n"
         "}\n";
}

// Rolling hills from fixed noise, coloured by height, with a lake of water
// where the land is low round (96, 150) and a pool of lava round (150, 120).
inline void build_scene_test_world()
{
  using namespace HeightmapData;
  game_rnd_seed = 12345;
  reset();
  reseed_noise();
  addSimplexNoise(0.f, 14.f, 8, 4, 0.5f);
  for (int i = 0; i < HMAP_CELLS; ++i) {
    float h = hmap[i];
    int g = 90 + int(h * 8.f);
    if (g > 200) g = 200;
    surface[i].color = 0xFF000000u | (uint32_t(60 + int(h * 4.f)) << 16) | (uint32_t(g) << 8) | 40u;
    surface[i].topColor = 0u;
    surface[i].bits = (surface[i].bits & ~uint32_t(SURF_GROUND_MASK)) | 1u;
    water[cell_z(i)][cell_x(i)] = Water{0.f, 0.f, 0.f, 0.f};
  }
  for (int z = 0; z < HMAP_SIZE; ++z)
    for (int x = 0; x < HMAP_SIZE; ++x) {
      int i = cell_index(x, z);
      float dl = float((x - 96) * (x - 96) + (z - 150) * (z - 150));
      if (dl < 24.f * 24.f) {
        hmap[i] -= 4.f * (1.f - dl / (24.f * 24.f));
        float level = 5.f;
        if (hmap[i] < level) water[z][x].amount = level - hmap[i];
      }
      float dv = float((x - 150) * (x - 150) + (z - 120) * (z - 120));
      if (dv < 6.f * 6.f) water[z][x].amount = -0.6f;
    }
  memcpy(target_hmap, hmap, sizeof(hmap));
  memcpy(tmpw, water, sizeof(WaterRow) * HMAP_SIZE);
  reset_fluid_surfaces();
  update_fluid_surfaces(0.05f);
}

// Above the lake's southern shore, looking north over the water toward the
// lava and the far hills, a little down, with the sky above.
inline Matrix44 scene_test_camera() { return scene_doubles::make_camera(make4f(100.f, 22.f, 112.f, 1.f), 0.45f, -0.12f); }

template <int QUALITY>
class SceneFixture : public GlDeviceTest
{
 protected:
  static TempAppDir assets;
  static int saved_quality;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    write_uniform_dds(assets.path("detail.dds"), 4, 0x80808080u);
    write_uniform_dds(assets.path("foam.dds"), 4, 0x80808080u);
    write_uniform_dds(assets.path("lava.dds"), 4, 0x80808080u);
    std::ofstream(assets.path("sky.nut"), std::ios::binary) << scene_test_sky_script();
    saved_quality = gfx_quality;
    gfx_quality = QUALITY;
    common_vb_writer.create(COMMON_VB_SIZE);
    land_doubles::reset();
    scene_doubles::reset();
    init_sky();
    init_land_render();
    init_post_effects();
    init_debug_vis();
    scene_image = create_screen_render_texture();
    if (QUALITY == 1) {
      deferred_final_shader = create_shader("dr_final.sh", nullptr);
      deferred_light_shader = create_shader("dr_calc_light.sh", nullptr);
      deferred_shadow_blur_shader = create_shader("dr_shadow_blur.sh", nullptr);
    }
    make_quarter_textures();
  }

  static void TearDownTestSuite()
  {
    release_quarter_textures();
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
    gfx_quality = saved_quality;
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }

  // The game shell's quarter-size textures, made again after a resize as its
  // device-reset hook does.
  static void make_quarter_textures()
  {
    release_quarter_textures();
    Texture* q[] = {&shadow_image, &shadow_blur_image, &gbuf0_quarter, &gbuf1_quarter};
    for (Texture* t : q) *t = create_render_texture(d3d_wd / 4, d3d_ht / 4, RT_A8R8G8B8);
  }
  static void release_quarter_textures()
  {
    Texture* q[] = {&shadow_image, &shadow_blur_image, &gbuf0_quarter, &gbuf1_quarter};
    for (Texture* t : q) {
      release_texture(*t);
      *t = nullptr;
    }
  }

  void SetUp() override
  {
    GlDeviceTest::SetUp();
    if (shadow_image && shadow_image->real_width != d3d_wd / 4) make_quarter_textures();
    land_doubles::reset();
    scene_doubles::reset();
    use_ppaa = false;
    use_postfx = true;
    build_scene_test_world();
    look_from(scene_test_camera());
  }

  void TearDown() override { use_ppaa = false; }

  static void look_from(const Matrix44& camera)
  {
    scene_doubles::camera_view = camera;
    camera_pos = camera_prev_pos = camera.row[3];
    land_doubles::camera_pos = camera.row[3];
  }

  // Resizes the device and remakes what the game shell's reset hook remakes.
  static void resize(int w, int h)
  {
    ASSERT_TRUE(resize_d3d(w, h, false, false));
    make_quarter_textures();
    invalidate_land_textures();
  }

  // The stencil the scene left, rows top-down.
  static std::vector<uint8_t> read_scene_stencil()
  {
    std::vector<uint8_t> s(size_t(d3d_wd) * d3d_ht, 0xEE);
    set_render_target(scene_image, 0, true);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, d3d_wd, d3d_ht, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, s.data());
    set_back_buffer_target();
    return s;
  }
};

template <int QUALITY>
TempAppDir SceneFixture<QUALITY>::assets;
template <int QUALITY>
int SceneFixture<QUALITY>::saved_quality = 0;
