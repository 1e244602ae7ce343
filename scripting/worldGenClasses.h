// The world script's natives that write colours into the world and the
// binding of droplet erosion to a script parameter table.
//
// repaint_land(fn) colours every cell from a script callback; recolor_land4
// blends four colours by the channels of each cell's current colour (a colour
// used as a four-way weight map). gen_droplet_erosion(count, params) runs the
// world's droplet erosion with the parameters of a script table, whose
// optional "onPeriod" function the erosion calls every periodStep droplets.
//
// Colour arguments follow the colour rule: an integer is a packed 0xAARRGGBB
// colour stored as it is; anything else goes through the vector rule (a
// number in all four lanes, an array of four numbers, a vec4f) and is packed
// by clamping each lane to [0, 1], scaling by 255 and rounding to nearest.
// Callbacks run in the world script VM. Main thread only, while the world
// script runs.
#pragma once

#include "scripting/sqbindCall.h"

#include "world/erosion.h"

// Erosion parameters read from a script table, with the table's "onPeriod"
// function as the period callback (called with the table as `this`).
class SqErosionParams : public HeightmapData::ErosionParams
{
public:
  sqbind::SqFunc<void> onPeriodFunc;

  // 1 at once without a callback; a failing callback throws "SqFunc<> call failed".
  int onPeriod() override;
  ~SqErosionParams() { onPeriodFunc.release(); }
};

// Reads the keys of a script parameter table at stack index idx (null keeps
// the defaults): the nine floats, "onPeriod" and with it "periodStep", and
// "reactions" ([from, to, rate] each: change rate * (to - from), exponents
// from rounded to nearest).
void read_erosion_params(HSQUIRRELVM vm, SQInteger idx, SqErosionParams& params);

// Packs a colour: lanes clamped to [0, 1] (a lane that is not a number
// becomes 1), times 255, rounded to nearest, as 0xAARRGGBB.
uint32_t pack_script_color(vec4f c);

// Root natives "repaint_land" and "recolor_land4".
void register_land_color_natives(HSQUIRRELVM vm);
// Root native "gen_droplet_erosion".
void register_droplet_erosion(HSQUIRRELVM vm);
