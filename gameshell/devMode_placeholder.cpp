// PLACEHOLDER: stand-ins for the developer mode until it is written: the mode
// holds the camera still over the running world (no fly keys, mouse look or
// clicks), the global developer keys work but the world keys do not, and
// there is no performance graph. Delete each definition here as the real one
// is written.
#include "gameshell/gameCamera.h"
#include "gameshell/gameMain.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/shellPending.h"

#include "engine/app.h"
#include "engine/config.h"
#include "engine/gameShellServices.h"
#include "engine/input.h"
#include "engine/postFx.h"
#include "engine/screenshot.h"
#include "worldrender/scenePasses.h"
#include "worldrender/sky.h"

bool show_fps = false;

void draw_perf_graph() {}

namespace
{
class DevModeStandIn : public GameMode
{
public:
  void enter(GameMode*) override
  {
    camera_roll = 0.f;
    fly_control.mouse_captured = false;
  }
  void leave(GameMode*) override {}
  void update(float dt) override
  {
    begin_camera_tick(dt);
    cur_view_itm = get_camera_view(dt);
    handle_dev_hotkeys();
    save_prev_sky_state(dt);
    if (!world_paused) world_tick(dt);
  }
  void render(float t) override
  {
    render_scene(t);
    apply_post_effects();
  }
  void drawOverlay(float t) override { render_dev_world_map(t); }
};
DevModeStandIn dev_mode_obj;
}  // namespace

GameMode* dev_mode = &dev_mode_obj;

enum { VK_ESCAPE = 27, VK_SNAPSHOT = 44, VK_CONTROL = 17, VK_F1 = 112, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6,
       VK_F9 = 120 };

void handle_dev_hotkeys()
{
  if (!isAppActive) return;
  if (keyUp(VK_SNAPSHOT)) take_screenshot();
  if (keyDown(VK_F1)) show_fps = !show_fps;
  if (keyDown(VK_F5)) use_postfx = !use_postfx;
  if (keyDown(VK_F6)) use_ppaa = !use_ppaa;
  if (keyDown(VK_F9)) set_game_mode(cur_game_mode == dev_mode ? play_mode : dev_mode);
  if (keyDown(VK_ESCAPE) && cur_game_mode != main_menu_mode) set_game_mode(game_menu_mode);
  if (keyDown(VK_F2)) world_paused = !world_paused;
  if (keyDown(VK_F3) && !getKeyState(VK_CONTROL)) use_fog = !use_fog;
  if (keyDown(VK_F4)) use_wireframe = !use_wireframe;
}
