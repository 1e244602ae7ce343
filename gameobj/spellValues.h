// The numbers of every spell in one table: what it costs, how far it
// reaches, how strong it is and how long it lasts, looked up by spell id.
// The fields mean, per spell:
//
//   id  spell          radius (cells)        amount                      duration (s)  speed
//   39  Fireball       burn radius           harm                        flight        units/s
//   40  Water globe    splash radius         water depth at the centre   flight        units/s
//   41  Fracture       -                     height of the step          -             -
//   43  Meteor         crater radius         harm                        fall          units/s
//   44  Hill           hill radius           height at the centre        -             -
//   45  Pit            pit radius            depth at the centre         -             -
//   46  Volcano        cone radius           lava per second (centre)    eruption      -
//   47  Water source   source radius         water per second (centre)   flow          -
//   48  Water sink     sink radius           water taken per second      flow          -
//   49  Thunderstorm   storm radius          harm per strike             storm         strikes/s
//   50  Healing        -                     health restored             -             -
//   51  Lightning      strike radius         harm                        -             -
//   68  Castle         -                     -                           -             -
//   71  Use portal     -                     -                           -             -
//   83  Guard tower    -                     -                           -             -
//
// Mana: the player holds at most PLAYER_MAX_MANA and regains MANA_REGEN a
// second. Main thread only.
#pragma once

struct SpellValues
{
  int id;
  float mana;
  float radius;
  float amount;
  float duration;
  float speed;
};

const float MANA_REGEN = 2.f;       // mana a second: an empty bar fills in 50 s
const float MAX_CAST_RANGE = 220.f;  // how far along the view the land can be aimed at

// The row of a spell id, null for an id not in the table.
const SpellValues* spell_values(int id);

const float STORM_RAIN = 0.04f;      // water a second on every cell under a thunderstorm
const float METEOR_HEIGHT = 90.f;    // a meteor starts this far above its target
const float METEOR_DEPTH = 0.35f;    // a crater is this many radii deep
const float VOLCANO_CONE = 4.f;      // height a volcano's cone rises by at its centre
const float SPELL_GLOW_TIME = 1.f;   // a cast spell sparkles at its target this long
