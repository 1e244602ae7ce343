// Frame time of the 3D frame at 1280 x 720 on the headless GL device: the
// fixed test world from the fixed camera (tests/worldrender/
// scene_test_world.h) through the scene passes and the post effects, at low
// quality (forward) and high quality (deferred), with and without MLAA.
// A frame right after a tick includes the land renderer's full texture
// refresh (at these frame rates every frame follows a tick); a frame between
// ticks does not. The GPU is waited for at the end of each frame.
// Counters: median_ms and p95_ms over all frames measured, and cpu_ms, the
// processor time of all the program's threads per frame (what a machine with
// fewer cores than threads has to fit into the frame). Mesa's software
// renderer runs with LP_NUM_THREADS=2 unless the environment says otherwise.
// Also: the same frame over the populated world (tests/worldrender/
// scene_objects.h: castle, village, trees, portal, live effects); 10,000
// live particles updated and drawn by the effects pass; 5,000 instances of
// one mesh drawn. Their cpu_ms is the main thread's processor time, without
// the software rasteriser's threads.
// The frames run with the frame shortcuts (engine/postFx.h) and, side by
// side, without them ("every pass whole (before)"). BM_FramePasses times a
// frame pass by pass (see PassTimer); BM_ShadowBalls the shadow-ball pass
// of a frame with many small balls.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/gl.h"
#include "engine/passRecorder.h"
#include "engine/postFx.h"
#include "gl/asset_dir.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
#include "worldrender/scene_objects.h"
#include "worldrender/scene_renderer_rig.h"
#include "worldrender/scene_test_world.h"

// The outside services of the world renderer as the renderer tests supply
// them: silent sounds, no plug-in, a camera the frame places.
#include "worldrender/land_render_doubles.cpp"
#include "worldrender/scene_doubles.cpp"

namespace
{

enum { FRAME_W = 1280, FRAME_H = 720, WARM_UP_FRAMES = 3 };

struct FrameRig
{
  SDL_Window* window = nullptr;
  TempAppDir assets;
  bool assets_open = false;
  bool objects_open = false;

  bool open(int quality, bool populated = false)
  {
    setenv("LP_NUM_THREADS", "2", 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("QUILLMERE_NO_DIALOGS", "1", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    window = SDL_CreateWindow("frame bench", 0, 0, FRAME_W, FRAME_H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return false;
    isFullscreen = false;
    if (!init_d3d(window, FRAME_W, FRAME_H)) return false;

    assets.open();
    assets_open = true;
    if (!open_scene_renderer(assets, quality)) return false;
    build_scene_test_world();
    if (populated) {
      if (!scene_objects::open(assets)) return false;
      objects_open = true;
      scene_objects::populate();
    }
    const Matrix44 camera = scene_test_camera();
    scene_doubles::camera_view = camera;
    camera_pos = camera_prev_pos = camera.row[3];
    return true;
  }

  void close()
  {
    if (objects_open) scene_objects::close();
    objects_open = false;
    if (d3d) {
      close_scene_renderer();
      close_d3d();
    }
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
    SDL_Quit();
    if (assets_open) assets.close();
    assets_open = false;
  }

  // open, then a few frames drawn; false (the benchmark skipped, the rig
  // closed) without a device.
  bool open_warmed_up(benchmark::State& state, int quality, bool populated)
  {
    if (!open(quality, populated)) {
      state.SkipWithError("no GL device");
      close();
      return false;
    }
    for (int i = 0; i < WARM_UP_FRAMES; ++i) frame();
    return true;
  }

  // One frame, after a tick or between ticks, waited for.
  static void frame(bool after_tick = true)
  {
    if (after_tick) invalidate_land_textures();
    render_scene(0.02f);
    apply_post_effects();
    flush_gpu();
  }
};

double process_cpu_ms()
{
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double thread_cpu_ms()
{
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  size_t i = size_t(p * double(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

void BM_Frame(benchmark::State& state)
{
  const int quality = int(state.range(0));
  use_ppaa = state.range(1) != 0;
  mlaa_near_edges_only = state.range(1) != 2;
  const bool after_tick = state.range(2) != 0;
  const bool populated = state.range(3) != 0;
  frame_shortcuts = state.range(4) != 0;
  use_postfx = true;
  FrameRig rig;
  if (!rig.open_warmed_up(state, quality, populated)) return;

  std::vector<double> ms;
  const double cpu_start = process_cpu_ms();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    FrameRig::frame(after_tick);
    auto t1 = std::chrono::steady_clock::now();
    double s = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(s);
    ms.push_back(s * 1000.0);
  }
  state.counters["cpu_ms"] = ms.empty() ? 0.0 : (process_cpu_ms() - cpu_start) / double(ms.size());
  state.counters["median_ms"] = percentile(ms, 0.5);
  state.counters["p95_ms"] = percentile(ms, 0.95);
  std::string label = quality ? "high quality" : "low quality";
  if (use_ppaa) label += mlaa_near_edges_only ? ", MLAA" : ", MLAA over the whole screen (before)";
  label += after_tick ? ", after a tick" : ", between ticks";
  if (populated) label += ", populated";
  if (!frame_shortcuts) label += ", every pass whole (before)";
  state.SetLabel(label);
  frame_shortcuts = true;
  rig.close();
  use_ppaa = false;
  mlaa_near_edges_only = true;
}

// Runs body once per iteration; reports the main thread's processor time
// and the wall time per iteration, the GPU waited for.
template <class Body>
void measure(benchmark::State& state, Body body)
{
  std::vector<double> ms;
  const double cpu_start = thread_cpu_ms();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    body();
    flush_gpu();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(s);
    ms.push_back(s * 1000.0);
  }
  state.counters["cpu_ms"] = ms.empty() ? 0.0 : (thread_cpu_ms() - cpu_start) / double(ms.size());
  state.counters["median_ms"] = percentile(ms, 0.5);
}

// 10,000 live particles (half blend, half glow) over the whole view: one
// tick's update and one frame of the effects pass (range 1), or the update
// and the writing of the records alone, without drawing (range 0).
void BM_Particles(benchmark::State& state)
{
  const bool draw = state.range(0) != 0;
  FrameRig rig;
  if (!rig.open(0, true)) {
    state.SkipWithError("no GL device");
    rig.close();
    return;
  }
  reset_common_fx();
  static FloatRamp grow(0.5f, 2.f), turn(0.f, 1.f);
  const vec4f cam = scene_test_camera().row[3];
  for (int i = 0; i < 10000; ++i) {
    const vec4f p = cam + make4f(float(i % 100) * 0.6f - 30.f, float((i / 100) % 10) * 0.8f, 20.f + float(i / 1000) * 3.f, 0.f);
    (i & 1 ? add_glow_particle : add_blend_particle)(p, make4f(0, 0.2f, 0, 0.1f), make4f(0, 0, 0, 0), 1e6f, 0.f, 0.4f,
                                                     0x80FFC080u, 0.f, 0.f, 64.f, 0.f, 1.f, &scene_objects::fade,
                                                     &grow, &turn);
  }
  if (draw) {
    measure(state, [] {
      update_common_fx(0.05f);
      render_common_fx(0.02f, 0.4f);
    });
  } else {
    measure(state, [] {
      update_common_fx(0.05f);
      for (const ParticlePool* pool : {&blend_particles, &glow_particles}) {
        common_vb_writer.begin([](int, int) {}, 0);
        write_particle_instances(*pool, 0.02f, 0.4f);
        common_vb_writer.flush(true);
      }
    });
  }
  state.SetLabel(draw ? "10,000 particles updated and drawn" : "10,000 particles updated and written");
  rig.close();
}

// 5,000 trees queued and drawn through one renderer.
void BM_Instances(benchmark::State& state)
{
  FrameRig rig;
  if (!rig.open(int(state.range(0)), true)) {
    state.SkipWithError("no GL device");
    rig.close();
    return;
  }
  set_render_target(scene_image, 0, true);
  set_zenable(true);
  measure(state, [] {
    for (int i = 0; i < 5000; ++i)
      queue_simple(tree1_inst, object_matrix(make4f(float(i % 100) * 2.f, 0.f, 120.f + float(i / 100) * 2.f, 1.f), 0.f, 1.f),
                   0x00FFFFFFu);
    tree1_inst.render();
  });
  state.SetLabel(state.range(0) ? "5,000 instances, high quality" : "5,000 instances, low quality");
  set_back_buffer_target();
  rig.close();
}

// Where a frame's time goes: every pass mark waits for the GPU, so each
// pass's wall time includes its rasterisation (and nothing overlaps: the sum
// exceeds the frame). Per pass, the median over the frames of its time
// ("<pass> ms"), the main thread's processor time in it before the wait
// ("<pass> main ms": vertex shading and binning run there), the fragment
// shader invocations it caused ("<pass> kfrag", thousands; the software
// rasteriser counts every covered pixel, before the depth and stencil tests),
// the pixels that passed those tests ("<pass> kpass") and the vertex shader
// invocations ("<pass> kvert").
struct PassTimer
{
  struct Sample
  {
    double ms = 0, main_ms = 0;
    GLuint64 frags = 0, verts = 0, passed = 0;
  };
  std::map<std::string, std::vector<Sample>> samples;
  std::map<std::string, Sample> frame;
  std::string current;
  std::chrono::steady_clock::time_point start;
  double cpu_start = 0;
  GLuint queries[3] = {0, 0, 0};
  bool query_running = false;

  static PassTimer* active;

  void begin_pass(const char* name)
  {
    current = name;
    glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, queries[0]);
    glBeginQuery(GL_VERTEX_SHADER_INVOCATIONS_ARB, queries[1]);
    glBeginQuery(GL_SAMPLES_PASSED, queries[2]);
    query_running = true;
    start = std::chrono::steady_clock::now();
    cpu_start = thread_cpu_ms();
  }

  void end_pass()
  {
    if (!query_running) return;
    Sample& s = frame[current];
    s.main_ms += thread_cpu_ms() - cpu_start;
    flush_gpu();
    s.ms += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000.0;
    glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    glEndQuery(GL_VERTEX_SHADER_INVOCATIONS_ARB);
    glEndQuery(GL_SAMPLES_PASSED);
    GLuint64 v = 0;
    glGetQueryObjectui64v(queries[0], GL_QUERY_RESULT, &v);
    s.frags += v;
    glGetQueryObjectui64v(queries[1], GL_QUERY_RESULT, &v);
    s.verts += v;
    glGetQueryObjectui64v(queries[2], GL_QUERY_RESULT, &v);
    s.passed += v;
    query_running = false;
  }

  static void on_mark(const char* name)
  {
    if (!strcmp(name, PASS_FULLSCREEN_QUAD)) return;
    active->end_pass();
    active->begin_pass(name);
  }

  void frame_begin()
  {
    if (!queries[0]) glGenQueries(3, queries);
    frame.clear();
    active = this;
    pass_mark_hook = on_mark;
    start_pass_recording();
    begin_pass("frame start");
  }

  void frame_end()
  {
    end_pass();
    stop_pass_recording();
    pass_mark_hook = nullptr;
    for (auto& p : frame) samples[p.first].push_back(p.second);
  }

  // Frames after a tick, each timed pass by pass, reported.
  static void time_frames(benchmark::State& state)
  {
    PassTimer timer;
    for (auto _ : state) {
      auto t0 = std::chrono::steady_clock::now();
      timer.frame_begin();
      FrameRig::frame(true);
      timer.frame_end();
      state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    timer.report(state);
  }

  void report(benchmark::State& state)
  {
    for (auto& p : samples) {
      std::vector<double> ms, fr, vs, ps, mm;
      for (const Sample& s : p.second) {
        ms.push_back(s.ms);
        mm.push_back(s.main_ms);
        fr.push_back(double(s.frags) / 1000.0);
        vs.push_back(double(s.verts) / 1000.0);
        ps.push_back(double(s.passed) / 1000.0);
      }
      state.counters[p.first + " ms"] = percentile(ms, 0.5);
      state.counters[p.first + " main ms"] = percentile(mm, 0.5);
      state.counters[p.first + " kfrag"] = percentile(fr, 0.5);
      state.counters[p.first + " kvert"] = percentile(vs, 0.5);
      state.counters[p.first + " kpass"] = percentile(ps, 0.5);
    }
    if (queries[0]) glDeleteQueries(3, queries);
    queries[0] = queries[1] = queries[2] = 0;
  }
};
PassTimer* PassTimer::active = nullptr;

void BM_FramePasses(benchmark::State& state)
{
  const int quality = int(state.range(0));
  const bool populated = state.range(1) != 0;
  frame_shortcuts = state.range(2) != 0;
  use_ppaa = false;
  use_postfx = true;
  FrameRig rig;
  if (!rig.open_warmed_up(state, quality, populated)) return;
  PassTimer::time_frames(state);
  state.SetLabel(std::string(quality ? "high quality" : "low quality") + ", pass by pass, after a tick" +
                 (populated ? ", populated" : "") + (frame_shortcuts ? "" : ", every pass whole (before)"));
  frame_shortcuts = true;
  rig.close();
}

// The shadow-ball pass of the populated high-quality frame with 2,000 more
// small balls (radius 0.3 to 0.7, like stones and bushes) standing on the
// ground in front of the camera: its time and pixels by the pass timer,
// with the pixels no sphere can shade skipped (range 1) or computed (0).
void BM_ShadowBalls(benchmark::State& state)
{
  frame_shortcuts = state.range(0) != 0;
  use_ppaa = false;
  use_postfx = true;
  FrameRig rig;
  if (!rig.open_warmed_up(state, 1, true)) return;
  static void (*objects_shadows)(float) = nullptr;
  objects_shadows = render_gameobj_shadow;
  render_gameobj_shadow = [](float t) {
    if (objects_shadows) objects_shadows(t);
    const Matrix44 cam = scene_test_camera();
    for (int i = 0; i < 2000; ++i) {
      const vec4f at = cam.row[3] + cam.row[2] * (6.f + float(i / 50) * 1.5f) + cam.row[0] * (float(i % 50) - 24.5f);
      const float r = 0.3f + float(i % 5) * 0.1f;
      const int cell = HeightmapData::cell_index(int(at[0]), int(at[2]));
      render_shadow_ball(make4f(at[0], HeightmapData::hmap[cell] + r, at[2], 1.f), r);
    }
  };
  PassTimer::time_frames(state);
  for (const char* pass : {"light", "composite", "land", "objects", "sky", "water", "horizon", "effects"})
    for (const char* what : {" ms", " main ms", " kfrag", " kpass", " kvert"})
      state.counters.erase(std::string(pass) + what);
  state.SetLabel(std::string("2,000 more shadow balls, high quality") +
                 (frame_shortcuts ? "" : ", every pixel computed (before)"));
  render_gameobj_shadow = objects_shadows;
  frame_shortcuts = true;
  rig.close();
}

}  // namespace

BENCHMARK(BM_Particles)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_Instances)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// (quality, MLAA (2: the whole-screen passes), after a tick, populated,
// frame shortcuts (0: every pass whole, as before))
BENCHMARK(BM_Frame)
    ->Args({0, 0, 1, 0, 1})
    ->Args({0, 0, 1, 0, 0})
    ->Args({1, 0, 1, 0, 1})
    ->Args({1, 0, 1, 0, 0})
    ->Args({0, 0, 0, 0, 1})
    ->Args({1, 0, 0, 0, 1})
    ->Args({0, 1, 1, 0, 1})
    ->Args({1, 1, 1, 0, 1})
    ->Args({0, 2, 1, 0, 1})
    ->Args({1, 2, 1, 0, 1})
    ->Args({0, 0, 1, 1, 1})
    ->Args({0, 0, 1, 1, 0})
    ->Args({1, 0, 1, 1, 1})
    ->Args({1, 0, 1, 1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// (quality, populated, frame shortcuts): the frame pass by pass.
BENCHMARK(BM_FramePasses)
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// (frame shortcuts)
BENCHMARK(BM_ShadowBalls)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
