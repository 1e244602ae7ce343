// The ramp script classes and the effect script: ramp constructors and
// statics, particle parameter tables and their errors, the effect VM's entry
// points, its on-screen errors and its reload.
#include "natives_fixture.h"
#include "world_script_doubles.h"

#include "scripting/fxScript.h"
#include "scripting/fxServices.h"
#include "scripting/rampClasses.h"

#include "engine/paths.h"
#include "engine/visualLog.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>
#include "support/test_dir.h"

using namespace sqbind;

// ---- doubles of scripting/fxServices.h ----

namespace
{

struct Particle
{
  bool glow;
  vec4f pos, vel, accel;
  float life, delay, size;
  uint32_t color;
  float mapU, mapV, mapSize, startRoll, rollScale;
  ColorRamp* colorAnim;
  FloatRamp* sizeAnim;
  FloatRamp* rollAnim;
};
std::vector<Particle> particles;

void record(bool glow, vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
            float mapU, float mapV, float mapSize, float startRoll, float rollScale, ColorRamp* colorAnim,
            FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  particles.push_back(Particle{glow, pos, vel, accel, life, delay, size, color.u, mapU, mapV, mapSize, startRoll,
                               rollScale, colorAnim, sizeAnim, rollAnim});
}

}  // namespace

void add_blend_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                        float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                        ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  record(false, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale, colorAnim,
         sizeAnim, rollAnim);
}

void add_glow_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                       float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                       ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  record(true, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale, colorAnim,
         sizeAnim, rollAnim);
}

namespace
{

const char* TYPE_ERROR = "sq_get*() failed (type error)";
const char* INST_ERROR = "getInst: invalid argument type";

std::string error_text() { return error_message_text.num ? std::string(error_message_text.data) : std::string(); }

// The native data of the instance held by a global (so it stays alive).
template <typename R>
R* native_of(NativesVM& t, const char* global)
{
  StackRestore restore(t.vm);
  SqObject v = t.eval(global);
  sq_pushobject(t.vm, v.o);
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(t.vm, -1, &p, class_tag<R>()))) return nullptr;
  return (R*)p;
}

// ---- ramp classes ----

TEST(RampClasses, ConstructorsSampleTheFunctionByTheColourRule)
{
  NativesVM t;
  ASSERT_TRUE(t.run("packed <- ColorRamp(function(t) { return t < 0.5 ? 0xFF00FF00 : 0x80FF0000; });"
                    "vec <- ColorRamp(function(t) { return [t, 0.5, 2, 1]; });"
                    "f <- FloatRamp(function(t) { return t * 4; });"));
  SqColorRamp* packed = native_of<SqColorRamp>(t, "packed");
  ASSERT_NE(packed, nullptr);
  expect_vec_near(packed->samples[0], 0, 1, 0, 1, 0, "an integer is 0xAARRGGBB");
  expect_vec_near(packed->samples[256], 1, 0, 0, 128.f / 255.f, 1e-7f, "alpha byte 0x80");
  SqColorRamp* vec = native_of<SqColorRamp>(t, "vec");
  ASSERT_NE(vec, nullptr);
  expect_vec_near(vec->samples[128], 0.5f, 0.5f, 2.f, 1.f, 0, "an array by the vector rule, unclamped");
  SqFloatRamp* f = native_of<SqFloatRamp>(t, "f");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->samples[64], 1.f);
  EXPECT_EQ(f->samples[256], 4.f);

  struct Case
  {
    const char* code;
    const char* error;
  } cases[] = {
    {"ColorRamp(function(t) { return [1, 2, 3]; })", "the index '3' does not exist"},
    {"ColorRamp(function(t) { return [1, 2, \"3\", 4]; })", TYPE_ERROR},
    {"ColorRamp(function(t) { return \"red\"; })", INST_ERROR},
    {"ColorRamp(function(t) { throw \"no\"; })", "SqFunc<> call failed"},
    {"FloatRamp(function(t) { return null; })", TYPE_ERROR},
    {"FloatRamp(7)", "SqFunc<> call failed"},
    {"ColorRamp.linear(\"a\", 1)", INST_ERROR},
    {"FloatRamp.linear(\"a\", 1)", TYPE_ERROR},
    {"ColorRamp.constRamp(0).get(\"t\")", TYPE_ERROR},
  };
  for (const Case& c : cases) EXPECT_EQ(t.errorOf(c.code), c.error) << c.code;
}

TEST(RampClasses, StaticsGetAndDump)
{
  NativesVM t;
  ASSERT_TRUE(t.run("fade <- ColorRamp.fadeInOut(0, 0xFFFFFFFF, [1, 0, 0, 1], 0.25, 0.5)"));
  SqColorRamp* fade = native_of<SqColorRamp>(t, "fade");
  ColorRamp want;
  want.fill(v_zero(), v_splat(1.f), make4f(1, 0, 0, 1), 0.25f, 0.5f);
  ASSERT_NE(fade, nullptr);
  EXPECT_EQ(memcmp(fade->samples, want.samples, sizeof(want.samples)), 0);
  expect_vec_near(t.evalVec("ColorRamp.linear(0, make4f(1, 2, 3, 4)).get(0.25)"), 0.25f, 0.5f, 0.75f, 1.f, 0,
                  "linear");
  expect_vec_near(t.evalVec("ColorRamp.constRamp(0x40000000).get(-3)"), 0, 0, 0, 64.f / 255.f, 0, "constant");
  struct Case
  {
    const char* expr;
    float value;
  } cases[] = {
    {"FloatRamp.linear(2, 4).get(0.5)", 3.f},
    {"FloatRamp.linear(2, 4).get(7)", 4.f},
    {"FloatRamp.constRamp(1.5).get(0.3)", 1.5f},
    {"FloatRamp.fadeInOut(0, 1, 0, 0.5, 0.5).get(0.5)", 1.f},
    {"FloatRamp.fadeInOut(0, 1, 0, 0, 0).get(0)", 1.f},  // no fade: the middle value throughout
    {"FloatRamp.fadeInOut(0, 1, 3, 0.5, 0.5).get(1)", 3.f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(t.evalFloat(c.expr), c.value) << c.expr;

  std::string out = capture_stdout([&] { t.run("FloatRamp.constRamp(0.5).dump(\"half\")"); });
  EXPECT_EQ(out.rfind("\nstatic FloatRamp half=\n{\n  0.5, 0.5,", 0), 0u) << out;
  EXPECT_NE(out.find("\n};\n"), std::string::npos);
}

// ---- the effect VM ----

class FxScriptTest : public testing::Test
{
protected:
  std::string dir;
  char savedAppPath[260] = {0};
  time_t clock = 1600000000;

  void SetUp() override
  {
    dir = make_test_dir("fx");
    ASSERT_FALSE(dir.empty());
    std::filesystem::create_directories(dir + "/test");
    memcpy(savedAppPath, app_path, sizeof(savedAppPath));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    reset_world_script_doubles();
    set_error_message(nullptr);
    particles.clear();
  }

  void TearDown() override
  {
    close_fx_script();
    fx_script_vm.files.clear();
    set_error_message(nullptr);
    memcpy(app_path, savedAppPath, sizeof(savedAppPath));
    std::filesystem::remove_all(dir);
  }

  void write(const std::string& text)
  {
    std::string p = dir + "/test/fx.nut";
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
    timespec times[2] = {{clock, 0}, {clock, 0}};
    clock += 10;
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }

  SqObject eval(const char* expr)
  {
    HSQUIRRELVM vm = fx_script_vm.vm;
    StackRestore restore(vm);
    std::string code = std::string("return (") + expr + ");";
    EXPECT_TRUE(compile_script_buffer(vm, code.c_str(), (SQInteger)code.size(), "eval")) << expr;
    sq_pushroottable(vm);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQTrue, SQTrue))) << expr;
    return SqObject::fromStack(vm, -1);
  }
};

// The script behind the particle tests: spawn(table) adds a blend particle at
// a fixed place from a full parameter table with the changes made by `edit`.
const char* k_spawn_script = R"(
cr <- ColorRamp.constRamp(0xFFFFFFFF);
fr <- FloatRamp.linear(0, 1);
rr <- FloatRamp.constRamp(2);
function params() {
  return { accel = make4f(0, -1, 0, 0), life = 1, delay = 2.5, size = 3, mapU = 4, mapV = 5, mapSize = 6,
           startRoll = 7, rollScale = 8, colorAnim = cr, sizeAnim = fr, rollAnim = rr, color = 0xFF00FF00 };
}
edit <- function(p) {};
function spawn(a, b, c, f) {
  local p = params();
  edit(p);
  if (f > 0) add_glow_particle(a, b, p); else add_blend_particle(a, b, p);
}
)";

TEST_F(FxScriptTest, ParticlesTakeEveryKeyOfTheTable)
{
  write(k_spawn_script);
  EXPECT_FALSE(init_fx_script());  // no update_fx
  ASSERT_EQ(error_text(), "");
  call_fx_script("spawn", make4f(1, 2, 3, 1), make4f(0, 0.5f, 0, 0), v_zero(), 1.f);
  call_fx_script("spawn", make4f(1, 2, 3, 1), make4f(0, 0.5f, 0, 0), v_zero(), 0.f);
  ASSERT_EQ(particles.size(), 2u) << error_text();
  EXPECT_TRUE(particles[0].glow);
  const Particle& p = particles[1];
  EXPECT_FALSE(p.glow);
  expect_vec_near(p.pos, 1, 2, 3, 1, 0, "pos");
  expect_vec_near(p.vel, 0, 0.5f, 0, 0, 0, "vel");
  expect_vec_near(p.accel, 0, -1, 0, 0, 0, "accel");
  float got[] = {p.life, p.delay, p.size, p.mapU, p.mapV, p.mapSize, p.startRoll, p.rollScale};
  float want[] = {1, 2.5f, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 8; i++) EXPECT_EQ(got[i], want[i]) << i;
  EXPECT_EQ(p.color, 0xFF00FF00u);
  HSQUIRRELVM vm = fx_script_vm.vm;
  auto native = [&](const char* name, SQUserPointer tag) {
    StackRestore restore(vm);
    SqObject v = eval(name);
    sq_pushobject(vm, v.o);
    SQUserPointer up = nullptr;
    sq_getinstanceup(vm, -1, &up, tag);
    return up;
  };
  EXPECT_EQ((void*)p.colorAnim, native("cr", class_tag<SqColorRamp>()));
  EXPECT_EQ((void*)p.sizeAnim, native("fr", class_tag<SqFloatRamp>()));
  EXPECT_EQ((void*)p.rollAnim, native("rr", class_tag<SqFloatRamp>()));
}

TEST_F(FxScriptTest, ParameterErrorsSpawnNothingAndShowTheError)
{
  write(k_spawn_script);
  init_fx_script();
  struct Case
  {
    const char* edit;
    const char* error;    // null: spawns
    uint32_t color;
  } cases[] = {
    // colours
    {"p.color = 1.5", nullptr, 0xFFFFFFFF},
    {"p.color = [1, 0, 0, 0.5]", nullptr, 0x80FF0000},  // 127.5 rounds to the even 128
    {"p.color = make4f(-1, 0.2, 0.6, 1)", nullptr, 0xFF003399},
    {"p.color = 0x1FFFFFFFF", nullptr, 0xFFFFFFFF},  // the low 32 bits
    // ramps may be left out with null
    {"p.colorAnim = null; p.sizeAnim = null", nullptr, 0xFF00FF00},
    // wrong kinds
    {"p.life = \"long\"", TYPE_ERROR, 0},
    {"p.delay = null", TYPE_ERROR, 0},
    {"p.accel = [0, 1, 0, 0]", INST_ERROR, 0},
    {"p.accel = null", INST_ERROR, 0},
    {"p.colorAnim = fr", INST_ERROR, 0},
    {"p.rollAnim = cr", INST_ERROR, 0},
    {"p.color = \"green\"", INST_ERROR, 0},
    {"p.color = [1, 0, 0]", "the index '3' does not exist", 0},
    {"p.rollAnim = 3", INST_ERROR, 0},
  };
  for (const Case& c : cases) {
    particles.clear();
    set_error_message(nullptr);
    std::string code = std::string("edit = function(p) { ") + c.edit + "; }";
    {
      HSQUIRRELVM vm = fx_script_vm.vm;
      StackRestore restore(vm);
      ASSERT_TRUE(compile_script_buffer(vm, code.c_str(), (SQInteger)code.size(), "edit"));
      sq_pushroottable(vm);
      ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue)));
    }
    call_fx_script("spawn", v_zero(), v_zero(), v_zero(), 0.f);
    if (!c.error) {
      ASSERT_EQ(particles.size(), 1u) << c.edit << ": " << error_text();
      EXPECT_EQ(particles[0].color, c.color) << c.edit;
      EXPECT_EQ(error_text(), "") << c.edit;
    } else {
      EXPECT_TRUE(particles.empty()) << c.edit;
      EXPECT_EQ(error_text(), std::string("Error in fx script:\n") + c.error) << c.edit;
    }
  }

  // A missing key logs which one and raises the VM's error.
  particles.clear();
  std::string log = capture_stdout([&] {
    HSQUIRRELVM vm = fx_script_vm.vm;
    const char* code = "edit = function(p) { delete p.rollAnim; }";
    StackRestore restore(vm);
    compile_script_buffer(vm, code, (SQInteger)strlen(code), "edit");
    sq_pushroottable(vm);
    sq_call(vm, 1, SQFalse, SQTrue);
    call_fx_script("spawn", v_zero(), v_zero(), v_zero(), 0.f);
  });
  EXPECT_TRUE(particles.empty());
  EXPECT_NE(log.find("getSlot 'rollAnim' failed"), std::string::npos) << log;
  EXPECT_EQ(error_text(), "Error in fx script:\nthe index 'rollAnim' does not exist");

  // pos and vel must be vec4f instances.
  set_error_message(nullptr);
  const char* code = "function bad(a, b, c, f) { add_blend_particle(1, b, params()); }";
  {
    HSQUIRRELVM vm = fx_script_vm.vm;
    StackRestore restore(vm);
    compile_script_buffer(vm, code, (SQInteger)strlen(code), "bad");
    sq_pushroottable(vm);
    sq_call(vm, 1, SQFalse, SQTrue);
  }
  call_fx_script("bad", v_zero(), v_zero(), v_zero(), 0.f);
  EXPECT_EQ(error_text(), std::string("Error in fx script:\n") + INST_ERROR);
  EXPECT_TRUE(particles.empty());
}

TEST_F(FxScriptTest, EntryPointsUpdateReloadAndCallByName)
{
  // Without a VM, calls by name do nothing.
  call_fx_script("anything", v_zero(), v_zero(), v_zero(), 0.f);
  EXPECT_EQ(error_text(), "");
  // A missing script file: false, and nothing to update.
  EXPECT_FALSE(init_fx_script());
  update_fx_script(0.05f);
  close_fx_script();
  fx_script_vm.files.clear();

  write("ticks <- 0; last <- 0.0; got <- null;\n"
        "function update_fx(dt) { ticks++; last = dt; if (ticks == 2) throw \"second\"; }\n"
        "function take(a, b, c, f) { got = [a[0], b[1], c[2], f]; }\n");
  EXPECT_TRUE(init_fx_script());
  update_fx_script(0.25f);
  update_fx_script(0.5f);
  EXPECT_EQ(error_text(), "Error in fx script:\nSqFunc<> call failed");
  update_fx_script(0.75f);  // called again after an error
  SqObject ticks = eval("ticks");
  EXPECT_EQ(sq_objtointeger(&ticks.o), 3);
  SqObject last = eval("last");
  EXPECT_EQ(sq_objtofloat(&last.o), 0.75f);

  call_fx_script("take", make4f(1, 0, 0, 0), make4f(0, 2, 0, 0), make4f(0, 0, 3, 0), 4.f);
  SqObject sum = eval("got[0] + got[1] + got[2] + got[3]");
  EXPECT_EQ(sq_objtofloat(&sum.o), 10.f);
  call_fx_script("nothing", v_zero(), v_zero(), v_zero(), 0.f);
  EXPECT_EQ(error_text(), "Error in fx script:\nNo 'nothing' function in script");

  // An unchanged file reloads nothing; a changed one clears the message,
  // empties the effects, re-runs the file and binds the new update_fx.
  reload_fx_script_if_changed();
  EXPECT_EQ(world_script_calls.resetCommonFx, 0);
  write("function update_fx(dt) { ::newer <- dt; }\n");
  reload_fx_script_if_changed();
  EXPECT_EQ(world_script_calls.resetCommonFx, 1);
  EXPECT_EQ(error_text(), "");
  update_fx_script(1.5f);
  SqObject newer = eval("newer");
  EXPECT_EQ(sq_objtofloat(&newer.o), 1.5f);
  // A reload that fails shows the VM's error.
  write("function update_fx(dt) { \n");
  reload_fx_script_if_changed();
  EXPECT_EQ(error_text().rfind("Error in fx script:\n", 0), 0u);
  EXPECT_EQ(world_script_calls.resetCommonFx, 2);
}

}  // namespace
