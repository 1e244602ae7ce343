// The sky: colours chosen by the sun's height, their blend per tick and per
// frame, the derived colours, script errors, the hot reload of "sky.nut" and
// the quad drawn only where the stencil is 0.
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "gl/asset_dir.h"
#include "gl/gl_fixture.h"

#include "engine/d3d_shaders.h"
#include "engine/visualLog.h"
#include "worldrender/sky.h"

// The scene passes' camera matrix, which these tests set themselves. Weak, so
// that the scene passes' own definition takes over once it is linked in.
__attribute__((weak)) Matrix44 cur_view_itm = Matrix44::identity();

namespace
{

// Colour i = (zenith, i, 0.5): the zenith the sky was evaluated at shows in
// every colour's red.
const char* const ZENITH_SCRIPT = R"(
function get_sky_colors(zenith) {
  local c = []
  for (local i = 0; i < 10; i++) c.append([zenith, i, 0.5])
  return c
}
)";

// Every colour i = (red, i, 0).
std::string flat_script(float red)
{
  std::ostringstream s;
  s << "function get_sky_colors(z) {\n  local c = []\n  for (local i = 0; i < 10; i++) c.append([" << red
    << ", i, 0])\n  return c\n}\n";
  return s.str();
}

std::string shown_error() { return has_error_message() ? std::string(error_message_text.data) : std::string(); }

class SkyTest : public GlDeviceTest
{
protected:
  TempAppDir dir;
  time_t t0 = time(nullptr) - 1000;

  void SetUp() override
  {
    GlDeviceTest::SetUp();
    dir.open();
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    close_sky();
    set_error_message(nullptr);
    dir.close();
  }

  // Writes "sky.nut" with a modification time of t0 + second: file
  // times have whole seconds, so every edit gets its own explicit second.
  void write_script(const std::string& text, int second = 0)
  {
    const std::string path = dir.path("sky.nut");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const struct timespec times[2] = {{t0 + second, 0}, {t0 + second, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  void start(const std::string& text)
  {
    write_script(text);
    init_sky();
  }

  static void expect_defaults()
  {
    for (int i = 0; i < SKY_COLORS; i++)
      for (int k = 0; k < 3; k++) EXPECT_EQ(sky_registers[i][k], sky_default_colors[i][k]) << "colour " << i;
  }
};

void expect_vec(vec4f v, float x, float y, float z, float w, float eps, const char* what)
{
  EXPECT_NEAR(v[0], x, eps) << what;
  EXPECT_NEAR(v[1], y, eps) << what;
  EXPECT_NEAR(v[2], z, eps) << what;
  EXPECT_NEAR(v[3], w, eps) << what;
}

// ---- colours by sun height ----

TEST_F(SkyTest, ColoursAreChosenByTheZenithAngleOfTheNormalisedSun)
{
  start(ZENITH_SCRIPT);
  const float nan = std::nanf("");
  struct Case
  {
    vec4f dir;
    float zenith;
  } cases[] = {
    {make4f(0, 1, 0, 0), 0.f},                   // straight up
    {make4f(0, 5, 0, 7), 0.f},                   // length and w do not matter
    {make4f(1, 1, 0, 0), 45.f},
    {make4f(0, 1, 3, 0), 71.5650512f},           // the start-up sun
    {make4f(1, 0, 0, 0), 90.f},                  // on the horizon
    {make4f(0, 0, 0, 0), 90.f},                  // no sun: acos(0)
    {make4f(nan, 1, 0, 0), 90.f},                // a corrupt direction counts as none
    {make4f(0, -1, 0, 0), 180.f},                // straight below
  };
  for (const Case& c : cases) {
    set_sun_direction(c.dir, false);
    SCOPED_TRACE(c.zenith);
    EXPECT_NEAR(sky_registers[0][0], c.zenith, 1e-3f);
    EXPECT_NEAR(sky_colors_prev[9][0], c.zenith, 1e-3f);  // a hard change cuts at once
    EXPECT_EQ(sky_registers[9][1], 9.f);
    EXPECT_EQ(sky_registers[9][3], 0.f);
    const float len = std::sqrt(v_extract_x(v_length3_sq(sky_sun_dir)));
    EXPECT_TRUE(len == 0.f || std::fabs(len - 1.f) < 1e-6f) << len;
    EXPECT_EQ(sky_sun_dir[3], 0.f);
  }
  EXPECT_FALSE(has_error_message());
}

TEST_F(SkyTest, StartUpUsesTheDefaultSunAndConstant)
{
  start(ZENITH_SCRIPT);
  const float r = std::sqrt(10.f);
  expect_vec(sky_sun_dir, 0.f, 1.f / r, 3.f / r, 0.f, 1e-6f, "sun");
  EXPECT_FLOAT_EQ(sky_sun_constant, 0.9396926f);
  EXPECT_NEAR(sky_registers[0][0], 71.5650512f, 1e-3f);
  const vec4f reg = sky_sun_register();
  EXPECT_EQ(reg[3], sky_sun_constant);
  // A world file may restore another constant, but never a broken one.
  set_sky_sun_constant(0.5f);
  EXPECT_EQ(sky_sun_constant, 0.5f);
  set_sky_sun_constant(std::nanf(""));
  EXPECT_EQ(sky_sun_constant, 0.5f);
}

// ---- blending per tick and per frame ----

TEST_F(SkyTest, SmoothChangeBlendsOverTheFramesOfOneTick)
{
  start(ZENITH_SCRIPT);
  set_sun_direction(make4f(0, 1, 0, 0), false);  // zenith 0
  set_sun_direction(make4f(1, 0, 0, 0), true);   // zenith 90, blended
  const float h = std::sqrt(0.5f);
  struct Step
  {
    bool tick;     // save_prev_sky_state before the frame
    float f;       // frame fraction
    float zenith;  // expected colour red
    float sx, sy;  // expected sun direction x, y
  } steps[] = {
    {false, 0.f, 0.f, 0.f, 1.f},    // the frame at the tick still shows the old sky
    {false, 0.25f, 22.5f, -1, -1},  // colours blend linearly...
    {false, 0.5f, 45.f, h, h},      // ...the direction is renormalised
    {false, 1.f, 90.f, 1.f, 0.f},
    {true, 0.f, 90.f, 1.f, 0.f},    // next tick: the blend is over
    {true, 0.7f, 90.f, 1.f, 0.f},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.f);
    if (s.tick) save_prev_sky_state(0.05f);
    interpolate_sky(s.f);
    EXPECT_NEAR(sky_registers[0][0], s.zenith, 1e-3f);
    EXPECT_EQ(sky_registers[4][1], 4.f);
    if (s.sx >= 0) expect_vec(sky_sun_dir, s.sx, s.sy, 0.f, 0.f, 1e-6f, "sun");
    // Derived colours follow the blended ones every frame.
    for (int k = 0; k < 4; k++) {
      const float c0 = sky_registers[0][k], c1 = sky_registers[1][k], c2 = sky_registers[2][k];
      EXPECT_EQ(sky_registers[10][k], c0 + c1 * std::exp(-c2 / 0.2f));
      EXPECT_EQ(sky_registers[11][k], c0 + c1 * std::exp(-c2));
    }
  }

  // A hard change in the middle of a blend cuts straight to the new sky.
  set_sun_direction(make4f(0, 1, 0, 0), true);
  set_sun_direction(make4f(0, -2, 0, 0), false);
  interpolate_sky(0.3f);
  EXPECT_NEAR(sky_registers[0][0], 180.f, 1e-3f);
  expect_vec(sky_sun_dir, 0.f, -1.f, 0.f, 0.f, 0.f, "sun");
}

// ---- script errors and defaults ----

TEST_F(SkyTest, ScriptFailuresShowTheErrorAndUseTheDefaults)
{
  struct Case
  {
    const char* name;
    const char* script;
    const char* error;  // part of the message; null: no message
  } cases[] = {
    {"no function", "x <- 1\n", nullptr},
    {"nine entries",
     "function get_sky_colors(z) { local c = []; for (local i = 0; i < 9; i++) c.append([1, 1, 1]); return c }",
     "colour 9"},
    {"not a number",
     "function get_sky_colors(z) { local c = []; for (local i = 0; i < 10; i++) c.append([1, i == 3 ? \"x\" : 1, "
     "1]); return c }",
     "colour 3"},
    {"two numbers", "function get_sky_colors(z) { return array(10, [1, 1]) }", "colour 0"},
    {"throws", "function get_sky_colors(z) { throw \"no sky today\" }", "no sky today"},
    {"returns null", "function get_sky_colors(z) { return null }", "colour 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_error_message(nullptr);
    start(c.script);
    expect_defaults();
    // With the defaults the derived colours are plain white.
    expect_vec(sky_registers[10], 1.f, 1.f, 1.f, 0.f, 0.f, "D10");
    expect_vec(sky_registers[11], 1.f, 1.f, 1.f, 0.f, 0.f, "D11");
    if (c.error) {
      const std::string msg = shown_error();
      EXPECT_EQ(msg.rfind("Error in sky script:\n", 0), 0u) << msg;
      EXPECT_NE(msg.find(c.error), std::string::npos) << msg;
    } else {
      EXPECT_FALSE(has_error_message()) << shown_error();
    }
    // The VM stays usable: later direction changes ask again, and the same
    // failure on every tick of a sun drag does not pile up on screen.
    const std::string first = shown_error();
    set_sun_direction(make4f(0, 1, 0, 0), true);
    set_sun_direction(make4f(0, 1, 1, 0), true);
    expect_defaults();
    EXPECT_EQ(shown_error(), first);
    close_sky();
  }
}

// ---- hot reload ----

TEST_F(SkyTest, EditIsPickedUpByTheNextPollAndABrokenEditKeepsTheSky)
{
  start(flat_script(0.25f));
  EXPECT_EQ(sky_registers[0][0], 0.25f);

  // No change: the poll does nothing.
  reload_sky_script_if_changed();
  EXPECT_EQ(sky_registers[0][0], 0.25f);

  // An edit, in the middle of a smooth sun change: the reload cuts to the
  // new colours at the current direction.
  set_sun_direction(make4f(1, 0, 0, 0), true);
  write_script(flat_script(0.5f), 1);
  reload_sky_script_if_changed();
  EXPECT_EQ(sky_registers[0][0], 0.5f);
  EXPECT_EQ(sky_colors_prev[0][0], 0.5f);
  EXPECT_EQ(sky_colors_target[0][0], 0.5f);
  EXPECT_FALSE(has_error_message());

  // A file that does not compile: the error is on screen, the sky unchanged.
  write_script("function get_sky_colors(z) { return [ \n", 2);
  reload_sky_script_if_changed();
  EXPECT_EQ(sky_registers[0][0], 0.5f);
  EXPECT_EQ(sky_registers[3][1], 3.f);
  EXPECT_EQ(shown_error().rfind("Error in sky script:\nsky.nut(2,1): ", 0), 0u) << shown_error();
  // It is not re-run until it changes again.
  set_error_message(nullptr);
  reload_sky_script_if_changed();
  EXPECT_FALSE(has_error_message());

  // Fixed: the new colours, and the sky's message is gone.
  write_script("function get_sky_colors(z) { return [ \n", 3);
  reload_sky_script_if_changed();
  EXPECT_TRUE(has_error_message());
  write_script(flat_script(0.75f), 4);
  reload_sky_script_if_changed();
  EXPECT_EQ(sky_registers[0][0], 0.75f);
  EXPECT_FALSE(has_error_message()) << shown_error();

  // Another subsystem's message is not the sky's to clear.
  set_error_message("Error in world script:\nsomething");
  write_script(flat_script(0.125f), 5);
  reload_sky_script_if_changed();
  EXPECT_EQ(sky_registers[0][0], 0.125f);
  EXPECT_EQ(shown_error(), "Error in world script:\nsomething");
}

// ---- the shipped script ----

TEST_F(SkyTest, ShippedScriptGivesFiniteColoursForEverySunHeight)
{
  std::ifstream in(TempAppDir::repo_root() + "/data/sky.nut", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  start(text.str());
  float noon_light = 0, midnight_light = 0;
  for (int zenith = 0; zenith <= 180; zenith += 3) {
    const float a = zenith * 0.017453292f;
    set_sun_direction(make4f(std::sin(a), std::cos(a), 0.f, 0.f), false);
    ASSERT_FALSE(has_error_message()) << zenith << ": " << shown_error();
    for (int i = 0; i < SKY_REGISTERS; i++)
      for (int k = 0; k < 4; k++) ASSERT_TRUE(std::isfinite(sky_registers[i][k])) << zenith << " reg " << i;
    const float light = sky_registers[11][0] + sky_registers[11][1] + sky_registers[11][2];
    if (zenith == 0) noon_light = light;
    if (zenith == 180) midnight_light = light;
  }
  EXPECT_GT(noon_light, 4.f * midnight_light);
}

// ---- drawing ----

TEST_F(SkyTest, SkyQuadFillsTheScreenOnlyWhereTheStencilIsZero)
{
  // Horizon colour (0.2, 0.4, 0.6) and nothing else: the sky is that colour
  // in every direction.
  start("function get_sky_colors(z) { local c = array(10); foreach (i, _ in c) c[i] = [0, 0, 0];"
        " c[0] = [0.2, 0.4, 0.6]; return c }");
  ASSERT_FALSE(has_error_message()) << shown_error();

  // Camera at a far world position looking along +z; the projection of the
  // scene passes (74 degrees, near 0.1, far 512).
  cur_view_itm = Matrix44::identity();
  cur_view_itm.row[3] = make4f(100.f, 20.f, -50.f, 1.f);
  Matrix44 view = Matrix44::identity();
  view.row[3] = make4f(-100.f, -20.f, 50.f, 1.f);
  const float ys = 1.f / std::tan(0.5f * 1.2915436464758039f);
  const float xs = ys / (float(WIDTH) / float(HEIGHT));
  Matrix44 proj;
  proj.row[0] = make4f(xs, 0, 0, 0);
  proj.row[1] = make4f(0, ys, 0, 0);
  proj.row[2] = make4f(0, 0, 1.00019538f, 1);
  proj.row[3] = make4f(0, 0, -0.100019537f, 0);
  const Matrix44 glob = view * proj;
  set_vs_constants(0, glob.m[0], 4);
  set_vs_constants(4, cur_view_itm.m[0], 4);

  Texture rt = create_render_texture(WIDTH, HEIGHT, RT_A8R8G8B8);
  ASSERT_NE(rt, nullptr);
  set_render_target(rt, 0, true);
  clear_view(0xFF000000);
  set_zenable(false);
  set_zwrite(false);

  // Mark the left half as covered (stencil 1) without touching its colour.
  set_viewport(0, 0, WIDTH / 2, HEIGHT);
  set_color_write_mask(0);
  set_stencil_test(1, 1, 8);
  set_stencil_replace_bits(1);
  render_sky();
  set_color_write_mask(15);
  set_stencil_replace_bits(0);
  set_viewport(0, 0, WIDTH, HEIGHT);

  // The scene passes' sky state.
  set_stencil_test(0xff, 0, 3);
  render_sky();
  set_stencil_test(0, 0, 8);

  struct Probe
  {
    int x, y;
    bool sky;
  } probes[] = {
    {0, 0, false}, {WIDTH / 2 - 1, HEIGHT - 1, false}, {10, HEIGHT / 2, false},
    {WIDTH / 2, 0, true}, {WIDTH - 1, 0, true}, {WIDTH - 1, HEIGHT - 1, true}, {WIDTH / 2 + 5, HEIGHT / 2, true},
  };
  for (const Probe& p : probes) {
    const uint32_t px = texture_pixel(rt, p.x, p.y);
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y << " = " << std::hex << px);
    if (!p.sky) {
      EXPECT_EQ(px, 0xFF000000u);
      continue;
    }
    const int r = (px >> 16) & 255, g = (px >> 8) & 255, b = px & 255;
    EXPECT_NEAR(r, 51, 1);
    EXPECT_NEAR(g, 102, 1);
    EXPECT_NEAR(b, 153, 1);
  }
  set_back_buffer_target();
  release_texture(rt);
}

}  // namespace

