// The headless device with a program folder of the shipped shaders, the
// shared dynamic buffer and a graphics quality, for the tests of the object
// and effect renderers (instanced meshes, shadow balls, the effects pass).
// A suite adds its own set-up through open_suite / close_suite.
#pragma once

#include <sys/stat.h>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/dynVBWriter.h"
#include "engine/mesh.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

template <int QUALITY>
class ObjectRenderTest : public GlDeviceTest
{
 protected:
  static TempAppDir assets;
  static int saved_quality;

  static void open_assets()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    mkdir(assets.path("cache").c_str(), 0755);
    saved_quality = gfx_quality;
    gfx_quality = QUALITY;
    common_vb_writer.create(COMMON_VB_SIZE);
  }
  static void close_assets()
  {
    common_vb_writer.release();
    free_all_meshes();
    close_shaders();
    gfx_quality = saved_quality;
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
  static void SetUpTestSuite() { open_assets(); }
  static void TearDownTestSuite() { close_assets(); }
};
template <int QUALITY>
TempAppDir ObjectRenderTest<QUALITY>::assets;
template <int QUALITY>
int ObjectRenderTest<QUALITY>::saved_quality;
