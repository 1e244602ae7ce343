// Shaders on a real GL context: pixel centres where the game's coordinates
// put them, instanced draws, the alpha test, constants shared across
// shaders, the cache file written and reused, and hot reload keeping the old
// program when the new text does not compile.
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/dynVBWriter.h"
#include "engine/paths.h"
#include "engine/renderBatch.h"
#include "engine/shaderCache.h"
#include "engine/visualLog.h"
#include "gl/gl_fixture.h"
#include "support/test_dir.h"

namespace {

std::string repo_root()
{
  return QM_SOURCE_DIR;
}

std::string read_text(const std::string& path)
{
  std::string s;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

// A full-screen quad whose colour comes from "colour.glsl".
const char* kFlatShader =
    "#ifdef VSH\n"
    "in vec3 POSITION0;\n"
    "void vsh() { gl_Position = vec4(POSITION0, 1.0); }\n"
    "#endif\n"
    "#ifdef PSH\n"
    "#include \"colour.glsl\"\n"
    "void psh() { out_color0 = FLAT_COLOUR; }\n"
    "#endif\n";

}  // namespace

class ShaderTest : public GlDeviceTest {
 protected:
  static char saved_app_path[260];
  static std::string dir;

  static void SetUpTestSuite()
  {
    GlDeviceTest::SetUpTestSuite();
    dir = make_test_dir("shader_test");
    ASSERT_FALSE(dir.empty());
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    mkdir((dir + "/cache").c_str(), 0755);
    write_file("prelude.glsl", read_text(repo_root() + "/data/prelude.glsl"));
    common_vb_writer.create(COMMON_VB_SIZE);
  }
  static void TearDownTestSuite()
  {
    common_vb_writer.release();
    close_shaders();
    memcpy(app_path, saved_app_path, sizeof(app_path));
    remove_test_dir(dir);
    GlDeviceTest::TearDownTestSuite();
  }
  void TearDown() override
  {
    set_shader(nullptr);
    set_atest(0);
    set_error_message(nullptr);
  }

  static void write_file(const std::string& name, const std::string& text)
  {
    FILE* f = fopen((dir + "/" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  // Gives a file a modification time some seconds away from now, as an edit
  // would (file times have whole seconds).
  static void set_mtime(const std::string& name, int seconds_from_now)
  {
    struct timeval tv[2];
    gettimeofday(&tv[0], nullptr);
    tv[0].tv_sec += seconds_from_now;
    tv[0].tv_usec = 0;
    tv[1] = tv[0];
    ASSERT_EQ(utimes((dir + "/" + name).c_str(), tv), 0);
  }
  static bool exists(const std::string& name)
  {
    struct stat st;
    return stat((dir + "/" + name).c_str(), &st) == 0;
  }
  static uint32_t flat_pixel(Shader* s)
  {
    set_back_buffer_target();
    clear_view(0xFF000000u);
    set_shader(s);
    draw_postfx();
    return back_buffer_pixel(WIDTH / 2, HEIGHT / 2);
  }
};

char ShaderTest::saved_app_path[260];
std::string ShaderTest::dir;

TEST_F(ShaderTest, OnePixelPointsLandOnePerTexelInTopDownRows)
{
  write_file("points.sh",
             "flat VARYING float value;\n"
             "#ifdef VSH\n"
             "in vec2 POSITION0;\n"
             "in float TEXCOORD0;\n"
             "void vsh() { gl_Position = vec4(POSITION0, 0.0, 1.0); value = TEXCOORD0; }\n"
             "#endif\n"
             "#ifdef PSH\n"
             "void psh() { out_color0 = vec4(value, 0.0, 0.0, 1.0); }\n"
             "#endif\n");
  Shader* s = create_shader("points.sh", nullptr);
  const VertexElementDesc elems[] = {{0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
                                     {8, 0, VDECL_FLOAT1, VDECL_TEXCOORD, 0},
                                     {0, 255, 0, 0, 0}};
  Texture rt = create_render_texture(256, 256, RT_R32F);
  ASSERT_NE(rt, nullptr);
  set_render_target(rt, 0, false);
  clear_view(0);
  set_shader(s);
  set_vertex_decl(get_vertex_decl(elems));
  set_vb(0, common_vb_writer.vb, 0, 12);

  // Point (x, y) at the original device's pixel mapping: x / 128 - 1, 1 - y / 128.
  DynVBWriter& w = common_vb_writer;
  w.begin(dyn_vb_draw_triangles, 1);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      if (w.bytesWritten() + 12 > w.size) w.flush(false);
      float v[3] = {x / 128.0f - 1.0f, 1.0f - y / 128.0f, float(y * 256 + x + 1)};
      memcpy(w.ptr, v, 12);
      w.ptr += 12;
      w.count++;
    }
  }
  w.flush(true);

  int pitch = 0;
  const uint8_t* p = (const uint8_t*)read_render_texture(rt, &pitch);
  ASSERT_NE(p, nullptr);
  int exact = 0;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      float f;
      memcpy(&f, p + y * pitch + x * 4, 4);
      exact += f == float(y * 256 + x + 1);
    }
  }
  end_read_render_texture(rt);
  EXPECT_EQ(exact, 65536);
  set_back_buffer_target();
  release_texture(rt);
  destroy_shader(s);
}

TEST_F(ShaderTest, InstancedIndexedDrawRepeatsTheMeshPerInstance)
{
  write_file("inst.sh",
             "VARYING vec4 colour;\n"
             "#ifdef VSH\n"
             "in vec2 POSITION0;\n"
             "in vec2 TEXCOORD1;\n"
             "in vec4 COLOR0;\n"
             "void vsh() {\n"
             "  vec2 px = POSITION0 * 8.0 + TEXCOORD1;\n"
             "  gl_Position = vec4(px.x / 32.0 - 1.0, 1.0 - px.y / 24.0, 0.0, 1.0);\n"
             "  colour = COLOR0;\n"
             "}\n"
             "#endif\n"
             "#ifdef PSH\n"
             "void psh() { out_color0 = colour; }\n"
             "#endif\n");
  Shader* s = create_shader("inst.sh", nullptr);
  const VertexElementDesc elems[] = {{0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
                                     {0, 1, VDECL_FLOAT2, VDECL_TEXCOORD, 1},
                                     {8, 1, VDECL_D3DCOLOR, VDECL_COLOR, 0},
                                     {0, 255, 0, 0, 0}};
  VertexBuffer quad = create_vb(32, VB_STATIC);
  IndexBuffer ib = create_ib(6, VB_STATIC);
  ASSERT_NE(quad, nullptr);
  ASSERT_NE(ib, nullptr);
  const float corners[8] = {0, 0, 1, 0, 0, 1, 1, 1};
  memcpy(lock_vb(quad, 0, 0), corners, sizeof(corners));
  unlock_vb(quad);
  const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
  memcpy(lock_ib(ib, 0, 0), indices, sizeof(indices));
  unlock_ib(ib);

  set_back_buffer_target();
  clear_view(0xFF000000u);
  set_cull_mode(0);
  set_shader(s);
  set_vertex_decl(get_vertex_decl(elems));
  set_ib(ib);
  set_vb(0, quad, 0, 8);
  set_vb(1, common_vb_writer.vb, 0, 12);
  struct Inst { float x, y; uint32_t colour; };
  const Inst inst[3] = {{0, 0, 0xFFFF0000u}, {16, 8, 0xFF00FF00u}, {40, 32, 0xFF0000FFu}};
  common_vb_writer.begin(dyn_vb_draw_instances, (4 << 16) | 2);
  memcpy(common_vb_writer.ptr, inst, sizeof(inst));
  common_vb_writer.ptr += sizeof(inst);
  common_vb_writer.count += 3;
  common_vb_writer.flush(true);
  set_cull_mode(1);

  EXPECT_EQ(back_buffer_pixel(4, 4), 0xFFFF0000u);
  EXPECT_EQ(back_buffer_pixel(20, 12), 0xFF00FF00u);
  EXPECT_EQ(back_buffer_pixel(44, 36), 0xFF0000FFu);
  EXPECT_EQ(back_buffer_pixel(30, 30), 0xFF000000u);
  EXPECT_EQ(get_instance_count(), 0) << "instancing ends with the instanced draw";

  set_ib(nullptr);
  set_vb(0, nullptr, 0, 0);
  set_vb(1, nullptr, 0, 0);
  release_vb(quad);
  release_ib(ib);
  destroy_shader(s);
}

TEST_F(ShaderTest, AlphaTestComparesTheStoredAlphaWithTheReference)
{
  // White with the alpha read from a register component.
  auto write_alpha_shader = [](const char* component) {
    write_file("alpha.sh", std::string("#ifdef VSH\n"
                                       "in vec3 POSITION0;\n"
                                       "void vsh() { gl_Position = vec4(POSITION0, 1.0); }\n"
                                       "#endif\n"
                                       "#ifdef PSH\n"
                                       "void psh() { out_color0 = vec4(1.0, 1.0, 1.0, ps_c[3].") +
                                component + " / 255.0); }\n#endif\n");
  };
  write_alpha_shader("x");
  Shader* s = create_shader("alpha.sh", nullptr);
  struct Case { int ref, alpha; bool drawn; };
  const Case cases[] = {
      {0, 0, true},       // test off
      {128, 127, false},  // below the reference
      {128, 128, true},   // equal passes
      {77, 77, true},     // k / 255 passes k whatever the rounding
      {255, 254, false},
  };
  for (const Case& c : cases) {
    float reg[4] = {float(c.alpha), 0, 0, 0};
    set_ps_constants(3, reg, 1);
    set_atest(c.ref);
    uint32_t px = flat_pixel(s);
    EXPECT_EQ((px & 0xFFFFFF) == 0xFFFFFF, c.drawn) << "ref " << c.ref << " alpha " << c.alpha;
  }
  // The program with the test follows a reload of the file.
  write_alpha_shader("y");
  reload_shaders(true);
  float reg[4] = {0.f, 200.f, 0, 0};
  set_ps_constants(3, reg, 1);
  set_atest(128);
  EXPECT_EQ(flat_pixel(s) & 0xFFFFFF, 0xFFFFFFu);
  set_atest(0);
  destroy_shader(s);
}

TEST_F(ShaderTest, ConstantsAreSharedAcrossShaderSwitches)
{
  write_file("c_a.sh",
             "#ifdef VSH\nin vec3 POSITION0;\nvoid vsh() { gl_Position = vec4(POSITION0, 1.0); }\n#endif\n"
             "#ifdef PSH\nvoid psh() { out_color0 = ps_c[200]; }\n#endif\n");
  write_file("c_b.sh",
             "#ifdef VSH\nin vec3 POSITION0;\nvoid vsh() { gl_Position = vec4(POSITION0 * vs_c[255].x, 1.0); }\n#endif\n"
             "#ifdef PSH\nvoid psh() { out_color0 = ps_c[200].zyxw; }\n#endif\n");
  Shader* a = create_shader("c_a.sh", nullptr);
  Shader* b = create_shader("c_b.sh", nullptr);
  const float red[4] = {1, 0, 0, 1}, one[4] = {1, 1, 1, 1};
  set_ps_constants(200, red, 1);
  set_vs_constants(255, one, 1);
  set_ps_constants(224, one, 1);  // beyond the last register: ignored
  EXPECT_EQ(flat_pixel(a), 0xFFFF0000u);
  EXPECT_EQ(flat_pixel(b), 0xFF0000FFu);
  EXPECT_EQ(flat_pixel(a), 0xFFFF0000u);
  destroy_shader(a);
  destroy_shader(b);
}

TEST_F(ShaderTest, SharingByNameAndDefines)
{
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(QUALITY / 2.0, 0.0, 0.0, 1.0)\n");
  write_file("flat.sh", kFlatShader);
  static const char q0[] = "QUALITY\0 0\0";
  static const char q2[] = "QUALITY\0 2\0";
  Shader* a = create_shader("flat.sh", q2);
  Shader* b = create_shader("flat.sh", q2);
  Shader* c = create_shader("flat.sh", q0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refcount, 2);
  EXPECT_NE(a, c);
  EXPECT_EQ(flat_pixel(a), 0xFFFF0000u);
  EXPECT_EQ(flat_pixel(c), 0xFF000000u);
  EXPECT_TRUE(exists("cache/flat.sh@QUALITY@_2.cache"));
  EXPECT_TRUE(exists("cache/flat.sh@QUALITY@_0.cache"));
  destroy_shader(a);
  EXPECT_FALSE(a->empty());
  destroy_shader(b);
  EXPECT_TRUE(a->empty());
  destroy_shader(c);
}

TEST_F(ShaderTest, CacheIsWrittenOnFirstUseAndUsedOnTheNext)
{
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(0.0, 1.0, 0.0, 1.0)\n");
  write_file("cached.sh", kFlatShader);
  set_mtime("cached.sh", -100);
  set_mtime("colour.glsl", -100);
  Shader* s = create_shader("cached.sh", nullptr);
  EXPECT_FALSE(s->from_cache);
  ASSERT_TRUE(exists("cache/cached.sh.cache"));
  ShaderCacheData data;
  ASSERT_TRUE(read_shader_cache((dir + "/cache/cached.sh.cache").c_str(), data, nullptr));
  ASSERT_EQ(data.dependencies.num, 3);
  EXPECT_STREQ(data.dependencies[0].c_str(), "cached.sh");
  EXPECT_STREQ(data.dependencies[1].c_str(), "prelude.glsl");
  EXPECT_STREQ(data.dependencies[2].c_str(), "colour.glsl");
  destroy_shader(s);

  // The next run: the cache gives the program without compiling.
  s = create_shader("cached.sh", nullptr);
  EXPECT_TRUE(s->from_cache);
  EXPECT_EQ(flat_pixel(s), 0xFF00FF00u);
  destroy_shader(s);

  // A dependency newer than the cache makes it stale: compiled and rewritten.
  set_mtime("colour.glsl", 100);
  s = create_shader("cached.sh", nullptr);
  EXPECT_FALSE(s->from_cache);
  destroy_shader(s);
}

TEST_F(ShaderTest, CacheOfPreprocessedTextsIsCompiled)
{
  // The form written when the driver cannot save programs.
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(1.0, 0.0, 1.0, 1.0)\n");
  write_file("texts.sh", kFlatShader);
  DynArray<TempString<260>> deps;
  DynArray<char> vs, ps, error;
  ASSERT_TRUE(build_stage_source("texts.sh", nullptr, true, vs, deps, error));
  ASSERT_TRUE(build_stage_source("texts.sh", nullptr, false, ps, deps, error));
  // A different colour than the file: proves the cache was used.
  std::string ps_text(ps.data, ps.num);
  ps_text.replace(ps_text.find("FLAT_COLOUR;"), 12, "vec4(1.0, 1.0, 0.0, 1.0);");
  set_mtime("texts.sh", -100);
  set_mtime("colour.glsl", -100);
  set_mtime("prelude.glsl", -100);
  ASSERT_TRUE(write_shader_cache((dir + "/cache/texts.sh.cache").c_str(), deps, vs.data, vs.num, ps_text.data(),
                                 int(ps_text.size())));
  Shader* s = create_shader("texts.sh", nullptr);
  EXPECT_TRUE(s->from_cache);
  EXPECT_EQ(flat_pixel(s), 0xFFFFFF00u);
  destroy_shader(s);
}

TEST_F(ShaderTest, BatchLargerThanTheSharedBufferIsDrawnInSeveralFills)
{
  write_file("batch.sh",
             "VARYING vec4 colour;\n"
             "#ifdef VSH\n"
             "in vec2 POSITION0;\n"
             "in vec4 COLOR0;\n"
             "void vsh() { gl_Position = vec4(POSITION0 * vs_c[0].xy + vs_c[0].zw, 0.0, 1.0); colour = COLOR0; }\n"
             "#endif\n"
             "#ifdef PSH\n"
             "void psh() { out_color0 = colour; }\n"
             "#endif\n");
  Shader* s = create_shader("batch.sh", nullptr);
  const VertexElementDesc elems[] = {{0, 0, VDECL_FLOAT2, VDECL_POSITION, 0},
                                     {8, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
                                     {0, 255, 0, 0, 0}};
  StdRenderBatchState state(s, get_vertex_decl(elems), 12, nullptr);
  // Pixel coordinates with centres on whole numbers, rows top-down.
  const float to_clip[4] = {2.0f / WIDTH, -2.0f / HEIGHT, -1.0f, 1.0f};
  set_vs_constants(0, to_clip, 1);

  // One two-triangle quad per pixel: 72 bytes each, 3072 of them, over
  // three times the shared buffer.
  RenderBatch batch;
  auto colour_of = [](int x, int y) { return 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | 0x80u; };
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      float x0 = x - 0.5f, y0 = y - 0.5f, x1 = x + 0.5f, y1 = y + 0.5f;
      struct V { float x, y; uint32_t c; };
      uint32_t c = colour_of(x, y);
      const V quad[6] = {{x0, y0, c}, {x1, y0, c}, {x0, y1, c}, {x0, y1, c}, {x1, y0, c}, {x1, y1, c}};
      memcpy(batch.add(&state, make4f(x0, y0, x1, y1), sizeof(quad), 2), quad, sizeof(quad));
    }
  }
  EXPECT_EQ(batch.entries.num, 1);
  set_back_buffer_target();
  clear_view(0xFF000000u);
  set_cull_mode(0);
  batch.render();
  set_cull_mode(1);
  EXPECT_EQ(common_vb_writer.startPtr, nullptr) << "the last flush unlocks";

  int w = 0, h = 0, pitch = 0;
  const uint8_t* p = capture_front_buffer(&w, &h, &pitch);
  ASSERT_NE(p, nullptr);
  int right = 0;
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      uint32_t v;
      memcpy(&v, p + y * pitch + x * 4, 4);
      right += v == colour_of(x, y);
    }
  }
  release_front_buffer_capture();
  EXPECT_EQ(right, WIDTH * HEIGHT);
  batch.clear();
  EXPECT_EQ(batch.entries.num, 0);
  destroy_shader(s);
}

TEST_F(ShaderTest, DamagedCacheFallsBackToCompiling)
{
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(0.0, 0.0, 1.0, 1.0)\n");
  write_file("damaged.sh", kFlatShader);
  set_mtime("damaged.sh", -100);
  set_mtime("colour.glsl", -100);
  Shader* s = create_shader("damaged.sh", nullptr);
  destroy_shader(s);
  const std::string path = dir + "/cache/damaged.sh.cache";
  std::string good = read_text(path);
  ASSERT_GT(good.size(), 64u);

  struct Case { const char* what; size_t at; int delta; };
  const Case cases[] = {
      {"code damaged near the end", good.size() - 9, 0x55},
      {"code damaged in the middle", good.size() / 2 + 40, 0x01},
      {"vertex size off by one", 8, 1},
      {"magic", 0, 1},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    bad[c.at] = char(bad[c.at] + c.delta);
    write_file("cache/damaged.sh.cache", bad);
    set_mtime("cache/damaged.sh.cache", 10);
    s = create_shader("damaged.sh", nullptr);
    EXPECT_EQ(flat_pixel(s), 0xFF0000FFu) << c.what;
    destroy_shader(s);
  }
}

TEST_F(ShaderTest, HotReloadFollowsIncludesAndKeepsTheOldProgramOnErrors)
{
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(1.0, 0.0, 0.0, 1.0)\n");
  write_file("reload.sh", kFlatShader);
  Shader* s = create_shader("reload.sh", nullptr);
  EXPECT_EQ(flat_pixel(s), 0xFFFF0000u);

  reload_shaders(false);  // nothing changed
  uint32_t serial = s->serial;
  EXPECT_EQ(s->serial, serial);

  // An edited include rebuilds the shader at the next poll.
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(0.0, 1.0, 0.0, 1.0)\n");
  set_mtime("colour.glsl", 50);
  reload_shaders(false);
  EXPECT_NE(s->serial, serial);
  EXPECT_EQ(flat_pixel(s), 0xFF00FF00u);
  EXPECT_FALSE(has_error_message());

  // A syntax error: the old program keeps drawing, the text is on screen.
  serial = s->serial;
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(0.0, 0.0, 1.0, 1.0)\nfloat broken = ;\n");
  set_mtime("colour.glsl", 60);
  reload_shaders(false);
  EXPECT_EQ(s->serial, serial);
  EXPECT_EQ(flat_pixel(s), 0xFF00FF00u);
  ASSERT_TRUE(has_error_message());
  std::string text = error_message_text.data;
  EXPECT_NE(text.find("HLSL 'reload.sh', func 'psh':"), std::string::npos) << text;
  EXPECT_NE(text.find("colour.glsl"), std::string::npos) << text;
  EXPECT_NE(text.find("FAILED to reload shader 'reload.sh'"), std::string::npos) << text;
  EXPECT_FALSE(shader_reload_in_progress);

  // Fixed again: rebuilt, and the message is cleared by the new reload.
  write_file("colour.glsl", "#define FLAT_COLOUR vec4(0.0, 0.0, 1.0, 1.0)\n");
  set_mtime("colour.glsl", 70);
  reload_shaders(false);
  EXPECT_EQ(flat_pixel(s), 0xFF0000FFu);
  EXPECT_FALSE(has_error_message());
  destroy_shader(s);
}
