// The launcher's small retained GUI: a tree of fixed-layout boxes, the
// layout that turns their lengths into pixel rectangles, events delivered
// through handlers, named behaviours, and the screen that owns the tree and
// turns the engine's input events into GUI events.
//
// Layout: every box is placed from its parent's content origin by its own
// margins; siblings do not flow or stack. Auto margins and paddings share the
// room that is left, which is how a box is centred (both auto) or pushed to
// one side (one auto); a negative margin moves a box past its parent's edge.
//
// Looks: there are no style sheets. A button's looks are child boxes named
// ".normal", ".over" and ".pressed", of which exactly one is shown.
//
// Ownership: a box owns its children; a handler made by a behaviour belongs
// to its box and deletes itself in detach(); the shared hit-test handler and
// the behaviours are static; the screen owns the root. The renderer is not
// owned. A bad length mode, a bad input type and a box destroyed with
// children or handlers left are broken set-ups that end the program through
// fatal(). Main thread only.
#pragma once

#include <cstdint>

#include "engine/debug.h"
#include "engine/dynArray.h"
#include "engine/input.h"

class IGuiRenderer;
struct GuiBox;
class GuiScreen;

// ------------------------------------------------------------- lengths --

enum
{
  GUI_LEN_AUTO = 0,
  GUI_LEN_PX = 1,
  GUI_LEN_UNITS = 2,      // times the screen's unit size
  GUI_LEN_PCT_W = 3,      // percent of the parent's width
  GUI_LEN_PCT_H = 4,      // percent of the parent's height
};

struct GuiLen
{
  float value;
  int mode;
};

inline GuiLen gui_auto() { return {0.f, GUI_LEN_AUTO}; }
inline GuiLen gui_px(float v) { return {v, GUI_LEN_PX}; }
inline GuiLen gui_units(float v) { return {v, GUI_LEN_UNITS}; }

// The length in pixels; auto gives `auto_value`.
inline float eval_gui_len(const GuiLen& len, float unit, float parent_w, float parent_h, float auto_value)
{
  switch (len.mode) {
  case GUI_LEN_AUTO: return auto_value;
  case GUI_LEN_PX: return len.value;
  case GUI_LEN_UNITS: return len.value * unit;
  case GUI_LEN_PCT_W: return len.value * 0.01f * parent_w;
  case GUI_LEN_PCT_H: return len.value * 0.01f * parent_h;
  default: break;
  }
  ASSERT_AT("gui.h", 100, !"unknown GuiLen mode");
  return 0;
}

// ------------------------------------------------------------- events --

enum
{
  GUI_EV_COMMAND = 1,
  GUI_EV_HITTEST = 2,
  GUI_EV_KEY = 4,
  GUI_EV_ENTER = 16,
  GUI_EV_LEAVE = 32,
  GUI_EV_BUTTON_UP = 64,
  GUI_EV_BUTTON_DOWN = 128,
  GUI_EV_MOVE = 256,
  GUI_EV_WHEEL = 512,
  GUI_EV_HIDDEN_CHANGED = 1024,
};

// Delivery modes of send_gui_event.
enum
{
  GUI_SEND_TOP_DOWN = 0,   // from the top-most ancestor (or the stop box) down to the box
  GUI_SEND_BUBBLE = 1,     // from the box up to the stop box (or the root)
  GUI_SEND_TARGET = 2,     // the box only
  GUI_SEND_BROADCAST = 3,  // the box, then its subtree depth-first; a handler's 2 skips a subtree
};

struct GuiEvent
{
  explicit GuiEvent(int c) : code(c) {}
  virtual ~GuiEvent() = default;
  int code;
};

struct GuiCommandEvent : GuiEvent
{
  GuiCommandEvent(int i, GuiBox* src, int k) : GuiEvent(GUI_EV_COMMAND), id(i), source(src), key(k) {}
  int id;
  GuiBox* source;
  int key;   // the key or button of the input event that caused it
};

struct GuiHittestEvent : GuiEvent
{
  GuiHittestEvent(float px, float py) : GuiEvent(GUI_EV_HITTEST), x(px), y(py) {}
  float x, y;
  GuiBox* result = nullptr;
};

struct GuiInputEvent : GuiEvent
{
  GuiInputEvent(int c, const InputEvent& e) : GuiEvent(c), input(e) {}
  InputEvent input;
};

struct GuiNotifyEvent : GuiEvent
{
  explicit GuiNotifyEvent(GuiBox* b) : GuiEvent(GUI_EV_HIDDEN_CHANGED), box(b) {}
  GuiBox* box;
};

class GuiEventHandler
{
public:
  explicit GuiEventHandler(int event_mask) : mask(event_mask) {}
  // 0: not handled. In a broadcast, 2 means handled without descending.
  virtual int handleEvent(GuiEvent& event, GuiBox* box, int mode) = 0;
  virtual void attach(GuiBox* box) = 0;
  virtual void detach(GuiBox* box) = 0;
  int mask;

protected:
  ~GuiEventHandler() = default;
};

class GuiBehaviour
{
public:
  virtual const char* name() = 0;
  virtual void apply(GuiBox* box) = 0;

protected:
  ~GuiBehaviour() = default;
};

// ---------------------------------------------------------------- boxes --

// Rectangles in pixels, in this order.
struct GuiRect
{
  float top, left, right, bottom;
};

// Indices of the four-sided fields.
enum { GUI_TOP = 0, GUI_LEFT = 1, GUI_RIGHT = 2, GUI_BOTTOM = 3 };

enum { GUI_BOX_HIDDEN = 1 };

struct GuiBox
{
  GuiBox();

  GuiRect content{}, padding{}, outer{};   // padding rect = background; borders lie outside it
  float borderPx[4] = {0, 0, 0, 0};

  char name[64] = "";
  GuiBox* parent = nullptr;
  DynArray<GuiBox*> children;

  uint32_t background = 0;   // 0 = none
  uint32_t borderColor[4];
  char text[256] = "";
  uint32_t textColor = 0xffffffff;   // 0 = text not drawn
  uint8_t textScale = 1;
  int8_t alignH = 0, alignV = 0;     // -1 left / top, 0 centre, 1 right / bottom
  uint8_t flags = 0;

  GuiLen width, height;              // default auto
  GuiLen offsetX, offsetY;           // default 0 units
  GuiLen paddingLen[4], borderLen[4], marginLen[4];   // default 0 units

  DynArray<GuiEventHandler*> handlers;
  int handlerMask = 0;
  int id = 0;   // command id, 0 = none

  // A negative index has the child count added to it (-1 inserts before the
  // current last child); the index is then clamped to 0..count.
  void addChild(GuiBox* box, int index);
  void detach();
  // Detaches, destroys and frees the children, removes the handlers.
  void destroy();
  GuiBox* findByName(const char* box_name);
  GuiBox* findById(int box_id);
  // A change sends GUI_EV_HIDDEN_CHANGED through the subtree.
  void setHidden(bool hidden);
  bool isHidden() const { return (flags & GUI_BOX_HIDDEN) != 0; }
  // False when the box or any ancestor is hidden.
  bool isVisible() const;
  // Same index rule as addChild; calls attach and adds the handler's mask.
  void addHandler(GuiEventHandler* handler, int index);
  void removeHandler(GuiEventHandler* handler);
  int callHandlers(GuiEvent& event, int mode);
  void applyBehaviour(const char* behaviour_name);

  void layout(GuiScreen* screen);
  // The box's outer size (margins, borders, paddings and size).
  void measure(GuiScreen* screen, float& w, float& h);
  // The natural size of the content: the text, and the children's outer sizes.
  void measureChildren(GuiScreen* screen, float& w, float& h);
};

// Allocates a box; with a parent it is added at index -1. margins and
// paddings are top, left, right, bottom; null means 0 units.
GuiBox* new_gui_box(GuiLen width, GuiLen height, const GuiLen* margins, const GuiLen* paddings, GuiBox* parent);

int send_gui_event(GuiEvent& event, GuiBox* box, int mode, GuiBox* stop);
// The first box, in tree order, whose handlers claim the point; null if none.
GuiBox* hittest_gui(GuiBox* root, float x, float y);

// One axis of the layout: the extent and the resolved margins and paddings.
// Autos among the two margins and paddings share what is left only when the
// room is strictly larger than the lengths; otherwise they are 0.
struct GuiAxis
{
  float marginStart, paddingStart, paddingEnd, marginEnd;
  float extent;
};
GuiAxis solve_gui_axis(float avail, const GuiLen& margin_start, float border_start, const GuiLen& padding_start,
                       const GuiLen& size, const GuiLen& padding_end, float border_end, const GuiLen& margin_end,
                       float unit, float parent_w, float parent_h);

void register_gui_behaviour(GuiBehaviour* behaviour);
// "solidBox" (claims hit tests inside its padding rect and borders) and
// "button" (shows its faces and sends a command when clicked).
void register_gui_behaviours();
GuiBehaviour* find_gui_behaviour(const char* name);

// Claims hit tests for a box that is not itself hidden.
class GuiHittestHandler final : public GuiEventHandler
{
public:
  GuiHittestHandler() : GuiEventHandler(GUI_EV_HITTEST) {}
  int handleEvent(GuiEvent& event, GuiBox* box, int mode) override;
  void attach(GuiBox*) override {}
  void detach(GuiBox*) override {}
};

class ButtonEventHandler final : public GuiEventHandler
{
public:
  ButtonEventHandler()
      : GuiEventHandler(GUI_EV_ENTER | GUI_EV_LEAVE | GUI_EV_BUTTON_UP | GUI_EV_BUTTON_DOWN | GUI_EV_HIDDEN_CHANGED)
  {
  }
  int handleEvent(GuiEvent& event, GuiBox* box, int mode) override;
  void attach(GuiBox* box) override;
  void detach(GuiBox* box) override;

private:
  void show(int face);
  GuiBox* faces[3] = {nullptr, nullptr, nullptr};   // normal, over, pressed
};

// ---------------------------------------------------------------- screen --

class GuiScreen
{
public:
  // Clears capture and hover and lays the tree out once.
  GuiScreen(IGuiRenderer* renderer, GuiBox* root, int width_units, int height_units);
  virtual ~GuiScreen();
  virtual float getUnitSize();
  virtual GuiRect getScreenRect();
  virtual void measureContent(GuiBox* box, float& w, float& h);
  virtual void drawBox(GuiBox* box);
  virtual void draw();
  // Takes every event from the engine's input queue.
  virtual void processInput();
  virtual void processInputEvent(const InputEvent& event, GuiBox* target);
  // Pixel scale from the renderer's size, then the layout of the tree.
  virtual void relayout();

  GuiBox* root;
  GuiBox* capture = nullptr;
  GuiBox* hover = nullptr;
  int pixelScale = 1;
  int widthUnits, heightUnits;
  IGuiRenderer* renderer;

private:
  void processOne(const InputEvent& event);
};
