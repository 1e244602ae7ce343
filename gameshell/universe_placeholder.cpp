// PLACEHOLDER: stand-ins for the universe map and the save slots until they
// are written. Nothing is saved or loaded (save_game and load_saved_game
// fail, every slot is empty); the universe mode shows the plug-in's universe
// screen over a plain background, and a chosen world is generated afresh
// each time it is entered. Delete each definition here as the real one is
// written.
#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/shellPending.h"

#include "engine/d3d_render.h"
#include "engine/gameShellServices.h"
#include "engine/visualLog.h"
#include "scripting/hmGenScript.h"

bool save_game()
{
  set_error_message("Saving games is not available yet");
  return false;
}

bool load_saved_game(int)
{
  set_error_message("Loading games is not available yet");
  return false;
}

TempString<260> get_saved_game_name(int, bool& outdated)
{
  outdated = false;
  return TempString<260>();
}

bool load_world(int) { return false; }

void leave_world()
{
  reset_fly_control();
  generate_world("game");
  set_game_mode(play_mode);
}

namespace
{
class UniverseModeStandIn : public GameMode
{
public:
  void enter(GameMode*) override { open_universe_gui(); }
  void leave(GameMode*) override { close_game_menu(); }
  void update(float dt) override
  {
    update_game_menu(dt);
    if (should_close_game_menu) {
      generate_world("game");
      camera_heading = camera_pitch = camera_roll = 0.f;
      set_game_mode(play_mode);
    }
    handle_dev_hotkeys();
  }
  void render(float) override
  {
    set_wireframe(false);
    set_back_buffer_target();
    clear_view(0x00001133u);
  }
  void drawOverlay(float t) override { draw_game_menu(t); }
};
UniverseModeStandIn universe_mode_obj;
}  // namespace

GameMode* universe_mode = &universe_mode_obj;
