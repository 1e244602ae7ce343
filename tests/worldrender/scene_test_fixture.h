// A whole 3D frame on the headless GL device: the land renderer, the sky, the
// post effects and the scene image, made once per test suite at the quality
// the suite asks for, over a program folder holding the shipped shaders, a
// fixed sky script and uniform stand-ins for the texture files. The world is
// a fixed generated grid (simplex hills, a lake, a lava pool) seen from a
// fixed camera that shows land, water, lava, the horizon and the sky.
#pragma once

#include <sys/stat.h>

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
#include "land_render_doubles.h"
#include "land_test_fixture.h"
#include "scene_doubles.h"
#include "scene_renderer_rig.h"
#include "scene_test_world.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/sky.h"

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
    saved_quality = gfx_quality;
    ASSERT_TRUE(open_scene_renderer(assets, QUALITY));
  }

  static void TearDownTestSuite()
  {
    close_scene_renderer();
    gfx_quality = saved_quality;
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }

  void SetUp() override
  {
    GlDeviceTest::SetUp();
    if (shadow_image && shadow_image->real_width != d3d_wd / 4) make_scene_quarter_textures();
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
  }

  // Resizes the device and remakes what the game shell's reset hook remakes.
  static void resize(int w, int h)
  {
    ASSERT_TRUE(resize_d3d(w, h, false, false));
    make_scene_quarter_textures();
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

// The high-quality frame at reference-picture size without fog, for tests
// that read the colours of what is drawn rather than the haze over them.
class FoglessHighQualityScene : public SceneFixture<1>
{
 protected:
  bool saved_fog = true;
  void SetUp() override
  {
    SceneFixture<1>::SetUp();
    resize(192, 108);
    saved_fog = use_fog;
    use_fog = false;
  }
  void TearDown() override
  {
    use_fog = saved_fog;
    SceneFixture<1>::TearDown();
    resize(GlDeviceTest::WIDTH, GlDeviceTest::HEIGHT);
  }

  // Two frames after two refreshes, so that both textures of every blended
  // pair hold the world as it is now.
  static void draw_frames()
  {
    for (int i = 0; i < 2; ++i) {
      invalidate_land_textures();
      render_scene(0.02f);
    }
  }
};
