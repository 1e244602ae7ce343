// The plug-in's text menus.
#include "gameobj/menus.h"
#include "gameobj/sounds.h"

#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/universe.h"

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/input.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"
#include "scripting/hmGenScriptServices.h"

#include <cstring>

namespace
{
enum { VK_RETURN = 13, VK_ESCAPE = 27, VK_UP = 38, VK_DOWN = 40 };
enum { NUM_SLOTS = 5 };

struct MenuItem
{
  TempString<128> text;
  void (*action)(int arg);
  int arg;
};

struct Menu
{
  TempString<64> title;
  DynArray<MenuItem> items;
  int selected = 0;
  void (*back)() = nullptr;  // Escape

  void add(const char* text, void (*action)(int), int arg = 0)
  {
    MenuItem& item = items.push_default();
    item.text = text;
    item.action = action;
    item.arg = arg;
  }
};

Menu* open_menu = nullptr;

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
    if (cur_game_screen == this) cur_game_screen = nullptr;
    BaseGuiScreen::release();
  }
  static BaseGuiScreen* create() { return new MenuScreen(); }
};

typedef MenuScreen<main_menu_screen_Class, &main_menu_screen> MainMenuScreen;
typedef MenuScreen<game_menu_screen_Class, &game_menu_screen> GameMenuScreen;
void fill_universe_menu(Menu& m);

// The universe's list follows a regenerated universe.
class UniverseScreen : public MenuScreen<universe_screen_Class, &universe_screen>
{
public:
  void universeChanged() override { fill_universe_menu(menu); }
  static BaseGuiScreen* create() { return new UniverseScreen(); }
};

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
  open_menu = &screen->menu;
  return open_menu;
}

// ---- actions ----

void quit(int) { app_quit_requested = true; }
void close_with(int) { should_close_game_menu = true; }
void to_main_menu(int) { go_to_main_menu(); }
void fill_main_menu(Menu& m);

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

void show_main_items()
{
  if (open_menu) fill_main_menu(*open_menu);
}

void show_slots(int)
{
  Menu& m = *open_menu;
  m.items.clear();
  m.selected = 0;
  m.title = "Load game";
  for (int i = 0; i < NUM_SLOTS; i++) {
    bool outdated = false;
    TempString<260> name = get_saved_game_name(i, outdated);
    TempString<128> text;
    text.printf("Slot %d: %s%s", i + 1, name.buffer[0] ? name.c_str() : "(empty)", outdated ? " (old)" : "");
    m.add(text.c_str(), load_slot, i);
  }
  m.add("Back", [](int) { show_main_items(); });
  m.back = show_main_items;
}

void fill_main_menu(Menu& m)
{
  m.items.clear();
  m.selected = 0;
  m.title = "Quillmere";
  m.add("New game", new_game);
  m.add("Load game", show_slots);
  m.add("Quit", quit);
  m.back = nullptr;
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

// The "name" of each entry of the universe's "worlds".
void add_world_items(Menu& m)
{
  HSQUIRRELVM vm = universe.vm;
  if (!vm || universe.getType() != OT_TABLE) return;
  sqbind::StackRestore restore(vm);
  sq_pushobject(vm, universe.o);
  sq_pushstring(vm, "worlds", -1);
  if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_ARRAY) return;
  SQInteger n = sq_getsize(vm, -1);
  SQInteger top = sq_gettop(vm);
  for (SQInteger i = 0; i < n; i++) {
    TempString<128> text;
    text.printf("World %d", int(i + 1));
    sq_pushinteger(vm, i);
    if (SQ_SUCCEEDED(sq_get(vm, -2))) {
      sq_pushstring(vm, "name", -1);
      const SQChar* name = nullptr;
      if (sq_gettype(vm, -2) == OT_TABLE && SQ_SUCCEEDED(sq_get(vm, -2)) && SQ_SUCCEEDED(sq_getstring(vm, -1, &name)))
        text.printf("%s", name);
    }
    sq_settop(vm, top);
    m.add(text.c_str(), enter_world, int(i));
  }
}
void fill_universe_menu(Menu& m)
{
  m.items.clear();
  m.selected = 0;
  m.title = "Universe";
  add_world_items(m);
  m.add("Main menu", to_main_menu);
}
}  // namespace

void link_menus()
{
  main_menu_screen_Class::createScreen = MainMenuScreen::create;
  game_menu_screen_Class::createScreen = GameMenuScreen::create;
  universe_screen_Class::createScreen = UniverseScreen::create;
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
  m->back = [] { should_close_game_menu = true; };
}

void open_menu_universe()
{
  if (Menu* m = open_screen<UniverseScreen>(universe_screen)) fill_universe_menu(*m);
}

void close_menu()
{
  if (main_menu_screen) main_menu_screen->release();
  if (game_menu_screen) game_menu_screen->release();
  if (universe_screen) universe_screen->release();
  open_menu = nullptr;
  should_close_game_menu = false;
}

void update_menu(float)
{
  Menu* m = open_menu;
  if (!m || !isAppActive) return;
  int n = m->items.num;
  if (n == 0) return;
  if (keyDown(VK_UP)) m->selected = (m->selected + n - 1) % n;
  if (keyDown(VK_DOWN)) m->selected = (m->selected + 1) % n;
  if (keyDown(VK_UP) || keyDown(VK_DOWN) || keyDown(VK_RETURN) || (keyDown(VK_ESCAPE) && m->back))
    menu_click_sound(strcmp(m->title.c_str(), "Universe") == 0);
  // An action may close this menu or open another: nothing of it is used after.
  if (keyDown(VK_RETURN)) {
    const MenuItem& item = m->items[m->selected];
    debug("menu %s: %s", m->title.c_str(), item.text.c_str());
    item.action(item.arg);
  } else if (keyDown(VK_ESCAPE) && m->back) {
    m->back();
  }
}

void draw_menu(float)
{
  const Menu* m = open_menu;
  if (!m) return;
  int lh = bitmap_font.scale * bitmap_font.cellH;
  int step = lh * 3 / 2;
  int cx = d3d_wd / 2;
  int top = d3d_ht * 2 / 3;
  int bottom = top - step * (m->items.num + 2);
  start_draw_text();
  draw_rect(cx - 12 * lh, bottom - lh, cx + 12 * lh, top + 2 * lh, 0x99000000u);
  draw_text(m->title.c_str(), -1, cx, top, 0, -1, 0xFFFFFFFFu);
  for (int i = 0; i < m->items.num; i++) {
    bool sel = i == m->selected;
    TempString<140> text;
    text.printf(sel ? "> %s <" : "%s", m->items[i].text.c_str());
    draw_text(text.c_str(), -1, cx, top - step * (i + 2), 0, -1, sel ? 0xFFFFDD55u : 0xFFBBBBBBu);
  }
  end_draw_text();
}
