// The sound script and the sound events on a real OpenAL Soft loopback
// device: natives, event binding, music chaining, hot reload and errors,
// and the tracked positional sounds of the wrapping world.
#include "audio_fixture.h"

#include "gameshell/audio.h"
#include "gameshell/gameCamera.h"
#include "gameshell/soundEvents.h"
#include "gameshell/soundScript.h"

#include "engine/paths.h"
#include "engine/visualLog.h"
#include "scripting/sqbindCall.h"

#include <gtest/gtest.h>

#include <sys/time.h>

#include <fstream>
#include <string>

namespace
{

std::string error_text() { return has_error_message() ? std::string(error_message_text.data) : std::string(); }

class SoundScriptTest : public AudioTest
{
protected:
  std::string script =
      test_sound_dir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".nut";
  int version = 0;

  void SetUp() override
  {
    AudioTest::SetUp();
    set_error_message(nullptr);
    camera_pos = make4f(0, 0, 0, 1);
    tracked_3d_sounds.clear();
    write_sound("blip.wav", 0.3, 1, [](double t, int) { return tone(t, 800); });
    write_sound("hum.wav", 1.0, 1, [](double t, int) { return tone(t, 200); });
    write_sound("first.wav", 1.0, 2, [](double t, int) { return tone(t, 300); });
    write_sound("second.wav", 3.0, 2, [](double t, int) { return tone(t, 450); });
  }
  void TearDown() override
  {
    close_sound_vm();
    sound_script_vm.files.clear();  // the VM remembers the files it ran
    set_error_message(nullptr);
    AudioTest::TearDown();
  }

  // Writes the script with a file time that differs from the last one.
  void writeScript(const std::string& text)
  {
    std::ofstream(script) << text;
    struct timeval tv[2];
    gettimeofday(&tv[0], nullptr);
    tv[0].tv_sec += 10 * ++version;
    tv[1] = tv[0];
    utimes(script.c_str(), tv);
  }

  // A script with a function for every event.
  static std::string fullScript(const std::string& extra = "")
  {
    std::string s = "local dir = \"" + test_sound_dir() + "/\";\n"
                    "blip <- load_sample(dir + \"blip.wav\", 4, 0);\n"
                    "hum <- load_sample(dir + \"hum.wav\", 4, SNDF_3D | SNDF_LOOP);\n"
                    "events <- {};\n"
                    "foreach (name in [";
    for (int i = 0; i < NUM_SOUND_EVENTS; i++) s += std::string("\"") + sound_event_name[i] + "\", ";
    s += "]) events[name] <- function() { return get_channel(blip); };\n"
         "events.land_moving <- function() { return get_channel(hum); };\n";
    return s + extra;
  }
};

TEST_F(SoundScriptTest, EveryEventResolvesByIdAndByName)
{
  writeScript(fullScript());
  init_sound_vm(script.c_str());
  EXPECT_EQ(error_text(), "");
  for (int id = 0; id < NUM_SOUND_EVENTS; id++) {
    unsigned ch = play_sound_event(id);
    EXPECT_NE(ch, 0u) << sound_event_name[id];
    EXPECT_TRUE(is_sound_playing(ch)) << sound_event_name[id];
    EXPECT_NE(play_sound_event(sound_event_name[id]), 0u) << sound_event_name[id];
  }
  EXPECT_GT(render_seconds(0.1).rms(), 0.1);
  // Out of range and wrongly spelt: nothing, and nothing logged.
  sound_event_log = true;
  clear_visual_log();
  EXPECT_EQ(play_sound_event(43), 0u);
  EXPECT_EQ(play_sound_event(-1), 0u);
  EXPECT_EQ(play_sound_event("Use_Portal"), 0u);
  EXPECT_EQ(visual_log_lines.num, 0);
  play_sound_event(0);
  sound_event_log = false;
  ASSERT_EQ(visual_log_lines.num, 1);
  EXPECT_STREQ(visual_log_lines[0].c_str(), "sound event 'use_portal'");
}

TEST_F(SoundScriptTest, EditedScriptIsReloadedAndAnErrorKeepsTheLastGoodEvents)
{
  writeScript(fullScript("version <- 1;"));
  init_sound_vm(script.c_str());
  reload_sound_vm();  // nothing changed: nothing happens
  unsigned first = play_sound_event("use_portal");
  ASSERT_NE(first, 0u);

  // A syntax error: shown, and the events of the last good run still sound.
  writeScript(fullScript("version <- ;"));
  reload_sound_vm();
  EXPECT_EQ(error_text().rfind("Error in sound script:\n", 0), 0u) << error_text();
  unsigned ch = play_sound_event("use_portal");
  EXPECT_NE(ch, 0u);
  EXPECT_GT(render_seconds(0.1).rms(), 0.1);

  // Fixed: the next poll reloads it, clears the message and binds the events.
  writeScript(fullScript("version <- 2; events.use_portal <- function() { return get_channel(hum); };"));
  reload_sound_vm();
  EXPECT_EQ(error_text(), "");
  unsigned hum_ch = play_sound_event("use_portal");
  EXPECT_NE(hum_ch, 0u);
  EXPECT_TRUE(set_sound_3d_params(hum_ch, 1, 10)) << "now a 3D channel of the new sample";
}

TEST_F(SoundScriptTest, MissingEventsTableAndFailedFilesAreShown)
{
  writeScript("x <- 1;");
  init_sound_vm(script.c_str());
  EXPECT_EQ(error_text(), "Error in sound script:\nthe index 'events' does not exist");
  EXPECT_EQ(play_sound_event(0), 0u);

  writeScript("local a = load_sample(\"/nowhere/one.wav\", 1, 0);\n"
              "local b = load_music(\"/nowhere/two.ogg\", 0.0);\n"
              "events <- { use_portal = @() 0 };\n");
  reload_sound_vm();
  EXPECT_EQ(error_text(), "Error in sound script:\nCan't load sound files:\n/nowhere/one.wav\n/nowhere/two.ogg\n");
}

TEST_F(SoundScriptTest, EventFunctionReturningNothingGivesZeroAndTheTypeError)
{
  writeScript("events <- { use_portal = function() {}, enter_world = function() { throw \"broken\"; } };");
  init_sound_vm(script.c_str());
  set_error_message(nullptr);
  EXPECT_EQ(play_sound_event(0), 0u);
  EXPECT_EQ(error_text(), "Error in sound script:\nsq_get*() failed (type error)");
  EXPECT_EQ(play_sound_event(1), 0u);
  // The script's own error text, not the call's.
  EXPECT_EQ(error_text(), "Error in sound script:\nbroken");
}

TEST_F(SoundScriptTest, ChainedMusicCallsTheScriptOnceAndItStartsTheNextPiece)
{
  writeScript("local dir = \"" + test_sound_dir() + "/\";\n"
              "events <- {};\n"
              "first <- load_chained_music(dir + \"first.wav\");\n"
              "second <- load_music(dir + \"second.wav\", 0.0);\n"
              "chained <- [];\n"
              "play_channel(first, true);\n"
              "function do_music_chaining(s) { chained.append(s); play_channel(second, true); }\n"
              "function rnd_ok() { for (local i = 0; i < 1000; i++) if (game_rnd() < 0) return false; return true; }\n");
  init_sound_vm(script.c_str());
  ASSERT_EQ(error_text(), "");
  HSQUIRRELVM vm = sound_script_vm.vm;
  auto eval_int = [vm](const char* expr) {
    sq_pushroottable(vm);
    sq_pushstring(vm, expr, -1);
    sq_get(vm, -2);
    SQInteger v = -1;
    sq_getinteger(vm, -1, &v);
    sq_pop(vm, 2);
    return v;
  };
  SQInteger first = eval_int("first"), second = eval_int("second");
  for (int i = 0; i < 40; i++) {
    render_seconds(0.05);
    update_music_chaining();
  }
  EXPECT_TRUE(is_sound_playing(uint32_t(second)));
  EXPECT_FALSE(is_sound_playing(uint32_t(first)));
  sq_pushroottable(vm);
  sq_pushstring(vm, "chained", -1);
  sq_get(vm, -2);
  EXPECT_EQ(sq_getsize(vm, -1), 1);
  sq_pushinteger(vm, 0);
  sq_get(vm, -2);
  SQInteger got = 0;
  sq_getinteger(vm, -1, &got);
  EXPECT_EQ(got, first);
  sq_pop(vm, 3);

  sqbind::SqFunc<bool> rnd_ok;
  rnd_ok.bindRoot(vm, "rnd_ok");
  EXPECT_TRUE(rnd_ok());
  rnd_ok.release();
}

TEST_F(SoundScriptTest, PositionalSoundsFollowTheWrappedWorld)
{
  writeScript(fullScript());
  init_sound_vm(script.c_str());
  const int land = 27;
  camera_pos = make4f(10, 0, 0, 1);
  struct Case { float x, expect; } cases[] = {{250, -6}, {138, 138}, {-118, 138}, {30, 30}};
  for (const Case& c : cases) {
    unsigned ch = play_sound_event(land, make4f(c.x, 5, 0, 1), v_zero());
    ASSERT_NE(ch, 0u);
    vec4f p;
    ASSERT_TRUE(get_sound_3d_pos(ch, p));
    EXPECT_FLOAT_EQ(p[0], c.expect) << c.x;
    EXPECT_FLOAT_EQ(p[1], 5.f);
    stop_sound(ch);
  }
  // Stopped channels leave the list at the next shift.
  shift_tracked_sounds(camera_pos);
  EXPECT_TRUE(tracked_3d_sounds.empty());

  unsigned ch = play_sound_event(land, make4f(100, 0, 0, 1), v_zero());
  shift_tracked_sounds(make4f(240, 0, 0, 1));  // the camera crossed the world's edge
  vec4f p;
  ASSERT_TRUE(get_sound_3d_pos(ch, p));
  EXPECT_FLOAT_EQ(p[0], 356.f);
  update_3d_sound(ch, make4f(20, 0, 0, 1), v_zero());  // about camera_pos (10)
  ASSERT_TRUE(get_sound_3d_pos(ch, p));
  EXPECT_FLOAT_EQ(p[0], 20.f);

  stop_world_sounds();
  EXPECT_TRUE(tracked_3d_sounds.empty());
  EXPECT_TRUE(is_sound_playing(ch));
  render_seconds(0.05);
  EXPECT_FALSE(is_sound_playing(ch));
}

TEST_F(SoundScriptTest, TheGamesScriptLoadsItsSoundsAndMapsEveryEvent)
{
  std::string saved = app_path;
  snprintf(app_path, sizeof(app_path), "%s", program_dir().c_str());
  init_sound_vm("sound/sound.nut");
  EXPECT_EQ(error_text(), "");
  EXPECT_GT(render_seconds(0.5).rms(0.2), 0.01) << "music plays from the start";
  for (int id = 0; id < NUM_SOUND_EVENTS; id++) {
    unsigned ch = play_sound_event(id, make4f(3, 0, 3, 1), v_zero());
    EXPECT_NE(ch, 0u) << sound_event_name[id];
    EXPECT_TRUE(is_sound_playing(ch)) << sound_event_name[id];
  }
  snprintf(app_path, sizeof(app_path), "%s", saved.c_str());
}

}  // namespace
