#include "worldrender/trails.h"

#include <cmath>

#include "engine/debug.h"
#include "engine/dynVBWriter.h"
#include "worldrender/commonFx.h"
#include "worldrender/scenePasses.h"

Trail trails[MAX_TRAILS];
int trail_free_head = -1;
ColorRamp default_trail_ramp(D3dColor(0u), D3dColor(0xFFFFFFFFu), D3dColor(0u), 0.75f, 0.01f);

namespace
{
const int STRIP_BYTES_PER_POINT = 144;

void reset_slot(Trail& tr)
{
  tr.count = 0;
  tr.head = 0;
  tr.ramp = &default_trail_ramp;
  tr.tcStep = 1.f;
  tr.tcSpeed = 0.f;
  tr.tcOffset = 0.f;
  tr.tcV0 = 0.f;
  tr.tcV1 = 0.25f;
  tr.stopped = false;
}

void free_slot(int id)
{
  reset_slot(trails[id]);
  trails[id].nextFree = trail_free_head;
  trail_free_head = id;
}

bool valid(int id) { return id >= 0 && id < MAX_TRAILS; }

void push_point(Trail& tr, vec4f pos, vec4f vel, vec4f side)
{
  const int prev = tr.head;
  tr.head = tr.head - 1;
  if (tr.head < 0) tr.head = TRAIL_POINTS - 1;
  TrailPoint& p = tr.points[tr.head];
  if (tr.count == 0) {
    tr.count = 1;
    p.pos = pos;
    p.prevPos = pos;
  } else {
    if (tr.count < TRAIL_POINTS) tr.count += 1;
    const vec4f ref = tr.points[prev].prevPos;
    p.pos = nearest_world_image(pos, ref);
    p.prevPos = ref;
  }
  p.side = side;
  p.vel = vel;
  p.color = tr.color;
}
}  // namespace

void reset_trails()
{
  for (int i = 0; i < MAX_TRAILS; ++i) {
    reset_slot(trails[i]);
    trails[i].nextFree = i + 1 < MAX_TRAILS ? i + 1 : -1;
  }
  trail_free_head = 0;
}

int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float width, D3dColor color)
{
  const int id = trail_free_head;
  if (id < 0) return -1;
  Trail& tr = trails[id];
  ASSERT_AT("trailFx", 646, !tr.isAlive());
  trail_free_head = tr.nextFree;
  tr.nextFree = -1;
  tr.width = width;
  tr.color = color;
  tr.stopped = false;
  push_point(tr, pos, vel, side);
  return id;
}

// Calls on a slot that is not live are ignored, so a stale id can never
// bring a slot on the free list to life.
void add_trail_point(int id, vec4f pos, vec4f vel, vec4f side)
{
  if (valid(id) && trails[id].isAlive()) push_point(trails[id], pos, vel, side);
}

void kill_trail_fx(int id)
{
  if (valid(id) && trails[id].isAlive()) free_slot(id);
}

void stop_trail_fx(int id)
{
  if (valid(id) && trails[id].isAlive()) trails[id].stopped = true;
}

void set_trail_color(int id, D3dColor color)
{
  if (valid(id) && trails[id].isAlive()) trails[id].color = color;
}

void set_trail_ramp(int id, ColorRamp* ramp)
{
  if (valid(id) && trails[id].isAlive() && ramp) trails[id].ramp = ramp;
}

void set_trail_tc(int id, float tcStep, float tcSpeed, float tcOffset, float tcV0, float tcV1)
{
  if (!valid(id) || !trails[id].isAlive()) return;
  Trail& tr = trails[id];
  tr.tcStep = tcStep;
  tr.tcSpeed = tcSpeed;
  tr.tcOffset = tcOffset;
  tr.tcV0 = tcV0;
  tr.tcV1 = tcV1;
}

bool update_trail(Trail& tr, float dt)
{
  if (tr.count < 1) return true;
  if (tr.stopped) {
    tr.count -= 1;
    if (tr.count < 1) return false;
  }
  tr.tcOffset += tr.tcSpeed * dt;
  const vec4f newest = tr.points[tr.head].pos;
  const float sx = (newest[0] / 256.f + 16.f - std::floor(newest[0] / 256.f + 16.f)) * 256.f - newest[0];
  const float sz = (newest[2] / 256.f + 16.f - std::floor(newest[2] / 256.f + 16.f)) * 256.f - newest[2];
  const vec4f shift = make4f(sx, 0.f, sz, 0.f);
  for (int k = 0; k < tr.count; ++k) {
    TrailPoint& p = tr.points[(tr.head + k) & (TRAIL_POINTS - 1)];
    p.prevPos = p.pos + shift;
    p.pos = p.pos + shift + p.vel * v_splat(dt);
  }
  return true;
}

void update_all_trails(float dt)
{
  for (int i = 0; i < MAX_TRAILS; ++i)
    if (!update_trail(trails[i], dt)) free_slot(i);
}

int live_trails()
{
  int n = 0;
  for (const Trail& tr : trails) n += tr.isAlive();
  return n;
}

void render_trail_strips(Trail& tr, float f)
{
  if (tr.count < 1) return;
  DynVBWriter& w = common_vb_writer;
  if (tr.count * STRIP_BYTES_PER_POINT + w.bytesWritten() > w.size) w.flush(false);
  const vec4f cam = cur_view_itm.row[3];
  const vec4f fv = v_splat(f);

  const TrailPoint& newest = tr.points[tr.head];
  const vec4f c0 = newest.prevPos + (newest.pos - newest.prevPos) * fv;
  const vec4f s = nearest_world_image(c0, cam) - c0;
  const vec4f c = c0 + s;

  if (tr.width > 0.f) {
    const vec4f R = cur_view_itm.row[0] * v_splat(tr.width), U = cur_view_itm.row[1] * v_splat(tr.width);
    const D3dColor col = newest.color;
    uint8_t* p = w.ptr;
    put_effect_vertex(p, c - R + U, col, 0.f, 0.25f);
    put_effect_vertex(p, c - R - U, col, 0.f, 0.5f);
    put_effect_vertex(p, c + R + U, col, 0.125f, 0.25f);
    put_effect_vertex(p, c - R - U, col, 0.f, 0.5f);
    put_effect_vertex(p, c + R - U, col, 0.125f, 0.5f);
    put_effect_vertex(p, c + R + U, col, 0.125f, 0.25f);
    w.ptr = p;
    w.count += 2;
  }
  if (tr.count < 2) return;

  vec4f A = c + newest.side, B = c - newest.side;
  D3dColor colA = D3dColor(0u);
  float u = (tr.tcSpeed * 0.05f + tr.tcStep / 16.f) * f + tr.tcOffset;
  uint8_t* p = w.ptr;
  for (int k = 1; k < tr.count; ++k) {
    const TrailPoint& pt = tr.points[(tr.head + k) & (TRAIL_POINTS - 1)];
    const vec4f ck = pt.prevPos + (pt.pos - pt.prevPos) * fv + s;
    const vec4f A2 = ck + pt.side, B2 = ck - pt.side;
    const float u2 = u + tr.tcStep / 16.f;
    D3dColor col2 = D3dColor(0u);
    if (k != tr.count - 1) {
      const float x = float(tr.count - k) / float(tr.count - 1) * 256.f;
      col2 = scale_color(pt.color, ramp_color_at(*tr.ramp, x));
    }
    put_effect_vertex(p, A, colA, u, tr.tcV0);
    put_effect_vertex(p, B, colA, u, tr.tcV1);
    put_effect_vertex(p, A2, col2, u2, tr.tcV0);
    put_effect_vertex(p, B, colA, u, tr.tcV1);
    put_effect_vertex(p, B2, col2, u2, tr.tcV1);
    put_effect_vertex(p, A2, col2, u2, tr.tcV0);
    A = A2;
    B = B2;
    colA = col2;
    u = u2;
  }
  w.ptr = p;
  w.count += 2 * (tr.count - 1);
}

void render_all_trails(float f)
{
  for (Trail& tr : trails) render_trail_strips(tr, f);
}
