#include "engine/postFx.h"

#include <cmath>

#include <utility>

#include "engine/config.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/debug.h"
#include "engine/font.h"
#include "engine/passRecorder.h"

Texture& scene_tex = scene_image;
Texture effect_image = nullptr;
Texture& fp_effects_tex = effect_image;
Texture gbuf0 = nullptr, gbuf1 = nullptr, gbuf2 = nullptr, light_image = nullptr;
Texture edge_tex = nullptr, mlaa_tex_a = nullptr, mlaa_tex_b = nullptr, mlaa_tex_c = nullptr;
vec4f postfx_params = {0.f, 0.f, 0.f, 0.f};
bool use_postfx = true;
bool use_wireframe = false;
bool mlaa_near_edges_only = true;
bool frame_shortcuts = true;
const char single_rt_defines[] = "SINGLE_RT\0 1\0";

static Shader* postfx_main_shader = nullptr;
static Shader* postfx_none_shader = nullptr;
static Shader* mlaa_edge_shader = nullptr;
static Shader* mlaa_rows_first_shader = nullptr;
static Shader* mlaa_rows_shader = nullptr;
static Shader* mlaa_cols_first_shader = nullptr;
static Shader* mlaa_cols_shader = nullptr;
static Shader* mlaa_cols_final_shader = nullptr;
static Shader* mlaa_combine_shader = nullptr;
static Shader* mlaa_edge_near_shader = nullptr;
static Shader* mlaa_runs_first_shader = nullptr;
static Shader* mlaa_runs_shader = nullptr;

enum { ADDR_WRAP = 0, ADDR_CLAMP = 1 };
enum { CMP_EQUAL = 3, CMP_ALWAYS = 8 };  // stencil comparisons
enum { MLAA_STEPS = 8 };  // run lengths double per pass: up to 255 pixels

void init_post_effects()
{
  show_splash("Creating post-effect textures", -1.f);
  Texture* screen_textures[] = {&edge_tex, &mlaa_tex_a, &mlaa_tex_b, &mlaa_tex_c,
                                &gbuf0, &gbuf1, &gbuf2, &light_image};
  for (Texture* t : screen_textures) {
    *t = create_screen_render_texture();
    if (!*t) fatal("can't create textures for post-effect");
  }
  if (rt_format_supports_blending(RT_A16B16G16R16F)) {
    fp_effects_tex = create_render_texture(0, 0, RT_A16B16G16R16F);
    if (fp_effects_tex) debug("using FP blending for effects!");
  }

  show_splash("Compiling post-effect shaders", -1.f);
  postfx_main_shader = create_shader("postfx_main.sh", nullptr);
  postfx_none_shader = create_shader("postfx_none.sh", nullptr);
  mlaa_edge_shader = create_shader("mlaa_edge.sh", nullptr);
  mlaa_rows_first_shader = create_shader("mlaa_rows.sh", "FIRST\0 1\0");
  mlaa_rows_shader = create_shader("mlaa_rows.sh", nullptr);
  mlaa_cols_first_shader = create_shader("mlaa_cols.sh", "FIRST\0 1\0");
  mlaa_cols_shader = create_shader("mlaa_cols.sh", nullptr);
  mlaa_cols_final_shader = create_shader("mlaa_cols.sh", "FINAL\0 1\0");
  mlaa_combine_shader = create_shader("mlaa_combine.sh", nullptr);
  mlaa_edge_near_shader = create_shader("mlaa_edge.sh", "NEAR_ONLY\0 1\0");
  mlaa_runs_first_shader = create_shader("mlaa_runs_both.sh", "FIRST\0 1\0");
  mlaa_runs_shader = create_shader("mlaa_runs_both.sh", nullptr);
}

void close_post_effects()
{
  Shader** shaders[] = {&postfx_main_shader, &postfx_none_shader, &mlaa_edge_shader,
                        &mlaa_rows_first_shader, &mlaa_rows_shader, &mlaa_cols_first_shader,
                        &mlaa_cols_shader, &mlaa_cols_final_shader, &mlaa_combine_shader,
                        &mlaa_edge_near_shader, &mlaa_runs_first_shader, &mlaa_runs_shader};
  for (Shader** s : shaders) {
    destroy_shader(*s);
    *s = nullptr;
  }
  Texture* textures[] = {&edge_tex, &mlaa_tex_a, &mlaa_tex_b, &mlaa_tex_c, &fp_effects_tex,
                         &gbuf0, &gbuf1, &gbuf2, &light_image};
  for (Texture* t : textures) {
    release_texture(*t);
    *t = nullptr;
  }
}

// Vertex register 16: clip space to texture space, with the half-texel
// offset that puts each pixel on its texel's centre.
static void set_screen_tc_constants()
{
  float w = (float)d3d_wd, h = (float)d3d_ht;
  const float c16[4] = {0.5f, -0.5f, 0.5f + 0.5f / w, 0.5f + 0.5f / h};
  set_vs_constants(16, c16, 1);
}

static void draw_pass(const char* name)
{
  mark_pass(name);
  draw_postfx();
}

// 4. Blend each pixel with its neighbours across the edges by the area the
//    reconstructed edge line leaves on the other side, into mlaa_tex_a; the
//    runs are in mlaa_tex_b.
static void mlaa_combine(const float pixel[4])
{
  set_shader(mlaa_combine_shader);
  set_texture(0, scene_tex);
  set_texture(1, edge_tex);
  set_texture(2, mlaa_tex_b);
  set_texture_address(1, ADDR_WRAP);
  set_texture_address(2, ADDR_WRAP);
  set_vs_constants(17, pixel, 1);
  set_ps_constants(0, pixel, 1);
  draw_pass("mlaa combine");
}

// The same picture as the full-screen passes below, with the work after the
// edge pass done only near edges: the edge pass marks those pixels in the
// stencil and clears the edge flags of the rest; four passes find the runs
// along rows and columns together; and the blend starts from a copy of
// the scene, since it leaves every pixel away from an edge as it is.
static void apply_mlaa_near_edges(const float pixel[4])
{
  float w = (float)d3d_wd, h = (float)d3d_ht;
  set_zenable(false);

  // 1. Edges, and the stencil mark of the pixels near one.
  set_render_target(edge_tex, 0, true);
  clear_view(0);
  set_stencil_test(1, 1, CMP_ALWAYS);
  set_stencil_replace_bits(1);
  set_shader(mlaa_edge_near_shader);
  set_texture(0, scene_tex);
  set_texture_address(0, ADDR_CLAMP);
  set_vs_constants(17, pixel, 1);
  draw_pass("mlaa edges");
  set_stencil_replace_bits(0);
  set_stencil_test(1, 1, CMP_EQUAL);

  // 2. Runs along rows (r, g) and columns (b, a); unmarked pixels keep the
  //    0 of the clear.
  for (Texture t : {mlaa_tex_a, mlaa_tex_b}) {
    set_render_target(t, 0, true);
    clear_view_color(0);
  }
  //    The first pass reaches 4 pixels, each further one four times as far:
  //    16, 64, 256, enough for counts up to 255.
  set_texture(0, edge_tex);
  for (int step = 1; step <= 64; step *= 4) {
    set_render_target(mlaa_tex_a, 0, true);
    if (step >= 4) set_texture(1, mlaa_tex_b);
    const float c17[4] = {1.f / w, 1.f / h, step / w, step / h};
    const float c0[4] = {step / 255.f, 0.f, 0.f, 0.f};
    set_vs_constants(17, c17, 1);
    set_ps_constants(0, c0, 1);
    if (step <= 4) set_shader(step == 1 ? mlaa_runs_first_shader : mlaa_runs_shader);
    draw_pass("mlaa runs");
    std::swap(mlaa_tex_a, mlaa_tex_b);
  }

  // 3. The blend over a copy of the scene.
  copy_texture(scene_tex, mlaa_tex_a);
  set_render_target(mlaa_tex_a, 0, true);
  mlaa_combine(pixel);
  set_stencil_test(0, 0, CMP_ALWAYS);
  set_render_target(mlaa_tex_a, 0, false);
  set_zenable(true);  // as the scene paths leave it
}

void apply_mlaa()
{
  float w = (float)d3d_wd, h = (float)d3d_ht;
  set_screen_tc_constants();
  const float pixel[4] = {1.f / w, 1.f / h, 0.f, 0.f};

  // The MLAA textures hold edge flags and run lengths, not colours: every
  // read must land on one texel. The stages go back to linear at the end.
  for (int stage = 0; stage < 3; ++stage) set_texture_filter(stage, false);
  if (mlaa_near_edges_only) {
    apply_mlaa_near_edges(pixel);
    std::swap(scene_tex, mlaa_tex_a);
    for (int stage = 0; stage < 3; ++stage) set_texture_filter(stage, true);
    return;
  }

  // 1. Edges between each pixel and its neighbours below and to the right.
  set_render_target(edge_tex, 0, false);
  set_shader(mlaa_edge_shader);
  set_texture(0, scene_tex);
  set_texture_address(0, ADDR_CLAMP);
  set_vs_constants(17, pixel, 1);
  draw_pass("mlaa edges");

  // 2. Row passes: the run of horizontal edge each pixel belongs to, as
  //    distances to its two ends, doubling the reach every pass.
  set_texture(0, edge_tex);
  for (int step = 1; step <= 128; step *= 2) {
    set_render_target(mlaa_tex_a, 0, false);
    if (step >= 2) set_texture(1, mlaa_tex_b);
    const float c17[4] = {1.f / w, 0.f, step / w, 0.f};
    const float c0[4] = {step / 255.f, 0.f, 0.f, 0.f};
    set_vs_constants(17, c17, 1);
    set_ps_constants(0, c0, 1);
    if (step == 1) {
      set_shader(mlaa_rows_first_shader);
      clear_view_color(0);
    } else if (step == 2) {
      set_shader(mlaa_rows_shader);
    }
    draw_pass("mlaa rows");
    std::swap(mlaa_tex_a, mlaa_tex_b);
  }
  // mlaa_tex_b holds the row result; mlaa_tex_a is free.

  // 3. Column passes, the same along columns; the last one writes its result
  //    into the blue and alpha channels of the row result.
  for (int step = 1; step <= 128; step *= 2) {
    if (step == 128) {
      set_render_target(mlaa_tex_b, 0, false);
      set_color_write_mask(12);
      set_shader(mlaa_cols_final_shader);
    } else {
      set_render_target(mlaa_tex_a, 0, false);
      if (step == 1) {
        set_shader(mlaa_cols_first_shader);
        clear_view_color(0);
      } else if (step == 2) {
        set_shader(mlaa_cols_shader);
      }
    }
    if (step >= 2) set_texture(1, mlaa_tex_c);
    const float c17[4] = {0.f, 1.f / h, 0.f, step / h};
    const float c0[4] = {step / 255.f, 0.f, 0.f, 0.f};
    set_vs_constants(17, c17, 1);
    set_ps_constants(0, c0, 1);
    draw_pass("mlaa columns");
    std::swap(mlaa_tex_a, mlaa_tex_c);
  }

  // 4. The blend.
  set_color_write_mask(15);
  set_render_target(mlaa_tex_a, 0, false);
  mlaa_combine(pixel);

  // 5. The anti-aliased image becomes the scene image.
  std::swap(scene_tex, mlaa_tex_a);

  for (int stage = 0; stage < 3; ++stage) set_texture_filter(stage, true);
}

void apply_post_effects()
{
  mark_pass("post effects");
  set_wireframe(false);
  // The passes replace whole pictures; a blend state left on by the scene
  // would mix them with what the targets held before.
  set_blend_none();
  if (use_ppaa) apply_mlaa();

  set_back_buffer_target();
  // Without a frame colour both final shaders pass the picture through
  // unchanged: a copy gives the same pixels without shading each one.
  const bool no_frame_color = !(postfx_params[3] > 0.f) && std::isfinite(postfx_params[0]) &&
                              std::isfinite(postfx_params[1]) && std::isfinite(postfx_params[2]);
  if (frame_shortcuts && no_frame_color && copy_texture_to_back_buffer(scene_tex)) {
    mark_pass("postfx");
    return;
  }
  set_screen_tc_constants();
  if (use_postfx && !use_wireframe) {
    set_shader(postfx_main_shader);
    set_texture(0, scene_tex);
    float w = (float)d3d_wd, h = (float)d3d_ht;
    const float c0[4] = {1.f / w, 1.f / h, w, h};
    set_ps_constants(0, c0, 1);
  } else {
    set_shader(postfx_none_shader);
    set_texture(0, scene_tex);
    set_texture_address(0, ADDR_CLAMP);
  }
  float params[4] = {postfx_params[0], postfx_params[1], postfx_params[2], postfx_params[3]};
  set_ps_constants(1, params, 1);
  draw_pass("postfx");
}
