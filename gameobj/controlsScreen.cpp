// The controls screen: rows of buttons and their key boxes.
#include "gameobj/controlsScreen.h"

#include "gameobj/guiWidgets.h"
#include "gameobj/menus.h"
#include "gameobj/sounds.h"

#include "gameshell/controls.h"
#include "gameshell/gameobjExports.h"

#include "engine/app.h"
#include "engine/debug.h"
#include "engine/input.h"

#include <functional>
#include <string>

namespace
{
enum { VK_RETURN = 13, VK_ESCAPE = 27, VK_UP = 38, VK_DOWN = 40 };
// Rows 0..10 are the buttons; the last item is Back.
enum { BACK_ITEM = NUM_BUTTONS, NUM_ITEMS = NUM_BUTTONS + 1 };

class ControlsScreen : public game_controls_screen_Class
{
public:
  void (*back)() = nullptr;
  GuiBox* items[NUM_ITEMS] = {};  // the rows, then Back
  GuiBox* boxes[NUM_BUTTONS] = {};
  int selected = 0;
  int waiting = -1;      // the row whose box waits for a key
  int pending = -1;      // clicked, chosen after the input pass
  bool keyTaken = false;  // a key of this tick went to a waiting box
  BaseGuiElement* lastHovered = nullptr;

  ControlsScreen() { build(); }

  void release() override
  {
    if (game_controls_screen == this) game_controls_screen = nullptr;
    if (cur_game_screen == this) cur_game_screen = nullptr;
    forget_menu_screen(this);
    BaseGuiScreen::release();
  }

  void build()
  {
    GuiBox* r = new_gui_box(nullptr, 0);
    set_gui_prop<3>(r, D3dColor(0u), true);
    root = r;
    style = &common_style;
    GuiBox* panel = new_gui_box(r, 1u << GF_PANEL);
    panel->stack = true;
    panel->centreY = true;
    set_gui_prop<6>(panel, 620.f, true);
    set_gui_prop<7>(panel, 44.f + 60.f + 50.f * NUM_ITEMS, true);
    GuiBox* title = new_gui_box(panel, 1u << GF_TITLE, "Controls");
    set_gui_prop<7>(title, 60.f, true);
    for (int i = 0; i < NUM_ITEMS; i++) {
      bool row = i < NUM_BUTTONS;
      GuiBox* item = new_gui_box(panel, (1u << GF_ITEM) | (1u << GF_BUTTON), row ? get_button_ui_name(i) : "Back");
      set_gui_prop<7>(item, 44.f, true);
      set_element_offsets(item, make4f(0, 0, 0, 6), true);
      add_gui_listener(item->onClick, on_click([this, i](bool) { pending = i; }));
      items[i] = item;
      if (!row) break;
      item->labelAlign = -1;
      set_gui_prop<5>(item, make4f(16, 4, 6, 4), true);
      GuiBox* box = new_gui_box(item, 1u << GF_KEYBOX);
      box->rightX = true;
      set_gui_prop<6>(box, 250.f, true);
      add_gui_listener(box->onClickKey, new GuiFuncListener<std::function<void(BaseGuiElement*, int)>,
                                                            BaseGuiElement*, int>(
                                            [this, i](BaseGuiElement*, int key) { boxKey(i, key); }));
      boxes[i] = box;
    }
    showKeys();
  }

  void showKeys()
  {
    for (int i = 0; i < NUM_BUTTONS; i++) {
      if (i == waiting)
        boxes[i]->label = "press a key";
      else
        boxes[i]->label = get_button_key_name(i).c_str();
      boxes[i]->setClassFlag(GF_WAITING, i == waiting);
    }
    for (int i = 0; i < NUM_ITEMS; i++) items[i]->setClassFlag(GF_FOCUS, i == selected);
  }

  void wait(int row)
  {
    waiting = row;
    selected = row;
    showKeys();
  }

  // A key or mouse button the box of `row` caught (or a key meant for it).
  void boxKey(int row, int key)
  {
    if (waiting != row) {
      // A click on a box that is not waiting makes it wait.
      if (key == 1) {
        menu_click_sound(false);
        wait(row);
      }
      return;
    }
    keyTaken = true;
    waiting = -1;
    if (key != VK_ESCAPE) {
      set_button_key(row, key);
      menu_click_sound(false);
      debug("controls: %s = %s", get_button_ui_name(row), get_button_key_name(row).c_str());
    }
    showKeys();
  }

  void processInputEvent(NewGuiInputEvent* event, BaseGuiElement* target) override
  {
    const InputEvent& in = event->input;
    if (waiting >= 0 && in.type == INPUT_KEY_DOWN) {
      // Every key goes to the waiting box, wherever the pointer is; a held
      // key's repeats go nowhere.
      keyTaken = true;
      if (target != boxes[waiting]) {
        if (!(in.flags & INPUT_REPEAT)) boxKey(waiting, in.key);
        return;
      }
    }
    if (waiting >= 0 && in.type == INPUT_BUTTON_DOWN && target != boxes[waiting]) {
      // A click elsewhere ends the wait (and may start another).
      waiting = -1;
      showKeys();
    }
    BaseGuiScreen::processInputEvent(event, target);
  }

  void choose(int i)
  {
    menu_click_sound(false);
    if (i < NUM_BUTTONS) {
      wait(i);
      return;
    }
    debug("menu Controls: Back");
    if (back) back();  // releases this screen: nothing of it is used after
  }

  void update()
  {
    keyTaken = waiting >= 0;
    processInput();
    if (hovered != lastHovered) {
      lastHovered = hovered;
      for (int i = 0; i < NUM_ITEMS; i++)
        if (hovered == items[i] || (i < NUM_BUTTONS && hovered == boxes[i])) selected = i;
      showKeys();
    }
    if (pending >= 0) {
      int i = pending;
      pending = -1;
      choose(i);
      return;
    }
    if (!isAppActive || keyTaken) return;
    if (keyDown(VK_UP) || keyDown(VK_DOWN)) {
      selected = (selected + (keyDown(VK_UP) ? NUM_ITEMS - 1 : 1)) % NUM_ITEMS;
      menu_click_sound(false);
      showKeys();
    }
    if (keyDown(VK_RETURN)) {
      choose(selected);
    } else if (keyDown(VK_ESCAPE)) {
      choose(BACK_ITEM);
    }
  }

  static BaseGuiScreen* create() { return new ControlsScreen(); }
};

ControlsScreen* the_screen() { return static_cast<ControlsScreen*>(game_controls_screen); }
}  // namespace

void link_controls_screen() { game_controls_screen_Class::createScreen = ControlsScreen::create; }

void open_controls_screen(void (*back)())
{
  close_menu();
  if (!game_controls_screen_Class::createScreen) return;
  ControlsScreen* screen = static_cast<ControlsScreen*>(game_controls_screen_Class::createScreen());
  game_controls_screen = screen;
  cur_game_screen = screen;
  screen->back = back;
  std::string keys;
  for (int i = 0; i < NUM_BUTTONS; i++)
    keys += std::string(i ? ", " : "") + get_button_ui_name(i) + " " + get_button_key_name(i).c_str();
  debug("controls screen: %s", keys.c_str());
  adopt_menu_screen(
      screen, [] { the_screen()->update(); }, [](float dt) { draw_gui_screen(the_screen(), dt); });
}
