// The spell table: the fifteen spells the player can hold, each with its id,
// the gameobj plug-in class that carries it out, its display name, the name
// of its icon in ui_icons and a value only the plug-in reads. The table ends
// with a row whose id is 0. The plug-in's spell screens look rows up by id;
// icon ids stay -1 until init_spell_icons resolves them against the loaded
// icon set. Main thread only.
#pragma once

struct SpellInfo
{
  int id;
  const char* className;
  const char* displayName;
  const char* iconName;
  int value;
  int iconId;  // -1 until resolved, or when the icon set lacks the icon
};

extern SpellInfo spell_table[];

// Resolves every row's icon id through ui_icons; the plug-in calls it once
// the icons are loaded.
void init_spell_icons();
// The row of a spell id; null for 0 and for ids not in the table.
SpellInfo* get_spell_info(int id);
