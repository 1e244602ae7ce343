// Boxes, selectors, transitions, the label stand-in and the common style.
#include "gameobj/guiWidgets.h"

#include <algorithm>

#include "gameshell/gameobjExports.h"
#include "gameshell/universe.h"

#include "engine/d3d_render.h"
#include "engine/font.h"
#include "engine/gui/guiDraw.h"
#include "engine/text/distFont.h"
#include "engine/timer.h"

namespace
{
// Labels in the engine's bitmap font, into a batch of their own that is
// drawn after the boxes (the font counts rows from the bottom, so its quads
// cannot share a batch's overlap order with the boxes).
RenderBatch text_batch(16384);

class BitmapGuiText : public GuiTextDrawer
{
public:
  void draw(RenderBatch&, vec4f rect, int align, D3dColor color, float, const char* text) override
  {
    if (!text || !text[0]) return;
    int x = align < 0 ? int(rect[0]) : align > 0 ? int(rect[2]) : int((rect[0] + rect[2]) * 0.5f);
    int y = d3d_ht - int((rect[1] + rect[3]) * 0.5f);
    batch_text(text_batch, text, -1, x, y, align, 0, color);
  }
  float width(const char* text, float) override
  {
    int w = 0, h = 0;
    calc_text_size(text, -1, w, h);
    return float(w);
  }
};
BitmapGuiText bitmap_gui_text;

// Labels in the distance-field font, in the batch of the boxes (so they
// keep the boxes' overlap order); the bitmap font while the game's font is
// not loaded. Sizes are pixels, never under a legible minimum.
class DistGuiText : public GuiTextDrawer
{
public:
  static constexpr float MIN_SIZE = 11.f, FIT_FLOOR = 9.f;
  static bool ready() { return default_font.state && default_font.size > 0; }
  void draw(RenderBatch& batch, vec4f rect, int align, D3dColor color, float size, const char* text) override
  {
    if (!ready()) return bitmap_gui_text.draw(batch, rect, align, color, size, text);
    if (!text || !text[0]) return;
    int a = align < 0 ? DIST_ALIGN_LEFT : align > 0 ? DIST_ALIGN_RIGHT : 0;
    // A label wider than its box is made smaller to fit, down to a floor.
    float px = std::max(size, MIN_SIZE);
    float w = width(text, px), room = rect[2] - rect[0];
    if (w > room && room > 0.f) px = std::max(FIT_FLOOR, px * room / w);
    default_font.renderText(batch, rect, a, color, px, text, -1, 0.f, 0.f, 0.f, 0.f, D3dColor(0u), nullptr);
  }
  float width(const char* text, float size) override
  {
    if (!ready()) return bitmap_gui_text.width(text, size);
    if (!text || !text[0]) return 0.f;
    vec4f box = default_font.calcTextBox(text, -1);
    return (box[2] - box[0]) * std::max(size, MIN_SIZE) / float(default_font.size);
  }
};
DistGuiText dist_gui_text;

vec4f value_of(GuiBox* e, int slot, float dt) { return get_gui_value(e, slot, dt); }
}  // namespace

GuiTextDrawer* gui_text = &dist_gui_text;

// -------------------------------------------------------------------- box --

void GuiBox::layout(vec4f avail, float scale)
{
  layoutScale = scale;
  vec4f m = get_element_offsets(this, true) * scale;
  float w = resolve_gui_prop(this, 6)[0] * scale, h = resolve_gui_prop(this, 7)[0] * scale;
  float x0 = avail[0] + m[0], x1 = avail[2] - m[2];
  float y0 = avail[1] + m[1], y1 = avail[3] - m[3];
  if (w > 0.f) {
    if (rightX)
      x0 = x1 - w;
    else if (centreX)
      x0 = (x0 + x1 - w) * 0.5f;
    x1 = x0 + w;
  }
  if (h > 0.f) {
    if (centreY) y0 = (y0 + y1 - h) * 0.5f;
    y1 = y0 + h;
  }
  rect = make4f(x0, y0, x1, y1);
  vec4f pad = resolve_gui_prop(this, 5) * scale;
  innerRect = make4f(x0 + pad[0], y0 + pad[1], x1 - pad[2], y1 - pad[3]);
  float cursor = innerRect[1];
  for (BaseGuiElement* c : children) {
    if (!stack) {
      c->layout(innerRect, scale);
      continue;
    }
    c->layout(make4f(innerRect[0], cursor, innerRect[2], innerRect[3]), scale);
    cursor = c->rect[3] + get_element_offsets(c, true)[3] * scale;
  }
}

void GuiBox::draw(RenderBatch& batch, float dt)
{
  if (hidden) return;
  vec4f bg = value_of(this, 3, dt);
  vec4f border = value_of(this, 10, dt);
  float border_w = resolve_gui_prop(this, 4)[0] * layoutScale;
  if (bg[3] > 0.f || (border[3] > 0.f && border_w > 0.f)) {
    vec4f radii = resolve_gui_prop(this, 20) * layoutScale;
    // The border is the second box, grown by its width behind the fill.
    bool with_border = border[3] > 0.f && border_w > 0.f;
    render_rounded_box(batch, rect, radii, vec4f_to_color(bg), 0.5f, 0.f, 0.f, with_border ? border_w : 0.f,
                       with_border ? vec4f_to_color(border) : D3dColor(0u), with_border ? 0.f : -1.f);
  }
  if (label.buffer[0]) {
    vec4f tc = value_of(this, 12, dt);
    float size = resolve_gui_prop(this, 11)[0] * layoutScale;
    gui_text->draw(batch, innerRect, labelAlign, vec4f_to_color(tc), size, label.c_str());
  }
  drawChildren(batch, dt);
}

void GuiBox::drawChildren(RenderBatch& batch, float dt)
{
  for (BaseGuiElement* c : children)
    if (GuiBox* b = dynamic_cast<GuiBox*>(c)) b->draw(batch, dt);
}

GuiBox* new_gui_box(BaseGuiElement* parent, uint32_t flags, const char* label)
{
  GuiBox* b = new GuiBox();
  b->classFlags = flags;
  b->label = label ? label : "";
  if (parent) parent->addChild(b);
  return b;
}

// -------------------------------------------------------------- selectors --

bool FlagSelector::matches(BaseGuiElement* e)
{
  if ((e->classFlags & flags) != flags) return false;
  if (hover && !get_element_hover(e)) return false;
  if (pressed && !get_element_pressed(e)) return false;
  return true;
}

vec4f FadeTransition::value(vec4f target, float dt)
{
  t += dt;
  float k = seconds > 0.f ? std::min(t / seconds, 1.f) : 1.f;
  return from + (target - from) * v_splat(k);
}

// ------------------------------------------------------------------ style --

void init_gui_styles()
{
  register_std_behaviors();
  register_uni_viewer();
  const uint32_t PANEL = 1u << GF_PANEL, TITLE = 1u << GF_TITLE, ITEM = 1u << GF_ITEM, FOCUS = 1u << GF_FOCUS,
                 TIP = 1u << GF_TIP, TOOLTIP = 1u << GF_TOOLTIP, TEXT = 1u << GF_TEXT, BUTTON = 1u << GF_BUTTON,
                 CHECK = 1u << GF_CHECK, KEYBOX = 1u << GF_KEYBOX, WAITING = 1u << GF_WAITING;
  if (!common_style.sheets.num) {
    GuiStyle& s = common_style;
    s.addSheet(new FlagSelector(PANEL, 0),
               gui_prop<3>(0xC0101820u, gui_prop<10>(0x80608090u, gui_prop<4>(2.f, gui_prop<20>(v_splat(14.f),
               gui_prop<5>(make4f(24, 20, 24, 24), gui_prop<6>(520.f, gui_behaviors_prop("solid_box\0"))))))));
    s.addSheet(new FlagSelector(TITLE, 0),
               gui_prop<7>(70.f, gui_prop<12>(0xFFFFE8A0u, gui_prop<3>(0u, gui_prop<11>(36.f)))));
    s.addSheet(new FlagSelector(TEXT, 0), gui_prop<7>(44.f, gui_prop<12>(0xFFBBBBBBu, gui_prop<3>(0u))));
    s.addSheet(new FlagSelector(ITEM, 0),
               gui_prop<7>(52.f, gui_prop<19>(make4f(0, 0, 0, 8), gui_prop<3>(0x66000000u, gui_prop<12>(0xFFBBBBBBu,
               gui_prop<20>(v_splat(8.f),
               gui_transition_prop(new FadeTransition(0.15f), "\x04\x0D")))))));
    s.addSheet(new FlagSelector(BUTTON, 0), gui_behaviors_prop("solid_box\0button\0"));
    s.addSheet(new FlagSelector(CHECK, 0), gui_behaviors_prop("solid_box\0checkbox\0"));
    s.addSheet(new FlagSelector(ITEM | FOCUS, 1), gui_prop<3>(0xCC305070u, gui_prop<12>(0xFFFFDD55u)));
    s.addSheet(new FlagSelector(ITEM, 1, true), gui_prop<3>(0xCC305070u, gui_prop<12>(0xFFFFDD55u)));
    s.addSheet(new FlagSelector(ITEM, 2, false, true), gui_prop<3>(0xFF203040u));
    s.addSheet(new FlagSelector(TIP, 0), gui_behaviors_prop("tooltip_box\0"));
    // Key boxes are opaque: the border box lies behind the whole fill.
    s.addSheet(new FlagSelector(KEYBOX, 0),
               gui_prop<3>(0xFF0C1014u, gui_prop<10>(0xFF707880u, gui_prop<4>(1.f, gui_prop<20>(v_splat(6.f),
               gui_prop<12>(0xFFFFFFFFu, gui_behaviors_prop("solid_box\0keybox\0")))))));
    s.addSheet(new FlagSelector(KEYBOX, 1, true), gui_prop<10>(0xFFFFDD55u));
    s.addSheet(new FlagSelector(KEYBOX | WAITING, 2), gui_prop<3>(0xFF805018u, gui_prop<10>(0xFFFFDD55u)));
  }
  if (!tooltip_style.sheets.num) {
    tooltip_style.addSheet(new FlagSelector(TOOLTIP, 0),
                           gui_prop<3>(0xE0202020u, gui_prop<10>(0xC0A0A0A0u, gui_prop<4>(1.f,
                           gui_prop<20>(v_splat(6.f), gui_prop<12>(0xFFFFFFFFu))))));
  }
}

// ------------------------------------------------------------------ drawing --

float gui_frame_dt()
{
  static int64_t last = 0;
  int64_t now = get_ref_time();
  float dt = last ? get_time_sec(now - last) : 0.f;
  last = now;
  return std::min(std::max(dt, 0.f), 0.1f);
}

void begin_gui_pass()
{
  gui_batch.clear();
  text_batch.clear();
}

void end_gui_pass()
{
  set_gui_render_states();
  start_dist_font_render();
  gui_batch.render();
  text_batch.render();
  end_dist_font_render();
  gui_batch.clear();
  text_batch.clear();
}

void end_gui_render()
{
  set_blend_none();
  set_zenable(true);
  set_zwrite(true);
  set_cull_mode(1);
}

void draw_gui_screen(BaseGuiScreen* screen, float dt)
{
  if (!screen) return;
  screen->restyle();
  GuiBox* root = dynamic_cast<GuiBox*>(screen->root);
  if (!root) return;
  begin_gui_pass();
  root->draw(gui_batch, dt);
  end_gui_pass();
}
