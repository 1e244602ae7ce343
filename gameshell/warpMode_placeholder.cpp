// PLACEHOLDER: a stand-in for the warp mode, the transition shown when the
// player leaves a world through a portal: it shows the world as it stands for
// one second, without the distortion, and then leaves the world. Delete it as
// the real mode is written.
#include "gameshell/gameModes.h"
#include "gameshell/shellPending.h"

#include "engine/postFx.h"
#include "worldrender/scenePasses.h"

namespace
{
class WarpModeStandIn : public GameMode
{
public:
  float timer = 0.f;

  void enter(GameMode*) override { timer = 1.f; }
  void leave(GameMode*) override {}
  void update(float dt) override
  {
    timer -= dt;
    if (timer <= 0.f) leave_world();
  }
  void render(float) override
  {
    render_scene(0.05f);
    apply_post_effects();
  }
  void drawOverlay(float) override {}
};
WarpModeStandIn warp_mode_obj;
}  // namespace

GameMode* warp_mode = &warp_mode_obj;

void init_warp_effect() {}
