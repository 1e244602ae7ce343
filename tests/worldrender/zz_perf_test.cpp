#include <algorithm>
#include <chrono>
#include <filesystem>
#include "scene_test_fixture.h"
#include "engine/textureCache.h"
#include "worldrender/hmRenderInternal.h"
using PerfTest = SceneFixture<0>;
#include <ctime>
static double now_ms() { timespec ts; clock_gettime(getenv("WALL") ? CLOCK_MONOTONIC : CLOCK_PROCESS_CPUTIME_ID, &ts); return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6; }
template <typename F> static double med(F fn, int n = 15) { std::vector<double> v; for (int i = 0; i < n; ++i) { flush_gpu(); double a = now_ms(); fn(); flush_gpu(); v.push_back(now_ms() - a); } std::sort(v.begin(), v.end()); return v[n / 2]; }
TEST_F(PerfTest, Frame)
{
  resize(1280, 720);
  land_cull_to_view = true;
  for (int i = 0; i < 3; ++i) { invalidate_land_textures(); render_scene(0.02f); apply_post_effects(); }
  printf("frame after tick %.1f\n", med([] { invalidate_land_textures(); render_scene(0.02f); apply_post_effects(); }));
  printf("frame between %.1f\n", med([] { render_scene(0.02f); apply_post_effects(); }));
  printf("land update (no refresh) %.1f\n", med([] { update_land_render(0.02f); }));
  printf("land update (refresh) %.1f\n", med([] { invalidate_land_textures(); update_land_render(0.02f); }));
  printf("  normals %.1f\n", med([] { calc_land_normals(0, 0, 256, 256); }));
  printf("  map %.1f\n", med([] { update_world_map(); }));
  printf("  interp %.1f\n", med([] { interpolate_land_textures(HeightmapRenderer::normTex, land_rs.normPair[0], land_rs.normPair[1], 0.5f, 1024); }));
  auto draw = [](void (*fn)()) { return med([fn] { set_render_target(scene_image, 0, true); clear_view(0); set_zenable(true); set_zwrite(true); fn(); }); };
  printf("clear only %.1f\n", draw([] {}));
  printf("land draw %.1f (quads %d patches %d)\n", draw([] { render_land(0.f); }), land_rs.landQuads, land_rs.instances);
  { int q = land_rs.landQuads; land_rs.landQuads = 0; printf("patches only %.1f\n", draw([] { render_land(0.f); })); land_rs.landQuads = q; }
  { int q = land_rs.instances; land_rs.instances = 0; printf("grid only %.1f\n", draw([] { render_land(0.f); })); land_rs.instances = q; }
  printf("water draw %.1f (quads %d)\n", draw([] { render_water(0.5f); }), land_rs.waterQuads);
  printf("lava draw %.1f\n", draw([] { render_lava(0.5f); }));
  printf("post effects %.1f\n", med([] { apply_post_effects(); }));
  land_rs.ready = false;
  printf("frame without land %.1f\n", med([] { render_scene(0.02f); apply_post_effects(); }));
  land_rs.ready = true;
}
