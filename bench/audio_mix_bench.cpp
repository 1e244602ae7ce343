// Mixing cost of the audio layer on OpenAL Soft's loopback device: 64
// looping positional sounds round a moving listener, rendered one second of
// 44.1 kHz stereo at a time. The time per iteration is the processor time
// one second of audio costs.
#include "gameshell/audio.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "quiet_stdout.h"

namespace
{

std::string write_noise_loop()
{
  char tmpl[] = "/tmp/qm_audio_bench_XXXXXX";
  const char* dir = mkdtemp(tmpl);
  std::string path = std::string(dir ? dir : "/tmp") + "/loop.wav";
  SF_INFO info = {};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<float> w(44100);
  for (size_t i = 0; i < w.size(); i++) w[i] = 0.3f * float(std::sin(0.05 * double(i))) * float(std::sin(0.0003 * double(i)));
  sf_writef_float(sf, w.data(), sf_count_t(w.size()));
  sf_close(sf);
  return path;
}

void BM_Mix64PositionalSources(benchmark::State& state)
{
  QuietStdout quiet;
  if (!init_sound_loopback(44100)) {
    state.SkipWithError("no loopback device");
    return;
  }
  std::string path = write_noise_loop();
  uint32_t sample = load_sound_sample(path.c_str(), 64, SOUND_3D | SOUND_LOOP, SOUND_OVERRIDE_AUTO, 0, 0);
  set_sound_sample_dist(sample, 4.f, 256.f);
  for (int i = 0; i < 64; i++) {
    uint32_t ch = get_sound_sample_channel(sample, true);
    float a = float(i) * 0.3f;
    set_sound_3d_pos(ch, make4f(40.f * std::cos(a), float(i % 8), 40.f * std::sin(a), 1.f), make4f(1.f, 0.f, 0.f, 0.f));
    play_sound(ch, true);
  }
  std::vector<float> out(44100 * 2);
  float t = 0.f;
  for (auto _ : state) {
    // The listener turns and moves a little every 50 ms, as in a tick.
    for (int tick = 0; tick < 20; tick++, t += 0.05f) {
      set_listener_pos(make4f(t, 2.f, 0.f, 1.f), make4f(20.f, 0.f, 0.f, 0.f),
                       make4f(std::sin(t), 0.f, std::cos(t), 0.f), make4f(0.f, 1.f, 0.f, 0.f));
      apply_3d_sound();
      audio_render_loopback(out.data() + tick * 2205 * 2, 2205);
    }
    benchmark::DoNotOptimize(out.data());
  }
  // The sources are heard: the mean level of the last second rendered.
  double sum = 0.0;
  for (float v : out) sum += double(v) * v;
  state.counters["rms"] = std::sqrt(sum / double(out.size()));
  close_sound();
}
BENCHMARK(BM_Mix64PositionalSources)->Unit(benchmark::kMillisecond);

}  // namespace
