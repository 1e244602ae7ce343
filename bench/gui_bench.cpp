// One frame of a GUI screen of 500 elements on the processor: the plug-in's
// boxes under the common style (20 panels of 24 buttons), restyled, laid out
// and drawn into the GUI batch (the batch's vertices written; handing them
// to GL is not part of it). "hover": the pointer moves to another button,
// so two buttons and their panel are restyled; "restyle_all": every element
// is restyled (a style change). Reported as processor time per frame.
#include <benchmark/benchmark.h>

#include "engine/d3d_render.h"
#include "gameobj/guiWidgets.h"
#include "gameshell/gameobjExports.h"

// What the plug-in's widgets take from the game, without the game.
GuiStyle common_style, spells_style, tooltip_style;
RenderBatch gui_batch(32768 * 20);
DistFont default_font;  // never loaded here: labels take the fallback path
void register_uni_viewer() {}

namespace
{
struct Screen500
{
  BaseGuiScreen screen;
  DynArray<GuiBox*> buttons;

  Screen500()
  {
    d3d_wd = 1280;
    d3d_ht = 720;
    init_gui_styles();
    screen.style = &common_style;
    GuiBox* root = new_gui_box(nullptr, 0);
    screen.root = root;
    for (int p = 0; p < 20; p++) {
      GuiBox* panel = new_gui_box(root, 1u << GF_PANEL);
      panel->stack = true;
      panel->centreX = false;
      set_gui_prop<6>(panel, 250.f, true);
      set_element_offsets(panel, make4f(float(p % 5) * 260.f, float(p / 5) * 250.f, 0, 0), true);
      for (int i = 0; i < 24; i++) {
        GuiBox* b = new_gui_box(panel, (1u << GF_ITEM) | (1u << GF_BUTTON) | (1u << GF_TIP), "Button");
        set_gui_prop<7>(b, 8.f, true);
        set_element_text(b, "tooltip", true);
        buttons.push_back(b);
      }
    }
    frame();
  }
  ~Screen500()
  {
    delete screen.root;
    screen.root = nullptr;
    common_style.removeAllSheets();
    tooltip_style.removeAllSheets();
  }
  void frame()
  {
    screen.restyle();
    begin_gui_pass();  // empties the boxes' and the labels' batches
    static_cast<GuiBox*>(screen.root)->draw(gui_batch, 0.016f);
  }
};

void BM_GuiFrameHover(benchmark::State& state)
{
  Screen500 s;
  int n = 0;
  for (auto _ : state) {
    bool on = true, off = false;
    set_element_hover(s.buttons[n % s.buttons.num], &off, false);
    n++;
    set_element_hover(s.buttons[n % s.buttons.num], &on, false);
    s.frame();
    benchmark::DoNotOptimize(gui_batch.entries.num);
  }
  state.counters["elements"] = double(s.buttons.num + 21);
}
BENCHMARK(BM_GuiFrameHover)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_GuiFrameRestyleAll(benchmark::State& state)
{
  Screen500 s;
  for (auto _ : state) {
    s.screen.root->needRestyle = true;
    s.frame();
    benchmark::DoNotOptimize(gui_batch.entries.num);
  }
}
BENCHMARK(BM_GuiFrameRestyleAll)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
}  // namespace
