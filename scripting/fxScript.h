// The effect script: a Squirrel VM of its own running "test/fx.nut", which
// spawns particles into the world renderer's blend and glow pools from
// parameter tables, is called once per frame through its optional root
// function update_fx(dt), re-runs its files when they change, and lets native
// code (the plug-in) call any of its root functions by name.
//
// The game itself never starts the VM; call_fx_script does nothing while
// there is none. Only a VM that cannot be created is fatal: every script or
// marshalling error is caught at the entry points below and shown as the
// on-screen error "Error in fx script:\n%s", and the VM keeps running.
//
// Script API of the VM: the classes "ColorRamp" and "FloatRamp", the class
// "vec4f" with the random and colour natives of the world library, and
//   add_blend_particle(pos, vel, params), add_glow_particle(pos, vel, params)
// where pos and vel are vec4f instances and params a table with the keys
// "accel" (vec4f), "life", "delay", "size", "mapU", "mapV", "mapSize",
// "startRoll", "rollScale" (numbers), "colorAnim" (ColorRamp), "sizeAnim",
// "rollAnim" (FloatRamp) and "color" (0xAARRGGBB, or a number, array or vec4f
// of channels in 0..1). Main thread only.
#pragma once

#include "scripting/sqVMReload.h"
#include "scripting/sqbindCall.h"

#include "engine/vec4f.h"

extern SqReloadableVM fx_script_vm;

// Creates and fills the VM and runs "test/fx.nut" (fatal "error creating fx
// script VM" when no VM can be opened). True when the script ran and defines
// update_fx.
bool init_fx_script();
// Re-runs the script files when any of them changed, after emptying every
// common effect.
void reload_fx_script_if_changed();
// Calls update_fx(dt) when the script defines it.
void update_fx_script(float dt);
void close_fx_script();

// Calls the effect script's root function `name` with three new vec4f values
// and a float (exported to the plug-in).
void call_fx_script(const char* name, vec4f a, vec4f b, vec4f c, float f);

// Registers the root natives "add_blend_particle" and "add_glow_particle".
void register_fx_natives(HSQUIRRELVM vm);
