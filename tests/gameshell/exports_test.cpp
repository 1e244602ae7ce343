// The state of the data exported to the plug-in before anything runs, and
// the effect ramps built with it.
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"

#include <gtest/gtest.h>

namespace
{
TEST(Exports, BeforeBindingTheListsAreEmptyAndTheScreensUnset)
{
  int nonempty = 0;
#define COUNT_NONEMPTY(cls) nonempty += cls##_list.num != 0;
  GAMEOBJ_LIST_CLASSES(COUNT_NONEMPTY)
#undef COUNT_NONEMPTY
  EXPECT_EQ(nonempty, 0);
#define EXPECT_UNSET(name)                                        \
  EXPECT_EQ(name##_screen_Class::createScreen, nullptr) << #name; \
  EXPECT_EQ(name##_screen, nullptr) << #name;
  GAMEOBJ_SCREENS(EXPECT_UNSET)
#undef EXPECT_UNSET
  EXPECT_EQ(cur_game_slot, -1);
  EXPECT_EQ(local_player, nullptr);
  EXPECT_EQ(dot_icon, -1);
}

TEST(Exports, EffectRamps)
{
  // Fully opaque white in the middle of the end fade; the standard glow is
  // already fading there.
  vec4f end_mid = blend_end_fade_anim.samples[128];
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(end_mid[i], 1.f) << i;
  vec4f glow_mid = glow_std_fade_anim.samples[128];
  EXPECT_GT(glow_mid[3], 0.f);
  EXPECT_LT(glow_mid[3], 1.f);
  EXPECT_EQ(size_05_2_anim.samples[256], 2.0f);
  EXPECT_EQ(size_05_4_anim.samples[256], 4.0f);
  EXPECT_EQ(size_05_2_anim.samples[0], 0.5f);
  EXPECT_EQ(std_roll_anim.samples[128], 0.f);
}
}  // namespace
