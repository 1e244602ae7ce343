#include "launcher/settings.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "engine/config.h"

bool opt_fullscreen = false;
bool opt_antialiasing = false;
bool opt_vsync = true;
bool opt_object_shadows = true;
int opt_land_shadows = 2;
int opt_gfx_quality = 1;
int font_line_height = 8;

static const char* const quality_names[] = {"low", "high"};

// The studio has no site of its own yet; the reserved example domain
// stands in for it.
static const char* const k_site_url = "https://quillmere.example/";

// The tree built last, and the two rows that low quality hides.
static GuiBox* screen_root = nullptr;
static GuiBox* land_shadows_row = nullptr;
static GuiBox* object_shadows_row = nullptr;

LauncherHandler launcher_handler;

void reset_settings()
{
  opt_fullscreen = false;
  opt_antialiasing = false;
  opt_vsync = true;
  opt_object_shadows = true;
  opt_land_shadows = 2;
  opt_gfx_quality = 1;
}

void load_settings()
{
  int flags = 0;
  if (get_config_int("flags", &flags)) {
    opt_fullscreen = (flags & 1) != 0;
    opt_antialiasing = (flags & 2) != 0;
    opt_vsync = (flags & 4) != 0;
    opt_object_shadows = (flags & 8) != 0;
  }
  get_config_int("land_shadows", &opt_land_shadows);
  char quality[32];
  if (get_config_str("gfx_quality", quality, sizeof(quality))) {
    for (int i = 0; i < 2; ++i) {
      if (strcasecmp(quality, quality_names[i]) == 0) {
        opt_gfx_quality = i;
        break;
      }
    }
  }
}

void save_settings()
{
  int bits = (opt_fullscreen ? 1 : 0) + (opt_antialiasing ? 2 : 0) + (opt_vsync ? 4 : 0) + (opt_object_shadows ? 8 : 0);
  set_config_int_bits("flags", 15, bits);
  set_config_int("land_shadows", opt_land_shadows);
  set_config_str("gfx_quality", quality_names[opt_gfx_quality == 0 ? 0 : 1], -1);
}

// ------------------------------------------------------------ builders --

// One px-unit: a pixel at pixel scale 1.
static GuiLen px_unit() { return gui_units(1.0f / float(font_line_height)); }

static void set_text(GuiBox* box, const char* text) { snprintf(box->text, sizeof(box->text), "%s", text); }
static void set_name(GuiBox* box, const char* name) { snprintf(box->name, sizeof(box->name), "%s", name); }

GuiBox* add_gui_label(GuiBox* parent, const char* text, uint32_t color, int scale, int align_h, int align_v,
                      const GuiLen* margins, const GuiLen* paddings, const GuiLen* size)
{
  GuiBox* box = new_gui_box(size[0], size[1], margins, paddings, parent);
  set_text(box, text);
  box->textColor = color;
  box->textScale = uint8_t(scale);
  box->alignH = int8_t(align_h);
  box->alignV = int8_t(align_v);
  return box;
}

struct FaceLook
{
  const char* name;
  uint32_t background, text, top_left, bottom_right;
  bool offset;
};

static const FaceLook button_faces[3] = {
    {".normal", 0xff323232, 0xffc8c8c8, 0xff505050, 0xff1e1e1e, false},
    {".over", 0xff646464, 0xffffffff, 0xff828282, 0xff464646, false},
    {".pressed", 0xff646464, 0xffffffff, 0xff828282, 0xff464646, true},
};

static const FaceLook toggle_faces[3] = {
    {".normal", 0xff221100, 0, 0xff808080, 0xff808080, false},
    {".over", 0xff884411, 0, 0xff808080, 0xff808080, false},
    {".pressed", 0xffee8822, 0, 0xff808080, 0xff808080, false},
};

// The outer box with the three faces and the two behaviours.
static GuiBox* add_faced_box(GuiBox* parent, int id, const char* text, int scale, GuiLen face_w, GuiLen face_h,
                             const GuiLen* margins, const GuiLen* paddings, const FaceLook* looks)
{
  GuiBox* outer = new_gui_box(gui_auto(), gui_auto(), margins, paddings, parent);
  outer->id = id;
  const GuiLen px = px_unit();
  for (int i = 0; i < 3; ++i) {
    const FaceLook& look = looks[i];
    GuiBox* face = new_gui_box(face_w, face_h, nullptr, nullptr, outer);
    set_name(face, look.name);
    if (text) {
      set_text(face, text);
      face->textColor = look.text;
      face->textScale = uint8_t(scale);
    }
    face->background = look.background;
    for (int side = 0; side < 4; ++side) face->borderLen[side] = px;
    face->borderColor[GUI_TOP] = face->borderColor[GUI_LEFT] = look.top_left;
    face->borderColor[GUI_RIGHT] = face->borderColor[GUI_BOTTOM] = look.bottom_right;
    if (look.offset) face->offsetX = face->offsetY = px;
  }
  outer->applyBehaviour("solidBox");
  outer->applyBehaviour("button");
  return outer;
}

GuiBox* add_gui_button(GuiBox* parent, int id, const char* text, int scale, GuiLen face_w, GuiLen face_h,
                       const GuiLen* margins, const GuiLen* paddings)
{
  return add_faced_box(parent, id, text, scale, face_w, face_h, margins, paddings, button_faces);
}

GuiBox* add_gui_toggle(GuiBox* parent, int id, bool on, GuiLen square_w, GuiLen square_h, const GuiLen* margins,
                       const GuiLen* paddings)
{
  GuiBox* box = add_faced_box(parent, id, nullptr, 1, square_w, square_h, margins, paddings, toggle_faces);
  set_toggle_look(box, on, !on);
  return box;
}

void set_toggle_look(GuiBox* toggle, bool on, bool pressed_on)
{
  if (!toggle) return;
  if (GuiBox* f = toggle->findByName(".normal")) f->background = on ? 0xffaa4411 : 0xff000000;
  if (GuiBox* f = toggle->findByName(".over")) f->background = on ? 0xffee8822 : 0xff221100;
  if (GuiBox* f = toggle->findByName(".pressed")) f->background = pressed_on ? 0xffee8822 : 0xff221100;
}

// ---------------------------------------------------------------- screen --

struct OptionRow
{
  float top;
  const char* label;
  int first_id, squares;
};

static const OptionRow option_rows[] = {
    {6.5f, "Fullscreen", CMD_FULLSCREEN, 1},
    {9.f, "VSync", CMD_VSYNC, 1},
    {11.5f, "Graphics quality", CMD_QUALITY_LOW, 2},
    {14.f, "Anti-aliasing", CMD_ANTIALIASING, 1},
    {16.5f, "Land shadows", CMD_LAND_SHADOWS_0, 3},
    {19.f, "Object shadows", CMD_OBJECT_SHADOWS, 1},
};

GuiBox* build_launcher_screen()
{
  const GuiLen A = gui_auto(), zero = gui_units(0);
  const GuiLen no_padding[4] = {zero, zero, zero, zero};
  const GuiLen auto_size[2] = {A, A};

  const GuiLen root_margins[4] = {A, A, A, A};
  GuiBox* root = new_gui_box(gui_units(40), gui_units(30), root_margins, no_padding, nullptr);
  set_name(root, "root");
  root->background = 0xff222222;

  const GuiLen title_margins[4] = {gui_units(1), A, A, A};
  add_gui_label(root, "Quillmere", 0xffffffff, 4, 0, 0, title_margins, no_padding, auto_size);
  const GuiLen version_margins[4] = {gui_units(5), A, A, A};
  add_gui_label(root, "Version 0.22", 0xffffffff, 1, 0, 0, version_margins, no_padding, auto_size);

  for (const OptionRow& r : option_rows) {
    const GuiLen row_margins[4] = {gui_units(r.top), A, A, A};
    GuiBox* row = new_gui_box(gui_units(15), gui_units(3), row_margins, no_padding, root);
    set_name(row, r.label);
    const GuiLen label_margins[4] = {A, gui_px(0), gui_px(0), A};
    add_gui_label(row, r.label, 0xffcccccc, 1, -1, 0, label_margins, no_padding, auto_size);
    for (int k = 0; k < r.squares; ++k) {
      const GuiLen square_margins[4] = {A, A, gui_units(-2.5f * float(k)), A};
      add_gui_toggle(row, r.first_id + k, false, gui_units(2), gui_units(2), square_margins, no_padding);
    }
    if (r.first_id == CMD_LAND_SHADOWS_0) land_shadows_row = row;
    if (r.first_id == CMD_OBJECT_SHADOWS) object_shadows_row = row;
  }

  const GuiLen start_margins[4] = {A, A, gui_units(1), gui_units(2)};
  add_gui_button(root, CMD_START, "Start", 3, gui_units(11), gui_units(5), start_margins, no_padding);
  const GuiLen quit_margins[4] = {A, gui_units(1), A, gui_units(2)};
  add_gui_button(root, CMD_QUIT, "Quit", 3, gui_units(11), gui_units(5), quit_margins, no_padding);
  const GuiLen site_margins[4] = {A, A, A, gui_units(2)};
  add_gui_button(root, CMD_VISIT_SITE, "Visit site", 2, gui_units(13), gui_units(5), site_margins, no_padding);

  screen_root = root;
  return root;
}

void update_settings_view()
{
  if (!screen_root) return;
  const bool toggles[4] = {opt_fullscreen, opt_antialiasing, opt_vsync, opt_object_shadows};
  for (int i = 0; i < 4; ++i) set_toggle_look(screen_root->findById(CMD_FULLSCREEN + i), toggles[i], !toggles[i]);
  for (int id = CMD_LAND_SHADOWS_0; id <= CMD_LAND_SHADOWS_0 + 2; ++id)
    set_toggle_look(screen_root->findById(id), opt_land_shadows == id - CMD_LAND_SHADOWS_0, true);
  for (int id = CMD_QUALITY_LOW; id <= CMD_QUALITY_HIGH; ++id)
    set_toggle_look(screen_root->findById(id), opt_gfx_quality == id - CMD_QUALITY_LOW, true);
  bool low = opt_gfx_quality == 0;
  if (land_shadows_row) land_shadows_row->setHidden(low);
  if (object_shadows_row) object_shadows_row->setHidden(low);
}

// -------------------------------------------------------------- commands --

LauncherActions launcher_actions = {nullptr, nullptr, nullptr};

int LauncherHandler::handleEvent(GuiEvent& event, GuiBox*, int)
{
  if (event.code != GUI_EV_COMMAND) return 0;
  const int id = static_cast<GuiCommandEvent&>(event).id;
  switch (id) {
  case CMD_START:
    save_settings();
    if (launcher_actions.start_game) launcher_actions.start_game();
    if (launcher_actions.exit_launcher) launcher_actions.exit_launcher(0);
    return 1;
  case CMD_QUIT:
    save_settings();
    if (launcher_actions.exit_launcher) launcher_actions.exit_launcher(0);
    return 1;
  case CMD_VISIT_SITE:
    if (launcher_actions.open_site) launcher_actions.open_site(k_site_url);
    return 1;
  case CMD_FULLSCREEN: opt_fullscreen = !opt_fullscreen; break;
  case CMD_ANTIALIASING: opt_antialiasing = !opt_antialiasing; break;
  case CMD_VSYNC: opt_vsync = !opt_vsync; break;
  case CMD_OBJECT_SHADOWS: opt_object_shadows = !opt_object_shadows; break;
  case CMD_LAND_SHADOWS_0:
  case CMD_LAND_SHADOWS_0 + 1:
  case CMD_LAND_SHADOWS_0 + 2: opt_land_shadows = id - CMD_LAND_SHADOWS_0; break;
  case CMD_QUALITY_LOW:
  case CMD_QUALITY_HIGH: opt_gfx_quality = id - CMD_QUALITY_LOW; break;
  default: return 0;
  }
  update_settings_view();
  return 1;
}
