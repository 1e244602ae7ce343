// Trails: ribbons that follow moving things (missiles, spells, creatures).
// The plug-in takes a slot with add_trail_fx, pushes one point per tick,
// and stops (the trail then shrinks by a point per tick and frees itself)
// or kills it. The game keeps a fixed table of 4000 slots with a 16-point
// ring each, moves their points every tick, and draws each as a
// camera-facing head sprite plus a strip of quads through its points inside
// the effects pass (commonFx.h). Ids outside 0-3999 are ignored everywhere;
// operations on a slot that is not live are ignored too. No allocation at
// all. Main thread only.
#pragma once

#include "engine/color.h"
#include "engine/ramps.h"
#include "engine/vec4f.h"

enum { MAX_TRAILS = 4000, TRAIL_POINTS = 16 };

struct TrailPoint
{
  vec4f pos;      // at the end of the current tick
  vec4f prevPos;  // at its start
  vec4f side;     // half-width of the strip: its edges are pos +- side
  vec4f vel;      // per second
  D3dColor color;
};

struct Trail
{
  TrailPoint points[TRAIL_POINTS];  // a ring; head is the newest
  ColorRamp* ramp;  // colour along the strip
  int count;        // points in use; live while > 0
  int head;
  int nextFree;
  float width;      // half-size of the head sprite; <= 0: none
  D3dColor color;   // for points added from now on
  float tcStep, tcSpeed, tcOffset, tcV0, tcV1;
  bool stopped;

  bool isAlive() const { return count > 0; }
};

extern Trail trails[MAX_TRAILS];
extern int trail_free_head;
// Fades in over the three quarters nearest the head, out at the tail.
extern ColorRamp default_trail_ramp;

// The id of a new trail with its first point, or -1 when all are in use.
int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float width, D3dColor color);
void add_trail_point(int id, vec4f pos, vec4f vel, vec4f side);
void kill_trail_fx(int id);
void stop_trail_fx(int id);
void set_trail_color(int id, D3dColor color);
void set_trail_ramp(int id, ColorRamp* ramp);  // null is ignored
void set_trail_tc(int id, float tcStep, float tcSpeed, float tcOffset, float tcV0, float tcV1);

// Every slot free, chained 0 -> 1 -> ... -> 3999.
void reset_trails();
// One tick of one trail; false when it has shrunk away.
bool update_trail(Trail& tr, float dt);
// Triangles of one trail into common_vb_writer (begun for a triangle list
// of effect vertices); f is the fraction of the tick.
void render_trail_strips(Trail& tr, float f);
// Every slot, in id order; finished slots are freed.
void update_all_trails(float dt);
void render_all_trails(float f);
int live_trails();
