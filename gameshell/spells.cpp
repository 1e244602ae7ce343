#include "gameshell/spells.h"

#include "gameshell/gameobjExports.h"

SpellInfo spell_table[] = {
    {39, "FireballSpell", "Fireball", "fireball", 0, -1},
    {40, "WaterballSpell", "Water globe", "water_globe", 90, -1},
    {41, "FaultSpell", "Fracture", "fracture", 71, -1},
    {43, "MeteorSpell", "Meteor", "meteor", 1, -1},
    {44, "HillSpell", "Hill", "hill", 70, -1},
    {45, "PitSpell", "Pit", "pit", 80, -1},
    {46, "VolcanoSpell", "Volcano", "volcano", 81, -1},
    {47, "WaterSourceSpell", "Water source", "water_source", 91, -1},
    {48, "WaterSinkSpell", "Water sink", "water_sink", 101, -1},
    {49, "ThunderstormSpell", "Thunderstorm", "lightning_storm", 12, -1},
    {50, "HealingSpell", "Healing", "healing", 100, -1},
    {51, "LightningSpell", "Lightning", "lightning", 10, -1},
    {68, "CastleSpell", "Castle", "castle", 140, -1},
    {71, "UsePortalSpell", "Use portal", "portal", 141, -1},
    {83, "GuardTowerSpell", "Guard tower", "fireball_tower", 120, -1},
    {0, nullptr, nullptr, nullptr, 0, -1},
};

void init_spell_icons()
{
  for (SpellInfo* s = spell_table; s->id != 0; ++s) s->iconId = ui_icons.getIconId(s->iconName);
}

SpellInfo* get_spell_info(int id)
{
  if (id == 0) return nullptr;
  for (SpellInfo* s = spell_table; s->id != 0; ++s)
    if (s->id == id) return s;
  return nullptr;
}
