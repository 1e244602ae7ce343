// Shared pieces of the scripting tests: a VM that runs snippets, the doubles
// of the game shell's service of scripting/scriptServices.h and a stand-in
// game object.
#pragma once

#include "scripting/bitMap.h"
#include "scripting/scriptServices.h"
#include "scripting/sqbindCall.h"

#include "gameshell/baseObject.h"

#include <cstdint>
#include <map>
#include <string>

// A game object whose script instance is bound to class "GameObj".
struct TestGameObj : BaseObject
{
  int loadedCalls = 0;
  void push(HSQUIRRELVM vm) override { sq_pushobject(vm, scriptObj.o); }
  void onLoaded() override { loadedCalls++; }
};

// get_gameobj_by_ser_id answers from this table while it is bound.
extern std::map<unsigned, BaseObject*> test_gameobjs;
BaseObject* find_test_gameobj(unsigned id);

// A VM with the standard libraries, closed when the test ends.
struct TestVM
{
  HSQUIRRELVM vm;

  TestVM();
  ~TestVM();
  // Compiles and runs code with the root table as `this`; false on an error.
  bool run(const char* code);
  // The value of a script expression.
  sqbind::SqObject eval(const char* expr);
  SQInteger evalInt(const char* expr);
  bool evalBool(const char* expr);
  // A minimal "BitMap" class and "GameObj" (tagged as BaseObject).
  void bindTestClasses();
  // A game object with serial id, registered for get_gameobj_by_ser_id.
  TestGameObj* newGameObj(unsigned id);

  TestVM(const TestVM&) = delete;
  TestVM& operator=(const TestVM&) = delete;

private:
  std::map<unsigned, TestGameObj*> owned;
};

// Runs fn with standard output captured and returns what it printed.
template <typename Fn>
std::string capture_stdout(Fn fn);

std::string begin_capture_finish(bool begin);

template <typename Fn>
std::string capture_stdout(Fn fn)
{
  begin_capture_finish(true);
  fn();
  return begin_capture_finish(false);
}
