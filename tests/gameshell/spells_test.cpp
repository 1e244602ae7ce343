// The spell table: look-up by id and icon ids resolved against ui_icons.
#include "gameshell/gameobjExports.h"
#include "gameshell/spells.h"

#include "engine/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include "support/test_dir.h"

TEST(SpellTable, LookUpById)
{
  EXPECT_EQ(get_spell_info(0), nullptr);
  EXPECT_EQ(get_spell_info(42), nullptr);
  EXPECT_EQ(get_spell_info(-1), nullptr);
  SpellInfo* s = get_spell_info(83);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->displayName, "Guard tower");
  EXPECT_STREQ(s->className, "GuardTowerSpell");
  EXPECT_STREQ(s->iconName, "fireball_tower");
  EXPECT_EQ(s->value, 120);
  EXPECT_STREQ(get_spell_info(39)->iconName, "fireball");
  int rows = 0;
  for (SpellInfo* r = spell_table; r->id; ++r) ++rows;
  EXPECT_EQ(rows, 15);
  EXPECT_EQ(spell_table[15].className, nullptr);
  EXPECT_EQ(spell_table[15].iconId, -1);
}

TEST(SpellTable, IconIdsResolveOnlyForIconsInTheSet)
{
  for (SpellInfo* r = spell_table; r->id; ++r) EXPECT_EQ(r->iconId, -1) << r->displayName;

  namespace fs = std::filesystem;
  TestDir tmp("spells");
  fs::path dir = tmp.path;
  char saved[260];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
  FILE* f = fopen((dir / "icons.txt").c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("info file=\"none\" scaleW=64 scaleH=64 spread=4\nicons count=2\n"
        "icon \"hill\" 8 8 0 0 16 16 -8 8\nicon \"fireball\" 8 8 16 0 16 16 -8 8\n", f);
  fclose(f);
  ui_icons.load("icons.txt");  // the atlas is missing; the names are read
  init_spell_icons();
  EXPECT_EQ(get_spell_info(39)->iconId, 1);
  EXPECT_EQ(get_spell_info(44)->iconId, 0);
  EXPECT_EQ(get_spell_info(83)->iconId, -1);  // not in this set
  EXPECT_EQ(spell_table[15].iconId, -1);

  ui_icons.clear();
  init_spell_icons();
  for (SpellInfo* r = spell_table; r->id; ++r) EXPECT_EQ(r->iconId, -1) << r->displayName;
  memcpy(app_path, saved, sizeof(saved));
  fs::remove_all(dir);
}
