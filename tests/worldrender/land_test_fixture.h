// A land renderer on the headless GL device, made once per test suite at the
// quality the suite asks for, over a program folder holding the shipped
// shaders and small uniform stand-ins for the texture files (so pixel
// values do not depend on the generated art). Helpers read whole render
// textures back and reset the world grid between tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"
#include "land_render_doubles.h"
#include "world/heightmapData.h"
#include "worldrender/fluidSurface.h"
#include "worldrender/hmMapRender.h"
#include "worldrender/hmRender.h"

// A one-level A8R8G8B8 DDS file of one colour.
inline void write_uniform_dds(const std::string& path, int size, uint32_t argb)
{
  ASSERT_TRUE(write_flat_dds(path.c_str(), size, argb)) << path;
}

// Whole render texture as rows top-down: 32-bit pixels (0xAARRGGBB for
// colour targets, float bits for R32F).
inline std::vector<uint32_t> read_texture(Texture tex)
{
  int pitch = 0;
  const uint8_t* p = (const uint8_t*)read_render_texture(tex, &pitch);
  std::vector<uint32_t> out;
  if (!p) {
    ADD_FAILURE() << "render texture cannot be read";
    return out;
  }
  const int w = tex->real_width, h = tex->real_height;
  out.resize(size_t(w) * h);
  for (int y = 0; y < h; ++y) memcpy(&out[size_t(y) * w], p + size_t(y) * pitch, size_t(w) * 4);
  end_read_render_texture(tex);
  return out;
}

inline int channel(uint32_t c, int shift) { return int((c >> shift) & 255); }

// Largest difference of the four 8-bit channels.
inline int color_distance(uint32_t a, uint32_t b)
{
  int d = 0;
  for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(channel(a, s) - channel(b, s)));
  return d;
}

template <int QUALITY>
class LandRenderFixture : public GlDeviceTest
{
 protected:
  static TempAppDir assets;
  static int saved_quality;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    // Mid-grey detail, foam and lava: the art's influence is neutral.
    write_uniform_dds(assets.path("detail.dds"), 4, 0x80808080u);
    write_uniform_dds(assets.path("foam.dds"), 4, 0x80808080u);
    write_uniform_dds(assets.path("lava.dds"), 4, 0x80808080u);
    saved_quality = gfx_quality;
    gfx_quality = QUALITY;
    land_doubles::reset();
    land_doubles::use_default_sky();
    HeightmapData::reset();
    init_land_render();
  }

  static void TearDownTestSuite()
  {
    land_cull_to_view = true;
    close_land_render();
    close_shaders();
    gfx_quality = saved_quality;
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }

  void SetUp() override
  {
    GlDeviceTest::SetUp();
    // Tests look at the meshes with views of their own: draw the whole disk.
    land_cull_to_view = false;
    land_doubles::reset();
    land_doubles::use_default_sky();
    HeightmapData::reset();
    // Both fluid grids dry and still.
    memset(HeightmapData::tmpw, 0, sizeof(HeightmapData::WaterRow) * HeightmapData::HMAP_SIZE);
    reset_fluid_surfaces();
  }

  // Runs the frame update with a full refresh, as the frame after a tick does.
  static void refresh(float t = 0.f)
  {
    invalidate_land_textures();
    update_land_render(t);
  }
};

template <int QUALITY>
TempAppDir LandRenderFixture<QUALITY>::assets;
template <int QUALITY>
int LandRenderFixture<QUALITY>::saved_quality = 0;
