// Build-time generator of the game's sounds and music: everything is
// synthesised here from noise, oscillators, filters and plucked strings, and
// written with libsndfile (sound effects as 16-bit WAV, music as Ogg Vorbis).
// The output is the same on every run (fixed random seeds).
//
//   make_sounds <program folder>
//
// writes <folder>/sfx/*.wav and <folder>/music/*.ogg, then
// <folder>/sfx/generated.txt naming them (the build's stamp).
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

const int RATE = 44100;
const double PI = 3.14159265358979323846;

typedef std::vector<float> Wave;

struct Rng
{
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next()
  {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return uint32_t(s >> 32);
  }
  float uni() { return float(next()) / 4294967296.f; }  // [0, 1)
  float sym() { return 2.f * uni() - 1.f; }             // [-1, 1)
};

// RBJ biquad: low-pass, band-pass or high-pass.
struct Biquad
{
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  enum Kind { LOW, BAND, HIGH };
  void set(Kind kind, double hz, double q)
  {
    double w = 2 * PI * std::min(hz, RATE * 0.45) / RATE, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
    double a0 = 1 + alpha;
    if (kind == LOW) {
      b0 = (1 - cw) / 2, b1 = 1 - cw, b2 = (1 - cw) / 2;
    } else if (kind == HIGH) {
      b0 = (1 + cw) / 2, b1 = -(1 + cw), b2 = (1 + cw) / 2;
    } else {
      b0 = alpha, b1 = 0, b2 = -alpha;
    }
    a1 = -2 * cw, a2 = 1 - alpha;
    b0 /= a0, b1 /= a0, b2 /= a0, a1 /= a0, a2 /= a0;
  }
  float run(float x)
  {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return float(y);
  }
};

Wave make(double seconds, const std::function<float(int i, double t)>& f)
{
  Wave w(size_t(seconds * RATE));
  for (size_t i = 0; i < w.size(); i++) w[i] = f(int(i), double(i) / RATE);
  return w;
}

// Scales the peak to `peak`.
void normalize(Wave& w, float peak)
{
  float m = 1e-9f;
  for (float v : w) m = std::max(m, std::fabs(v));
  for (float& v : w) v *= peak / m;
}

// Makes the end flow into the start: the last `fade` seconds are blended
// into the beginning and cut off.
void make_loop(Wave& w, double fade)
{
  size_t n = size_t(fade * RATE);
  if (n * 2 >= w.size()) return;
  size_t len = w.size() - n;
  for (size_t i = 0; i < n; i++) {
    float k = float(i) / float(n);
    w[i] = w[i] * k + w[len + i] * (1 - k);
  }
  w.resize(len);
}

// Short fade in and out against clicks.
void edges(Wave& w, double in = 0.002, double out = 0.01)
{
  size_t a = size_t(in * RATE), b = size_t(out * RATE);
  for (size_t i = 0; i < a && i < w.size(); i++) w[i] *= float(i) / a;
  for (size_t i = 0; i < b && i < w.size(); i++) w[w.size() - 1 - i] *= float(i) / b;
}

float env_exp(double t, double decay) { return float(std::exp(-t / decay)); }

// ---- sound effects ----

Wave wind()
{
  Rng r(1);
  Biquad f;
  Wave w = make(6.5, [&](int i, double t) {
    if (i % 64 == 0) f.set(Biquad::BAND, 300 + 250 * std::sin(2 * PI * 0.21 * t) + 120 * std::sin(2 * PI * 0.53 * t), 1.2);
    return f.run(r.sym()) * float(0.6 + 0.4 * std::sin(2 * PI * 0.17 * t + 1.0));
  });
  make_loop(w, 0.5);
  normalize(w, 0.6f);
  return w;
}

// Bubbles: short sines gliding upward.
void add_bubbles(Wave& w, Rng& r, int count, float lo, float hi, float gain)
{
  for (int b = 0; b < count; b++) {
    size_t at = size_t(r.uni() * w.size());
    double f0 = lo + (hi - lo) * r.uni(), len = 0.02 + 0.04 * r.uni(), ph = 0;
    for (size_t i = 0; i < size_t(len * RATE) && at + i < w.size(); i++) {
      double t = double(i) / RATE;
      ph += 2 * PI * f0 * (1 + 2 * t / len) / RATE;
      w[at + i] += gain * float(std::sin(ph)) * env_exp(t, len / 3);
    }
  }
}

Wave water()
{
  Rng r(2);
  Biquad f;
  f.set(Biquad::LOW, 900, 0.7);
  Wave w = make(4.5, [&](int, double) { return f.run(r.sym()) * 0.5f; });
  add_bubbles(w, r, 90, 300, 1100, 0.35f);
  make_loop(w, 0.5);
  normalize(w, 0.55f);
  return w;
}

// Brown noise through a low-pass, with random pops on top.
Wave crackle(uint64_t seed, double seconds, double body_hz, double pop_hz, int pops)
{
  Rng r(seed);
  Biquad lo, pop;
  lo.set(Biquad::LOW, body_hz, 0.8);
  pop.set(Biquad::BAND, pop_hz, 2.0);
  float brown = 0;
  Wave w = make(seconds, [&](int, double) {
    brown = brown * 0.995f + r.sym() * 0.05f;
    return lo.run(brown) * 3.f;
  });
  for (int p = 0; p < pops; p++) {
    size_t at = size_t(r.uni() * w.size());
    float g = 0.3f + 0.7f * r.uni();
    for (size_t i = 0; i < 600 && at + i < w.size(); i++)
      w[at + i] += g * pop.run(r.sym()) * env_exp(double(i) / RATE, 0.003);
  }
  make_loop(w, 0.4);
  return w;
}

Wave lava()
{
  Wave w = crackle(3, 3.5, 160, 1200, 60);
  normalize(w, 0.7f);
  return w;
}

Wave fire()
{
  Wave w = crackle(4, 2.5, 500, 2500, 120);
  normalize(w, 0.6f);
  return w;
}

// Moving land: a deep grinding rumble.
Wave rumble()
{
  Rng r(5);
  Biquad lo, grind;
  lo.set(Biquad::LOW, 90, 0.9);
  grind.set(Biquad::BAND, 350, 1.5);
  float brown = 0, burst = 0;
  Wave w = make(3.5, [&](int i, double t) {
    brown = brown * 0.997f + r.sym() * 0.04f;
    if (i % 2205 == 0) burst = r.uni();
    float s = lo.run(brown) * 4.f + grind.run(r.sym()) * 0.25f * burst;
    return s * float(0.8 + 0.2 * std::sin(2 * PI * 2.0 * t));
  });
  make_loop(w, 0.5);
  normalize(w, 0.8f);
  return w;
}

Wave impact(uint64_t seed, double seconds, double thump_hz, double decay)
{
  Rng r(seed);
  Biquad lo;
  lo.set(Biquad::LOW, 1500, 0.7);
  double ph = 0;
  Wave w = make(seconds, [&](int, double t) {
    ph += 2 * PI * thump_hz * (1 + 2 * std::exp(-t / 0.03)) / RATE;
    float body = float(std::sin(ph)) * env_exp(t, decay);
    float hit = lo.run(r.sym()) * env_exp(t, decay * 0.3);
    return body + hit;
  });
  edges(w, 0.0005);
  normalize(w, 0.9f);
  return w;
}

Wave click(double hz1, double hz2)
{
  Rng r(6);
  Wave w = make(0.12, [&](int, double t) {
    double hz = t < 0.04 ? hz1 : hz2;
    float tick = t < 0.002 ? r.sym() * 0.5f : 0.f;
    return float(std::sin(2 * PI * hz * t)) * env_exp(std::fmod(t, 0.04), 0.012) + tick;
  });
  edges(w, 0.0005, 0.005);
  normalize(w, 0.7f);
  return w;
}

// Partials that repeat exactly every 2 s, so the hum loops.
Wave hum(double base)
{
  Wave w = make(2.0, [&](int, double t) {
    double s = std::sin(2 * PI * base * t) + 0.6 * std::sin(2 * PI * (base * 1.5 + 0.5) * t) +
               0.4 * std::sin(2 * PI * (base * 2 + 0.5) * t);
    return float(s * (0.75 + 0.25 * std::sin(2 * PI * 4.0 * t)));
  });
  normalize(w, 0.5f);
  return w;
}

Wave bell(double hz, double seconds)
{
  const double ratio[4] = {1.0, 2.76, 5.4, 8.93}, gain[4] = {1.0, 0.5, 0.25, 0.12};
  Wave w = make(seconds, [&](int, double t) {
    double s = 0;
    for (int k = 0; k < 4; k++) s += gain[k] * std::sin(2 * PI * hz * ratio[k] * t) * std::exp(-t * (1.5 + k));
    return float(s);
  });
  edges(w, 0.001);
  normalize(w, 0.6f);
  return w;
}

// Exponential pitch glide with a breath of noise.
Wave sweep(uint64_t seed, double seconds, double from, double to)
{
  Rng r(seed);
  Biquad bp;
  double ph = 0;
  Wave w = make(seconds, [&](int i, double t) {
    double k = t / seconds, hz = from * std::pow(to / from, k);
    if (i % 32 == 0) bp.set(Biquad::BAND, hz * 2, 3.0);
    ph += 2 * PI * hz / RATE;
    float shape = float(std::sin(PI * k));
    return (float(std::sin(ph)) * 0.6f + bp.run(r.sym()) * 2.f) * shape;
  });
  normalize(w, 0.7f);
  return w;
}

Wave zap()
{
  Rng r(7);
  Wave w = make(0.5, [&](int, double t) {
    double index = 8 * std::exp(-t / 0.08);
    float s = float(std::sin(2 * PI * 800 * t + index * std::sin(2 * PI * 1230 * t)));
    return (s + (r.uni() < 0.05f ? r.sym() : 0.f)) * env_exp(t, 0.12);
  });
  edges(w, 0.0005);
  normalize(w, 0.7f);
  return w;
}

Wave thunder()
{
  Rng r(8);
  Biquad lo, hi;
  lo.set(Biquad::LOW, 120, 0.8);
  hi.set(Biquad::HIGH, 2000, 0.7);
  float brown = 0, burst = 1;
  Wave w = make(3.5, [&](int i, double t) {
    brown = brown * 0.996f + r.sym() * 0.05f;
    if (i % 4410 == 0) burst = 0.4f + 0.6f * r.uni();
    float crack = hi.run(r.sym()) * env_exp(t, 0.05) * 1.5f;
    return crack + lo.run(brown) * 6.f * burst * env_exp(t, 1.0);
  });
  edges(w, 0.0005, 0.2);
  normalize(w, 0.9f);
  return w;
}

Wave sparkle()
{
  Rng r(9);
  Wave w(size_t(1.0 * RATE), 0.f);
  for (int p = 0; p < 14; p++) {
    size_t at = size_t(r.uni() * 0.7 * RATE);
    double hz = 2000 + 3000 * r.uni();
    for (size_t i = 0; i < size_t(0.25 * RATE); i++) {
      double t = double(i) / RATE;
      w[at + i] += float(std::sin(2 * PI * hz * t)) * env_exp(t, 0.05) * 0.3f;
    }
  }
  edges(w);
  normalize(w, 0.5f);
  return w;
}

Wave chirp()
{
  Wave w = make(0.4, [&](int, double t) {
    double local = std::fmod(t, 0.15);
    if (t > 0.3) return 0.f;
    double ph = 2 * PI * (2500 * local + 8000 * local * local);
    return float(std::sin(ph)) * env_exp(local, 0.04);
  });
  edges(w);
  normalize(w, 0.5f);
  return w;
}

Wave growl(double hz)
{
  Biquad lo;
  lo.set(Biquad::LOW, 700, 1.5);
  double ph = 0;
  Wave w = make(1.2, [&](int, double t) {
    ph += (hz * (1 + 0.05 * std::sin(2 * PI * 7 * t))) / RATE;
    float saw = float(2 * (ph - std::floor(ph)) - 1);
    float env = float(std::min(1.0, t / 0.1) * std::exp(-t / 0.6));
    return lo.run(saw) * env;
  });
  edges(w);
  normalize(w, 0.7f);
  return w;
}

// Wing beats: puffs of low noise.
Wave flap()
{
  Rng r(10);
  Biquad lo;
  lo.set(Biquad::LOW, 400, 0.7);
  Wave w = make(1.0, [&](int, double t) {
    double local = std::fmod(t, 0.5);
    return lo.run(r.sym()) * float(std::sin(PI * std::min(1.0, local / 0.15)) * (local < 0.15));
  });
  normalize(w, 0.6f);
  return w;
}

Wave chitter()
{
  Rng r(11);
  Wave w(size_t(0.5 * RATE), 0.f);
  for (int c = 0; c < 14; c++) {
    size_t at = size_t(c * 0.033 * RATE);
    double hz = 1500 + 1500 * r.uni();
    for (size_t i = 0; i < size_t(0.012 * RATE); i++) {
      double t = double(i) / RATE;
      w[at + i] += float(std::sin(2 * PI * hz * t)) * env_exp(t, 0.003);
    }
  }
  normalize(w, 0.5f);
  return w;
}

Wave sizzle()
{
  Rng r(12);
  Biquad hi;
  hi.set(Biquad::HIGH, 3000, 0.7);
  Wave w = make(1.2, [&](int, double t) { return hi.run(r.sym()) * env_exp(t, 0.35); });
  add_bubbles(w, r, 25, 500, 1500, 0.3f);
  edges(w, 0.001, 0.05);
  normalize(w, 0.6f);
  return w;
}

Wave whoosh(uint64_t seed, double seconds, double from, double to)
{
  Rng r(seed);
  Biquad bp;
  Wave w = make(seconds, [&](int i, double t) {
    double k = t / seconds;
    if (i % 32 == 0) bp.set(Biquad::BAND, from * std::pow(to / from, k), 1.5);
    return bp.run(r.sym()) * float(std::sin(PI * k));
  });
  normalize(w, 0.7f);
  return w;
}

// ---- music ----

// Plucked string (Karplus-Strong) added into a stereo mix at `at` seconds.
void pluck(Wave& mix, Rng& r, double at, double hz, float gain, float pan, double seconds)
{
  int period = std::max(2, int(RATE / hz));
  std::vector<float> line(static_cast<size_t>(period));
  for (float& v : line) v = r.sym();
  size_t start = size_t(at * RATE);
  float lg = gain * (1 - pan) * 0.5f, rg = gain * (1 + pan) * 0.5f;
  for (size_t i = 0, n = size_t(seconds * RATE); i < n; i++) {
    size_t j = i % size_t(period), k = (i + 1) % size_t(period);
    float v = line[j];
    line[j] = 0.996f * 0.5f * (line[j] + line[k]);
    size_t o = (start + i) * 2;
    if (o + 1 >= mix.size()) break;
    mix[o] += v * lg;
    mix[o + 1] += v * rg;
  }
}

// A soft pad chord: detuned sines with a slow swell.
void pad(Wave& mix, double at, double seconds, const std::vector<double>& hz, float gain)
{
  size_t start = size_t(at * RATE);
  for (size_t i = 0, n = size_t(seconds * RATE); i < n; i++) {
    double t = double(i) / RATE;
    float env = float(std::sin(PI * t / seconds));
    double l = 0, rr = 0;
    for (double f : hz) {
      l += std::sin(2 * PI * f * 0.998 * t);
      rr += std::sin(2 * PI * f * 1.002 * t);
    }
    size_t o = (start + i) * 2;
    if (o + 1 >= mix.size()) break;
    mix[o] += float(l) * env * gain;
    mix[o + 1] += float(rr) * env * gain;
  }
}

double note(int semis_from_a4) { return 440.0 * std::pow(2.0, semis_from_a4 / 12.0); }

// Chord roots (semitones from A4) and the scale the melody walks.
Wave piece(uint64_t seed, double bpm, const std::vector<int>& roots, const std::vector<int>& scale)
{
  Rng r(seed);
  const double beat = 60.0 / bpm, bar = beat * 4;
  const int bars = int(roots.size()) * 2;
  Wave mix(size_t((bars * bar + 3.0) * RATE) * 2, 0.f);
  for (int b = 0; b < bars; b++) {
    int root = roots[size_t(b) % roots.size()];
    double at = b * bar;
    pad(mix, at, bar * 1.1, {note(root - 12), note(root - 5), note(root), note(root + 4)}, 0.05f);
    pluck(mix, r, at, note(root - 24), 0.5f, 0.f, bar);
    for (int s = 0; s < 8; s++) {
      int step = scale[r.next() % scale.size()];
      if (r.uni() < 0.25f) continue;
      pluck(mix, r, at + s * beat / 2, note(root + step), 0.3f, r.sym() * 0.6f, beat * 3);
    }
  }
  // Fade out over the last two seconds.
  size_t frames = mix.size() / 2, fade = size_t(2.0 * RATE);
  for (size_t i = 0; i < fade; i++) {
    float k = float(i) / fade;
    mix[(frames - 1 - i) * 2] *= k;
    mix[(frames - 1 - i) * 2 + 1] *= k;
  }
  normalize(mix, 0.8f);
  return mix;
}

// ---- output ----

bool write(const std::string& path, const Wave& w, int channels, int format)
{
  SF_INFO info = {};
  info.samplerate = RATE;
  info.channels = channels;
  info.format = format;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf) {
    fprintf(stderr, "make_sounds: can't write '%s': %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  if (format & SF_FORMAT_VORBIS) {
    double quality = 0.4;
    sf_command(sf, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
  }
  sf_count_t frames = sf_count_t(w.size() / size_t(channels));
  bool ok = sf_writef_float(sf, w.data(), frames) == frames;
  sf_close(sf);
  if (!ok) fprintf(stderr, "make_sounds: short write to '%s'\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: make_sounds <program folder>\n");
    return 2;
  }
  const std::string dir = argv[1], sfx = dir + "/sfx/", music = dir + "/music/";
  mkdir(sfx.c_str(), 0755);
  mkdir(music.c_str(), 0755);

  struct Effect
  {
    const char* name;
    std::function<Wave()> make;
  } effects[] = {
      {"wind", wind},
      {"water", water},
      {"lava", lava},
      {"fire", fire},
      {"rumble", rumble},
      {"impact", [] { return impact(20, 0.8, 70, 0.15); }},
      {"impact_small", [] { return impact(21, 0.4, 140, 0.06); }},
      {"impact_big", [] { return impact(22, 2.5, 45, 0.6); }},
      {"click", [] { return click(1500, 1500); }},
      {"click_select", [] { return click(1000, 1500); }},
      {"portal_hum", [] { return hum(110); }},
      {"mana_hum", [] { return hum(220); }},
      {"portal_chime", [] { return bell(660, 2.0); }},
      {"chime", [] { return bell(990, 1.2); }},
      {"warp", [] { return sweep(30, 1.6, 180, 2200); }},
      {"arrive", [] { return sweep(31, 1.3, 1600, 140); }},
      {"zap", zap},
      {"thunder", thunder},
      {"sparkle", sparkle},
      {"chirp", chirp},
      {"growl", [] { return growl(85); }},
      {"growl_high", [] { return growl(150); }},
      {"flap", flap},
      {"chitter", chitter},
      {"sizzle", sizzle},
      {"whoosh", [] { return whoosh(40, 0.7, 300, 1800); }},
      {"whoosh_low", [] { return whoosh(41, 1.0, 150, 600); }},
  };
  std::string listing;
  for (const Effect& e : effects) {
    std::string path = sfx + e.name + ".wav";
    if (!write(path, e.make(), 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16)) return 1;
    listing += std::string("sfx/") + e.name + ".wav\n";
  }

  struct Piece
  {
    const char* name;
    Wave w;
  } pieces[] = {
      {"music_a", piece(50, 84, {0, -4, 3, -2}, {0, 2, 3, 7, 10, 12})},
      {"music_b", piece(51, 96, {-5, 0, -7, -2}, {0, 3, 5, 7, 12})},
      {"music_c", piece(52, 72, {-2, 3, -4, 0}, {0, 2, 4, 7, 9, 12})},
  };
  for (const Piece& p : pieces) {
    std::string path = music + p.name + ".ogg";
    if (!write(path, p.w, 2, SF_FORMAT_OGG | SF_FORMAT_VORBIS)) return 1;
    listing += std::string("music/") + p.name + ".ogg\n";
  }

  FILE* f = fopen((sfx + "generated.txt").c_str(), "w");
  if (!f || fputs(listing.c_str(), f) < 0) {
    fprintf(stderr, "make_sounds: can't write the listing\n");
    if (f) fclose(f);
    return 1;
  }
  fclose(f);
  return 0;
}
