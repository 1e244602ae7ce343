#include <algorithm>
#include <chrono>
#include <filesystem>
#include "scene_test_fixture.h"
#include "engine/textureCache.h"
#include "worldrender/hmRenderInternal.h"
using PerfTest = SceneFixture<0>;
static double now_ms() { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
TEST_F(PerfTest, Frame)
{
  for (const char* n : {"detail.dds", "foam.dds", "lava.dds"}) {
    std::filesystem::copy_file(std::string("/work/main/build-g2/bin/") + n, assets.path(n), std::filesystem::copy_options::overwrite_existing);
  }
  close_land_render(); free_all_textures(); init_land_render();
  resize(1280, 720);
  std::vector<double> frame, land, upd;
  for (int i = 0; i < 25; ++i) {
    if (i % 3 == 0) { update_fluid_surfaces(0.05f); }
    flush_gpu();
    double t0 = now_ms();
    render_scene(0.01f);
    flush_gpu();
    double t1 = now_ms();
    frame.push_back(t1 - t0);
    double u0 = now_ms();
    update_land_render(0.01f);
    flush_gpu();
    double u1 = now_ms();
    upd.push_back(u1 - u0);
    set_render_target(scene_image, 0, true);
    clear_view(0);
    set_zenable(true); set_zwrite(true);
    double l0 = now_ms();
    render_land(0.f);
    flush_gpu();
    land.push_back(now_ms() - l0);
  }
  std::sort(frame.begin(), frame.end()); std::sort(land.begin(), land.end()); std::sort(upd.begin(), upd.end());
  {
    std::vector<double> rf, cpu;
    for (int i = 0; i < 9; ++i) {
      flush_gpu();
      invalidate_land_textures();
      double r0 = now_ms(); update_land_render(0.01f); flush_gpu(); rf.push_back(now_ms() - r0);
      r0 = now_ms(); HeightmapData::morphHmap(0.01f, HeightmapRenderer::curh); calc_display_fluid_surfaces(0.2f); build_frame_land_meshes(0.2f); flush_gpu(); cpu.push_back(now_ms() - r0);
    }
    std::sort(rf.begin(), rf.end()); std::sort(cpu.begin(), cpu.end());
    auto timeit = [](const char* what, auto fn) {
      std::vector<double> v;
      for (int i = 0; i < 7; ++i) { flush_gpu(); double a = now_ms(); fn(); flush_gpu(); v.push_back(now_ms() - a); }
      std::sort(v.begin(), v.end());
      printf("  %s %.2f ms\n", what, v[3]);
    };
    timeit("heights", [] { upload_land_heights(0, 0, 256, 256); });
    timeit("colours", [] { upload_land_colors(0, 0, 256, 256); });
    timeit("normals", [] { calc_land_normals(0, 0, 256, 256); });
    timeit("map", [] { update_world_map(); });
    timeit("interp", [] { interpolate_land_textures(HeightmapRenderer::normTex, land_rs.normPair[0], land_rs.normPair[1], 0.5f, 1024); });
    printf("update with refresh %.1f ms, cpu mesh part %.1f ms\n", rf[4], cpu[4]);
  }
  // Breakdown: patches only / grid only.
  std::vector<double> pa, gr;
  for (int i = 0; i < 15; ++i) {
    set_render_target(scene_image, 0, true); clear_view(0); set_zenable(true); set_zwrite(true);
    int saved = land_rs.landQuads; land_rs.landQuads = 0;
    double a0 = now_ms(); render_land(0.f); flush_gpu(); pa.push_back(now_ms() - a0);
    land_rs.landQuads = saved; int si = land_rs.instances; land_rs.instances = 0;
    set_render_target(scene_image, 0, true); clear_view(0); set_zenable(true); set_zwrite(true);
    a0 = now_ms(); render_land(0.f); flush_gpu(); gr.push_back(now_ms() - a0);
    land_rs.instances = si;
  }
  std::sort(pa.begin(), pa.end()); std::sort(gr.begin(), gr.end());
  printf("patches only %.1f ms, grid only %.1f ms\n", pa[7], gr[7]);
  printf("median frame %.1f ms, land draw %.1f ms, land update %.1f ms; tris %d\n", frame[12], land[12], upd[12], 2 * land_rs.landQuads + 32 * land_rs.instances);
}
