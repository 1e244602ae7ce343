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
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/app.h"
#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/postFx.h"
#include "gl/asset_dir.h"
#include "worldrender/hmRender.h"
#include "worldrender/scenePasses.h"
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

  bool open(int quality)
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
    const Matrix44 camera = scene_test_camera();
    scene_doubles::camera_view = camera;
    camera_pos = camera_prev_pos = camera.row[3];
    return true;
  }

  void close()
  {
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
  use_postfx = true;
  FrameRig rig;
  if (!rig.open(quality)) {
    state.SkipWithError("no GL device");
    rig.close();
    return;
  }
  for (int i = 0; i < WARM_UP_FRAMES; ++i) FrameRig::frame();

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
  state.SetLabel(label);
  rig.close();
  use_ppaa = false;
  mlaa_near_edges_only = true;
}

}  // namespace

// (quality, MLAA (2: the whole-screen passes), after a tick)
BENCHMARK(BM_Frame)
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Args({0, 2, 1})
    ->Args({1, 2, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
