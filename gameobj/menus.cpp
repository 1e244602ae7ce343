// The plug-in's menu screens on the GUI runtime.
#include "gameobj/menus.h"

#include "gameobj/controlsScreen.h"
#include "gameobj/devtools.h"
#include "gameobj/guiWidgets.h"
#include "gameobj/sounds.h"
#include "gameobj/universeView.h"

#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/universe.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/input.h"
#include "engine/postFx.h"
#include "engine/visualLog.h"

#include <cstring>
#include <functional>
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"

namespace
{
enum { VK_RETURN = 13, VK_ESCAPE = 27, VK_UP = 38, VK_DOWN = 40 };
enum { NUM_SLOTS = 5 };

struct MenuItem
{
  TempString<128> text;
  void (*action)(int arg);
  int arg;
  TempString<256> tip;
  bool* check;  // a checkbox of this switch, or null for a button
};

// A menu's content and its boxes.
struct Menu
{
  TempString<64> title;
  DynArray<MenuItem> items;
  int selected = 0;
  void (*back)() = nullptr;  // Escape

  GuiBox* panel = nullptr;
  DynArray<GuiBox*> buttons;  // one per item
  BaseGuiElement* lastHovered = nullptr;
  int pending = -1;           // clicked, chosen after the input pass
  bool dirty = true;          // items changed: build the boxes again

  void add(const char* text, void (*action)(int), int arg = 0, const char* tip = nullptr)
  {
    MenuItem& item = items.push_default();
    item.text = text;
    item.action = action;
    item.arg = arg;
    item.tip = tip ? tip : "";
    item.check = nullptr;
    dirty = true;
  }
  void addCheck(const char* text, bool* value)
  {
    add(text, nullptr, 0);
    items.back().check = value;
  }
  void clear()
  {
    items.clear();
    selected = 0;
    back = nullptr;
    dirty = true;
  }
};

BaseGuiScreen* open_screen_ptr = nullptr;
Menu* open_menu = nullptr;

void label_check(GuiBox* b, const MenuItem& item)
{
  b->label.printf("%s: %s", item.text.c_str(), get_element_checked(b) ? "on" : "off");
}

// Builds the menu's panel under the screen's root (made when missing),
// replacing the old one; the old boxes die in the next destruction pass.
void build_menu(BaseGuiScreen* screen, Menu& m, bool left_panel)
{
  if (!screen->root) {
    // The whole screen, drawing nothing itself.
    GuiBox* root = new_gui_box(nullptr, 0);
    set_gui_prop<3>(root, D3dColor(0u), true);
    screen->root = root;
  }
  screen->style = &common_style;
  screen->resetState();
  if (m.panel) {
    screen->root->removeChild(m.panel);
    queue_destruction(m.panel);
  }
  GuiBox* panel = new_gui_box(nullptr, 1u << GF_PANEL);
  // The panel first in the root: it wins the hit test over a viewer drawn
  // under it.
  BaseGuiElement* first = panel;
  screen->root->children.insert(0, 1, &first);
  panel->parent = screen->root;
  panel->stack = true;
  float height = 44.f + 70.f + 60.f * float(m.items.num);
  set_gui_prop<7>(panel, height, true);
  if (left_panel) {
    panel->centreX = false;
    panel->centreY = true;
    set_gui_prop<6>(panel, 380.f, true);
    set_element_offsets(panel, make4f(30, 0, 0, 0), true);
  } else {
    // Below the middle of the screen, where the pointer starts.
    set_element_offsets(panel, make4f(0, 480, 0, 0), true);
  }
  new_gui_box(panel, 1u << GF_TITLE, m.title.c_str());
  m.buttons.clear();
  m.lastHovered = nullptr;
  for (int i = 0; i < m.items.num; i++) {
    const MenuItem& item = m.items[i];
    uint32_t flags = (1u << GF_ITEM) | (item.check ? 1u << GF_CHECK : 1u << GF_BUTTON);
    GuiBox* b = new_gui_box(panel, flags | (item.tip.buffer[0] ? 1u << GF_TIP : 0u), item.text.c_str());
    if (item.tip.buffer[0]) set_element_text(b, item.tip.c_str(), true);
    Menu* mp = &m;
    if (item.check) {
      set_element_checked(b, *item.check, true);
      label_check(b, item);
      // The checkbox behaviour flips the element's checked state; the switch follows it.
      add_gui_listener(b->onCheckChanged, new GuiFuncListener<std::function<void(bool)>, bool>([mp, i, b](bool v) {
        MenuItem& it = mp->items[i];
        *it.check = v;
        label_check(b, it);
        debug("menu %s: %s", mp->title.c_str(), b->label.c_str());
      }));
    } else {
      add_gui_listener(b->onClick, on_click([mp, i](bool) { mp->pending = i; }));
    }
    m.buttons.push_back(b);
  }
  m.panel = panel;
  if (m.selected >= m.items.num) m.selected = 0;
  m.dirty = false;
}

void click_sound(const Menu& m) { menu_click_sound(strcmp(m.title.c_str(), "Universe") == 0); }

void choose(Menu& m, int i)
{
  if (i < 0 || i >= m.items.num) return;
  click_sound(m);
  m.selected = i;
  const MenuItem& item = m.items[i];
  if (item.check) {
    // Enter on a checkbox clicks it as the mouse would.
    if (NewGuiEventHandler* cb = get_behavior("checkbox"))
      static_cast<ButtonBehavior*>(cb)->click(m.buttons[i], nullptr);
    return;
  }
  debug("menu %s: %s", m.title.c_str(), item.text.c_str());
  // The action may close this menu or open another: nothing of it is used after.
  item.action(item.arg);
}

// One tick of a menu screen: the pointer through the GUI, then the keys.
void update_menu_screen(BaseGuiScreen* screen, Menu& m)
{
  if (m.dirty) build_menu(screen, m, false);
  screen->processInput();
  // The focus follows the pointer when it moves onto another item.
  if (screen->hovered != m.lastHovered) {
    m.lastHovered = screen->hovered;
    int hovered = m.buttons.find((GuiBox*)screen->hovered);
    if (hovered >= 0) m.selected = hovered;
  }
  int n = m.items.num;
  if (m.pending >= 0) {
    int i = m.pending;
    m.pending = -1;
    choose(m, i);
    return;
  }
  if (!isAppActive || n == 0) return;
  if (keyDown(VK_UP)) m.selected = (m.selected + n - 1) % n;
  if (keyDown(VK_DOWN)) m.selected = (m.selected + 1) % n;
  if (keyDown(VK_RETURN)) {
    choose(m, m.selected);
  } else {
    if (keyDown(VK_UP) || keyDown(VK_DOWN) || (keyDown(VK_ESCAPE) && m.back)) click_sound(m);
    if (keyDown(VK_ESCAPE) && m.back) m.back();
  }
}

void show_focus(Menu& m)
{
  for (int i = 0; i < m.buttons.num; i++) m.buttons[i]->setClassFlag(GF_FOCUS, i == m.selected);
}

// A screen of one of the game's screen slots, holding one menu.
template <class Base, Base** Slot>
class MenuScreen : public Base
{
public:
  Menu menu;

  void release() override
  {
    if (*Slot == this) *Slot = nullptr;
    if (open_menu == &menu) open_menu = nullptr;
    if (open_screen_ptr == this) open_screen_ptr = nullptr;
    if (cur_game_screen == this) cur_game_screen = nullptr;
    BaseGuiScreen::release();
  }
  virtual void update() { update_menu_screen(this, menu); }
  virtual void draw(float dt)
  {
    if (menu.dirty) build_menu(this, menu, false);
    show_focus(menu);
    draw_gui_screen(this, dt);
  }
  static BaseGuiScreen* create() { return new MenuScreen(); }
};

typedef MenuScreen<main_menu_screen_Class, &main_menu_screen> MainMenuScreen;
typedef MenuScreen<game_menu_screen_Class, &game_menu_screen> GameMenuScreen;
typedef MenuScreen<game_slot_screen_Class, &game_slot_screen> SlotScreen;
typedef MenuScreen<credits_screen_Class, &credits_screen> CreditsScreen;
typedef MenuScreen<new_game_note_screen_Class, &new_game_note_screen> NewGameNoteScreen;
typedef MenuScreen<enter_world_screen_Class, &enter_world_screen> EnterWorldScreen;
typedef MenuScreen<game_options_screen_Class, &game_options_screen> OptionsScreen;
typedef MenuScreen<cheat_menu_screen_Class, &cheat_menu_screen> CheatScreen;
void fill_universe_menu(Menu& m);

// The map of the worlds under the menu of the worlds.
class UniverseScreen : public MenuScreen<universe_screen_Class, &universe_screen>
{
public:
  UniverseView* view = nullptr;
  float downX = 0.f, downY = 0.f;
  int lastPointed = -1;

  void universeChanged() override { fill_universe_menu(menu); }
  void build()
  {
    if (!view) {
      view = new_universe_view();
      root = view;
    }
    load_universe_view(view);
    build_menu(this, menu, true);
  }
  void update() override
  {
    if (menu.dirty) build();
    update_menu_screen(this, menu);
    // A world under the pointer on the map takes the focus of the list.
    if (universe_screen == this && hovered == view) {
      float x = 0.f, y = 0.f;
      getMousePos(&x, &y);
      int w = universe_view_world_at(view, x, y);
      if (w >= 0 && w != lastPointed) menu.selected = w;
      lastPointed = w;
    }
  }
  // A click on the map (a press and release without a drag) enters the
  // world under the pointer.
  void processInputEvent(NewGuiInputEvent* event, BaseGuiElement* target) override
  {
    int type = event->input.type;
    float x = event->input.x, y = event->input.y;
    BaseGuiScreen::processInputEvent(event, target);
    if (target != view) return;
    if (type == INPUT_BUTTON_DOWN) {
      downX = x;
      downY = y;
    } else if (type == INPUT_BUTTON_UP && fabsf(x - downX) < 5.f && fabsf(y - downY) < 5.f) {
      int w = universe_view_world_at(view, x, y);
      if (w >= 0) {
        debug("universe map: world %d clicked", w);
        menu.pending = w;
      }
    }
    if (type == INPUT_BUTTON_UP || type == INPUT_WHEEL) logView();
  }
  // Where the view went after a drag or a wheel step, and where the first
  // world now stands on the screen.
  void logView()
  {
    float sx = 0.f, sy = 0.f;
    if (view->worlds.num) {
      sx = view->viewOrigin[0] + view->worlds[0].x * view->viewScale[0];
      sy = view->viewOrigin[1] + view->worlds[0].y * view->viewScale[1];
    }
    debug("universe map: centre %.0f %.0f, extent %.0f, world 0 at %.0f %.0f", view->centreX, view->centreY,
          view->extent, sx, sy);
  }
  void draw(float dt) override
  {
    if (menu.dirty) build();
    show_focus(menu);
    restyle();
    view->hot = menu.selected < view->worlds.num ? menu.selected : -1;
    begin_gui_pass();
    draw_universe_view(view, gui_batch);
    end_gui_pass();
    begin_gui_pass();
    menu.panel->draw(gui_batch, dt);
    end_gui_pass();
  }
  static BaseGuiScreen* create() { return new UniverseScreen(); }
};

// The open screen's two operations, whatever its class.
void (*update_open)() = nullptr;
void (*draw_open)(float dt) = nullptr;

// Makes the slot's screen through its factory and opens its menu.
template <class Screen, class Base>
Menu* open_screen(Base*& slot)
{
  close_menu();
  should_close_game_menu = false;
  if (!Base::createScreen) return nullptr;
  Screen* screen = static_cast<Screen*>(Base::createScreen());
  slot = screen;
  cur_game_screen = screen;
  open_screen_ptr = screen;
  open_menu = &screen->menu;
  update_open = [] { static_cast<Screen*>(open_screen_ptr)->update(); };
  draw_open = [](float dt) { static_cast<Screen*>(open_screen_ptr)->draw(dt); };
  return open_menu;
}

// ---- actions ----

void quit(int) { app_quit_requested = true; }
void close_with(int) { should_close_game_menu = true; }
void to_main_menu(int) { go_to_main_menu(); }
void reopen_main(int) { open_menu_main(); }
void reopen_main_back() { open_menu_main(); }

void new_game(int)
{
  // The first empty slot, else the first.
  int slot = 0;
  for (int i = 0; i < NUM_SLOTS; i++) {
    bool outdated = false;
    if (get_saved_game_name(i, outdated).buffer[0] == 0) {
      slot = i;
      break;
    }
  }
  cur_game_slot = slot;
  generate_universe();
  should_close_game_menu = true;
}

void load_slot(int slot)
{
  if (load_saved_game(slot)) should_close_game_menu = true;
}

void show_slots(int)
{
  Menu* m = open_screen<SlotScreen>(game_slot_screen);
  if (!m) return;
  m->title = "Load game";
  for (int i = 0; i < NUM_SLOTS; i++) {
    bool outdated = false;
    TempString<260> name = get_saved_game_name(i, outdated);
    TempString<128> text;
    text.printf("Slot %d: %s%s", i + 1, name.buffer[0] ? name.c_str() : "(empty)", outdated ? " (old)" : "");
    m->add(text.c_str(), load_slot, i);
  }
  m->add("Back", reopen_main);
  m->back = reopen_main_back;
}

void show_credits(int)
{
  Menu* m = open_screen<CreditsScreen>(credits_screen);
  if (!m) return;
  m->title = "Quillmere";
  m->add("Made with Squirrel, SDL and OpenGL", reopen_main);
  m->add("Back", reopen_main);
  m->back = reopen_main_back;
}

void show_controls_from_main(int) { open_controls_screen(open_menu_main); }
void show_controls_from_game(int) { open_controls_screen(open_menu_game); }

void fill_main_menu(Menu& m)
{
  m.clear();
  m.title = "Quillmere";
  m.add("New game", new_game, 0, "Start a new universe in the first free slot");
  m.add("Load game", show_slots);
  m.add("Controls", show_controls_from_main, 0, "Choose the keys of the eleven controls");
  m.add("Credits", show_credits);
  m.add("Quit", quit);
}

void back_to_game_menu(int) { open_menu_game(); }
void back_to_game_menu_key() { open_menu_game(); }

void show_options(int)
{
  Menu* m = open_screen<OptionsScreen>(game_options_screen);
  if (!m) return;
  m->title = "Options";
  m->addCheck("Fog", &use_fog);
  m->addCheck("Post effects", &use_postfx);
  m->addCheck("Anti-aliasing", &use_ppaa);
  m->add("Back", back_to_game_menu);
  m->back = back_to_game_menu_key;
}

void save(int)
{
  if (save_game()) visual_log("game saved");
}

void enter_world(int index)
{
  HSQUIRRELVM vm = universe.vm;
  if (!vm) return;
  sqbind::StackRestore restore(vm);
  sq_pushobject(vm, universe.o);
  sq_pushstring(vm, "enteredWorld", -1);
  sq_pushinteger(vm, index);
  if (SQ_SUCCEEDED(sq_set(vm, -3))) should_close_game_menu = true;
}

void fill_universe_menu(Menu& m)
{
  m.clear();
  m.title = "Universe";
  DynArray<UniverseWorld> worlds;
  read_universe_worlds(worlds);
  for (int i = 0; i < worlds.num; i++) {
    TempString<256> tip;
    tip.printf("%s, danger %d", worlds[i].title.c_str(), worlds[i].level);
    m.add(worlds[i].name.c_str(), enter_world, i, tip.c_str());
  }
  m.add("Main menu", to_main_menu);
}

// ---- the tooltip ----

GuiBox* tooltip_box = nullptr;
bool tooltip_shown = false;

class TooltipScreen : public tooltip_screen_Class
{
public:
  void release() override
  {
    if (tooltip_screen == this) tooltip_screen = nullptr;
    BaseGuiScreen::release();
  }
  static BaseGuiScreen* create() { return new TooltipScreen(); }
};
}  // namespace

void link_menus()
{
  main_menu_screen_Class::createScreen = MainMenuScreen::create;
  game_menu_screen_Class::createScreen = GameMenuScreen::create;
  universe_screen_Class::createScreen = UniverseScreen::create;
  game_slot_screen_Class::createScreen = SlotScreen::create;
  credits_screen_Class::createScreen = CreditsScreen::create;
  new_game_note_screen_Class::createScreen = NewGameNoteScreen::create;
  enter_world_screen_Class::createScreen = EnterWorldScreen::create;
  tooltip_screen_Class::createScreen = TooltipScreen::create;
  game_options_screen_Class::createScreen = OptionsScreen::create;
  cheat_menu_screen_Class::createScreen = CheatScreen::create;
  init_gui_styles();
  // A reload released the old library's screens: the menu of the current
  // mode comes back (at start-up there is no mode yet).
  if (cur_game_mode == main_menu_mode)
    open_menu_main();
  else if (cur_game_mode == universe_mode)
    open_menu_universe();
  else if (cur_game_mode == game_menu_mode)
    open_menu_game();
}

void open_menu_main()
{
  if (Menu* m = open_screen<MainMenuScreen>(main_menu_screen)) fill_main_menu(*m);
}

void open_menu_game()
{
  Menu* m = open_screen<GameMenuScreen>(game_menu_screen);
  if (!m) return;
  m->title = "Game menu";
  m->add("Resume", close_with);
  m->add("Save game", save);
  m->add("Main menu", to_main_menu);
  m->add("Quit", quit);
  m->add("Controls", show_controls_from_game);
  m->add("Options", show_options);
  m->back = [] { should_close_game_menu = true; };
}

void open_menu_cheats()
{
  Menu* m = open_screen<CheatScreen>(cheat_menu_screen);
  if (!m) return;
  m->title = "Cheats";
  m->addCheck("Endless mana", &mana_cheat);
  m->addCheck("Monster spawning", &monster_spawn);
  m->add("Resume", close_with);
  m->back = [] { should_close_game_menu = true; };
}

void open_menu_universe()
{
  if (Menu* m = open_screen<UniverseScreen>(universe_screen)) fill_universe_menu(*m);
}

void close_menu()
{
#define MENU_RELEASE(name) \
  if (name##_screen) name##_screen->release();
  MENU_RELEASE(main_menu)
  MENU_RELEASE(game_menu)
  MENU_RELEASE(universe)
  MENU_RELEASE(game_slot)
  MENU_RELEASE(credits)
  MENU_RELEASE(new_game_note)
  MENU_RELEASE(enter_world)
  MENU_RELEASE(game_options)
  MENU_RELEASE(cheat_menu)
  MENU_RELEASE(game_controls)
#undef MENU_RELEASE
  open_menu = nullptr;
  open_screen_ptr = nullptr;
  should_close_game_menu = false;
  hide_menu_tooltip();
}

bool menu_is_open() { return open_screen_ptr != nullptr; }

void adopt_menu_screen(BaseGuiScreen* screen, void (*update)(), void (*draw)(float dt))
{
  open_screen_ptr = screen;
  open_menu = nullptr;
  update_open = update;
  draw_open = draw;
}

void forget_menu_screen(BaseGuiScreen* screen)
{
  if (open_screen_ptr == screen) open_screen_ptr = nullptr;
}

void update_menu(float)
{
  if (open_screen_ptr && update_open) update_open();
}

void draw_menu(float)
{
  float dt = gui_frame_dt();
  if (open_screen_ptr && draw_open) draw_open(dt);
  draw_menu_tooltip(dt);
  end_gui_render();
}

// ---- tooltip ----

void show_menu_tooltip(const char* text)
{
  if (!tooltip_screen && tooltip_screen_Class::createScreen)
    tooltip_screen = static_cast<tooltip_screen_Class*>(tooltip_screen_Class::createScreen());
  if (!tooltip_screen) return;
  if (!tooltip_screen->root) {
    tooltip_box = new_gui_box(nullptr, 1u << GF_TOOLTIP);
    tooltip_box->labelAlign = -1;
    set_gui_prop<5>(tooltip_box, make4f(10, 0, 10, 0), true);
    tooltip_screen->root = tooltip_box;
    tooltip_screen->style = &tooltip_style;
  }
  tooltip_box->label = text ? text : "";
  tooltip_shown = tooltip_box->label.buffer[0] != 0;
}

void hide_menu_tooltip() { tooltip_shown = false; }

void draw_menu_tooltip(float dt)
{
  if (!tooltip_shown || !tooltip_screen || !tooltip_box) return;
  tooltip_style.restyle(tooltip_box, false);
  float scale = float(d3d_ht) * 0.001f;
  float mx = 0.f, my = 0.f;
  getMousePos(&mx, &my);
  float w = gui_text->width(tooltip_box->label.c_str(), 30.f * scale) + 20.f * scale + 8.f;
  float h = 44.f * scale;
  float x = std::min(mx + 16.f, float(d3d_wd) - w - 2.f), y = std::min(my + 24.f, float(d3d_ht) - h - 2.f);
  tooltip_box->layout(make4f(x, y, x + w, y + h), scale);
  begin_gui_pass();
  tooltip_box->draw(gui_batch, dt);
  end_gui_pass();
}
