// The audio layer through a real OpenAL Soft device (its loopback device):
// placement, streams with loop points and chaining, slides and fades, the
// global volumes, freed channels, playback limits and bad files.
#include "audio_fixture.h"

#include "gameshell/audio.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstdio>

namespace
{

std::string tone_file(const char* name, double seconds, double hz, int channels = 1)
{
  return write_sound(name, seconds, channels, [=](double t, int) { return tone(t, hz); });
}

uint32_t playing_channel(uint32_t sample)
{
  uint32_t ch = get_sound_sample_channel(sample, false);
  EXPECT_NE(ch, 0u);
  EXPECT_TRUE(play_sound(ch, true));
  return ch;
}

TEST_F(AudioTest, PositionalSoundIsLouderOnItsSide)
{
  // Listener at the origin looking along +z with y up (the game's
  // left-handed axes): -x is on the left, +x on the right.
  uint32_t s = load_sound_sample(tone_file("hum.wav", 1.0, 440).c_str(), 2, SOUND_3D | SOUND_LOOP, 1, 0, 0);
  ASSERT_NE(s, 0u);
  struct Case { float x, z; int louder; } cases[] = {{-5, 0, 0}, {5, 0, 1}, {-4, 3, 0}, {4, -3, 1}};
  for (const Case& c : cases) {
    uint32_t ch = playing_channel(s);
    set_sound_3d_pos(ch, make4f(c.x, 0, c.z, 1), v_zero());
    apply_3d_sound();
    Mix m = render_seconds(0.2);
    double near = m.rms(c.louder, 0.05), far = m.rms(1 - c.louder, 0.05);
    EXPECT_GT(near, 1.5 * far) << "x " << c.x << " z " << c.z;
    stop_sound(ch);
  }
  // Turning the listener round (looking along -z) swaps the sides.
  set_listener_pos(make4f(0, 0, 0, 1), v_zero(), make4f(0, 0, -1, 0), make4f(0, 1, 0, 0));
  uint32_t ch = playing_channel(s);
  set_sound_3d_pos(ch, make4f(-5, 0, 0, 1), v_zero());
  apply_3d_sound();
  Mix m = render_seconds(0.2);
  EXPECT_GT(m.rms(1, 0.05), 1.5 * m.rms(0, 0.05));
}

TEST_F(AudioTest, DistanceAttenuatesBetweenMinAndMax)
{
  uint32_t s = load_sound_sample(tone_file("far.wav", 1.0, 300).c_str(), 1, SOUND_3D | SOUND_LOOP, 1, 0, 0);
  uint32_t ch = playing_channel(s);
  set_sound_3d_params(ch, 2.f, 40.f);
  double level[3];
  const float dist[3] = {2.f, 8.f, 200.f};
  for (int i = 0; i < 3; i++) {
    set_sound_3d_pos(ch, make4f(0, 0, dist[i], 1));
    apply_3d_sound();
    level[i] = render_seconds(0.1).rms(0.05);
  }
  EXPECT_NEAR(level[1] / level[0], 0.25, 0.05);   // inverse distance
  EXPECT_NEAR(level[2] / level[0], 2.0 / 40.0, 0.02);  // no further fall past max
  vec4f p = v_zero();
  EXPECT_TRUE(get_sound_3d_pos(ch, p));
  EXPECT_EQ(p[2], 200.f);
  EXPECT_EQ(p[3], 1.f);
}

TEST_F(AudioTest, StreamLoopsFromItsLoopPointWithoutAGap)
{
  // 0.3 s of silence, then 0.3 s of tone: looping from 0.3 s keeps the tone
  // going; looping from the start would bring the silence back.
  std::string path = write_sound("intro.wav", 0.6, 2, [](double t, int) { return t < 0.3 ? 0.f : tone(t, 500); });
  uint32_t st = load_sound_stream(path.c_str(), 0.3, 0, 0, 0);
  ASSERT_NE(st, 0u);
  ASSERT_TRUE(play_sound(st, true));
  Mix m = render_seconds(2.5);
  EXPECT_LT(m.rms(0.0, 0.25), 0.01);
  for (double t = 0.35; t < 2.45; t += 0.05) EXPECT_GT(m.rms(t, t + 0.05), 0.2) << t;
  EXPECT_TRUE(is_sound_playing(st));

  // Without a loop point it ends and stays silent.
  uint32_t once = load_sound_stream(path.c_str(), -1.0, 0, 0, 0);
  stop_sound(st);
  play_sound(once, true);
  Mix m2 = render_seconds(1.2);
  EXPECT_GT(m2.rms(0.35, 0.55), 0.2);
  EXPECT_LT(m2.rms(0.8, 1.2), 1e-4);
  EXPECT_FALSE(is_sound_playing(once));
}

TEST_F(AudioTest, ChainedStreamSignalsItsEndOnce)
{
  // The end is reported when it is decoded, a little ahead of hearing it.
  std::string path = write_sound("piece.ogg", 2.0, 1, [](double t, int) { return tone(t, 330); },
                                 SF_FORMAT_OGG | SF_FORMAT_VORBIS);
  uint32_t st = load_sound_stream(path.c_str(), -1.0, SOUND_CHAIN, 0, 0);
  ASSERT_NE(st, 0u);
  play_sound(st, true);
  render_seconds(1.0);
  EXPECT_EQ(sound_stream_to_chain.load(), 0u);
  render_seconds(1.2);
  EXPECT_EQ(sound_stream_to_chain.exchange(0), st);
  render_seconds(1.0);
  EXPECT_EQ(sound_stream_to_chain.load(), 0u);
  EXPECT_FALSE(is_sound_playing(st));
  // Played again from its start, it signals again.
  play_sound(st, true);
  render_seconds(2.2);
  EXPECT_EQ(sound_stream_to_chain.load(), st);
}

TEST_F(AudioTest, SlideReachesItsVolumeInTheTimeAsked)
{
  uint32_t s = load_sound_sample(tone_file("pad.wav", 1.0, 220).c_str(), 1, SOUND_LOOP, 1, 0, 0);
  uint32_t ch = playing_channel(s);
  double full = render_seconds(0.1).rms();
  ASSERT_GT(full, 0.1);
  EXPECT_TRUE(slide_sound_volume(ch, 0.25f, 400));
  Mix m = render_seconds(0.6);
  double mid = m.rms(0.18, 0.22), end = m.rms(0.42, 0.6);
  EXPECT_NEAR(mid / full, 0.625, 0.08);
  EXPECT_NEAR(end / full, 0.25, 0.03);
  EXPECT_TRUE(is_sound_playing(ch));

  // A fade-out plays while it fades, then stops and frees the channel.
  EXPECT_TRUE(fade_out_and_stop_sound(ch, 200));
  render_seconds(0.1);
  EXPECT_TRUE(is_sound_playing(ch));
  Mix after = render_seconds(0.2);
  EXPECT_FALSE(is_sound_playing(ch));
  EXPECT_LT(after.rms(0.15, 0.2), 1e-4);
  EXPECT_FALSE(set_sound_volume(ch, 1.f));

  // Without a time it stops at once.
  uint32_t ch2 = playing_channel(s);
  EXPECT_TRUE(fade_out_and_stop_sound(ch2, 0));
  EXPECT_FALSE(is_sound_playing(ch2));
}

TEST_F(AudioTest, GlobalVolumesScaleTheMix)
{
  uint32_t s = load_sound_sample(tone_file("a.wav", 1.0, 200).c_str(), 1, SOUND_LOOP, 1, 0, 0);
  std::string music = tone_file("m.wav", 3.0, 700);
  uint32_t st = load_sound_stream(music.c_str(), 0.0, 0, 0, 0);
  playing_channel(s);
  double sample_only = render_seconds(0.2).rms(0.1);
  play_sound(st, true);
  set_global_sample_volume(0);
  double stream_only = render_seconds(0.2).rms(0.1);
  set_global_stream_volume(5000);
  EXPECT_NEAR(render_seconds(0.2).rms(0.1) / stream_only, 0.5, 0.03);
  set_global_stream_volume(0);
  set_global_sample_volume(5000);
  EXPECT_NEAR(render_seconds(0.2).rms(0.1) / sample_only, 0.5, 0.03);
  EXPECT_EQ(get_global_sample_volume(), 5000);
  set_master_volume(0.5f);
  EXPECT_FLOAT_EQ(get_master_volume(), 0.5f);
  EXPECT_NEAR(render_seconds(0.2).rms(0.1) / sample_only, 0.25, 0.03);
}

TEST_F(AudioTest, StoppedChannelIsFreedEndedChannelStays)
{
  uint32_t s = load_sound_sample(tone_file("click.wav", 0.05, 900).c_str(), 2, SOUND_3D, 1, 0, 0);
  uint32_t stopped = playing_channel(s);
  uint32_t ended = playing_channel(s);
  EXPECT_TRUE(stop_sound(stopped));
  EXPECT_FALSE(is_sound_playing(stopped));
  EXPECT_FALSE(set_sound_volume(stopped, 1.f));
  vec4f p = make4f(7, 7, 7, 7);
  EXPECT_FALSE(get_sound_3d_pos(stopped, p));
  EXPECT_EQ(p[0], 7.f);
  render_seconds(0.2);
  EXPECT_FALSE(is_sound_playing(ended));
  EXPECT_TRUE(get_sound_3d_pos(ended, p));
  // A paused channel is not playing; play without restart resumes it.
  uint32_t ch = playing_channel(s);
  EXPECT_TRUE(pause_sound(ch));
  EXPECT_FALSE(is_sound_playing(ch));
  EXPECT_TRUE(play_sound(ch, false));
  EXPECT_TRUE(is_sound_playing(ch));
  // Freeing the sample frees its channels.
  EXPECT_TRUE(free_sound_sample(s));
  EXPECT_FALSE(is_sound_playing(ch));
  EXPECT_EQ(get_sound_sample_channel(s, false), 0u);
}

TEST_F(AudioTest, PlaybackLimitIsNeverExceeded)
{
  std::string path = tone_file("hit.wav", 0.5, 600);
  struct Case { int mode; bool overrides; } cases[] = {{1, true}, {2, true}, {3, true}, {4, true}, {0, false}};
  for (const Case& c : cases) {
    uint32_t s = load_sound_sample(path.c_str(), 3, 0, c.mode, 0, 0);
    ASSERT_NE(s, 0u);
    int most = 0, refused = 0;
    for (int i = 0; i < 1000; i++) {
      uint32_t ch = get_sound_sample_channel(s, false);
      refused += ch == 0;
      play_sound(ch, true);
      most = std::max(most, sound_sample_playing_count(s));
      if (i % 10 == 0) render_seconds(0.005);
    }
    EXPECT_EQ(most, 3) << "mode " << c.mode;
    EXPECT_EQ(refused > 0, !c.overrides) << "mode " << c.mode;
    EXPECT_EQ(get_sound_sample_channel(s, true), 0u) << "all busy: no new channel";
    free_sound_sample(s);
  }
}

TEST_F(AudioTest, OverrideTakesTheQuietestOrTheOldest)
{
  std::string path = tone_file("o.wav", 1.0, 600);
  uint32_t byvol = load_sound_sample(path.c_str(), 2, SOUND_LOOP, SOUND_OVERRIDE_VOLUME, 0, 0);
  uint32_t loud = playing_channel(byvol), quiet = playing_channel(byvol);
  set_sound_volume(quiet, 0.1f);
  set_sound_volume(loud, 0.9f);
  playing_channel(byvol);
  EXPECT_TRUE(is_sound_playing(loud));
  EXPECT_FALSE(is_sound_playing(quiet));

  uint32_t bypos = load_sound_sample(path.c_str(), 2, SOUND_LOOP, SOUND_OVERRIDE_POSITION, 0, 0);
  uint32_t first = playing_channel(bypos), second = playing_channel(bypos);
  playing_channel(bypos);
  EXPECT_FALSE(is_sound_playing(first));
  EXPECT_TRUE(is_sound_playing(second));
}

TEST_F(AudioTest, BadFilesGiveTheirMessageAndZero)
{
  std::string dir = test_sound_dir();
  std::string corrupt = dir + "/corrupt.wav";
  FILE* f = fopen(corrupt.c_str(), "wb");
  fputs("RIFF\x10\0\0\0WAVEjunk that is not sound at all", f);
  fclose(f);
  std::string good = tone_file("good.wav", 0.2, 400);
  struct Case { std::string path; bool stream; int offset; const char* message; } cases[] = {
      {dir + "/missing.wav", false, 0, "error loading sample from '"},
      {corrupt, false, 0, "error loading sample from '"},
      {dir + "/missing.ogg", true, 0, "failed to open stream file '"},
      {corrupt, true, 0, "error creating stream from '"},
      {good, true, 1 << 20, "invalid offset 1048576 for '"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    uint32_t h = c.stream ? load_sound_stream(c.path.c_str(), -1.0, 0, c.offset, 0)
                          : load_sound_sample(c.path.c_str(), 1, 0, 1, c.offset, 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(h, 0u) << c.path;
    EXPECT_NE(out.find(std::string(c.message) + c.path + "'"), std::string::npos) << out;
  }
  // The good file still loads and plays after the failures.
  uint32_t s = load_sound_sample(good.c_str(), 1, 0, 1, 0, 0);
  playing_channel(s);
  EXPECT_GT(render_seconds(0.1).rms(), 0.1);
}

TEST_F(AudioTest, RelativePositionBeforePlayIsWherePlayingStarts)
{
  // A tone in the second half only: starting at 0.5 is heard at once.
  std::string path = write_sound("half.wav", 1.0, 1, [](double t, int) { return t < 0.5 ? 0.f : tone(t, 400); });
  uint32_t s = load_sound_sample(path.c_str(), 1, 0, 1, 0, 0);
  uint32_t ch = get_sound_sample_channel(s, false);
  EXPECT_TRUE(set_relative_sound_pos(ch, 0.5f));
  play_sound(ch, true);
  EXPECT_GT(render_seconds(0.1).rms(), 0.1);
}

TEST(AudioWithoutDevice, EverythingFailsQuietly)
{
  std::string good = write_sound("silent.wav", 0.1, 1, [](double t, int) { return tone(t, 300); });
  testing::internal::CaptureStdout();
  uint32_t s = load_sound_sample(good.c_str(), 1, 0, 1, 0, 0);
  uint32_t st = load_sound_stream(good.c_str(), -1, 0, 0, 0);
  uint32_t ch = get_sound_sample_channel(s, false);
  EXPECT_FALSE(play_sound(ch, true));
  EXPECT_FALSE(play_sound(st, true));
  EXPECT_FALSE(set_listener_pos(v_zero(), v_zero(), v_zero(), v_zero()));
  apply_3d_sound();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(s, 0u);  // files are still checked
  EXPECT_NE(st, 0u);
  EXPECT_EQ(ch, 0u);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(free_sound_stream(st));
  EXPECT_TRUE(free_sound_sample(s));
}

}  // namespace
