// Casting: the two spell buttons cast the spells held on them where the
// view meets the land; each cast costs the spell's mana, which comes back
// over time. A cast that cannot happen (too little mana, nothing aimed at,
// no portal to use) does nothing but say why on screen and sound a fizzle.
//
// The spells the player owns sit in spell_grid (rows of spell ids, 0 for an
// empty place); the left and right buttons each hold one of them. Both are
// kept with the save slot, in cur_game_info["spells"]: an array of the left
// and right ids followed by the grid row by row. Main thread only.
#pragma once

#include "gameobj/missiles.h"

extern int left_spell, right_spell;  // spell ids on the buttons, 0 for none

// One play tick: mana comes back, and (with buttons) each spell button
// that went down casts its spell.
void update_casting(float dt, bool buttons = true);
// Casts the spell with that id for the local player along aim; true when it
// was cast (mana paid).
bool cast_spell(int id, const SpellAim& aim);
// The view of the scene camera, traced against the land.
SpellAim current_aim();

// The on-screen line about the last cast, null when none is showing.
const char* cast_message();
void show_cast_message(const char* text);
void update_cast_message(float dt);

// The grid: empty, then every spell of the table in table order; the
// buttons get Hill and Pit.
void init_spell_choice();
void clear_spell_grid();
void add_every_spell();
bool grid_has_spell(int id);
// Writes the buttons and the grid into cur_game_info (nothing without one).
void save_spell_choice();
// Reads them back; a missing or damaged entry gives the first-game choice.
void load_spell_choice();
