#include "audio_fixture.h"

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <unistd.h>

#include "support/test_dir.h"

double Mix::rms(int side, double from, double to) const
{
  int a = std::max(0, int(from * TEST_RATE));
  int b = to < 0 ? frames() : std::min(frames(), int(to * TEST_RATE));
  if (b <= a) return 0.0;
  double sum = 0.0;
  for (int i = a; i < b; i++) sum += double(s[2 * i + side]) * s[2 * i + side];
  return std::sqrt(sum / (b - a));
}

std::string program_dir()
{
  char exe[512] = {};
  if (readlink("/proc/self/exe", exe, sizeof(exe) - 1) <= 0) return "";
  std::string dir = exe;
  dir = dir.substr(0, dir.rfind('/'));
  return dir.substr(0, dir.rfind('/')) + "/bin/";
}

Mix render_seconds(double seconds)
{
  Mix m;
  int frames = int(std::lround(seconds * TEST_RATE));
  m.s.resize(size_t(frames) * 2);
  audio_render_loopback(m.s.data(), frames);
  return m;
}

std::string test_sound_dir()
{
  // Removed with the sounds in it when the program ends.
  static TestDir dir("sound");
  return dir.path;
}

std::string write_sound(const std::string& name, double seconds, int channels,
                        const std::function<float(double t, int channel)>& f, int format)
{
  std::string path = test_sound_dir() + "/" + name;
  SF_INFO info = {};
  info.samplerate = TEST_RATE;
  info.channels = channels;
  info.format = format ? format : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
  if (!sf) return path;
  int frames = int(seconds * TEST_RATE);
  std::vector<float> buf(size_t(frames) * channels);
  for (int i = 0; i < frames; i++)
    for (int c = 0; c < channels; c++) buf[size_t(i) * channels + c] = f(double(i) / TEST_RATE, c);
  sf_writef_float(sf, buf.data(), frames);
  sf_close(sf);
  return path;
}

void AudioTest::SetUp()
{
  ASSERT_TRUE(init_sound_loopback(TEST_RATE));
  set_global_sample_volume(10000);
  set_global_stream_volume(10000);
  set_master_volume(1.f);
  set_listener_3d_factors(1.f, 1.f, 1.f);
  set_listener_pos(make4f(0, 0, 0, 1), v_zero(), make4f(0, 0, 1, 0), make4f(0, 1, 0, 0));
  apply_3d_sound();
  sound_stream_to_chain = 0;
}

void AudioTest::TearDown() { close_sound(); }
