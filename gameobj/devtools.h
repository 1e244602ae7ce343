// The plug-in's side of the developer mode: a click raises the land where
// the view's centre meets it, two cheats switch (endless mana, no monster
// spawning) and the world map shows the whole world from above while the
// developer server asks for it or Tab is held. Main thread only.
#pragma once

#include "engine/vec4f.h"

extern bool mana_cheat;     // spells cost nothing
extern bool monster_spawn;  // creatures may appear

// Raises the land by a little (0.5 a click tick) in a radius of 4 cells
// round the point where the ray meets the land; nothing when it misses.
void devmode_click(vec4f origin, vec4f dir);
void switch_mana_cheat();
void switch_monster_spawn();
void draw_dev_world_map(float t);
