// The fixed-step scheduler, driven by a clock of the test's own: ticks come
// at 20 a second, frames in between see 0 <= time_ik <= 1, a machine that
// falls behind runs six ticks and then forces one frame, and a clock that
// goes backwards never produces a negative frame time.
#include <gtest/gtest.h>

#include <vector>

#include "engine/app.h"
#include "engine/timer.h"

namespace {

struct FakeMachine {
  int64_t now = 1000000000;   // never zero-based
  int64_t tick_cost = 0;      // timer units one tick takes
  int64_t frame_cost = 0;     // timer units one frame takes
  int max_ticks = 0;
  int ticks = 0;
  int seconds = 0;
  std::vector<float> frame_ik;          // time_ik of every drawn frame
  std::vector<int> ticks_before_frame;  // ticks run back to back before each frame
  int run_of_ticks = 0;
  std::vector<int64_t> tick_times;
  int64_t backwards_at_frame = -1;      // frame index at which the clock jumps back
  float min_frame_dt = 1e9f;
};

FakeMachine* m = nullptr;

int64_t fake_now() { return m->now; }
void fake_pump() {}
void fake_tick(float dt)
{
  EXPECT_FLOAT_EQ(dt, 0.05f);
  EXPECT_FLOAT_EQ(time_ik, 1.0f);
  ++m->ticks;
  ++m->run_of_ticks;
  m->tick_times.push_back(m->now);
  m->now += m->tick_cost;
  if (m->ticks >= m->max_ticks) app_quit_requested = true;
}
bool fake_draw(float dt)
{
  if ((int64_t)m->frame_ik.size() == m->backwards_at_frame) m->now -= 5 * update_period;
  m->frame_ik.push_back(time_ik);
  m->ticks_before_frame.push_back(m->run_of_ticks);
  m->run_of_ticks = 0;
  if (dt < m->min_frame_dt) m->min_frame_dt = dt;
  m->now += m->frame_cost;
  return true;
}
void fake_present() {}
bool fake_usable() { return true; }
void fake_sleep(int) {}
void fake_poll() {}
void fake_second() { ++m->seconds; }

void run(FakeMachine& machine, bool (*draw)(float) = fake_draw)
{
  m = &machine;
  app_quit_requested = false;
  set_ref_time_source(fake_now);
  MainLoopHooks h = {fake_now, fake_pump, fake_tick, draw, fake_present, fake_usable, fake_sleep, fake_poll,
                     fake_second};
  main_loop_hooks = h;
  set_update_rate(20, 5);
  run_main_loop();
  main_loop_hooks = default_main_loop_hooks();
  set_ref_time_source(nullptr);
  app_quit_requested = false;
  m = nullptr;
}

}  // namespace

TEST(MainLoop, FastMachineRunsTwentyTicksASecondWithIkBetweenZeroAndOne)
{
  FakeMachine fm;
  fm.frame_cost = ref_time_freq / 1000;  // 1 ms frames
  fm.tick_cost = ref_time_freq / 2000;
  fm.max_ticks = 200;                    // ten seconds
  run(fm);
  double seconds = (double)(fm.tick_times.back() - fm.tick_times.front()) / ref_time_freq;
  EXPECT_NEAR((fm.ticks - 1) / seconds, 20.0, 0.05);
  for (float ik : fm.frame_ik) {
    EXPECT_GE(ik, 0.0f);
    EXPECT_LE(ik, 1.0f);
  }
  EXPECT_GE(fm.seconds, 9);  // the once-a-second poll
}

TEST(MainLoop, SlowTicksRunSixBackToBackThenForceOneFrame)
{
  FakeMachine fm;
  fm.tick_cost = 2 * (ref_time_freq / 20);  // every tick takes two tick periods
  fm.frame_cost = ref_time_freq / 1000;
  fm.max_ticks = 60;
  run(fm);
  ASSERT_GE(fm.ticks_before_frame.size(), 4u);
  // The due tick and five catch-up ticks, then a forced frame that is
  // already past the next tick (time_ik above 1).
  for (size_t i = 1; i < fm.ticks_before_frame.size(); ++i) {
    EXPECT_EQ(fm.ticks_before_frame[i], 6) << "frame " << i;
    EXPECT_GT(fm.frame_ik[i], 1.0f) << "frame " << i;
  }
}

TEST(MainLoop, FramesLongerThanATickStillRunTwentyTicksASecond)
{
  // Frames of three tick periods: three ticks per frame keep the world on
  // real time; ticks started early never let it run ahead.
  FakeMachine fm;
  fm.frame_cost = 3 * (ref_time_freq / 20);
  fm.max_ticks = 240;
  run(fm);
  ASSERT_GE(fm.ticks_before_frame.size(), 12u);
  for (size_t i = fm.ticks_before_frame.size() - 5; i < fm.ticks_before_frame.size(); ++i)
    EXPECT_EQ(fm.ticks_before_frame[i], 3) << "frame " << i;
  double seconds = (double)(fm.tick_times.back() - fm.tick_times.front()) / ref_time_freq;
  EXPECT_NEAR((fm.ticks - 1) / seconds, 20.0, 0.5);
  for (float ik : fm.frame_ik) EXPECT_GE(ik, 0.0f);
}

TEST(MainLoop, FramesJustUnderATickDoNotSpeedTheWorldUp)
{
  FakeMachine fm;
  fm.frame_cost = ref_time_freq / 20 - ref_time_freq / 1000 * 3;  // 47 ms frames
  fm.tick_cost = ref_time_freq / 200;                               // 5 ms ticks
  fm.max_ticks = 200;
  run(fm);
  double seconds = (double)(fm.tick_times.back() - fm.tick_times.front()) / ref_time_freq;
  EXPECT_NEAR((fm.ticks - 1) / seconds, 20.0, 0.2);
}

TEST(MainLoop, ClockGoingBackwardsGivesZeroElapsed)
{
  FakeMachine fm;
  fm.frame_cost = ref_time_freq / 1000;
  fm.max_ticks = 40;
  fm.backwards_at_frame = 10;
  run(fm);
  EXPECT_GE(fm.min_frame_dt, 0.0f);
  EXPECT_EQ(fm.ticks, 40);
}

TEST(MainLoop, DroppedBacklogRestartsTheTickClockAtNow)
{
  FakeMachine fm;
  fm.tick_cost = 0;
  fm.frame_cost = ref_time_freq / 1000;
  fm.max_ticks = 30;
  // One enormous stall: the first frame takes ten seconds.
  struct Once {
    static bool draw(float dt)
    {
      bool r = fake_draw(dt);
      if (m->frame_ik.size() == 1) m->now += 10 * ref_time_freq;
      return r;
    }
  };
  run(fm, Once::draw);
  // Ten seconds behind would be 200 ticks; only six run before the frame
  // that drops the backlog, then the loop is back at normal pace.
  ASSERT_GE(fm.ticks_before_frame.size(), 3u);
  EXPECT_EQ(fm.ticks_before_frame[1], 6);
  EXPECT_GT(fm.frame_ik[1], 1.0f);
  for (size_t i = 2; i < fm.frame_ik.size(); ++i) EXPECT_LE(fm.frame_ik[i], 1.0f) << "frame " << i;
}
