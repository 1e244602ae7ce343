#include "world/erosion.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

#include "engine/debug.h"
#include "engine/random.h"
#include "engine/timer.h"
#include "world/expf4.h"
#include "world/genServices.h"
#include "world/genWorkers.h"
#include "world/heightmapData.h"

namespace HeightmapData
{

namespace
{

const int k_max_path = 1024;     // steps after which a droplet is cut
const unsigned k_splash_every = 16384;
// Run ahead unless told otherwise: this window, with this many generation
// threads (the calling one included) or more.
const int k_auto_window = 16;
const int k_auto_run_ahead_from = 4;

// The parameters as one run of droplets uses them; reloaded after onPeriod.
struct Params
{
  float Kq, Kw, Kr, Kd, Ki, minSlope, g, depositBlend, reactionTime;
  const ErosionReaction* reactions;
  int num_reactions;
  bool run_reactions;
  // With no reactions to run (for a finite time) a colour ends as it starts
  // whenever the blend weight is 0.
  bool colour_passes_through_empty_deposit;

  void load(const ErosionParams& p)
  {
    Kq = p.Kq;
    Kw = p.Kw;
    Kr = p.Kr;
    Kd = p.Kd;
    Ki = p.Ki;
    minSlope = p.minSlope;
    g = p.g;
    depositBlend = p.depositBlend;
    reactionTime = p.reactionTime;
    reactions = p.reactions.data;
    num_reactions = p.reactions.num;
    // Without reactions every rate is 0 and a run changes no colour (it
    // would add 0 times a finite time to each channel).
    run_reactions = reactionTime > 0.0f && (num_reactions > 0 || !std::isfinite(reactionTime));
    colour_passes_through_empty_deposit = !run_reactions && std::isfinite(depositBlend);
  }
};

// True floor for the droplet's cell (positions stay far inside int range).
inline int floor_int(float v)
{
  int i = _mm_cvttss_si32(_mm_set_ss(v));
  return float(i) > v ? i - 1 : i;
}

inline int cell_at(int x, int z) { return ((z & 255) << 8) | (x & 255); }

// Colour unpacking and packing as color_to_vec4f / vec4f_to_color do it (each
// byte divided by 255; saturate, times 255, round to nearest, pack), inline:
// erosion converts a colour for every cell a droplet touches. The bytes of
// 0xAARRGGBB lie in memory as b, g, r, a, so both work on lanes in that order
// and swap r and b once.
inline vec4f unpack_color(uint32_t c)
{
  const __m128i zero = _mm_setzero_si128();
  __m128i i = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(c)), zero), zero);
  // An exact division, the same bits as float(byte) / 255.0f.
  vec4f bgra = _mm_div_ps(_mm_cvtepi32_ps(i), _mm_set1_ps(255.0f));
  return _mm_shuffle_ps(bgra, bgra, _MM_SHUFFLE(3, 0, 1, 2));
}

inline bool all_finite(vec4f v)
{
  vec4f z = _mm_mul_ps(v, _mm_setzero_ps());  // NaN where v is infinite or NaN
  return _mm_movemask_ps(_mm_cmpord_ps(z, z)) == 15;
}

inline uint32_t pack_color(vec4f c)
{
  vec4f bgra = _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 1, 2));
  __m128i i = _mm_cvtps_epi32(
      _mm_mul_ps(_mm_min_ps(_mm_max_ps(bgra, _mm_setzero_ps()), _mm_set1_ps(1.0f)), _mm_set1_ps(255.0f)));
  // Lanes of 0..255 to the bytes b, g, r, a from the lowest: 0xAARRGGBB.
  i = _mm_packus_epi16(_mm_packs_epi32(i, i), i);
  return uint32_t(_mm_cvtsi128_si32(i));
}

// x^e for e >= 1 by repeated squaring (bounded work for any exponent).
inline float int_pow(float x, int32_t e)
{
  float r = 1.0f;
  for (;;) {
    if (e & 1) r *= x;
    e >>= 1;
    if (!e) return r;
    x *= x;
  }
}

// Runs the colour reactions on c for the parameters' reaction time, in at most
// ten steps, each as long as the time until the first falling channel reaches
// 0 (never past it) or the whole remaining time.
void run_reactions(vec4f& c, const Params& p)
{
  float T = p.reactionTime;
  int iterations = 0;
  do {
    vec4f rate = v_zero();
    for (int r = 0; r < p.num_reactions; r++) {
      const ErosionReaction& re = p.reactions[r];
      float prod = 1.0f;
      for (int j = 0; j < 4; j++)
        if (re.exponents[j] > 0) prod *= int_pow(c[j], re.exponents[j]);
      rate = rate + v_ldu(re.change) * v_splat(prod);
    }
    float step = T;
    for (int k = 0; k < 4; k++)
      if (rate[k] < 0.0f) {
        float until_zero = -c[k] / rate[k];
        if (until_zero < step) step = until_zero;
      }
    T -= step;
    c = c + rate * v_splat(step);
    iterations++;
  } while (T > 0.0f && iterations < 10);
}

// One relaxed atomic read or write of a word of the world grid that another
// thread may be reading or changing at the time (droplets run ahead).
template <class T>
inline T read_shared(const T& v)
{
  static_assert(sizeof(T) == 4, "one word");
  uint32_t bits = __atomic_load_n(reinterpret_cast<const uint32_t*>(&v), __ATOMIC_RELAXED);
  T out;
  memcpy(&out, &bits, 4);
  return out;
}

template <class T>
inline void write_shared(T& v, T value)
{
  static_assert(sizeof(T) == 4, "one word");
  uint32_t bits;
  memcpy(&bits, &value, 4);
  __atomic_store_n(reinterpret_cast<uint32_t*>(&v), bits, __ATOMIC_RELAXED);
}

inline void write_shared(int cell, float h, const Surface& s)
{
  write_shared(hmap[cell], h);
  write_shared(surface[cell].color, s.color);
  write_shared(surface[cell].topColor, s.topColor);
  write_shared(surface[cell].bits, s.bits);
}

// The world grid as droplets running in turn see it; update(cell, f) calls
// f(height, surface record) to change a cell. With Shared, droplets run ahead
// of their turn are reading the grid meanwhile: every cell changed is written
// back word by word with atomic stores and stamped with `round` in `written`,
// so those droplets can be checked against it.
template <bool Shared>
struct WorldCells
{
  static constexpr bool keeps_states = false;
  uint32_t* written = nullptr;
  uint32_t round = 0;

  float height(int cell) const { return hmap[cell]; }
  template <class F>
  void update(int cell, F&& f)
  {
    if constexpr (Shared) {
      // Only this thread writes the grid: its own reads need no atomics. Read
      // word by word as written (a wider read of words just stored one by
      // one waits for the stores to land).
      float h = hmap[cell];
      Surface s;
      s.color = surface[cell].color;
      s.topColor = surface[cell].topColor;
      s.bits = surface[cell].bits;
      f(h, s);
      write_shared(cell, h, s);
      written[cell] = round;
    } else {
      f(hmap[cell], surface[cell]);
    }
  }
};

// The deposit rule for one cell. Forced inline: most droplet steps deposit,
// four cells at a time.
template <class Cells>
__attribute__((always_inline)) inline void deposit_cell(Cells& cells, int cell, float a, float k, vec4f drop_color,
                                                        const Params& p)
{
  cells.update(cell, [&](float& h, Surface& s) {
    h += a;
    if (surface_type(s.bits) != ST_GRASS) {
      s.bits = with_surface_type(s.bits, ST_NONE);
      s.topColor = 0;
    }
    // Shortcut, same result: a deposit of 0 blends by weight 0, and without
    // reactions the colour then packs back to the bytes it came from.
    if (a == 0.0f && p.colour_passes_through_empty_deposit && all_finite(drop_color)) return;
    vec4f c = unpack_color(s.color);
    c = c + (drop_color - c) * v_splat(k);
    if (p.run_reactions) run_reactions(c, p);
    s.color = pack_color(c);
  });
}

// Deposits a at the four corners of cell (cx, cz), weighted bilinearly by the
// droplet's fractions in that cell. The four blend weights are worked out
// first, their exponentials side by side.
template <class Cells>
inline void deposit_corners(Cells& cells, int cx, int cz, float fx, float fz, float a, vec4f drop_color,
                            const Params& p)
{
  const float amount[4] = {a * (1.0f - fx) * (1.0f - fz), a * fx * (1.0f - fz), a * (1.0f - fx) * fz, a * fx * fz};
  float blend[4];
  for (int j = 0; j < 4; j++) blend[j] = -amount[j] * p.depositBlend;
  expf4(blend, blend);
  for (int j = 0; j < 4; j++) blend[j] = 1.0f - blend[j];
  deposit_cell(cells, cell_at(cx, cz), amount[0], blend[0], drop_color, p);
  deposit_cell(cells, cell_at(cx + 1, cz), amount[1], blend[1], drop_color, p);
  deposit_cell(cells, cell_at(cx, cz + 1), amount[2], blend[2], drop_color, p);
  deposit_cell(cells, cell_at(cx + 1, cz + 1), amount[3], blend[3], drop_color, p);
}

// Erodes a around (px, pz) over the 4 x 4 cells round cell (cx, cz), with a
// weight falling off to 0 at distance 2; the droplet takes on the colour of
// what it picks up in proportion to its load s (the load before this step).
// The weights of the 16 cells are worked out four at a time first; then the
// cells within reach (weight not <= 0) are visited in order, z outer, x inner.
template <class Cells>
inline void erode_around(Cells& cells, float px, float pz, int cx, int cz, float a, float s, vec4f& drop_color)
{
  alignas(16) float weight[16];
  unsigned reached = 0;
  const vec4f ex = _mm_cvtepi32_ps(_mm_setr_epi32(cx - 1, cx, cx + 1, cx + 2)) - v_splat(px);
  for (int r = 0; r < 4; r++) {
    float ez = float(cz - 1 + r) - pz;
    vec4f b = v_splat(1.0f) - (ex * ex + v_splat(ez * ez)) * v_splat(0.25f);
    v_st(weight + 4 * r, b * v_splat(0.15915494f) * v_splat(a));
    reached |= unsigned(_mm_movemask_ps(_mm_cmpnle_ps(b, _mm_setzero_ps()))) << (4 * r);
  }
  while (reached) {
    int k = __builtin_ctz(reached);
    reached &= reached - 1;
    float e = weight[k];
    cells.update(cell_at(cx - 1 + (k & 3), cz - 1 + (k >> 2)), [&](float& h, Surface& sf) {
      h -= e;
      sf.bits = with_surface_type(sf.bits, ST_NONE);
      sf.topColor = 0;
      // An empty droplet that picks up nothing (e and s both 0) would make
      // this 0 / 0; it takes the cell's colour as it does for any e > 0.
      float den = e + s;
      float f = den != 0.0f ? s / den : 0.0f;
      drop_color = drop_color * v_splat(f) + unpack_color(sf.color) * v_splat(1.0f - f);
    });
  }
}

template <class Cells>
inline void read_corners(const Cells& cells, int cx, int cz, float& h00, float& h10, float& h01, float& h11)
{
  h00 = cells.height(cell_at(cx, cz));
  h10 = cells.height(cell_at(cx + 1, cz));
  h01 = cells.height(cell_at(cx, cz + 1));
  h11 = cells.height(cell_at(cx + 1, cz + 1));
}

// A droplet between two steps: everything it carries from one to the next.
struct DropletState
{
  float px, pz, fx, fz;
  int cx, cz;
  float h00, h10, h01, h11, h;
  float dx, dz, v, w, s;
  vec4f drop_color;
  int steps;
  uint64_t rng;          // the random state
  uint64_t random_dirs;  // random directions this droplet has drawn
};

// One droplet from its start cell (two draws of rng) to its end; returns its
// steps and counts the random directions it drew (more draws of rng). With
// `resume`, the droplet goes on from that state instead (rng and random_dirs
// as the state has them).
template <class Cells>
int run_droplet(Cells& cells, uint64_t& rng, const Params& p, uint64_t& random_dirs,
                const DropletState* resume = nullptr)
{
  DropletState d;
  if (resume) {
    d = *resume;
  } else {
    int sx = int(rnd_u32(rng) & 255);
    int sz = int(rnd_u32(rng) & 255);
    d.px = float(sx), d.pz = float(sz);
    d.cx = sx, d.cz = sz;
    d.fx = 0.0f, d.fz = 0.0f;
    read_corners(cells, d.cx, d.cz, d.h00, d.h10, d.h01, d.h11);
    d.h = d.h00;
    d.dx = 0.0f, d.dz = 0.0f, d.v = 0.0f, d.w = 1.0f, d.s = 0.0f;
    d.drop_color = v_zero();
    d.steps = 0;
  }

  for (;;) {
    if constexpr (Cells::keeps_states) {
      d.rng = rng;
      d.random_dirs = random_dirs;
      cells.begin_step(d);
    }
    // Downhill from the corners stored when the droplet entered its cell.
    float gx = (d.h00 + d.h01) - (d.h10 + d.h11);
    float gz = (d.h00 + d.h10) - (d.h01 + d.h11);
    d.dx = gx + (d.dx - gx) * p.Ki;
    d.dz = gz + (d.dz - gz) * p.Ki;
    float len = sqrtf(d.dx * d.dx + d.dz * d.dz);
    if (len > 1.1920929e-07f) {
      d.dx = d.dx / len;
      d.dz = d.dz / len;
    } else {
      float angle = rnd_float(rng) * 6.2831855f, sn, cs;
      sincosf(angle, &sn, &cs);
      d.dz = sn;
      d.dx = cs;
      random_dirs++;
    }

    // One unit on; the new cell's corners are kept as read now.
    float npx = d.px + d.dx, npz = d.pz + d.dz;
    int ncx = floor_int(npx), ncz = floor_int(npz);
    float nfx = npx - float(ncx), nfz = npz - float(ncz);
    float n00, n10, n01, n11;
    read_corners(cells, ncx, ncz, n00, n10, n01, n11);
    float nh = ((1.0f - nfx) * n00 + nfx * n10) * (1.0f - nfz) + ((1.0f - nfx) * n01 + nfx * n11) * nfz;

    // A pit: fill it from the load, or end here with all of it.
    if (nh >= d.h) {
      float fill = (nh - d.h) + 0.001f;
      if (fill >= d.s) {
        deposit_corners(cells, d.cx, d.cz, d.fx, d.fz, d.s, d.drop_color, p);
        break;
      }
      deposit_corners(cells, d.cx, d.cz, d.fx, d.fz, fill, d.drop_color, p);
      d.h += fill;
      d.s -= fill;
      d.v = 0.0f;
    }

    float dh = d.h - nh;
    float capacity = (dh > p.minSlope ? dh : p.minSlope) * d.v * d.w * p.Kq;
    if (d.s < capacity) {
      float want = (capacity - d.s) * p.Kr;
      float most = 0.99f * dh;
      float a = want < most ? want : most;
      erode_around(cells, d.px, d.pz, d.cx, d.cz, a, d.s, d.drop_color);
      d.s += a;
      dh -= a;
    } else {
      float a = (d.s - capacity) * p.Kd;
      deposit_corners(cells, d.cx, d.cz, d.fx, d.fz, a, d.drop_color, p);
      d.s -= a;
      dh += a;
    }

    // A negative gravity parameter could make this negative: stop instead
    // of turning the speed into NaN.
    float v2 = d.v * d.v + 2.0f * p.g * dh;
    d.v = sqrtf(v2 > 0.0f ? v2 : 0.0f);
    d.w = d.w * (1.0f - p.Kw);
    d.steps++;

    d.px = npx;
    d.pz = npz;
    d.cx = ncx;
    d.cz = ncz;
    d.fx = nfx;
    d.fz = nfz;
    d.h00 = n00;
    d.h10 = n10;
    d.h01 = n01;
    d.h11 = n11;
    d.h = nh;
    if (d.steps >= k_max_path) break;
  }
  return d.steps;
}

// The bookkeeping of one call: statistics, long paths and the period.
struct Tally
{
  ErosionParams& params;
  Params p;
  uint32_t period;
  uint64_t total_steps = 0, long_paths = 0, random_dirs = 0;

  explicit Tally(ErosionParams& ep) : params(ep), period(uint32_t(ep.periodStep)) { p.load(ep); }

  // Droplets that may run before the next onPeriod call (the counter wraps
  // from 0 when periodStep is not positive).
  uint64_t until_period() const { return period ? period : uint64_t(1) << 32; }

  // After droplet i; true when onPeriod is due (call period_reached then).
  bool finish(unsigned i, int steps)
  {
    if (steps >= k_max_path) {
      debug("droplet #%d path is too long!", int(i));
      long_paths++;
    }
    total_steps += uint64_t(steps);
    return --period == 0;
  }

  void period_reached()
  {
    period = uint32_t(params.periodStep);
    params.onPeriod();
    p.load(params);
  }
};

inline void show_progress(unsigned i, unsigned count)
{
  if (i > 0 && i % k_splash_every == 0) show_splash("Calculating erosion", (float(i) + 0.5f) / float(count));
}

void run_in_turn(unsigned count, Tally& t)
{
  WorldCells<false> cells;
  for (unsigned i = 0; i < count; i++) {
    show_progress(i, count);
    int steps = run_droplet(cells, game_rnd_seed, t.p, t.random_dirs);
    if (t.finish(i, steps)) t.period_reached();
  }
}

// ---- droplets run ahead of their turn ----
//
// While the calling thread runs the droplets in order, the generation workers
// run later droplets ahead of their turn, up to `window` droplets past the
// last one done, each against the land as it stands when it starts, with its
// changes kept apart. When its turn comes a droplet run ahead is taken as it
// ran if no cell it looked at has been changed since it started and it
// started from the right random state: it then saw exactly the land it would
// have seen in turn, so its changes are the same bits. When only some of its
// steps looked at changed cells, the steps before the first of them are taken
// as they ran and the calling thread goes on from the state kept at that step
// on the land as it now stands. Otherwise (the first step already looked at a
// changed cell, the random state was wrong, or it is not ready after a short
// wait) the calling thread runs it in turn. A worker guesses a droplet's
// random state as if no droplet since the last one done drew a random
// direction.
//
// The workers read the land while the calling thread changes it, both a word
// at a time with relaxed atomics; a copy taken while a cell changes is never
// used, as that cell then counts as changed since the droplet started.
// onPeriod and the splash run only while no worker runs: the droplets between
// two of them form one stretch (or several, each run ahead or in turn).

struct ChangedCell
{
  int cell;
  float h;
  Surface s;
};

// Cells and steps packed in one word: cell | step << 16.
inline uint32_t cell_step(int cell, int step) { return uint32_t(cell) | uint32_t(step) << 16; }
inline int cell_of(uint32_t cs) { return int(cs & 0xFFFF); }
inline int step_of(uint32_t cs) { return int(cs >> 16); }

// A growing list whose append is a store and a count in the common case (a
// droplet run ahead appends a few dozen entries a step); growing is kept out
// of line. For trivially copyable entries.
template <class T>
class AppendList
{
  static_assert(std::is_trivially_copyable<T>::value, "copied as bytes");

public:
  void clear() { n = 0; }
  size_t size() const { return n; }
  const T* begin() const { return data.get(); }
  const T* end() const { return data.get() + n; }
  T* begin() { return data.get(); }
  T* end() { return data.get() + n; }
  const T& operator[](size_t i) const { return data[i]; }
  __attribute__((always_inline)) void push_back(const T& v)
  {
    if (n == cap) grow();
    data[n++] = v;
  }

private:
  std::unique_ptr<T[]> data;
  size_t n = 0, cap = 0;

  __attribute__((noinline)) void grow()
  {
    size_t bigger = cap ? 2 * cap : 1024;
    std::unique_ptr<T[]> more(new T[bigger]);
    if (n) memcpy(more.get(), data.get(), n * sizeof(T));
    data = std::move(more);
    cap = bigger;
  }
};

// One droplet run ahead of its turn. Besides its end result it keeps its
// state at the start of every step and every change in order, so that when
// the land it looked at changed under it the calling thread can take it up
// to the step that first looked at a changed cell and go on from there.
struct Ahead
{
  uint32_t seen = 0;  // droplets done when it started
  uint64_t rng_start = 0, rng_end = 0;
  uint64_t random_dirs = 0;
  int steps = 0;
  AppendList<uint32_t> looked;      // every cell read or changed, at first touch, with its step
  AppendList<ChangedCell> changed;  // each changed cell's last value
  AppendList<ChangedCell> log;      // every change in order, the cell packed with its step
  AppendList<DropletState> states;  // at the start of step k: states[k]
};

// A worker's view of the land: the cells a droplet touches are copied on
// first touch into the worker's slots (valid while `seen` holds the droplet's
// tag) and changed there.
struct Slot
{
  uint32_t seen;
  uint32_t changed;
  float h;
  Surface s;
};

struct AheadCells
{
  static constexpr bool keeps_states = true;
  Slot* slots;
  uint32_t tag;
  Ahead& out;
  int step = 0;

  void begin_step(const DropletState& d)
  {
    step = d.steps;
    out.states.push_back(d);
  }

  Slot& slot(int cell) const
  {
    Slot& sl = slots[cell];
    if (sl.seen != tag) {
      sl.seen = tag;
      sl.h = read_shared(hmap[cell]);
      sl.s.color = read_shared(surface[cell].color);
      sl.s.topColor = read_shared(surface[cell].topColor);
      sl.s.bits = read_shared(surface[cell].bits);
      out.looked.push_back(cell_step(cell, step));
    }
    return sl;
  }
  float height(int cell) const { return slot(cell).h; }
  template <class F>
  void update(int cell, F&& f)
  {
    Slot& sl = slot(cell);
    if (sl.changed != tag) {
      sl.changed = tag;
      out.changed.push_back({cell, 0.0f, {}});
    }
    f(sl.h, sl.s);
    out.log.push_back({int(cell_step(cell, step)), sl.h, sl.s});
  }
};

struct WorkerSlots
{
  std::unique_ptr<Slot[]> slots;
  uint32_t tag = 0;

  uint32_t next_tag()
  {
    if (!slots) slots.reset(new Slot[HMAP_CELLS]());
    if (++tag == 0) {
      for (int i = 0; i < HMAP_CELLS; i++) slots[i].seen = slots[i].changed = 0;
      tag = 1;
    }
    return tag;
  }
};

// How long the calling thread waits for a worker busy with the droplet whose
// turn it is before running it itself: a short part of what a droplet takes
// (on a busy machine that worker may not be running at all).
const int k_wait_spins = 256;

// A droplet's place in the window: 0 free, 2 (i + 1) being run ahead for
// droplet i, 2 (i + 1) + 1 ready for droplet i.
struct WindowPlace
{
  std::atomic<uint64_t> state{0};
  Ahead ahead;
};

inline uint64_t running(uint32_t i) { return 2 * (uint64_t(i) + 1); }
inline uint64_t ready(uint32_t i) { return 2 * (uint64_t(i) + 1) + 1; }

// The random state after n draws from `state`.
inline uint64_t rng_after(uint64_t state, uint64_t n)
{
  uint64_t a = 6364136223846793005ULL, c = 1442695040888963407ULL;
  uint64_t mul = 1, add = 0;  // n steps so far: x -> mul x + add
  for (; n; n >>= 1) {
    if (n & 1) {
      mul *= a;
      add = add * a + c;
    }
    c *= a + 1;
    a *= a;
  }
  return state * mul + add;
}

// Scratch kept between calls and the state of the stretch being run.
struct AheadState
{
  WorkerSlots workers[k_max_gen_workers];
  std::vector<WindowPlace> window;
  // Per cell, base + i + 1 for the last droplet i that changed it, base
  // growing from call to call so older marks stay below.
  std::unique_ptr<uint32_t[]> changed_by;
  uint32_t base = 0;
  uint32_t size = 0;
  Tally* tally = nullptr;
  bool period_due = false;

  // The stretch: droplets first .. end - 1 (numbered within the call).
  const Params* p = nullptr;
  uint32_t first = 0, end = 0;
  uint64_t rng_first = 0;                // random state before droplet `first`
  // Written often by the calling thread, read by every worker: each on a
  // cache line of its own.
  alignas(64) std::atomic<uint64_t> extra_draws{0};  // random directions drawn since `first`
  alignas(64) std::atomic<uint32_t> done{0};         // droplets done (in order)
  alignas(64) std::atomic<uint32_t> claimed{0};      // next droplet to run ahead
  char after[60];  // keeps the next object off claimed's line

  void start_call(unsigned droplets, unsigned window_size, Tally& t)
  {
    if (window.size() != window_size) std::vector<WindowPlace>(window_size).swap(window);
    if (!changed_by) changed_by.reset(new uint32_t[HMAP_CELLS]());
    if (base > 0xFFFFFFFEu - droplets) {
      std::fill(changed_by.get(), changed_by.get() + HMAP_CELLS, 0u);
      base = 0;
    }
    size = window_size;
    tally = &t;
    done.store(0);
    for (WindowPlace& w : window) w.state.store(0);
  }
};

void run_one_ahead(AheadState& st, uint32_t i, int worker)
{
  WindowPlace& place = st.window[i % st.size];
  uint64_t was = place.state.load(std::memory_order_acquire);
  // Left to the calling thread: a place still being written for an earlier
  // droplet, or one already holding this droplet's successor in the place
  // (this worker was held up between its claim and here; the calling thread
  // may be reading that result). A result of an earlier droplet is done with:
  // the claim came within the window, so that droplet was done by then.
  if (was != 0 && ((was & 1) == 0 || was / 2 - 1 >= i)) return;
  if (!place.state.compare_exchange_strong(was, running(i), std::memory_order_acq_rel)) return;
  Ahead& a = place.ahead;
  a.seen = st.done.load(std::memory_order_acquire);
  a.rng_start = rng_after(st.rng_first, 2 * uint64_t(i - st.first) + st.extra_draws.load(std::memory_order_acquire));
  a.looked.clear();
  a.changed.clear();
  a.log.clear();
  a.states.clear();
  a.random_dirs = 0;
  WorkerSlots& ws = st.workers[worker];
  AheadCells cells{ws.slots.get(), ws.next_tag(), a};
  uint64_t rng = a.rng_start;
  a.steps = run_droplet(cells, rng, *st.p, a.random_dirs);
  a.rng_end = rng;
  for (ChangedCell& c : a.changed) {
    c.h = ws.slots[c.cell].h;
    c.s = ws.slots[c.cell].s;
  }
  place.state.store(ready(i), std::memory_order_release);
}

// A worker: runs droplets ahead until the stretch is done.
void run_ahead_loop(AheadState& st, int worker)
{
  for (int spins = 0;;) {
    uint32_t done = st.done.load(std::memory_order_acquire);
    uint32_t i = st.claimed.load(std::memory_order_relaxed);
    if (done >= st.end || i >= st.end) return;
    if (i >= done + st.size) {
      // The window is full: wait for the calling thread.
      if (++spins > 64) std::this_thread::yield();
      _mm_pause();
      continue;
    }
    spins = 0;
    if (st.claimed.compare_exchange_weak(i, i + 1, std::memory_order_relaxed)) run_one_ahead(st, i, worker);
  }
}

// The droplet's result run ahead when it is ready and started from the right
// random state (else null). `clean_steps`: how many of its first steps looked
// only at cells unchanged since it started, or -1 when all of them did (then
// its changes are the same bits as the droplet run in turn).
const Ahead* ready_ahead(const AheadState& st, uint32_t i, int& clean_steps)
{
  clean_steps = -1;
  const WindowPlace& place = st.window[i % st.size];
  // A worker busy with it is given a little time (about what a droplet takes).
  for (int spins = 0; spins < k_wait_spins && place.state.load(std::memory_order_acquire) == running(i); spins++)
    _mm_pause();
  if (place.state.load(std::memory_order_acquire) != ready(i)) return nullptr;
  const Ahead& a = place.ahead;
  if (a.rng_start != game_rnd_seed) return nullptr;
  const uint32_t* changed_by = st.changed_by.get();
  const uint32_t limit = st.base + a.seen;
  // The cells are in the order first looked at, so their steps never fall.
  for (uint32_t cs : a.looked)
    if (changed_by[cell_of(cs)] > limit) {
      clean_steps = step_of(cs);
      break;
    }
  return &a;
}

// Starts fetching a ready result from the worker's cache while the droplet
// before it is being done.
void prefetch_ahead(const AheadState& st, uint32_t i)
{
  const WindowPlace& place = st.window[i % st.size];
  if (place.state.load(std::memory_order_acquire) != ready(i)) return;
  const Ahead& a = place.ahead;
  const char* p = reinterpret_cast<const char*>(a.looked.begin());
  for (size_t k = 0; k < a.looked.size() * sizeof(uint32_t); k += 64) _mm_prefetch(p + k, _MM_HINT_T0);
  p = reinterpret_cast<const char*>(a.changed.begin());
  for (size_t k = 0; k < a.changed.size() * sizeof(ChangedCell); k += 64) _mm_prefetch(p + k, _MM_HINT_T0);
}

// The calling thread: every droplet of the stretch in order.
void run_stretch_in_order(AheadState& st)
{
  Tally& t = *st.tally;
  uint32_t* changed_by = st.changed_by.get();
  for (uint32_t i = st.first; i < st.end; i++) {
    // No worker may start this droplet from now on.
    uint32_t c = st.claimed.load();
    while (c <= i && !st.claimed.compare_exchange_weak(c, i + 1)) {
    }
    const uint32_t mark = st.base + i + 1;
    uint64_t dirs = 0;
    int steps;
    if (i + 1 < st.end) prefetch_ahead(st, i + 1);
    int clean_steps;
    const Ahead* a = ready_ahead(st, i, clean_steps);
    if (a && clean_steps < 0) {
      for (const ChangedCell& ch : a->changed) {
        write_shared(ch.cell, ch.h, ch.s);
        changed_by[ch.cell] = mark;
      }
      game_rnd_seed = a->rng_end;
      dirs = a->random_dirs;
      steps = a->steps;
    } else if (a && clean_steps > 0) {
      // Its first clean_steps steps saw the land as it is now: their changes
      // are taken as they were made, and the droplet goes on from there.
      for (const ChangedCell& ch : a->log) {
        if (step_of(uint32_t(ch.cell)) >= clean_steps) break;
        int cell = cell_of(uint32_t(ch.cell));
        write_shared(cell, ch.h, ch.s);
        changed_by[cell] = mark;
      }
      const DropletState& from = a->states[size_t(clean_steps)];
      game_rnd_seed = from.rng;
      dirs = from.random_dirs;
      WorldCells<true> cells{changed_by, mark};
      steps = run_droplet(cells, game_rnd_seed, *st.p, dirs, &from);
    } else {
      WorldCells<true> cells{changed_by, mark};
      steps = run_droplet(cells, game_rnd_seed, *st.p, dirs);
    }
    t.random_dirs += dirs;
    if (dirs) st.extra_draws.fetch_add(dirs, std::memory_order_relaxed);
    st.done.store(i + 1, std::memory_order_release);
    // Stretches end where onPeriod is due; it runs once the workers stop.
    st.period_due = t.finish(i, steps);
  }
}

void run_stretch_part(void* ctx, int, int worker)
{
  // The calling thread, once done with the droplets in order, may pick up
  // parts no worker took: the stretch is over for them.
  if (worker != 0) run_ahead_loop(*static_cast<AheadState*>(ctx), worker);
}

void run_stretch_own(void* ctx) { run_stretch_in_order(*static_cast<AheadState*>(ctx)); }

// Picks, stretch by stretch, whichever way has lately cost less time a
// droplet step (droplets' paths differ too much in length for a time a
// droplet to compare two short stretches): running ahead pays only when
// workers are free to run ahead and their droplets are mostly taken (a busy
// machine or few cores make it slower than running every droplet in turn). Each way is tried first on a
// short stretch (running ahead twice: its first stretch wakes the workers
// and warms their caches, and is not counted); the way not taken is tried
// again every sixteenth stretch. The land comes out the same bits either way.
struct WayChooser
{
  double cost[2] = {0.0, 0.0};  // seconds a step: [0] in turn, [1] run ahead
  int runs[2] = {0, 0};
  bool warmed = false;
  unsigned stretches = 0;

  // The way of the next stretch, and whether it is a trial (a short stretch).
  bool run_ahead(bool& trial)
  {
    stretches++;
    trial = true;
    if (!warmed || runs[1] == 0) return true;
    if (runs[0] == 0) return false;
    bool ahead_cheaper = cost[1] < cost[0];
    trial = stretches % 16 == 0;
    return trial ? !ahead_cheaper : ahead_cheaper;
  }

  void record(bool ahead, double seconds, uint64_t steps)
  {
    if (ahead && !warmed) {
      warmed = true;
      return;
    }
    double c = seconds / double(steps ? steps : 1);
    cost[ahead] = runs[ahead] ? 0.5 * cost[ahead] + 0.5 * c : c;
    runs[ahead]++;
  }
};

const unsigned k_chosen_stretch = 1024;  // droplets a stretch when choosing
const unsigned k_trial_stretch = 256;    // droplets a stretch trying a way

void run_ahead(unsigned count, unsigned window, bool choose, Tally& t)
{
  static AheadState st;
  st.start_call(count, window, t);
  for (int w = 1; w < gen_worker_count(); w++) st.workers[w].next_tag();  // slots made before the workers start
  WayChooser chooser;
  unsigned next = 0;
  while (next < count) {
    show_progress(next, count);
    uint64_t n = std::min<uint64_t>(count - next, t.until_period());
    n = std::min<uint64_t>(n, k_splash_every - next % k_splash_every);
    bool ahead = true, trial = false;
    if (choose) {
      ahead = chooser.run_ahead(trial);
      n = std::min<uint64_t>(n, trial ? k_trial_stretch : k_chosen_stretch);
    }
    st.p = &t.p;
    st.first = next;
    st.end = uint32_t(next + n);
    st.period_due = false;
    auto started = std::chrono::steady_clock::now();
    const uint64_t steps_before = t.total_steps;
    if (ahead) {
      st.rng_first = game_rnd_seed;
      st.extra_draws.store(0);
      st.claimed.store(next);
      // The calling thread runs the droplets in order, each worker runs ahead.
      parallel_beside(gen_worker_count() - 1, run_stretch_part, run_stretch_own, &st);
    } else {
      // No worker runs: the cells changed need no marks (a later stretch's
      // droplets run ahead start after these are done).
      WorldCells<false> cells;
      for (uint32_t i = st.first; i < st.end; i++) {
        int steps = run_droplet(cells, game_rnd_seed, t.p, t.random_dirs);
        st.period_due = t.finish(i, steps);
      }
      st.done.store(st.end);
    }
    if (choose) {
      std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
      chooser.record(ahead, took.count(), t.total_steps - steps_before);
    }
    if (st.period_due) t.period_reached();
    next = st.end;
  }
  st.base += count;
}

}  // namespace

int erosion_run_ahead = -1;
bool erosion_choose_way = true;

void genDropletErosion(unsigned count, ErosionParams& params)
{
  int64_t start = get_ref_time();
  Tally t(params);
  int window = erosion_run_ahead;
  if (window < 0) window = gen_worker_count() >= k_auto_run_ahead_from ? k_auto_window : 0;
  if (window > 0 && gen_worker_count() > 1) {
    run_ahead(count, unsigned(window), erosion_choose_way, t);
  } else {
    run_in_turn(count, t);
  }

  // With no droplets (or no measurable time) the rates are 0, not NaN or inf.
  int64_t elapsed = get_ref_time() - start;
  float seconds = get_time_sec(elapsed);
  double rate = seconds > 0.0f ? double(count) / double(seconds) : 0.0;
  double average = count ? double(t.total_steps) / double(count) : 0.0;
  debug("computed %7u erosion droplets in %6u ms, %.0f droplets/s", count, unsigned(get_time_msec(elapsed)), rate);
  debug("  %.2f average path length, %" PRIu64 " long paths cut, %" PRIu64 " random directions picked", average,
        t.long_paths, t.random_dirs);
}

}  // namespace HeightmapData
