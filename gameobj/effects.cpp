#include "gameobj/effects.h"

#include <cmath>

#include "gameobj/objects.h"
#include "gameobj/towers.h"
#include "engine/debug.h"
#include "engine/input.h"
#include "engine/random.h"
#include "scripting/fxScript.h"
#include "world/heightmapData.h"
#include "worldrender/lightning.h"
#include "worldrender/scenePasses.h"
#include "worldrender/trails.h"

namespace
{
int tick = 0;
int player_trail = -1;
const int KEY_L = 'L';

vec4f rgba(float r, float g, float b, float a) { return make4f(r, g, b, a); }

// Lava cells round the player now and then spit and, next to water, steam.
void lava_effects(vec4f centre)
{
  using namespace HeightmapData;
  for (int i = 0; i < 6; ++i) {
    const float x = centre[0] + rnd_float_signed() * 40.f, z = centre[2] + rnd_float_signed() * 40.f;
    const int cx = int(std::floor(x)) & HMAP_MASK, cz = int(std::floor(z)) & HMAP_MASK;
    const float amount = water[cz][cx].amount;
    if (amount > -0.05f) continue;
    const vec4f at = make4f(x, land_height(x, z) - amount, z, 1.f);
    call_fx_script("lava_spit", at, make4f(0, 1, 0, 0), rgba(1.f, 0.45f, 0.1f, 1.f), 0.6f);
    const float next = water[cz][(cx + 1) & HMAP_MASK].amount + water[(cz + 1) & HMAP_MASK][cx].amount;
    if (next > 0.f) call_fx_script("steam_puff", at, make4f(0, 1, 0, 0), rgba(0.9f, 0.9f, 0.9f, 0.6f), 1.f);
  }
}

void follow_with_trail(Player* p)
{
  const vec4f at = p->pos - make4f(0.f, 0.9f, 0.f, 0.f);
  const vec4f side = make4f(0.f, 0.35f, 0.f, 0.f);
  if (player_trail < 0 || !trails[player_trail].isAlive()) {
    player_trail = add_trail_fx(at, make4f(0, 0, 0, 0), side, 0.4f, 0xC080C0FFu);
    // The strip reads the trail band of the glow atlas.
    set_trail_tc(player_trail, 4.f, 0.5f, 0.f, 0.5f, 0.75f);
  } else {
    add_trail_point(player_trail, at, make4f(0, 0, 0, 0), side);
  }
}
}  // namespace

void init_object_effects()
{
  init_fx_script();
  tick = 0;
  player_trail = -1;
}

void close_object_effects()
{
  close_fx_script();
  player_trail = -1;
}

void strike_lightning(vec4f from, vec4f dir, float ahead)
{
  const float len = std::sqrt(dir[0] * dir[0] + dir[2] * dir[2]);
  const vec4f d = len > 1e-4f ? make4f(dir[0] / len, 0.f, dir[2] / len, 0.f) : make4f(0, 0, 1, 0);
  const float x = from[0] + d[0] * ahead, z = from[2] + d[2] * ahead;
  const vec4f end = make4f(x, land_height(x, z), z, 1.f);
  const vec4f start = end + make4f(rnd_float_signed() * 6.f, 45.f, rnd_float_signed() * 6.f, 0.f);
  const vec4f tangent = (end - start) * v_splat(0.4f) + make4f(rnd_float_signed() * 8.f, 0.f, rnd_float_signed() * 8.f, 0.f);
  add_lightning_fx(start, end, tangent, 0.45f, 7.f, 2.5f, 0.7f, 0xFFD0E0FFu, 40);
  call_fx_script("magic_sparkle", end, make4f(0, 1, 0, 0), rgba(0.7f, 0.8f, 1.f, 1.f), 1.5f);
  debug("lightning struck at (%.1f, %.1f, %.1f)", end[0], end[1], end[2]);
}

void update_object_effects(float dt)
{
  ++tick;
  if (tick % 20 == 0) reload_fx_script_if_changed();
  update_fx_script(dt);

  for (WorldPortal* p : WorldPortal_list) {
    if (tick % 2 == 0)
      call_fx_script("portal_glow", p->pos + make4f(0, 2.f, 0, 0), make4f(0, 0, 1, 0), rgba(0.4f, 0.6f, 1.f, 1.f), 1.f);
    if (tick % 10 == 0)
      call_fx_script("magic_sparkle", p->pos + make4f(0, 0.3f, 0, 0), make4f(0, 1, 0, 0), rgba(0.6f, 0.7f, 1.f, 1.f), 0.5f);
  }
  for (CastleObject* c : CastleObject_list)
    if (tick % 6 == 0)
      call_fx_script("smoke_column", c->pos + make4f(1.2f, 7.f, 1.2f, 0), make4f(0.2f, 0, 0.1f, 0), rgba(0.4f, 0.4f, 0.4f, 0.7f), 0.5f);
  for (GuardTower* g : GuardTower_list)
    if (tick % 8 == 0) call_fx_script("fire_burst", g->pos + make4f(0, 10.2f, 0, 0), make4f(0, 1, 0, 0), rgba(1, 0.6f, 0.2f, 1), 0.3f);

  if (local_player) {
    follow_with_trail(local_player);
    if (tick % 10 == 5) lava_effects(local_player->pos);
    if (keyDown(KEY_L)) strike_lightning(local_player->pos, cur_view_itm.row[2], 18.f);
  } else if (player_trail >= 0) {
    stop_trail_fx(player_trail);
    player_trail = -1;
  }
}

void water_vapor_at(int x, int z, float level, float amount)
{
  const vec4f at = make4f(float(x) + 0.5f, level, float(z) + 0.5f, 1.f);
  call_fx_script("steam_puff", at, make4f(0, 1, 0, 0), rgba(0.9f, 0.9f, 0.95f, 0.5f), amount > 0.f ? amount : 0.3f);
}
