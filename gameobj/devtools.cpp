#include "gameobj/devtools.h"

#include <cmath>

#include "engine/d3d_render.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/input.h"
#include "engine/visualLog.h"
#include "gameobj/objects.h"
#include "gameshell/controls.h"
#include "gameshell/gameobjExports.h"
#include "world/heightmapData.h"
#include "worldrender/scenePasses.h"

bool mana_cheat = false;
bool monster_spawn = true;

namespace
{
const float CLICK_RAISE = 0.5f;
const int CLICK_RADIUS = 4;
const int MAP_CELLS = 64;  // map squares along each side, 4 x 4 world cells each
}  // namespace

void devmode_click(vec4f origin, vec4f dir)
{
  // The ray is followed across the land for two world widths; one that
  // points straight down meets the land right below.
  vec4f hit = origin;
  if (dir[0] * dir[0] + dir[2] * dir[2] > 1e-6f) {
    float dist = 512.f;
    if (!trace_hmap_ray(origin, dir, dist)) return;
    hit = origin + dir * v_splat(dist);
  } else if (!(dir[1] < 0.f)) {
    return;
  }
  const int cx = int(floorf(hit[0])), cz = int(floorf(hit[2]));
  for (int dz = -CLICK_RADIUS; dz <= CLICK_RADIUS; dz++)
    for (int dx = -CLICK_RADIUS; dx <= CLICK_RADIUS; dx++) {
      const float d2 = float(dx * dx + dz * dz);
      if (d2 > float(CLICK_RADIUS * CLICK_RADIUS)) continue;
      // A smooth bump: full height at the centre, none at the rim.
      const float k = 1.f - d2 / float(CLICK_RADIUS * CLICK_RADIUS);
      HeightmapData::target_hmap[HeightmapData::cell_index(cx + dx, cz + dz)] += CLICK_RAISE * k;
    }
}

void switch_mana_cheat()
{
  mana_cheat = !mana_cheat;
  visual_log("mana cheat %s", mana_cheat ? "on" : "off");
  debug("gameobj: mana cheat %s", mana_cheat ? "on" : "off");
}

void switch_monster_spawn()
{
  monster_spawn = !monster_spawn;
  visual_log("monster spawn %s", monster_spawn ? "on" : "off");
  debug("gameobj: monster spawn %s", monster_spawn ? "on" : "off");
}

// Land from dark to light by height, water blue, lava red; castles and
// portals as marks; the camera as a white square.
void draw_dev_world_map(float)
{
  if (!force_dev_map && !button_state(BUTTON_MAP)) return;
  using namespace HeightmapData;
  const int side = (d3d_wd < d3d_ht ? d3d_wd : d3d_ht) * 3 / 4;
  const int sq = side / MAP_CELLS > 0 ? side / MAP_CELLS : 1;
  const int x0 = (d3d_wd - sq * MAP_CELLS) / 2, y0 = (d3d_ht - sq * MAP_CELLS) / 2;
  float lo = 0.f, hi = 0.f;
  calcHtRange(lo, hi);
  const float range = hi - lo > 1e-3f ? hi - lo : 1.f;
  const int step = HMAP_SIZE / MAP_CELLS;

  start_draw_text();
  draw_rect(x0 - 2, y0 - 2, x0 + sq * MAP_CELLS + 2, y0 + sq * MAP_CELLS + 2, 0xC0000000u);
  for (int mz = 0; mz < MAP_CELLS; mz++)
    for (int mx = 0; mx < MAP_CELLS; mx++) {
      const int x = mx * step + step / 2, z = mz * step + step / 2;
      const int i = cell_index(x, z);
      const float fluid = water ? water[z][x].amount : 0.f;
      D3dColor c;
      if (fluid > 0.05f)
        c = D3dColor(30, 70, 170, 255);
      else if (fluid < -0.05f)
        c = D3dColor(220, 60, 20, 255);
      else {
        const int v = int(40.f + 200.f * (hmap[i] - lo) / range);
        c = D3dColor(v * 3 / 4, v, v / 2, 255);
      }
      // Rows go up the screen with z.
      draw_rect(x0 + mx * sq, y0 + mz * sq, x0 + (mx + 1) * sq, y0 + (mz + 1) * sq, c);
    }
  auto mark = [&](vec4f p, int size, D3dColor c) {
    const float fx = p[0] - 256.f * floorf(p[0] / 256.f), fz = p[2] - 256.f * floorf(p[2] / 256.f);
    const int px = x0 + int(fx * float(sq) / float(step)), pz = y0 + int(fz * float(sq) / float(step));
    draw_rect(px - size, pz - size, px + size + 1, pz + size + 1, c);
  };
  for (CastleObject* c : CastleObject_list) mark(c->pos, 3, 0xFFE0C080u);
  for (WorldPortal* p : WorldPortal_list) mark(p->pos, 2, 0xFF60A0FFu);
  mark(cur_view_itm.row[3], 2, 0xFFFFFFFFu);
  end_draw_text();
}
