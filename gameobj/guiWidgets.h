// The plug-in's GUI building blocks on the engine's runtime: a box element
// that lays itself out from its slots and draws a rounded background, a
// label and its children; the selector and transition classes of our style
// sheets; the text drawer the boxes write their labels with; and the common
// style every menu screen uses.
//
// Slots a box reads (resolved values): 3 background colour, 10 border
// colour, 4 border width, 20 corner radii, 12 text colour, 11 text size,
// 5 padding {left, top, right, bottom}, 6 width, 7 height (0: fill), 19
// margins {left, top, right, bottom}; lengths in layout units (a thousandth
// of the screen height). Slot 0 is the tooltip text.
// Main thread only.
#pragma once

#include "engine/gui/guiScreen.h"
#include "engine/renderBatch.h"
#include "engine/utils.h"

// Class flags our selectors test (flag 10 is the engine's slider thumb).
enum
{
  GF_PANEL = 0,
  GF_TITLE = 1,
  GF_ITEM = 2,
  GF_FOCUS = 3,
  GF_TIP = 4,
  GF_TOOLTIP = 5,
  GF_TEXT = 6,
  GF_BUTTON = 7,  // gets "button"
  GF_CHECK = 8,   // gets "checkbox"
  GF_KEYBOX = 9,  // gets "keybox"
  GF_WAITING = 11,  // a key box waiting for its key
};

// Draws labels: the game's distance-field font (default_font), or the
// bitmap font while that is not loaded. Sizes are in pixels.
class GuiTextDrawer
{
public:
  virtual ~GuiTextDrawer() {}
  // One line in the rectangle: align -1 left, 0 centred, 1 right; vertically centred.
  virtual void draw(RenderBatch& batch, vec4f rect, int align, D3dColor color, float size, const char* text) = 0;
  virtual float width(const char* text, float size) = 0;
};
extern GuiTextDrawer* gui_text;

class GuiBox : public BaseGuiElement
{
public:
  TempString<128> label;
  int labelAlign = 0;
  bool stack = false;         // children one under another
  bool centreX = true;        // a fixed width is centred in the space
  bool centreY = false;
  bool rightX = false;        // a fixed width stands at the right
  bool hidden = false;

  bool isHidden() override { return hidden; }
  void layout(vec4f avail, float scale) override;
  virtual void draw(RenderBatch& batch, float dt);
  void drawChildren(RenderBatch& batch, float dt);
};

// Creates a box with class flags and a label under `parent` (may be null).
GuiBox* new_gui_box(BaseGuiElement* parent, uint32_t flags, const char* label = "");

// Matches elements with all of `flags`, and with the hover or pressed
// state when asked for.
class FlagSelector : public GuiSelector
{
public:
  uint32_t flags;
  int ord;
  bool hover, pressed;
  FlagSelector(uint32_t flags_, int order_, bool hover_ = false, bool pressed_ = false)
      : flags(flags_), ord(order_), hover(hover_), pressed(pressed_) {}
  bool matches(BaseGuiElement* e) override;
  int order() override { return ord; }
};

// Moves linearly from the old value to the target over `seconds`.
class FadeTransition : public GuiTransition
{
public:
  float seconds;
  float t = 0.f;
  vec4f from = v_zero();
  explicit FadeTransition(float s) : seconds(s) {}
  void start(vec4f f) override
  {
    from = f;
    t = 0.f;
  }
  vec4f value(vec4f target, float dt) override;
  GuiTransition* clone() const override { return new FadeTransition(seconds); }
};

template <typename F>
GuiListener<bool>* on_click(F f)
{
  return new GuiFuncListener<F, bool>(f);
}

// Fills common_style and tooltip_style (empty ones only) and registers the
// engine's and the game's behaviours.
void init_gui_styles();

// One drawing pass of the GUI: begin clears gui_batch and the labels; end
// renders the batch, then the labels over it, with the GUI's states.
void begin_gui_pass();
void end_gui_pass();
// The states the scene expects after the GUI's passes.
void end_gui_render();
// Restyles and lays out the screen and draws its root box in one pass.
void draw_gui_screen(BaseGuiScreen* screen, float dt);
// Seconds since the last call, at most a tenth (the transitions' clock).
float gui_frame_dt();
