// The launcher's one screen: four on/off options, the land-shadow level and
// the graphics quality, kept in the configuration store that the game reads
// at its start-up ("flags" bits 0-3, "land_shadows", "gfx_quality"), and the
// Start, Quit and Visit site commands.
//
// Options are loaded once before the screen is built and stored only by
// Start and Quit. Every store write is one locked read-modify-write of the
// shared file, so a game running beside the launcher keeps its own values;
// the bits of "flags" that are no launcher option (bit 4 and up, the game's
// own) are kept as stored. Main thread only.
#pragma once

#include <cstdint>

#include "launcher/gui.h"

// Option variables, with their defaults when nothing is stored.
extern bool opt_fullscreen;        // "flags" bit 0; off
extern bool opt_antialiasing;      // "flags" bit 1; off
extern bool opt_vsync;             // "flags" bit 2; on
extern bool opt_object_shadows;    // "flags" bit 3; on
extern int opt_land_shadows;       // "land_shadows"; 2, stored values are not range-checked
extern int opt_gfx_quality;        // index into {"low", "high"}; 1

// The font's line height; one px-unit is 1 / font_line_height units.
extern int font_line_height;

// Command ids of the screen's buttons and squares.
enum
{
  CMD_START = 1,
  CMD_QUIT = 2,
  CMD_VISIT_SITE = 3,
  CMD_FULLSCREEN = 4,
  CMD_ANTIALIASING = 5,
  CMD_VSYNC = 6,
  CMD_OBJECT_SHADOWS = 7,
  CMD_LAND_SHADOWS_0 = 8,   // 8, 9, 10: levels 0, 1, 2
  CMD_QUALITY_LOW = 11,     // 11, 12: low, high
  CMD_QUALITY_HIGH = 12,
};

// Restores the defaults (for a fresh start in tests), then nothing else.
void reset_settings();
void load_settings();
void save_settings();

// Builds the screen's box tree and returns its root; update_settings_view
// works on the tree built last.
GuiBox* build_launcher_screen();
void update_settings_view();

// Box builders. margins and paddings: top, left, right, bottom; size: w, h.
GuiBox* add_gui_label(GuiBox* parent, const char* text, uint32_t color, int scale, int align_h, int align_v,
                      const GuiLen* margins, const GuiLen* paddings, const GuiLen* size);
GuiBox* add_gui_button(GuiBox* parent, int id, const char* text, int scale, GuiLen face_w, GuiLen face_h,
                       const GuiLen* margins, const GuiLen* paddings);
GuiBox* add_gui_toggle(GuiBox* parent, int id, bool on, GuiLen square_w, GuiLen square_h, const GuiLen* margins,
                       const GuiLen* paddings);
// The faces' backgrounds: the normal and over faces show `on`, the pressed
// face the look `pressed_on`.
void set_toggle_look(GuiBox* toggle, bool on, bool pressed_on);

// What Start, Quit and Visit site do outside the screen. The application
// shell provides them; tests replace them.
struct LauncherActions
{
  bool (*start_game)();          // starts `game` beside the launcher; false when it could not
  void (*exit_launcher)(int code);
  void (*open_site)(const char* url);
};
extern LauncherActions launcher_actions;

// Handles the command events that bubble to the root (mask: commands only).
class LauncherHandler final : public GuiEventHandler
{
public:
  LauncherHandler() : GuiEventHandler(GUI_EV_COMMAND) {}
  int handleEvent(GuiEvent& event, GuiBox* box, int mode) override;
  void attach(GuiBox*) override {}
  void detach(GuiBox*) override {}
};
extern LauncherHandler launcher_handler;
