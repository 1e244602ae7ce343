// Layout and measuring of GuiBox trees (see gui.h).
#include "launcher/gui.h"

static bool is_auto(const GuiLen& l) { return l.mode == GUI_LEN_AUTO; }

// The box's width and height with an auto one replaced by the natural size
// in pixels (the box's own fields keep auto).
static void resolved_size(GuiBox* box, GuiScreen* screen, GuiLen& w, GuiLen& h)
{
  w = box->width;
  h = box->height;
  if (!is_auto(w) && !is_auto(h)) return;
  float mw = 0, mh = 0;
  box->measureChildren(screen, mw, mh);
  if (is_auto(w)) w = gui_px(mw);
  if (is_auto(h)) h = gui_px(mh);
}

GuiAxis solve_gui_axis(float avail, const GuiLen& margin_start, float border_start, const GuiLen& padding_start,
                       const GuiLen& size, const GuiLen& padding_end, float border_end, const GuiLen& margin_end,
                       float unit, float parent_w, float parent_h)
{
  if (avail < 0) avail = 0;
  GuiAxis a;
  a.marginStart = eval_gui_len(margin_start, unit, parent_w, parent_h, 0);
  a.paddingStart = eval_gui_len(padding_start, unit, parent_w, parent_h, 0);
  a.paddingEnd = eval_gui_len(padding_end, unit, parent_w, parent_h, 0);
  a.marginEnd = eval_gui_len(margin_end, unit, parent_w, parent_h, 0);
  float size_px = eval_gui_len(size, unit, parent_w, parent_h, 0);
  float total = a.marginStart + border_start + a.paddingStart + size_px + a.paddingEnd + border_end + a.marginEnd;
  if (avail > total) {
    int autos = is_auto(margin_start) + is_auto(padding_start) + is_auto(padding_end) + is_auto(margin_end);
    if (autos) {
      float share = (avail - total) / float(autos);
      if (is_auto(margin_start)) a.marginStart = share;
      if (is_auto(padding_start)) a.paddingStart = share;
      if (is_auto(padding_end)) a.paddingEnd = share;
      if (is_auto(margin_end)) a.marginEnd = share;
    }
    a.extent = avail;
  } else {
    a.extent = total;
  }
  return a;
}

void GuiBox::layout(GuiScreen* screen)
{
  GuiRect pr;
  if (parent) pr = parent->content;
  else if (screen) pr = screen->getScreenRect();
  else pr = {0, 0, 640, 480};
  const float W = pr.right - pr.left, H = pr.bottom - pr.top;
  const float unit = screen ? screen->getUnitSize() : 8.f;

  GuiLen w, h;
  resolved_size(this, screen, w, h);

  for (int i = 0; i < 4; ++i) borderPx[i] = eval_gui_len(borderLen[i], unit, W, H, 0);

  GuiAxis ax = solve_gui_axis(W, marginLen[GUI_LEFT], borderPx[GUI_LEFT], paddingLen[GUI_LEFT], w,
                              paddingLen[GUI_RIGHT], borderPx[GUI_RIGHT], marginLen[GUI_RIGHT], unit, W, H);
  GuiAxis ay = solve_gui_axis(H, marginLen[GUI_TOP], borderPx[GUI_TOP], paddingLen[GUI_TOP], h,
                              paddingLen[GUI_BOTTOM], borderPx[GUI_BOTTOM], marginLen[GUI_BOTTOM], unit, W, H);

  const float ox = eval_gui_len(offsetX, unit, W, H, 0), oy = eval_gui_len(offsetY, unit, W, H, 0);
  outer.left = pr.left + ox;
  outer.top = pr.top + oy;
  outer.right = pr.left + ax.extent + ox;
  outer.bottom = pr.top + ay.extent + oy;

  padding.left = outer.left + ax.marginStart + borderPx[GUI_LEFT];
  padding.right = outer.right - ax.marginEnd - borderPx[GUI_RIGHT];
  padding.top = outer.top + ay.marginStart + borderPx[GUI_TOP];
  padding.bottom = outer.bottom - ay.marginEnd - borderPx[GUI_BOTTOM];

  content.left = padding.left + ax.paddingStart;
  content.right = padding.right - ax.paddingEnd;
  content.top = padding.top + ay.paddingStart;
  content.bottom = padding.bottom - ay.paddingEnd;

  for (int i = 0; i < children.size(); ++i) children[i]->layout(screen);
}

void GuiBox::measureChildren(GuiScreen* screen, float& w, float& h)
{
  w = h = 0;
  if (screen) screen->measureContent(this, w, h);
  for (GuiBox* c : children) {
    float cw = 0, ch = 0;
    c->measure(screen, cw, ch);
    if (cw > w) w = cw;
    if (ch > h) h = ch;
  }
}

// Sums lengths by kind: pixels, units, and the fraction of the percent mode
// that belongs to this axis (the other percent mode and auto count 0).
struct LenSum
{
  float px = 0, units = 0, fraction = 0;

  void add(const GuiLen& l, int own_percent_mode)
  {
    switch (l.mode) {
    case GUI_LEN_AUTO: break;
    case GUI_LEN_PX: px += l.value; break;
    case GUI_LEN_UNITS: units += l.value; break;
    case GUI_LEN_PCT_W:
    case GUI_LEN_PCT_H:
      if (l.mode == own_percent_mode) fraction += l.value * 0.01f;
      break;
    default: ASSERT_AT("layout.cpp", 77, !"unknown GuiLen mode");
    }
  }

  float size(float unit) const
  {
    float fixed = px + units * unit;
    return fraction < 1 ? fixed / (1 - fraction) : fixed;
  }
};

void GuiBox::measure(GuiScreen* screen, float& w, float& h)
{
  GuiLen lw, lh;
  resolved_size(this, screen, lw, lh);
  LenSum sx, sy;
  const GuiLen* hx[] = {&marginLen[GUI_LEFT], &borderLen[GUI_LEFT], &paddingLen[GUI_LEFT], &lw,
                        &paddingLen[GUI_RIGHT], &borderLen[GUI_RIGHT], &marginLen[GUI_RIGHT]};
  const GuiLen* hy[] = {&marginLen[GUI_TOP], &borderLen[GUI_TOP], &paddingLen[GUI_TOP], &lh,
                        &paddingLen[GUI_BOTTOM], &borderLen[GUI_BOTTOM], &marginLen[GUI_BOTTOM]};
  for (const GuiLen* l : hx) sx.add(*l, GUI_LEN_PCT_W);
  for (const GuiLen* l : hy) sy.add(*l, GUI_LEN_PCT_H);
  const float unit = screen ? screen->getUnitSize() : 8.f;
  w = sx.size(unit);
  h = sy.size(unit);
}
