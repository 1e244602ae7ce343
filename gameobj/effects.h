// The plug-in's effects: it hosts the effect script ("test/fx.nut") and
// calls its effects where the world asks for them (portals shimmer and
// sparkle, the castle smokes, lava spits and steams, water vapour rises),
// keeps a trail behind the player, and calls lightning down in front of the
// player on the key L. Main thread only.
#pragma once

#include "engine/vec4f.h"

void init_object_effects();
void close_object_effects();
// Once per tick.
void update_object_effects(float dt);
// Vapour from water over hot ground at cell (x, z).
void water_vapor_at(int x, int z, float level, float amount);
// A bolt from the sky down to the ground `ahead` units in front of `from`
// along the horizontal direction `dir`.
void strike_lightning(vec4f from, vec4f dir, float ahead);
