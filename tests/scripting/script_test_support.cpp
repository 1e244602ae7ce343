#include "script_test_support.h"

#include <gtest/gtest.h>

#include <sqstdmath.h>
#include <sqstdstring.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The real BaseObject: the scripting tests link without the game shell.
#include "gameshell/baseObject.cpp"

using namespace sqbind;

// ---- doubles of scripting/scriptServices.h ----

std::map<unsigned, BaseObject*> test_gameobjs;

BaseObject* find_test_gameobj(unsigned id)
{
  auto it = test_gameobjs.find(id);
  return it == test_gameobjs.end() ? nullptr : it->second;
}

BaseObject* (*get_gameobj_by_ser_id)(unsigned serial_id) = find_test_gameobj;

// ---- TestVM ----

TestVM::TestVM()
{
  vm = open_script_vm(1024);
  sq_pushroottable(vm);
  sqstd_register_mathlib(vm);
  sqstd_register_stringlib(vm);
  sq_poptop(vm);
}

TestVM::~TestVM()
{
  for (auto& it : owned) {
    test_gameobjs.erase(it.first);
    delete it.second;
  }
  close_script_vm(vm);
}

bool TestVM::run(const char* code)
{
  StackRestore restore(vm);
  if (!compile_script_buffer(vm, code, (SQInteger)strlen(code), "test")) return false;
  sq_pushroottable(vm);
  return SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
}

SqObject TestVM::eval(const char* expr)
{
  StackRestore restore(vm);
  std::string code = std::string("return (") + expr + ");";
  EXPECT_TRUE(compile_script_buffer(vm, code.c_str(), (SQInteger)code.size(), "eval")) << expr;
  sq_pushroottable(vm);
  EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQTrue, SQTrue))) << expr;
  return SqObject::fromStack(vm, -1);
}

SQInteger TestVM::evalInt(const char* expr)
{
  SqObject v = eval(expr);
  EXPECT_TRUE(sq_isinteger(v.o)) << expr;
  return sq_objtointeger(&v.o);
}

bool TestVM::evalBool(const char* expr)
{
  SqObject v = eval(expr);
  return sq_objtobool(&v.o) != 0;
}

static void bitmap_ctor(HSQUIRRELVM vm, int fill)
{
  BitMap* m = new_bitmap();
  memset(m->bits, fill ? 0xFF : 0, sizeof(m->bits));
  init_native_instance(m, vm);
}

static bool bitmap_get(BitMap* m, int x, int z) { return m->test(x, z); }
static void bitmap_set(BitMap* m, int x, int z, bool on) { m->put(x, z, on); }

void TestVM::bindTestClasses()
{
  ClassDef<BitMap>(vm, "BitMap").ctor(bitmap_ctor);
  bind_function(vm, bitmap_get, "bitmap_get");
  bind_function(vm, bitmap_set, "bitmap_set");
  ClassDef<BaseObject>(vm, "GameObj");
}

TestGameObj* TestVM::newGameObj(unsigned id)
{
  TestGameObj* obj = new TestGameObj;
  obj->serialId = id;
  push_instance(vm, obj, class_tag<BaseObject>(), "GameObj", nullptr);
  obj->scriptObj = SqObject::fromStack(vm, -1);
  sq_poptop(vm);
  owned[id] = obj;
  test_gameobjs[id] = obj;
  return obj;
}

std::string begin_capture_finish(bool begin)
{
  fflush(stdout);
  if (begin) {
    testing::internal::CaptureStdout();
    return std::string();
  }
  return testing::internal::GetCapturedStdout();
}
