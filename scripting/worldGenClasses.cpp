#include "scripting/worldGenClasses.h"

#include "scripting/sqVec4f.h"
#include "scripting/worldNatives.h"

#include "engine/color.h"
#include "world/heightmapData.h"

#include <cmath>

using namespace sqbind;
using namespace HeightmapData;

// ---- colours ----

uint32_t pack_script_color(vec4f c)
{
  // min before max: a lane that is not a number (0 / 0 of an all-zero weight
  // sum) comes out as 1, not 0.
  vec4f clamped = v_max(v_min(c, v_splat(1.0f)), v_zero());
  return vec4f_to_color(clamped).u;
}

// The colour rule for the value at idx: an integer is taken as packed and
// kept bit for bit; anything else by the vector rule, then packed.
static uint32_t color_arg_packed(HSQUIRRELVM vm, SQInteger idx)
{
  if (sq_gettype(vm, idx) == OT_INTEGER) {
    SQInteger i = 0;
    sq_getinteger(vm, idx, &i);
    return (uint32_t)i;
  }
  return pack_script_color(get_vec4f_arg(vm, idx));
}

// The same, unpacked to (r, g, b, a) in 0..1.
static vec4f color_arg_vec(HSQUIRRELVM vm, SQInteger idx)
{
  if (sq_gettype(vm, idx) == OT_INTEGER) {
    SQInteger i = 0;
    sq_getinteger(vm, idx, &i);
    return color_to_vec4f(D3dColor((uint32_t)i));
  }
  return get_vec4f_arg(vm, idx);
}

static uint32_t with_ground_and_surface(uint32_t bits, SQInteger ground, SQInteger surf)
{
  return (bits & ~0xFFu) | (uint32_t(ground) & 15u) | ((uint32_t(surf) & 15u) << 4);
}

// repaint_land(fn): fn(x, z) returns [colour, ground] or
// [colour, ground, colour2, surface] for every cell, z outer, x inner.
static void repaint_land(HSQUIRRELVM vm, SqObject fn)
{
  if (fn.isNull()) throw SquirrelError("null function in repaint_land");
  SqFunc<SqObject> f;
  f.set(vm, fn);
  RepeatedCall<SqObject> call(f);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++) {
      // The result is read where the call leaves it (the next call drops it).
      call.callLeavingResult(x, z);
      SQInteger top = sq_gettop(vm);
      HSQOBJECT r;
      sq_getstackobj(vm, top, &r);
      if (sq_type(r) != OT_ARRAY) throw SquirrelError("repaint_land: the function must return an array");
      SQInteger n = sq_getsize(vm, top);
      // Two elements, or four; anything else would read missing elements.
      if (n != 2 && n < 4)
        throw SquirrelError("repaint_land: expected [colour, ground] or [colour, ground, colour2, surface]");
      Surface& s = surface[cell_index(x, z)];
      // The usual result, all integers, is read in place; anything else goes
      // through the argument rules below.
      SQInteger v[4] = {0, 0, 0, 0};
      bool integers = true;
      for (SQInteger k = 0; k < (n == 2 ? 2 : 4) && integers; k++) {
        HSQOBJECT e = array_element(r, k);
        integers = sq_type(e) == OT_INTEGER;
        v[k] = integers ? e._unVal.nInteger : 0;
      }
      if (integers) {
        s.color = uint32_t(v[0]);
        s.topColor = uint32_t(v[2]);
        s.bits = with_ground_and_surface(s.bits, v[1], v[3]);
        continue;
      }
      // The stack holds the array, so its elements stay alive while read.
      if (SQ_FAILED(sq_reservestack(vm, 4))) throw SquirrelError(vm);
      for (SQInteger k = 0; k < (n == 2 ? 2 : 4); k++) sq_pushobject(vm, array_element(r, k));
      // Elements now at top + 1 .. top + 2 (or + 4).
      SQInteger ground = 0, surf = 0;
      if (SQ_FAILED(sq_getinteger(vm, top + 2, &ground))) throw_type_error();
      uint32_t color = color_arg_packed(vm, top + 1);
      uint32_t top_color = 0;
      if (n != 2) {
        top_color = color_arg_packed(vm, top + 3);
        if (SQ_FAILED(sq_getinteger(vm, top + 4, &surf))) throw_type_error();
      }
      s.color = color;
      s.topColor = top_color;
      s.bits = with_ground_and_surface(s.bits, ground, surf);
    }
}

// recolor_land4(c0, c1, c2, c3): each cell's colour channels (r, g, b, a) are
// the weights of the four colours.
static void recolor_land4(HSQUIRRELVM vm)
{
  vec4f c[4];
  for (int k = 3; k >= 0; k--) {
    if (sq_gettop(vm) < 2 + k) throw_instance_error();
    c[k] = color_arg_vec(vm, 2 + k);
  }
  for (int i = 0; i < HMAP_CELLS; i++) {
    Surface& s = surface[i];
    vec4f w = color_to_vec4f(D3dColor(s.color));
    vec4f sum = v_add(v_add(v_add(v_mul(v_splat(w[0]), c[0]), v_mul(v_splat(w[1]), c[1])), v_mul(v_splat(w[2]), c[2])),
                      v_mul(v_splat(w[3]), c[3]));
    float total = w[0] + w[1] + w[2] + w[3];
    s.color = pack_script_color(v_div(sum, v_splat(total)));
    s.topColor = 0;
    s.bits = with_ground_and_surface(s.bits, GT_SOIL, ST_NONE);
  }
}

// ---- droplet erosion ----

int SqErosionParams::onPeriod()
{
  if (onPeriodFunc.isNull()) return 1;
  onPeriodFunc();
  return 1;
}

// table[key] of the table at stack index `table`, pushed when present; false
// (and nothing pushed) when the key is missing.
static bool push_key(HSQUIRRELVM vm, SQInteger table, const char* key)
{
  sq_pushstring(vm, key, -1);
  if (SQ_SUCCEEDED(sq_rawget(vm, table))) return true;
  return false;
}

static float read_float_key(HSQUIRRELVM vm, SQInteger table, const char* key, float def)
{
  StackRestore restore(vm);
  if (!push_key(vm, table, key)) return def;
  SQFloat f = 0;
  if (SQ_FAILED(sq_getfloat(vm, -1, &f))) throw_type_error();
  return f;
}

static void read_reaction(HSQUIRRELVM vm, SQInteger entry, HeightmapData::ErosionReaction& r)
{
  if (sq_gettype(vm, entry) != OT_ARRAY || sq_getsize(vm, entry) < 3)
    throw SquirrelError("gen_droplet_erosion: a reaction must be [from, to, rate]");
  for (SQInteger k = 0; k < 3; k++) {
    sq_pushinteger(vm, k);
    if (SQ_FAILED(sq_get(vm, entry))) throw SquirrelError(vm);
  }
  SQFloat rate = 0;
  if (SQ_FAILED(sq_getfloat(vm, -1, &rate))) throw_type_error();
  vec4f to = get_vec4f_arg(vm, -2);
  vec4f from = get_vec4f_arg(vm, -3);
  vec4f change = v_mul(v_splat(rate), v_sub(to, from));
  for (int k = 0; k < 4; k++) {
    r.change[k] = change[k];
    r.exponents[k] = (int32_t)lrintf(from[k]);
  }
}

void read_erosion_params(HSQUIRRELVM vm, SQInteger idx, SqErosionParams& params)
{
  if (idx < 0) idx = sq_gettop(vm) + 1 + idx;
  if (idx > sq_gettop(vm) || sq_gettype(vm, idx) == OT_NULL) return;
  if (sq_gettype(vm, idx) != OT_TABLE) throw_type_error();

  params.Kq = read_float_key(vm, idx, "Kq", params.Kq);
  params.Kr = read_float_key(vm, idx, "Kr", params.Kr);
  params.Kd = read_float_key(vm, idx, "Kd", params.Kd);
  params.Kw = read_float_key(vm, idx, "Kw", params.Kw);
  params.Ki = read_float_key(vm, idx, "Ki", params.Ki);
  params.minSlope = read_float_key(vm, idx, "minSlope", params.minSlope);
  params.g = read_float_key(vm, idx, "g", params.g);
  params.depositBlend = read_float_key(vm, idx, "depositBlend", params.depositBlend);
  params.reactionTime = read_float_key(vm, idx, "reactionTime", params.reactionTime);

  StackRestore restore(vm);
  HSQOBJECT table;
  sq_getstackobj(vm, idx, &table);
  if (push_key(vm, idx, "onPeriod")) {
    sq_poptop(vm);
    params.onPeriodFunc.bind(vm, SqObject(vm, table), "onPeriod");
    // The period only matters with a callback to call.
    if (push_key(vm, idx, "periodStep")) {
      SQInteger step = 0;
      if (SQ_FAILED(sq_getinteger(vm, -1, &step))) throw_type_error();
      params.periodStep = (int32_t)step;
      sq_poptop(vm);
    }
  }
  if (push_key(vm, idx, "reactions")) {
    SQInteger list = sq_gettop(vm);
    if (sq_gettype(vm, list) != OT_ARRAY) throw SquirrelError("gen_droplet_erosion: \"reactions\" must be an array");
    SQInteger n = sq_getsize(vm, list);
    for (SQInteger i = 0; i < n; i++) {
      StackRestore each(vm);
      sq_pushinteger(vm, i);
      if (SQ_FAILED(sq_get(vm, list))) throw SquirrelError(vm);
      HeightmapData::ErosionReaction r;
      read_reaction(vm, sq_gettop(vm), r);
      params.reactions.push_back(r);
    }
  }
}

// gen_droplet_erosion(count, params): count droplets with the parameters of
// the table (or the defaults for null).
static void gen_droplet_erosion(HSQUIRRELVM vm, SQInteger count)
{
  // A negative count would be read as some four billion droplets: hours of
  // erosion for a typing slip.
  if (count < 0) throw SquirrelError("gen_droplet_erosion: droplet count out of range");
  check_script_bound(double(count), SCRIPT_MAX_DROPLETS, "gen_droplet_erosion: droplet count");
  SqErosionParams params;
  read_erosion_params(vm, 3, params);
  HeightmapData::genDropletErosion((unsigned)count, params);
}

void register_land_color_natives(HSQUIRRELVM vm)
{
  bind_function(vm, repaint_land, "repaint_land");
  bind_function(vm, recolor_land4, "recolor_land4");
}

void register_droplet_erosion(HSQUIRRELVM vm) { bind_function(vm, gen_droplet_erosion, "gen_droplet_erosion"); }
