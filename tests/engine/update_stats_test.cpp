// Update trackers: registration, accumulation within a tick and the per-tick
// store and reset of the main loop.
#include <gtest/gtest.h>

#include "engine/timer.h"
#include "engine/updateStats.h"

static int64_t fake_now = 1000000;
static int64_t fake_clock() { return fake_now; }

class UpdateStats : public testing::Test
{
protected:
  void SetUp() override
  {
    update_stats_trackers.clear();
    set_ref_time_source(fake_clock);
  }
  void TearDown() override
  {
    set_ref_time_source(nullptr);
    update_stats_trackers.clear();
  }
};

TEST_F(UpdateStats, RegisteringTwiceKeepsOneEntryAndFirstIndex)
{
  UpdateStatsTracker a("a"), b("b");
  register_update_stats_tracker(&b);
  register_update_stats_tracker(a);
  register_update_stats_tracker(&b);
  register_update_stats_tracker(nullptr);
  ASSERT_EQ(update_stats_trackers.num, 2);
  EXPECT_EQ(b.index, 0);
  EXPECT_EQ(a.index, 1);
  EXPECT_EQ(update_stats_trackers[1], &a);
}

TEST_F(UpdateStats, MeasurementsAddUpUntilStoredAndReset)
{
  UpdateStatsTracker t("fluid");
  EXPECT_EQ(t.index, -1);
  EXPECT_STREQ(t.name, "fluid");
  {
    ScopedUpdateStats m(t);  // registers on first use
    fake_now += 1234;        // 123.4 us
  }
  EXPECT_EQ(t.index, 0);
  t.begin();
  fake_now += 20000;  // 2 ms
  t.end();
  EXPECT_EQ(t.accum, 21234u);

  store_all_update_stats(7);
  reset_all_update_stats();
  EXPECT_EQ(t.samples[7], 2123u);
  EXPECT_EQ(t.accum, 0u);
  store_all_update_stats(8);  // registered but idle: 0
  EXPECT_EQ(t.samples[8], 0u);
  store_all_update_stats(100);  // outside the ring: ignored
}

TEST(UpdateStatsTracker, ConstructionAndNameLimit)
{
  UpdateStatsTracker none(nullptr);
  EXPECT_STREQ(none.name, "");
  EXPECT_EQ(uint32_t(none.colour), 0u);
  for (uint32_t s : none.samples) EXPECT_EQ(s, 0u);
  std::string longName(256, 'n');
  EXPECT_EXIT(UpdateStatsTracker t(longName.c_str()), testing::ExitedWithCode(100), "utils\\.h\\(57\\): failed ASSERT\\(l<BS\\)");
}
