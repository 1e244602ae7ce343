// The sky: script evaluation, per-tick and per-frame blending, the sky quad
// and the hot reload of "sky.nut".
#include "worldrender/sky.h"

#include "engine/d3d_misc.h"
#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/visualLog.h"
#include "scripting/sqbindCall.h"
#include "worldrender/scenePasses.h"  // cur_view_itm

#include <cmath>
#include <cstring>
#include <string>

using namespace sqbind;

static const char SKY_SCRIPT[] = "sky.nut";
static const char SKY_ERROR_HEADER[] = "Error in sky script:\n";

const float sky_default_colors[SKY_COLORS][3] = {
  {1.f, 1.f, 1.f},           // horizon
  {0.f, 0.f, 0.f},           // zenith_add
  {0.45f, 0.15f, 0.06f},     // falloff
  {0.f, 0.f, 0.f},           // sun_light
  {1.f, 0.f, 0.f},           // light_mix
  {0.346021f, 0.f, 0.f},     // glow
  {1.f, 0.f, 0.f},           // glow_shape
  {3.f, 6.f, 15.f},          // fog_tint
  {2.f, 0.f, 0.f},           // fog
  {2.f, 0.f, 0.f},           // disc
};

vec4f sky_sun_dir_target = {0.f, 0.f, 0.f, 0.f};
vec4f sky_sun_dir_prev = {0.f, 0.f, 0.f, 0.f};
vec4f sky_sun_dir = {0.f, 0.f, 0.f, 0.f};
float sky_sun_constant = 0.9396926f;

vec4f sky_colors_target[SKY_COLORS];
vec4f sky_colors_prev[SKY_COLORS];
vec4f sky_registers[SKY_REGISTERS];

SqReloadableVM sky_script_vm;

static SqFunc<SqObject> get_sky_colors_func;  // null when the script has none

static VertexDecl sky_decl = nullptr;
static VertexBuffer sky_vb = nullptr;
static IndexBuffer sky_ib = nullptr;
static Shader* sky_shader = nullptr;

// The text this module last put on screen, so that a fixed script clears its
// own message and never another subsystem's.
static std::string sky_error_shown;

// ---- errors ----

static bool sky_error_on_screen()
{
  return !sky_error_shown.empty() && error_message_text.size() > 0 &&
         sky_error_shown == error_message_text.data;
}

// True while a reload runs: its evaluation's error goes below the reload's.
static bool sky_reloading = false;

static void show_sky_error(const char* text)
{
  std::string msg = std::string(SKY_ERROR_HEADER) + (text && *text ? text : "unknown error");
  if (sky_error_on_screen()) {
    // The same failure again, as on every tick while the sun is dragged.
    if (sky_error_shown == msg) return;
    if (sky_reloading) {
      append_error_message(msg.c_str(), -1);
      sky_error_shown = error_message_text.data;
      return;
    }
  }
  set_error_message(msg.c_str());
  sky_error_shown = msg;
}

static void clear_sky_error()
{
  if (sky_error_on_screen()) set_error_message(nullptr);
  sky_error_shown.clear();
}

// Where the last compile error of "sky.nut" was, with its message: the VM's
// error alone says what is wrong but not where.
static std::string sky_compile_error;

static void sky_compile_error_handler(HSQUIRRELVM vm, const SQChar* desc, const SQChar* source, SQInteger line,
                                      SQInteger column)
{
  print_compile_error(vm, desc, source, line, column);
  const char* name = source ? strrchr(source, '/') : nullptr;
  name = name ? name + 1 : (source ? source : "?");
  sky_compile_error = std::string(name) + "(" + std::to_string((long long)line) + "," +
                      std::to_string((long long)column) + "): " + (desc ? desc : "error");
}

// The VM's last error when it is a string, else fallback.
static std::string last_error_text(HSQUIRRELVM vm, const char* fallback)
{
  StackRestore restore(vm);
  sq_getlasterror(vm);
  const SQChar* s = nullptr;
  if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) && s) return s;
  return fallback;
}

// ---- sun direction and colours ----

vec4f normalize_sun_dir(vec4f dir)
{
  const float x = v_extract_x(dir), y = v_extract_y(dir), z = v_extract_z(dir);
  const float len = std::sqrt(x * x + y * y + z * z);
  // A corrupt world file or a degenerate camera must not put NaN into
  // every shader: such a direction counts as no direction.
  if (!(len > 0.f) || !std::isfinite(len)) return v_zero();
  return make4f(x / len, y / len, z / len, 0.f);
}

float sun_zenith_degrees(vec4f dir)
{
  // Rounding may leave a unit vector's y a hair outside [-1, 1].
  float y = v_extract_y(dir);
  if (y != y) y = 0.f;
  if (y < -1.f) y = -1.f;
  if (y > 1.f) y = 1.f;
  return std::acos(y) * 57.29577951308232f;
}

void set_sky_sun_constant(float c)
{
  if (std::isfinite(c)) sky_sun_constant = c;
}

vec4f sky_sun_register()
{
  vec4f r = sky_sun_dir;
  r[3] = sky_sun_constant;
  return r;
}

static void set_default_colors(vec4f* out)
{
  for (int i = 0; i < SKY_COLORS; i++)
    out[i] = make4f(sky_default_colors[i][0], sky_default_colors[i][1], sky_default_colors[i][2], 0.f);
}

// container[index] as a held value; a missing entry raises the VM's error.
static SqObject get_entry(HSQUIRRELVM vm, const HSQOBJECT& container, SQInteger index)
{
  StackRestore restore(vm);
  sq_pushobject(vm, container);
  sq_pushinteger(vm, index);
  if (SQ_FAILED(sq_get(vm, -2))) throw SquirrelError(vm);
  return SqObject::fromStack(vm, -1);
}

// The ten colours of get_sky_colors(zenith); throws SquirrelError.
static void call_sky_script(float zenith, vec4f* out)
{
  HSQUIRRELVM vm = sky_script_vm.vm;
  SqObject result;
  {
    StackRestore restore(vm);
    get_sky_colors_func.push();
    sq_pushfloat(vm, zenith);
    sq_reseterror(vm);
    if (SQ_FAILED(sq_call(vm, 2, SQTrue, SQTrue))) {
      // The script's own error says what went wrong; read it before the
      // glue forgets any pending native error (which touches the VM's error).
      std::string text = last_error_text(vm, "get_sky_colors failed");
      call_error(vm, "");
      throw SquirrelError(text.c_str());
    }
    result = SqObject::fromStack(vm, -1);
  }
  for (int i = 0; i < SKY_COLORS; i++) {
    try {
      sq_reseterror(vm);
      SqObject entry = get_entry(vm, result.o, i);
      const float r = get_float_slot(vm, entry.o, 0);
      const float g = get_float_slot(vm, entry.o, 1);
      const float b = get_float_slot(vm, entry.o, 2);
      out[i] = make4f(r, g, b, 0.f);
    } catch (const SquirrelError& e) {
      std::string text = "get_sky_colors: colour " + std::to_string(i) + ": " + e.desc;
      throw SquirrelError(text.c_str());
    }
  }
}

void eval_sky_colors(vec4f dir)
{
  vec4f colors[SKY_COLORS];
  set_default_colors(colors);
  if (sky_script_vm.vm && !get_sky_colors_func.isNull()) {
    try {
      call_sky_script(sun_zenith_degrees(dir), colors);
    } catch (const SquirrelError& e) {
      show_sky_error(e.desc);
      set_default_colors(colors);  // colours read before the error are dropped
    }
  }
  memcpy(sky_colors_target, colors, sizeof(colors));
}

void calc_derived_sky_colors()
{
  const vec4f c0 = sky_registers[0], c1 = sky_registers[1], c2 = sky_registers[2];
  vec4f d10 = v_zero(), d11 = v_zero();
  for (int k = 0; k < 4; k++) {
    d10[k] = c0[k] + c1[k] * std::exp(-c2[k] / 0.2f);
    d11[k] = c0[k] + c1[k] * std::exp(-c2[k]);
  }
  sky_registers[10] = d10;
  sky_registers[11] = d11;
}

// Previous and current colours := target; derived colours.
static void cut_to_target_colors()
{
  memcpy(sky_colors_prev, sky_colors_target, sizeof(sky_colors_target));
  memcpy(sky_registers, sky_colors_target, sizeof(sky_colors_target));
  calc_derived_sky_colors();
}

void set_sun_direction(vec4f dir, bool smooth)
{
  sky_sun_dir_target = normalize_sun_dir(dir);
  eval_sky_colors(sky_sun_dir_target);
  if (smooth) return;  // the frames of the coming tick blend to it
  sky_sun_dir_prev = sky_sun_dir_target;
  sky_sun_dir = sky_sun_dir_target;
  cut_to_target_colors();
}

void save_prev_sky_state(float)
{
  memcpy(sky_colors_prev, sky_colors_target, sizeof(sky_colors_target));
  sky_sun_dir_prev = sky_sun_dir_target;
}

void interpolate_sky(float f)
{
  sky_sun_dir = normalize_sun_dir(v_lerp(sky_sun_dir_prev, sky_sun_dir_target, f));
  for (int i = 0; i < SKY_COLORS; i++) sky_registers[i] = v_lerp(sky_colors_prev[i], sky_colors_target[i], f);
  calc_derived_sky_colors();
}

// ---- the script ----

static void bind_sky_script()
{
  get_sky_colors_func.bindRoot(sky_script_vm.vm, "get_sky_colors");
}

void reload_sky_script_if_changed()
{
  HSQUIRRELVM vm = sky_script_vm.vm;
  if (!vm || !sky_script_vm.filesChanged()) return;
  debug("sky script changed, reloading");
  clear_sky_error();
  sq_reseterror(vm);
  sky_compile_error.clear();
  const bool ran = sky_script_vm.reload(false);
  std::string run_error;
  if (!ran) run_error = !sky_compile_error.empty() ? sky_compile_error : last_error_text(vm, "can't run sky.nut");
  // A file that did not compile replaced nothing: the functions of the last
  // good version are still in the VM and give the sky it had.
  bind_sky_script();
  sky_reloading = true;
  if (!ran) show_sky_error(run_error.c_str());
  eval_sky_colors(sky_sun_dir);
  sky_reloading = false;
  cut_to_target_colors();
}

// ---- start-up and shut-down ----

void init_sky()
{
  sky_sun_dir_target = normalize_sun_dir(make4f(0.f, 1.f, 3.f, 0.f));
  sky_sun_dir_prev = sky_sun_dir_target;
  sky_sun_dir = sky_sun_dir_target;
  sky_sun_constant = (float)std::cos(0.34906584024429321);

  static const VertexElementDesc quad_layout[] = {
    {0, 0, VDECL_FLOAT3, VDECL_POSITION, 0},
    {0, 255, 0, 0, 0},
  };
  sky_decl = get_vertex_decl(quad_layout);
  sky_vb = create_vb(4 * 3 * sizeof(float), 0);
  sky_ib = create_ib(6, VB_STATIC);
  uint16_t* ip = sky_ib ? (uint16_t*)lock_ib(sky_ib, 0, 0) : nullptr;
  ASSERT_AT("sky", __LINE__, ip);
  static const uint16_t quad_indices[6] = {0, 2, 1, 1, 2, 3};
  memcpy(ip, quad_indices, sizeof(quad_indices));
  unlock_ib(sky_ib);
  sky_shader = create_shader("sky.sh", nullptr);

  if (!sky_script_vm.create(1024)) fatal("error creating sky script VM");
  sq_setcompilererrorhandler(sky_script_vm.vm, sky_compile_error_handler);
  if (!sky_script_vm.include(SKY_SCRIPT)) fatal("error in sky script");
  bind_sky_script();

  eval_sky_colors(sky_sun_dir);
  cut_to_target_colors();
}

void close_sky()
{
  get_sky_colors_func.release();
  sky_script_vm.close();
  // The list of files goes with the VM, so that a later init_sky runs
  // "sky.nut" again instead of taking it as already run.
  sky_script_vm.files.clear();
  release_vb(sky_vb);
  release_ib(sky_ib);
  destroy_shader(sky_shader);
  sky_vb = nullptr;
  sky_ib = nullptr;
  sky_shader = nullptr;
  sky_decl = nullptr;
  clear_sky_error();
}

// ---- drawing ----

void render_sky()
{
  if (!sky_vb || !sky_ib || !sky_shader) return;
  float* v = (float*)lock_vb(sky_vb, 0, 0);
  if (!v) return;
  for (int i = 0; i < 4; i++) {
    const float x = (i & 1 ? 10.f : -10.f) * d3d_wd / d3d_ht;
    const float y = i & 2 ? 10.f : -10.f;
    const vec4f p = v_transform(make4f(x, y, 10.f, 1.f), cur_view_itm);
    v[i * 3 + 0] = v_extract_x(p);
    v[i * 3 + 1] = v_extract_y(p);
    v[i * 3 + 2] = v_extract_z(p);
  }
  unlock_vb(sky_vb);

  set_vertex_decl(sky_decl);
  set_vb(0, sky_vb, 0, 3 * sizeof(float));
  set_ib(sky_ib);
  set_shader(sky_shader);
  const vec4f sun = sky_sun_register();
  set_ps_constants(0, (const float*)&sun, 1);
  set_ps_constants(1, (const float*)sky_registers, SKY_REGISTERS);
  draw_indexed(4, 0, 0, 4, 0, 2);
}
