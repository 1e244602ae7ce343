// Lightning bolts: short-lived jagged ribbons between two points. A bolt's
// points are generated once (a curved base path plus layered 1-D noise, with
// four fresh draws of game_rnd_seed per bolt); it ages every tick and is
// drawn every frame inside the effects pass (commonFx.h) with
// "lightning.dds", a bright window sweeping from its start to its end over
// its life. Bolts with a width, wavelength or life that is not a positive
// number are not added (they could only divide by zero). Main thread only.
#pragma once

#include <vector>

#include "engine/color.h"
#include "engine/vec4f.h"

struct LightningPoint
{
  vec4f pos;
  D3dColor color;
  float u;  // texture coordinate along the bolt
};

struct LightningBolt
{
  std::vector<LightningPoint> points;
  float age;    // seconds
  float life;   // seconds
  float width;  // half-width of the ribbon
};

extern std::vector<LightningBolt> lightning_bolts;

// start and end are joined by a path leaving start along tangent; count
// points (at least 3); the noise repeats every wavelength units of length.
void add_lightning_fx(vec4f start, vec4f end, vec4f tangent, float width, float wavelength, float amplitude,
                      float life, D3dColor color, int count);
void update_lightning(float dt);
void reset_lightning();
// Triangles of every bolt into common_vb_writer (begun for a triangle list
// of effect vertices); t is the time since the tick.
void render_lightning(float t);
// The brightness window at point k (0..1 along the bolt) of a bolt at
// normalised age a.
float lightning_envelope(float a, float k);
