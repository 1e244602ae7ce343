// The spell screen on GUI boxes, and the play display.
#include "gameobj/spellScreen.h"
#include "gameobj/guiWidgets.h"
#include "gameobj/sounds.h"
#include "gameobj/spellCast.h"
#include "gameobj/spellValues.h"

#include "gameshell/controls.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/spells.h"

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/gui/guiDraw.h"
#include "engine/input.h"
#include "engine/text/distFont.h"

namespace
{
enum { VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40 };
enum { COLUMNS = 3 };
const float BOX_W = 420.f, BOX_H = 105.f, GAP = 10.f;  // layout units

// Icons go into a batch of their own, drawn after the boxes with the
// distance-field states.
RenderBatch icon_batch(8192);

void render_icons()
{
  start_dist_font_render();
  icon_batch.render();
  end_dist_font_render();
  icon_batch.clear();
}

// Queues a spell icon centred on (x, y), `px` pixels tall.
void draw_spell_icon(const SpellInfo* info, float x, float y, float px, D3dColor color)
{
  if (!info || info->iconId < 0) return;
  const float h = ui_icons.getOrgH(info->iconId);
  if (h <= 0.f) return;
  const float size = px / h;
  ui_icons.renderIcon(icon_batch, make4f(x, y, 1.f, 0.f), size, info->iconId, 0.f, 0.f,
                      0.f, 0.f, color, D3dColor(0u), D3dColor(0u), D3dColor(0u), D3dColor(0u), nullptr);
}

// One spell of the grid: its icon, its name, and L / R on the held ones.
class SpellBox : public GuiBox
{
public:
  int spellId = 0;
  void draw(RenderBatch& batch, float dt) override
  {
    GuiBox::draw(batch, dt);
    const SpellInfo* info = get_spell_info(spellId);
    if (!info) return;
    const float h = rect[3] - rect[1];
    draw_spell_icon(info, rect[0] + h * 0.55f, rect[1] + h * 0.5f, h * 0.7f, D3dColor(0xFFFFFFFFu));
    const float size = resolve_gui_prop(this, 11)[0] * layoutScale;
    gui_text->draw(batch, make4f(rect[0] + h * 1.1f, rect[1], rect[2], rect[3]), -1, D3dColor(0xFFE0E0E0u), size,
                   info->displayName);
    const char* held = spellId == left_spell && spellId == right_spell ? "L R"
                       : spellId == left_spell                         ? "L"
                       : spellId == right_spell                        ? "R"
                                                                       : nullptr;
    if (held) gui_text->draw(batch, make4f(rect[0], rect[1], rect[2] - 8.f, rect[3]), 1, D3dColor(0xFFFFDD55u), size, held);
  }
};

class SpellsScreen : public spells_gui_screen_Class
{
public:
  DynArray<SpellBox*> boxes;
  GuiBox* footer = nullptr;
  int focus = 0;
  bool placesLogged = false;
  bool pointerMoved = false;
  float openX = -1.f, openY = -1.f;  // the pointer when the screen opened
  BaseGuiElement* lastHovered = nullptr;

  // Where each spell lies on the screen, once it has been laid out.
  void logPlaces()
  {
    if (placesLogged) return;
    placesLogged = true;
    for (SpellBox* b : boxes) {
      const SpellInfo* info = get_spell_info(b->spellId);
      debug("spells: '%s' at %d %d %d %d", info ? info->displayName : "?", int(b->rect[0]), int(b->rect[1]),
            int(b->rect[2]), int(b->rect[3]));
    }
  }

  SpellsScreen() { build(); }

  void build()
  {
    GuiBox* rootBox = new_gui_box(nullptr, 0);
    set_gui_prop<3>(rootBox, D3dColor(0x60000000u), true);
    root = rootBox;
    style = &common_style;
    const int rows = (count() + COLUMNS - 1) / COLUMNS;
    const float grid_w = COLUMNS * BOX_W + (COLUMNS - 1) * GAP, grid_h = rows * BOX_H + (rows - 1) * GAP;
    GuiBox* panel = new_gui_box(rootBox, 1u << GF_PANEL);
    panel->centreY = true;
    set_gui_prop<6>(panel, grid_w + 48.f, true);
    set_gui_prop<7>(panel, grid_h + 210.f, true);
    GuiBox* title = new_gui_box(panel, 1u << GF_TITLE, "Spells");
    set_gui_prop<7>(title, 60.f, true);
    int n = 0;
    for (auto& row : spell_grid)
      for (int id : row) {
        if (!get_spell_info(id)) continue;
        SpellBox* b = new SpellBox();
        b->classFlags = (1u << GF_ITEM) | (1u << GF_BUTTON);
        b->spellId = id;
        b->centreX = false;
        panel->addChild(b);
        set_gui_prop<6>(b, BOX_W, true);
        set_gui_prop<7>(b, BOX_H, true);
        set_element_offsets(b, make4f((n % COLUMNS) * (BOX_W + GAP), 70.f + (n / COLUMNS) * (BOX_H + GAP), 0, 0), true);
        if (id == left_spell) focus = boxes.num;
        boxes.push_back(b);
        ++n;
      }
    footer = new_gui_box(panel, 1u << GF_TEXT);
    set_element_offsets(footer, make4f(0, 76.f + grid_h, 0, 0), true);
    set_gui_prop<7>(footer, 50.f, true);
    GuiBox* help = new_gui_box(panel, 1u << GF_TEXT,
                               "Press a spell button over a spell to hold it there.  Enter: left  Space: right");
    set_element_offsets(help, make4f(0, 122.f + grid_h, 0, 0), true);
    set_gui_prop<7>(help, 40.f, true);
    refresh();
  }

  static int count()
  {
    int n = 0;
    for (auto& row : spell_grid)
      for (int id : row)
        if (get_spell_info(id)) ++n;
    return n;
  }

  void refresh()
  {
    const SpellInfo* l = get_spell_info(left_spell);
    const SpellInfo* r = get_spell_info(right_spell);
    footer->label.printf("Left button: %s      Right button: %s", l ? l->displayName : "none",
                         r ? r->displayName : "none");
    for (int i = 0; i < boxes.num; ++i) boxes[i]->setClassFlag(GF_FOCUS, i == focus);
  }

  void hold(int index, bool left)
  {
    if (index < 0 || index >= boxes.num) return;
    (left ? left_spell : right_spell) = boxes[index]->spellId;
    focus = index;
    const SpellInfo* info = get_spell_info(boxes[index]->spellId);
    debug("spells: %s on the %s button", info ? info->displayName : "?", left ? "left" : "right");
    menu_click_sound(false);
    refresh();
  }

  void update()
  {
    processInput();
    const int hovered_box = boxes.find(static_cast<SpellBox*>(static_cast<GuiBox*>(hovered)));
    // The focus follows the pointer when it moves onto another spell, once
    // the pointer has moved at all since the screen opened.
    float mx = 0.f, my = 0.f;
    getMousePos(&mx, &my);
    if (openX < 0.f) openX = mx, openY = my;
    if (!pointerMoved && (mx - openX) * (mx - openX) + (my - openY) * (my - openY) > 16.f) pointerMoved = true;
    if (pointerMoved && hovered != lastHovered) {
      lastHovered = hovered;
      if (hovered_box >= 0) focus = hovered_box;
    }
    if (!isAppActive) return;
    // A mouse button chooses what is under the pointer, a key the focus.
    const bool mouse = keyDown(1) || keyDown(2) || keyDown(4);
    const int chosen = mouse ? hovered_box : focus;
    if (button_down(BUTTON_LEFT_SPELL)) hold(chosen, true);
    if (button_down(BUTTON_RIGHT_SPELL)) hold(chosen, false);
    const int n = boxes.num;
    if (n) {
      if (keyDown(VK_LEFT)) focus = (focus + n - 1) % n;
      if (keyDown(VK_RIGHT)) focus = (focus + 1) % n;
      if (keyDown(VK_UP)) focus = (focus + n - COLUMNS % n) % n;
      if (keyDown(VK_DOWN)) focus = (focus + COLUMNS) % n;
      if (keyDown(VK_RETURN)) hold(focus, true);
      if (keyDown(VK_SPACE)) hold(focus, false);
    }
    refresh();
    if (keyDown(VK_ESCAPE)) close_spells_screen();
  }

  void release() override
  {
    if (spells_gui_screen == this) spells_gui_screen = nullptr;
    if (cur_game_screen == this) cur_game_screen = nullptr;
    spells_ui_active = false;
    BaseGuiScreen::release();
  }

  static BaseGuiScreen* create() { return new SpellsScreen(); }
};

SpellsScreen* open_screen() { return static_cast<SpellsScreen*>(static_cast<BaseGuiScreen*>(spells_gui_screen)); }

// ---- the play display ----

void draw_bar(int x, int y, int w, int h, float value, float max, D3dColor color)
{
  const float k = max > 0.f ? value / max : 0.f;
  draw_rect(x - 2, y - 2, x + w + 2, y + h + 2, D3dColor(0xA0000000u));
  draw_rect(x, y, x + int(float(w) * (k < 0.f ? 0.f : k > 1.f ? 1.f : k)), y + h, color);
}

// One held spell at the bottom of the screen: a box with the icon, then
// (in a text pass) its name and cost. Greyed while the mana is short.
bool can_cast(int id)
{
  const SpellValues* sv = spell_values(id);
  return local_player && sv && local_player->mana >= sv->mana;
}

void draw_held_icon(int id, float cx, float px)
{
  const SpellInfo* info = get_spell_info(id);
  if (!info) return;
  const float bottom = float(d3d_ht);
  render_rounded_box(gui_batch, make4f(cx - px * 0.65f, bottom - px * 1.55f, cx + px * 0.65f, bottom - px * 0.2f),
                     v_splat(px * 0.12f), D3dColor(0x90101820u), 0.5f, 0.f, 0.f, 0.f, D3dColor(0u), -1.f);
  draw_spell_icon(info, cx, bottom - px * 1.05f, px * 0.8f, D3dColor(can_cast(id) ? 0xFFFFFFFFu : 0x80808080u));
}

// The left spell's name ends at its box, the right one's starts there.
void draw_held_name(int id, float x, int align)
{
  const SpellInfo* info = get_spell_info(id);
  const SpellValues* sv = spell_values(id);
  if (!info || !sv) return;
  TempString<64> text;
  text.printf("%s (%d)", info->displayName, int(sv->mana));
  draw_text(text.c_str(), -1, int(x), int(float(d3d_ht) * 0.09f * 0.85f), align, 0,
            D3dColor(can_cast(id) ? 0xFFFFFFFFu : 0xFF909090u));
}
}  // namespace

void link_spells_screen() { spells_gui_screen_Class::createScreen = SpellsScreen::create; }

void open_spells_screen()
{
  if (spells_gui_screen || !spells_gui_screen_Class::createScreen) return;
  spells_gui_screen = static_cast<spells_gui_screen_Class*>(spells_gui_screen_Class::createScreen());
  spells_ui_active = true;
  debug("spells: screen open");
}

void close_spells_screen()
{
  if (!spells_gui_screen) return;
  spells_gui_screen->release();
  spells_ui_active = false;
  debug("spells: screen closed");
}

bool spells_screen_open() { return spells_gui_screen != nullptr; }

void update_spells_screen()
{
  if (SpellsScreen* s = open_screen()) s->update();
}

void draw_spells_display(float)
{
  const int w = d3d_wd, h = d3d_ht;
  const float px = float(h) * 0.09f;
  start_draw_text();
  if (!spells_gui_screen) draw_text("+", -1, w / 2, h / 2, 0, 0, 0xCCFFFFFFu);
  if (local_player) {
    const int bw = w / 5, bh = h / 60 + 2;
    draw_bar(20, 20 + bh + 10, bw, bh, local_player->health, PLAYER_MAX_HEALTH, D3dColor(0xE0D03030u));
    draw_bar(20, 20, bw, bh, local_player->mana, PLAYER_MAX_MANA, D3dColor(0xE03070F0u));
  }
  if (const char* m = cast_message()) draw_text(m, -1, w / 2, h / 2 - h / 8, 0, 0, 0xFFFFE080u);
  end_draw_text();
  if (local_player) {
    const float lx = float(w) * 0.5f - px * 0.9f, rx = float(w) * 0.5f + px * 0.9f;
    begin_gui_pass();
    draw_held_icon(left_spell, lx, px);
    draw_held_icon(right_spell, rx, px);
    end_gui_pass();
    render_icons();
    start_draw_text();
    draw_held_name(left_spell, lx - px * 0.75f, 1);
    draw_held_name(right_spell, rx + px * 0.75f, -1);
    end_draw_text();
  }
  if (SpellsScreen* s = open_screen()) {
    draw_gui_screen(s, gui_frame_dt());
    render_icons();
    s->logPlaces();
  }
  end_gui_render();
}
