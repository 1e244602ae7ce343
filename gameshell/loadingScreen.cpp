// The loading screen the engine's splash frame draws: the last grabbed scene
// (or a dark blue field) behind the splash text in the GUI font, and a
// progress bar of two rounded boxes. Until the plug-in has loaded the GUI
// font it is the engine's plain splash.
#include "gameshell/gameMain.h"
#include "gameshell/gameobjExports.h"

#include "engine/d3d_render.h"
#include "engine/font.h"
#include "engine/gameShellServices.h"
#include "engine/gui/guiDraw.h"
#include "engine/text/distFont.h"

#include <cmath>

void draw_loading_screen()
{
  if (!default_font.texture) {
    set_back_buffer_target();
    draw_splash();
    return;
  }
  set_back_buffer_target();
  start_dist_font_render();
  gui_batch.clear();
  const float w = float(d3d_wd), h = float(d3d_ht);

  if (loading_image_state.texture) {
    set_blend_none();
    render_ui_image(gui_batch, loading_image_state, make4f(-0.25f, -0.25f, w - 0.25f, h - 0.25f), 0xFFFFFFFFu,
                    make4f(0.f, 0.f, 1.f, 1.f));
    gui_batch.render();
    gui_batch.clear();
    set_blend_prealpha();
  } else {
    clear_view_color(0x00001133u);
  }

  default_font.renderText(gui_batch, make4f(0.f, 0.9f * h, w, h), DIST_ALIGN_TOP, 0xFFCCCCCCu, 0.03f * h,
                          splash_text.c_str(), -1, 0.f, 2.f, 2.f, 4.f, 0x88000000u, nullptr);

  if (splash_progress >= 0.f) {
    const int bar_w = d3d_wd / 4;
    const float left = float((d3d_wd - bar_w) / 2);
    const float th = float(lrintf(0.03f * h));
    const float top = float(lrintf(0.9f * h + 1.5f * th));
    const float r = 0.015f * h;
    const vec4f radii = make4f(r, r, r, r);
    render_rounded_box(gui_batch, make4f(left, top, left + float(bar_w), top + th), radii, 0x88000000u, 0.f, 0.f, 0.f,
                       0.f, 0x88000000u, 0.003f * h);
    const float done = splash_progress < 1.f ? splash_progress : 1.f;  // never past the bar's end
    render_rounded_box(gui_batch, make4f(left, top, left + done * float(bar_w), top + th), radii,
                       0xFFCCCCCCu, 0.f, 0.f, 0.f, 0.f, 0u, 0.f);
  }
  gui_batch.render();
  end_dist_font_render();
}
