// Calls across the script boundary: through the sqbind glue and through the
// raw Squirrel API, side by side. Script-to-native runs a script loop of
// 1,000 calls per iteration; native-to-script makes one call per iteration.
#include <benchmark/benchmark.h>

#include "scripting/sqbindCall.h"

#include <cstring>

using namespace sqbind;

namespace
{

int add_glue(int a, int b) { return a + b; }

SQInteger add_raw(HSQUIRRELVM vm)
{
  SQInteger a = 0, b = 0;
  sq_getinteger(vm, 2, &a);
  sq_getinteger(vm, 3, &b);
  sq_pushinteger(vm, a + b);
  return 1;
}

const char* const k_script =
  "function loop_glue(n) { local s = 0; for (local i = 0; i < n; i++) s = add_glue(s, 1); return s; }\n"
  "function loop_raw(n) { local s = 0; for (local i = 0; i < n; i++) s = add_raw(s, 1); return s; }\n"
  "function add(a, b) { return a + b; }\n";

struct BenchVM
{
  HSQUIRRELVM vm;
  BenchVM()
  {
    vm = open_script_vm(1024);
    bind_function(vm, add_glue, "add_glue");
    sq_pushroottable(vm);
    sq_pushstring(vm, "add_raw", -1);
    sq_newclosure(vm, add_raw, 0);
    sq_newslot(vm, -3, SQFalse);
    sq_poptop(vm);
    compile_script_buffer(vm, k_script, (SQInteger)strlen(k_script), "bench");
    sq_pushroottable(vm);
    sq_call(vm, 1, SQFalse, SQTrue);
    sq_poptop(vm);
  }
  ~BenchVM() { close_script_vm(vm); }
};

void script_loop(benchmark::State& state, const char* name)
{
  BenchVM b;
  SqFunc<int> loop;
  loop.bindRoot(b.vm, name);
  for (auto _ : state) benchmark::DoNotOptimize(loop(1000));
  state.SetItemsProcessed(state.iterations() * 1000);
  loop.release();
}

void BM_ScriptToNative_Glue(benchmark::State& state) { script_loop(state, "loop_glue"); }
void BM_ScriptToNative_Raw(benchmark::State& state) { script_loop(state, "loop_raw"); }

void BM_NativeToScript_Glue(benchmark::State& state)
{
  BenchVM b;
  SqFunc<int> add;
  add.bindRoot(b.vm, "add");
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(add(i++, 1));
  state.SetItemsProcessed(state.iterations());
  add.release();
}

void BM_NativeToScript_Raw(benchmark::State& state)
{
  BenchVM b;
  HSQOBJECT fn;
  sq_pushroottable(b.vm);
  sq_pushstring(b.vm, "add", -1);
  sq_get(b.vm, -2);
  sq_getstackobj(b.vm, -1, &fn);
  sq_addref(b.vm, &fn);
  sq_pop(b.vm, 2);
  SQInteger i = 0;
  for (auto _ : state) {
    SQInteger top = sq_gettop(b.vm);
    sq_pushobject(b.vm, fn);
    sq_pushroottable(b.vm);
    sq_pushinteger(b.vm, i++);
    sq_pushinteger(b.vm, 1);
    SQInteger r = 0;
    if (SQ_SUCCEEDED(sq_call(b.vm, 3, SQTrue, SQTrue))) sq_getinteger(b.vm, -1, &r);
    sq_settop(b.vm, top);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations());
  sq_release(b.vm, &fn);
}

}  // namespace

BENCHMARK(BM_ScriptToNative_Glue);
BENCHMARK(BM_ScriptToNative_Raw);
BENCHMARK(BM_NativeToScript_Glue);
BENCHMARK(BM_NativeToScript_Raw);
