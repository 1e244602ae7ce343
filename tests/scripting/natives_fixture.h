// A script VM with the world script's native library registered in the world
// VM's order (ramp classes, HmapMask, recolor_by_height, vec4f with the random
// and colour natives, the terrain natives, the constants), and helpers that
// run snippets and read their results or their error texts. The VM is also
// what get_world_script_vm returns while the fixture lives.
//
// terrain_natives_test.cpp defines, once for test_scripting, the doubles of
// scripting/worldNativesServices.h declared below and compiles in the world
// grid's doubles (tests/world/world_services_doubles.cpp).
#pragma once

#include "script_test_support.h"

#include "scripting/hmapMask.h"
#include "scripting/rampClasses.h"
#include "scripting/sqVec4f.h"
#include "scripting/terrainNatives.h"
#include "scripting/worldNatives.h"

#include "engine/random.h"
#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// ---- doubles of scripting/worldNativesServices.h ----
namespace natives_doubles
{
struct SunCall
{
  vec4f dir;
  bool smooth;
};
extern std::vector<SunCall> sun_calls;
extern std::vector<std::string> sound_events;
extern unsigned sound_channel;  // what play_sound_event answers
extern float land_height;       // what the bound get_land_height answers
extern int land_height_calls;
// Clears the records and binds get_land_height (unbind with bind_land_height(false)).
void reset();
void bind_land_height(bool bound);
}  // namespace natives_doubles

struct NativesVM : TestVM
{
  NativesVM()
  {
    register_ramp_classes(vm);
    register_hmap_mask(vm);
    register_recolor_by_height(vm);
    register_vec4f_random_color_natives(vm);
    register_terrain_natives(vm);
    register_world_constants(vm);
  }

  float evalFloat(const char* expr)
  {
    sqbind::SqObject v = eval(expr);
    EXPECT_TRUE(sq_isnumeric(v.o)) << expr;
    return sq_objtofloat(&v.o);
  }

  vec4f evalVec(const char* expr)
  {
    sqbind::StackRestore restore(vm);
    sqbind::SqObject v = eval(expr);
    sq_pushobject(vm, v.o);
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(vm, -1, &p, sqbind::class_tag<SqVec4f>())) || !p) {
      ADD_FAILURE() << expr << " is no vec4f";
      return v_zero();
    }
    return ((SqVec4f*)p)->v;
  }

  // An integer exactly, a float as the script holds it.
  double evalNumber(const char* expr)
  {
    sqbind::SqObject v = eval(expr);
    EXPECT_TRUE(sq_isnumeric(v.o)) << expr;
    return sq_isinteger(v.o) ? double(sq_objtointeger(&v.o)) : double(sq_objtofloat(&v.o));
  }

  // The native mask of a script expression's value (null for anything else);
  // the fixture keeps the instance, and with it the mask, alive.
  HmapMask* evalMask(const char* expr)
  {
    sqbind::StackRestore restore(vm);
    held.push_back(eval(expr));
    sq_pushobject(vm, held.back().o);
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(vm, -1, &p, sqbind::class_tag<HmapMask>()))) return nullptr;
    return (HmapMask*)p;
  }

  // Runs statements inside a script try block: the error's text, or "" when
  // they ran through.
  std::string errorOf(const char* statements)
  {
    std::string code = std::string("::__err <- \"\"; try { ") + statements + "; } catch (e) { ::__err = e; }";
    EXPECT_TRUE(run(code.c_str())) << statements;
    sqbind::SqObject e = eval("::__err");
    const SQChar* s = sq_isstring(e.o) ? sq_objtostring(&e.o) : "(not a string)";
    return s;
  }

  ~NativesVM() { held.clear(); }  // before the VM closes

private:
  std::vector<sqbind::SqObject> held;
};

// The generator state after n steps from s.
inline uint64_t stepped_seed(uint64_t s, int n)
{
  for (int i = 0; i < n; i++) s = s * 6364136223846793005ULL + 1442695040888963407ULL;
  return s;
}

inline void expect_vec_near(vec4f got, float x, float y, float z, float w, float tol, const char* what)
{
  EXPECT_NEAR(got[0], x, tol) << what;
  EXPECT_NEAR(got[1], y, tol) << what;
  EXPECT_NEAR(got[2], z, tol) << what;
  EXPECT_NEAR(got[3], w, tol) << what;
}
