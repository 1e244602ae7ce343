#include "launcher/gui.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "launcher/swrender.h"

// --------------------------------------------------------------- boxes --

GuiBox::GuiBox()
{
  for (int i = 0; i < 4; ++i) {
    borderColor[i] = 0xff808080;
    paddingLen[i] = borderLen[i] = marginLen[i] = gui_units(0);
  }
  width = height = gui_auto();
  offsetX = offsetY = gui_units(0);
}

// The index rule of children and handlers.
static int insert_index(int index, int count)
{
  if (index < 0) index += count;
  if (index < 0) index = 0;
  if (index > count) index = count;
  return index;
}

void GuiBox::addChild(GuiBox* box, int index)
{
  box->detach();
  children.insert(insert_index(index, children.size()), 1, &box);
  box->parent = this;
}

void GuiBox::detach()
{
  if (!parent) return;
  int i = parent->children.find(this);
  if (i >= 0) parent->children.erase(i, 1);
  parent = nullptr;
}

void GuiBox::destroy()
{
  detach();
  for (int i = children.size() - 1; i >= 0; --i) {
    if (i >= children.size()) continue;
    GuiBox* child = children[i];
    child->destroy();   // detaches it from this box
    delete child;
  }
  for (int i = handlers.size() - 1; i >= 0; --i) {
    if (i >= handlers.size()) continue;
    GuiEventHandler* h = handlers[i];
    handlers.erase(i, 1);
    h->detach(this);
  }
  handlerMask = 0;
  for (GuiEventHandler* h : handlers) handlerMask |= h->mask;
  ASSERT_AT("gui.cpp", 28, children.empty());
  ASSERT_AT("gui.cpp", 29, handlers.empty());
}

GuiBox* GuiBox::findByName(const char* box_name)
{
  if (!box_name || !box_name[0]) return nullptr;
  if (strcmp(name, box_name) == 0) return this;
  for (GuiBox* c : children)
    if (GuiBox* found = c->findByName(box_name)) return found;
  return nullptr;
}

GuiBox* GuiBox::findById(int box_id)
{
  if (box_id == 0) return nullptr;
  if (id == box_id) return this;
  for (GuiBox* c : children)
    if (GuiBox* found = c->findById(box_id)) return found;
  return nullptr;
}

void GuiBox::setHidden(bool hidden)
{
  if (isHidden() == hidden) return;
  flags = uint8_t(hidden ? flags | GUI_BOX_HIDDEN : flags & ~GUI_BOX_HIDDEN);
  GuiNotifyEvent ev(this);
  send_gui_event(ev, this, GUI_SEND_BROADCAST, nullptr);
}

bool GuiBox::isVisible() const
{
  for (const GuiBox* b = this; b; b = b->parent)
    if (b->isHidden()) return false;
  return true;
}

void GuiBox::addHandler(GuiEventHandler* handler, int index)
{
  handlers.insert(insert_index(index, handlers.size()), 1, &handler);
  handler->attach(this);
  handlerMask |= handler->mask;
}

void GuiBox::removeHandler(GuiEventHandler* handler)
{
  for (int i = handlers.size() - 1; i >= 0; --i) {
    if (handlers[i] != handler) continue;
    handlers.erase(i, 1);
    handler->detach(this);
    handlerMask = 0;
    for (GuiEventHandler* h : handlers) handlerMask |= h->mask;
    return;
  }
}

int GuiBox::callHandlers(GuiEvent& event, int mode)
{
  if (!(handlerMask & event.code)) return 0;
  for (int i = 0; i < handlers.size(); ++i) {
    GuiEventHandler* h = handlers[i];
    if (!(h->mask & event.code)) continue;
    if (int r = h->handleEvent(event, this, mode)) return r;
  }
  return 0;
}

void GuiBox::applyBehaviour(const char* behaviour_name)
{
  if (GuiBehaviour* b = find_gui_behaviour(behaviour_name)) b->apply(this);
}

GuiBox* new_gui_box(GuiLen width, GuiLen height, const GuiLen* margins, const GuiLen* paddings, GuiBox* parent)
{
  GuiBox* box = new GuiBox;
  box->width = width;
  box->height = height;
  for (int i = 0; i < 4; ++i) {
    if (margins) box->marginLen[i] = margins[i];
    if (paddings) box->paddingLen[i] = paddings[i];
  }
  if (parent) parent->addChild(box, -1);
  return box;
}

// -------------------------------------------------------------- delivery --

int send_gui_event(GuiEvent& event, GuiBox* box, int mode, GuiBox* stop)
{
  if (!box) return 0;
  switch (mode) {
  case GUI_SEND_TOP_DOWN:
    if (box != stop && box->parent) {
      if (int r = send_gui_event(event, box->parent, GUI_SEND_TOP_DOWN, stop)) return r;
    }
    return box->callHandlers(event, mode);
  case GUI_SEND_BUBBLE:
    for (GuiBox* b = box; b; b = b->parent) {
      if (int r = b->callHandlers(event, mode)) return r;
      if (b == stop) break;
    }
    return 0;
  case GUI_SEND_TARGET:
    return box->callHandlers(event, mode);
  case GUI_SEND_BROADCAST: {
    int r = box->callHandlers(event, mode);
    if (r == 2) return 0;
    if (r) return r;
    for (int i = 0; i < box->children.size(); ++i)
      if (int rc = send_gui_event(event, box->children[i], GUI_SEND_BROADCAST, stop)) return rc;
    return 0;
  }
  default: return 0;
  }
}

GuiBox* hittest_gui(GuiBox* root, float x, float y)
{
  GuiHittestEvent ev(x, y);
  send_gui_event(ev, root, GUI_SEND_BROADCAST, nullptr);
  return ev.result;
}

static bool box_contains(const GuiBox* b, float x, float y)
{
  return x >= b->padding.left - b->borderPx[GUI_LEFT] && x < b->padding.right + b->borderPx[GUI_RIGHT] &&
         y >= b->padding.top - b->borderPx[GUI_TOP] && y < b->padding.bottom + b->borderPx[GUI_BOTTOM];
}

int GuiHittestHandler::handleEvent(GuiEvent& event, GuiBox* box, int)
{
  if (event.code != GUI_EV_HITTEST || box->isHidden()) return 0;
  GuiHittestEvent& ev = static_cast<GuiHittestEvent&>(event);
  if (!box_contains(box, ev.x, ev.y)) return 0;
  ev.result = box;
  return 1;
}

// ------------------------------------------------------------ behaviours --

static GuiHittestHandler shared_hittest_handler;

enum { FACE_NORMAL = 0, FACE_OVER = 1, FACE_PRESSED = 2 };

void ButtonEventHandler::attach(GuiBox* box)
{
  faces[FACE_NORMAL] = box->findByName(".normal");
  faces[FACE_OVER] = box->findByName(".over");
  faces[FACE_PRESSED] = box->findByName(".pressed");
  show(FACE_NORMAL);
}

void ButtonEventHandler::detach(GuiBox*) { delete this; }

// Shows one face and hides the other two. The flags are set directly: a
// face change is a look, not a change anyone is told about.
void ButtonEventHandler::show(int face)
{
  for (int i = 0; i < 3; ++i) {
    if (!faces[i]) continue;
    if (i == face) faces[i]->flags &= uint8_t(~GUI_BOX_HIDDEN);
    else faces[i]->flags |= GUI_BOX_HIDDEN;
  }
}

int ButtonEventHandler::handleEvent(GuiEvent& event, GuiBox* box, int)
{
  if (event.code == GUI_EV_HIDDEN_CHANGED) {
    show(FACE_NORMAL);
    // Handled, but the broadcast goes on to the sibling buttons: every
    // button of a row that is hidden or shown again starts from its normal
    // face.
    return 2;
  }
  if (!box->isVisible()) return 0;
  const InputEvent& in = static_cast<GuiInputEvent&>(event).input;
  bool held = (in.flags & (INPUT_LBUTTON | INPUT_RBUTTON)) != 0;
  switch (event.code) {
  case GUI_EV_ENTER: show(held ? FACE_PRESSED : FACE_OVER); return 1;
  case GUI_EV_LEAVE: show(FACE_NORMAL); return 1;
  case GUI_EV_BUTTON_DOWN: show(FACE_PRESSED); return 1;
  case GUI_EV_BUTTON_UP: {
    if (held) {
      show(FACE_PRESSED);
      return 1;
    }
    bool over = hittest_gui(box, in.x, in.y) == box;
    show(over ? FACE_OVER : FACE_NORMAL);
    if (over) {
      GuiCommandEvent cmd(box->id, box, in.key);
      send_gui_event(cmd, box, GUI_SEND_BUBBLE, nullptr);
    }
    return 1;
  }
  default: return 0;
  }
}

class SolidBoxBehaviour final : public GuiBehaviour
{
public:
  const char* name() override { return "solidBox"; }
  void apply(GuiBox* box) override { box->addHandler(&shared_hittest_handler, -1); }
};

class ButtonBehaviour final : public GuiBehaviour
{
public:
  const char* name() override { return "button"; }
  void apply(GuiBox* box) override { box->addHandler(new ButtonEventHandler, -1); }
};

static DynArray<GuiBehaviour*> behaviours;

void register_gui_behaviour(GuiBehaviour* behaviour)
{
  if (behaviours.find(behaviour) < 0) behaviours.push_back(behaviour);
}

void register_gui_behaviours()
{
  static SolidBoxBehaviour solid_box;
  static ButtonBehaviour button;
  register_gui_behaviour(&solid_box);
  register_gui_behaviour(&button);
}

GuiBehaviour* find_gui_behaviour(const char* name)
{
  if (!name) return nullptr;
  for (GuiBehaviour* b : behaviours)
    if (strcasecmp(b->name(), name) == 0) return b;
  return nullptr;
}

// ---------------------------------------------------------------- screen --

GuiScreen::GuiScreen(IGuiRenderer* r, GuiBox* root_box, int width_units, int height_units)
    : root(root_box), widthUnits(width_units), heightUnits(height_units), renderer(r)
{
  relayout();
}

GuiScreen::~GuiScreen()
{
  if (root) {
    root->destroy();
    delete root;
  }
}

float GuiScreen::getUnitSize() { return float(renderer->getLineHeight() * pixelScale); }

GuiRect GuiScreen::getScreenRect() { return {0, 0, float(renderer->getWidth()), float(renderer->getHeight())}; }

void GuiScreen::relayout()
{
  int lh = renderer->getLineHeight();
  int sx = widthUnits > 0 && lh > 0 ? renderer->getWidth() / (lh * widthUnits) : 1;
  int sy = heightUnits > 0 && lh > 0 ? renderer->getHeight() / (lh * heightUnits) : 1;
  pixelScale = sx < sy ? sx : sy;
  if (pixelScale < 1) pixelScale = 1;
  if (root) root->layout(this);
}

void GuiScreen::measureContent(GuiBox* box, float& w, float& h)
{
  GuiRect s = getScreenRect();
  float unit = getUnitSize(), sw = s.right - s.left, sh = s.bottom - s.top;
  w = eval_gui_len(box->width, unit, sw, sh, 0);
  h = eval_gui_len(box->height, unit, sw, sh, 0);
  bool auto_w = box->width.mode == GUI_LEN_AUTO, auto_h = box->height.mode == GUI_LEN_AUTO;
  if (box->text[0] && (auto_w || auto_h)) {
    float tw = 0, th = 0;
    renderer->getTextSize(box->text, -1, tw, th, box->textScale * pixelScale);
    if (auto_w) w = tw;
    if (auto_h) h = th;
  }
}

void GuiScreen::drawBox(GuiBox* b)
{
  if (b->isHidden()) return;
  const GuiRect& p = b->padding;
  const float* bw = b->borderPx;
  if (b->background) renderer->fillRect(p.left, p.top, p.right, p.bottom, b->background);
  if (bw[GUI_TOP] > 0 && b->borderColor[GUI_TOP])
    renderer->fillRect(p.left - bw[GUI_LEFT], p.top - bw[GUI_TOP], p.right, p.top, b->borderColor[GUI_TOP]);
  if (bw[GUI_LEFT] > 0 && b->borderColor[GUI_LEFT])
    renderer->fillRect(p.left - bw[GUI_LEFT], p.top, p.left, p.bottom + bw[GUI_BOTTOM], b->borderColor[GUI_LEFT]);
  if (bw[GUI_RIGHT] > 0 && b->borderColor[GUI_RIGHT])
    renderer->fillRect(p.right, p.top - bw[GUI_TOP], p.right + bw[GUI_RIGHT], p.bottom, b->borderColor[GUI_RIGHT]);
  if (bw[GUI_BOTTOM] > 0 && b->borderColor[GUI_BOTTOM])
    renderer->fillRect(p.left, p.bottom, p.right + bw[GUI_RIGHT], p.bottom + bw[GUI_BOTTOM],
                       b->borderColor[GUI_BOTTOM]);
  if (b->text[0] && b->textColor) {
    const GuiRect& c = b->content;
    float x = b->alignH < 0 ? c.left : b->alignH > 0 ? c.right : (c.left + c.right) * 0.5f;
    float y = b->alignV < 0 ? c.top : b->alignV > 0 ? c.bottom : (c.top + c.bottom) * 0.5f;
    renderer->drawText(b->text, -1, x, y, b->alignH, b->alignV, b->textColor, b->textScale * pixelScale);
  }
  for (GuiBox* c : b->children) drawBox(c);
}

void GuiScreen::draw()
{
  if (root) drawBox(root);
}

void GuiScreen::processInput()
{
  InputEvent e;
  while (getEvent(&e)) processOne(e);
}

static const int k_buttons_held = INPUT_LBUTTON | INPUT_RBUTTON;

void GuiScreen::processOne(const InputEvent& e)
{
  GuiBox* target = nullptr;
  if (!capture) {
    GuiBox* hit = hittest_gui(root, e.x, e.y);
    if (hit != hover) {
      GuiInputEvent leave(GUI_EV_LEAVE, e), enter(GUI_EV_ENTER, e);
      send_gui_event(leave, hover, GUI_SEND_TARGET, nullptr);
      hover = hit;
      send_gui_event(enter, hover, GUI_SEND_TARGET, nullptr);
    }
    target = hit;
    if (!target) return;
  } else if (e.flags & k_buttons_held) {
    GuiBox* hit = hittest_gui(root, e.x, e.y);
    if (hit != hover) {
      GuiInputEvent leave(GUI_EV_LEAVE, e);
      send_gui_event(leave, hover, GUI_SEND_TARGET, nullptr);
      hover = nullptr;
      if (hit == capture) {
        hover = capture;
        GuiInputEvent enter(GUI_EV_ENTER, e);
        send_gui_event(enter, hover, GUI_SEND_TARGET, nullptr);
      }
    }
    target = capture;
  } else {
    target = capture;
    capture = nullptr;
  }
  processInputEvent(e, target);
}

void GuiScreen::processInputEvent(const InputEvent& e, GuiBox* target)
{
  if (e.type == INPUT_BUTTON_DOWN) capture = target;
  int code = 0;
  switch (e.type) {
  case INPUT_KEY_DOWN:
  case INPUT_KEY_UP: code = GUI_EV_KEY; break;
  case INPUT_BUTTON_DOWN: code = GUI_EV_BUTTON_DOWN; break;
  case INPUT_BUTTON_UP: code = GUI_EV_BUTTON_UP; break;
  case INPUT_MOUSE_MOVE: code = GUI_EV_MOVE; break;
  case INPUT_WHEEL: code = GUI_EV_WHEEL; break;
  default: ASSERT_AT("gui.cpp", 223, !"unknown input event type");
  }
  GuiInputEvent ev(code, e);
  send_gui_event(ev, target, GUI_SEND_TARGET, nullptr);
}
