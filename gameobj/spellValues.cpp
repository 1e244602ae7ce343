#include "gameobj/spellValues.h"

namespace
{
// Costs keep a full bar at six or so small spells or two big ones; the
// world-shaping spells are strong enough to see from the air.
const SpellValues values[] = {
    // id  mana  radius amount duration speed
    {39, 10.f, 3.f, 40.f, 4.f, 45.f},    // Fireball
    {40, 12.f, 3.f, 1.5f, 4.f, 35.f},    // Water globe
    {41, 30.f, 0.f, 4.f, 0.f, 0.f},      // Fracture
    {43, 35.f, 6.f, 60.f, 3.f, 40.f},    // Meteor
    {44, 15.f, 7.f, 5.f, 0.f, 0.f},      // Hill
    {45, 15.f, 7.f, 5.f, 0.f, 0.f},      // Pit
    {46, 40.f, 8.f, 0.6f, 20.f, 0.f},    // Volcano
    {47, 20.f, 3.f, 0.8f, 30.f, 0.f},    // Water source
    {48, 20.f, 5.f, 0.8f, 30.f, 0.f},    // Water sink
    {49, 45.f, 14.f, 30.f, 15.f, 1.5f},  // Thunderstorm
    {50, 25.f, 0.f, 40.f, 0.f, 0.f},     // Healing
    {51, 15.f, 2.5f, 50.f, 0.f, 0.f},    // Lightning
    {68, 60.f, 0.f, 0.f, 0.f, 0.f},      // Castle
    {71, 10.f, 0.f, 0.f, 0.f, 0.f},      // Use portal
    {83, 40.f, 0.f, 0.f, 0.f, 0.f},      // Guard tower
};
}  // namespace

const SpellValues* spell_values(int id)
{
  for (const SpellValues& v : values)
    if (v.id == id) return &v;
  return nullptr;
}
