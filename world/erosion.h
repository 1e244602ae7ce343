// Droplet erosion: carves valleys and builds sediment fans into the current
// world by running many single water droplets downhill over
// HeightmapData::hmap, one after another (each sees the changes of the ones
// before it). Droplets erode where they are fast and have spare capacity and
// deposit where they slow down or fall into pits; eroded land colour travels
// with the sediment and is blended into the cells where it settles, after
// which optional colour reactions (mass-action kinetics over the r, g, b, a
// channels) run on the deposited colour. Changes hmap and the surface records
// only (never target_hmap). Start cells and random directions come from
// game_rnd_seed. Called from one thread at a time (the main thread); onPeriod
// may run script code. Nothing else may change the world grid during a call:
// the generation workers read it.
#pragma once

#include <cstdint>

#include "engine/dynArray.h"

namespace HeightmapData
{

// One colour reaction (32 bytes, shared with the plug-in).
struct ErosionReaction
{
  // Change of each channel (r, g, b, a) per unit of reaction progress, already
  // multiplied by the rate constant.
  float change[4];
  // Reaction order in each channel; 0 or less does not take part.
  int32_t exponents[4];
};

class ErosionParams
{
public:
  float Kq = 10.0f;            // sediment capacity factor
  float Kw = 0.001f;           // fraction of the droplet's water lost per step
  float Kr = 0.9f;             // fraction of the missing load eroded per step
  float Kd = 0.02f;            // fraction of the excess load deposited per step
  float Ki = 0.1f;             // inertia: weight of the previous direction
  float minSlope = 0.05f;      // smallest height drop used in the capacity
  float g = 20.0f;             // gravity of the speed update
  float depositBlend = 2.0f;   // how strongly deposited sediment imposes its colour
  float reactionTime = 100.0f; // time the reactions run on a cell after each deposit
  int32_t periodStep = 10240;  // droplets between two onPeriod calls (<= 0: never)
  DynArray<ErosionReaction> reactions;

  // Called every periodStep droplets; the result is ignored. The script
  // binding overrides it to call the script's callback. The parameters are
  // read again after each call.
  virtual int onPeriod() { return 0; }
};

// Simulates `count` droplets and logs the two statistics lines ("computed ...
// erosion droplets in ... ms, ... droplets/s" and the average path length,
// long paths cut and random directions picked). Shows the splash "Calculating
// erosion" with the progress every 16,384 droplets.
void genDropletErosion(unsigned count, ErosionParams& params);

// How many droplets past the last one done the generation workers may run
// ahead of their turn while the calling thread runs the droplets in order
// (taking a droplet run ahead as it ran when nothing it looked at has changed
// since it started, or its steps before the first that looked at a changed
// cell and going on from there); 0: every droplet in turn on the calling
// thread alone; below 0 (the default): a window of 16 with four generation
// threads or more, else 0. The land, surface records, random state and
// statistics come out the same bits either way.
extern int erosion_run_ahead;

// When running ahead: true (the default) picks, every 1,024 droplets, running
// ahead or every droplet in turn, whichever has lately cost less time a
// droplet step (running ahead is slower on a busy machine); false always runs
// ahead.
extern bool erosion_choose_way;

}  // namespace HeightmapData
