// A device with the GUI's renderers (rounded boxes, images, the bitmap and
// the distance-field fonts and icons) and the build's generated font and
// icons in a program folder of the suite's own.
#pragma once

#include "gameshell/gameobjExports.h"

#include "engine/d3d_render.h"
#include "engine/dynVBWriter.h"
#include "engine/font.h"
#include "engine/gui/guiDraw.h"
#include "engine/text/distFont.h"
#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

#include <filesystem>
#include <string>

class GuiDeviceTest : public GlDeviceTest
{
protected:
  inline static TempAppDir assets;

  static void SetUpGuiSuite(int w, int h)
  {
    GlDeviceTest::SetUpTestSuite();
    assets.open();
    for (const char* name : {"ui_font.fnt", "ui_font.dds", "ui_icons.txt", "ui_icons.dds", "font.tga"})
      std::filesystem::create_symlink(std::string(QM_GENERATED_ASSETS) + "/" + name, assets.path(name));
    common_vb_writer.create(COMMON_VB_SIZE);
    init_font();
    init_rounded_box_render();
    init_ui_image_render();
    init_dist_fonts();
    init_dist_icons();
    resize_d3d(w, h, false, true);
  }
  static void TearDownGuiSuite()
  {
    default_font.clear();
    ui_icons.clear();
    close_ui_image_render();
    close_rounded_box_render();
    close_font();
    common_vb_writer.release();
    close_shaders();
    assets.close();
    GlDeviceTest::TearDownTestSuite();
  }
};
