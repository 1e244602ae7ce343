// A real OpenAL Soft device without speakers: the loopback device renders
// the mix into memory, where the tests measure it. Sound files are written
// by libsndfile into a fresh temporary folder.
#pragma once

#include "gameshell/audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

enum { TEST_RATE = 44100 };

// Interleaved stereo floats.
struct Mix
{
  std::vector<float> s;
  int frames() const { return int(s.size() / 2); }
  // Root mean square of one side (0 left, 1 right) over [from, to) seconds;
  // to < 0 means the end.
  double rms(int side, double from = 0.0, double to = -1.0) const;
  double rms(double from = 0.0, double to = -1.0) const { return (rms(0, from, to) + rms(1, from, to)) / 2; }
};

// Renders seconds of the mix.
Mix render_seconds(double seconds);

// Writes a WAV file of f(t) (one value per channel and frame, -1..1).
std::string write_sound(const std::string& name, double seconds, int channels,
                        const std::function<float(double t, int channel)>& f, int format = 0);
std::string test_sound_dir();
// The program folder the build fills (sounds, music, "sound/sound.nut"),
// beside the tests' folder, with its trailing "/".
std::string program_dir();

inline float tone(double t, double hz, float amp = 0.5f)
{
  return amp * float(std::sin(2.0 * 3.14159265358979 * hz * t));
}

class AudioTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;
};
