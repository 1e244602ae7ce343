#include "scripting/sqbind.h"

#include "scripting/sqbindCall.h"
#include "scripting/baseLibGuards.h"
#include "scripting/scriptHeap.h"

#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/streams.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace sqbind
{

// ---- SquirrelError ----

void SquirrelError::setText(const char* text)
{
  if (!text) text = "unknown error";
  owned = strdup(text);
  desc = owned ? owned : "out of memory";
}

SquirrelError::SquirrelError(const char* text) : desc(nullptr), owned(nullptr) { setText(text); }

SquirrelError::SquirrelError(HSQUIRRELVM vm) : desc(nullptr), owned(nullptr)
{
  if (!vm) {
    setText("unknown error");
    return;
  }
  // The text is copied, so the error value need not stay on the stack.
  StackRestore restore(vm);
  sq_getlasterror(vm);
  const SQChar* s = nullptr;
  if (sq_gettype(vm, -1) != OT_STRING || SQ_FAILED(sq_getstring(vm, -1, &s))) s = "unknown error";
  setText(s);
}

SquirrelError::SquirrelError(const SquirrelError& other) : desc(nullptr), owned(nullptr) { setText(other.desc); }

SquirrelError& SquirrelError::operator=(const SquirrelError& other)
{
  if (this != &other) {
    char* old = owned;
    setText(other.desc);
    free(old);
  }
  return *this;
}

SquirrelError::~SquirrelError() { free(owned); }

// ---- SqObject ----

SqObject::SqObject(HSQUIRRELVM v, const HSQOBJECT& obj) : o(obj), vm(v)
{
  if (vm) sq_addref(vm, &o);
}

SqObject::SqObject(const SqObject& other) : o(other.o), vm(other.vm)
{
  if (vm) sq_addref(vm, &o);
}

SqObject& SqObject::operator=(const SqObject& other)
{
  if (this != &other) {
    // Take the new reference first: other may be held only through this.
    HSQOBJECT no = other.o;
    HSQUIRRELVM nvm = other.vm;
    if (nvm) sq_addref(nvm, &no);
    reset();
    o = no;
    vm = nvm;
  }
  return *this;
}

SqObject& SqObject::operator=(SqObject&& other) noexcept
{
  if (this != &other) {
    reset();
    o = other.o;
    vm = other.vm;
    sq_resetobject(&other.o);
    other.vm = nullptr;
  }
  return *this;
}

void SqObject::reset()
{
  if (vm) sq_release(vm, &o);
  sq_resetobject(&o);
  vm = nullptr;
}

SqObject SqObject::fromStack(HSQUIRRELVM v, SQInteger idx)
{
  SQInteger top = sq_gettop(v);
  if (idx == 0 || (idx > 0 ? idx > top : -idx > top)) throw_type_error();
  HSQOBJECT obj;
  if (SQ_FAILED(sq_getstackobj(v, idx, &obj))) throw_type_error();
  return SqObject(v, obj);
}

SqObject SqObject::popResult(HSQUIRRELVM v)
{
  SqObject r = fromStack(v, -1);
  sq_pop(v, 2);
  return r;
}

void SqObject::setWeakRef(HSQUIRRELVM v, const HSQOBJECT& value)
{
  StackRestore restore(v);
  sq_pushobject(v, value);
  if (!sq_isweakref(value)) sq_weakref(v, -1);  // pushes the value itself when it cannot be weak
  HSQOBJECT w;
  sq_getstackobj(v, -1, &w);
  *this = SqObject(v, w);
}

// ---- errors ----

static char pending_error_key;  // its address keys the registry slot

// A failed call into a VM has had its error reported where it arose (call
// stack and locals). A native that passes that failure on raises the same
// text in its caller's frame; the runtime error reporter stays quiet for it,
// so a nested failure prints one call stack, not one per level.
static std::string reported_failure;  // the text of the last failed call
static std::string passing_on;        // raised again by a native just now

void throw_type_error() { throw SquirrelError("sq_get*() failed (type error)"); }
void throw_instance_error() { throw SquirrelError("getInst: invalid argument type"); }

SQInteger raise_native_error(HSQUIRRELVM vm, const char* text)
{
  if (!text) text = "unknown error";
  if (!reported_failure.empty() && reported_failure == text) passing_on = text;
  else passing_on.clear();
  reported_failure.clear();
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, &pending_error_key);
  sq_pushstring(vm, text, -1);
  sq_rawset(vm, -3);
  sq_poptop(vm);
  return sq_throwerror(vm, text);
}

SQInteger raise_current_exception(HSQUIRRELVM vm)
{
  try {
    throw;
  } catch (const SquirrelError& e) {
    return raise_native_error(vm, e.desc);
  } catch (const StreamIOException& e) {
    return raise_native_error(vm, e.message);
  } catch (const std::exception& e) {
    return raise_native_error(vm, e.what());
  } catch (...) {
    return raise_native_error(vm, "unknown native exception");
  }
}

SquirrelError call_error(HSQUIRRELVM vm, const char* fallback)
{
  StackRestore restore(vm);
  sq_getlasterror(vm);
  const SQChar* last = nullptr;
  if (sq_gettype(vm, -1) != OT_STRING || SQ_FAILED(sq_getstring(vm, -1, &last))) return SquirrelError(fallback);
  // The script's own error or a native's: either way the innermost cause.
  SquirrelError err(last);
  reported_failure = last;
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, &pending_error_key);
  if (SQ_FAILED(sq_rawget(vm, -2))) {
    // The failed look-up replaced the VM's last error; put the script's back.
    sq_throwerror(vm, err.desc);
    return err;
  }
  const SQChar* pending = nullptr;
  if (sq_gettype(vm, -1) == OT_STRING && SQ_SUCCEEDED(sq_getstring(vm, -1, &pending)) && strcmp(pending, last) == 0) {
    sq_poptop(vm);
    sq_pushuserpointer(vm, &pending_error_key);
    sq_rawdeleteslot(vm, -2, SQFalse);
  }
  return err;
}

// ---- classes and instances ----

SqObject create_class(HSQUIRRELVM vm, const char* name, const char* base_name, SQUserPointer type_tag)
{
  SQInteger top = sq_gettop(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushstring(vm, name, -1);
  if (SQ_FAILED(sq_get(vm, -3))) {
    // root, name
    if (base_name) {
      sq_pushstring(vm, base_name, -1);
      if (SQ_FAILED(sq_get(vm, -3))) fatal("no base class '%s' bound for '%s'", base_name, name);
    }
    if (SQ_FAILED(sq_newclass(vm, base_name ? SQTrue : SQFalse))) {
      sq_pop(vm, 2);
      fatal("can't create class '%s'", name);
    }
  }
  // root, name, class
  HSQOBJECT cls;
  sq_getstackobj(vm, -1, &cls);
  SqObject result(vm, cls);
  if (SQ_FAILED(sq_settypetag(vm, -1, type_tag))) {
    sq_pop(vm, 3);
    fatal("can't set type tag for class '%s'", name);
  }
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse))) {
    sq_poptop(vm);
    fatal("can't register class '%s' in root table", name);
  }
  sq_poptop(vm);
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, type_tag);
  sq_pushobject(vm, cls);
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse))) {
    sq_poptop(vm);
    fatal("can't register class '%s' in registry table", name);
  }
  sq_poptop(vm);
  sq_settop(vm, top);
  return result;
}

bool init_instance(void* native_ptr, HSQUIRRELVM vm, SQRELEASEHOOK hook)
{
  if (SQ_FAILED(sq_setinstanceup(vm, 1, native_ptr))) {
    debug("failed to init scripted object %p", native_ptr);
    throw SquirrelError("can't set scripted instance user pointer");
  }
  if (hook) sq_setreleasehook(vm, 1, hook);
  return true;
}

bool push_instance(HSQUIRRELVM vm, void* native_ptr, SQUserPointer type_tag, const char* class_name,
                   SQRELEASEHOOK hook)
{
  if (!native_ptr) {
    sq_pushnull(vm);
    return true;
  }
  SQInteger top = sq_gettop(vm);
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, type_tag);
  if (SQ_FAILED(sq_rawget(vm, -2))) {
    sq_settop(vm, top);
    debug("failed to create %s", class_name);
    throw SquirrelError("can't get script class");
  }
  sq_remove(vm, -2);
  if (SQ_FAILED(sq_createinstance(vm, -1))) {
    sq_settop(vm, top);
    debug("failed to create %s", class_name);
    throw SquirrelError("can't create script instance");
  }
  sq_remove(vm, -2);
  if (SQ_FAILED(sq_setinstanceup(vm, -1, native_ptr))) {
    sq_settop(vm, top);
    debug("failed to create %s", class_name);
    throw SquirrelError("can't set instance user pointer");
  }
  if (hook) sq_setreleasehook(vm, -1, hook);
  return true;
}

void* get_instance_arg(HSQUIRRELVM vm, SQInteger idx, SQUserPointer type_tag, bool nullable)
{
  SQObjectType t = sq_gettype(vm, idx);
  if (t == OT_NULL) {
    if (nullable) return nullptr;
    throw_instance_error();
  }
  SQUserPointer p = nullptr;
  if (t != OT_INSTANCE || SQ_FAILED(sq_getinstanceup(vm, idx, &p, type_tag)) || !p) throw_instance_error();
  return p;
}

// ---- slot readers ----

// Pushes container[key] (the key is on the stack top, the container below it
// once pushed); throws the VM's last error when the slot is missing.
static void get_slot_or_throw(HSQUIRRELVM vm)
{
  if (SQ_FAILED(sq_get(vm, -2))) throw SquirrelError(vm);
}

float get_float_slot(HSQUIRRELVM vm, const HSQOBJECT& container, SQInteger index)
{
  StackRestore restore(vm);
  sq_pushobject(vm, container);
  sq_pushinteger(vm, index);
  get_slot_or_throw(vm);
  SQFloat f;
  if (SQ_FAILED(sq_getfloat(vm, -1, &f))) throw_type_error();
  return f;
}

int get_int_slot(HSQUIRRELVM vm, const HSQOBJECT& container, SQInteger index)
{
  StackRestore restore(vm);
  sq_pushobject(vm, container);
  sq_pushinteger(vm, index);
  get_slot_or_throw(vm);
  SQInteger i;
  if (SQ_FAILED(sq_getinteger(vm, -1, &i))) throw_type_error();
  return (int)i;
}

SqObject get_slot(HSQUIRRELVM vm, const HSQOBJECT& container, const char* key)
{
  StackRestore restore(vm);
  sq_pushobject(vm, container);
  sq_pushstring(vm, key, -1);
  if (SQ_FAILED(sq_get(vm, -2))) {
    debug("getSlot '%s' failed", key);
    throw SquirrelError(vm);
  }
  return SqObject::fromStack(vm, -1);
}

int get_int_slot(HSQUIRRELVM vm, const HSQOBJECT& container, const char* key)
{
  SqObject v = get_slot(vm, container, key);
  if (!sq_isnumeric(v.o)) throw_type_error();
  return (int)sq_objtointeger(&v.o);
}

void push_global(HSQUIRRELVM vm, const char* name)
{
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  if (SQ_FAILED(sq_get(vm, -2))) {
    sq_poptop(vm);
    debug("getGlobal '%s' failed", name);
    throw SquirrelError(vm);
  }
}

void register_int_constant(HSQUIRRELVM vm, const char* name, SQInteger value)
{
  sq_pushconsttable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushinteger(vm, value);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
}

// ---- registration helpers ----

void push_class_object(HSQUIRRELVM vm, const SqObject& class_obj)
{
  sq_pushobject(vm, class_obj.o);
  if (sq_isweakref(class_obj.o)) {
    sq_getweakrefval(vm, -1);
    sq_remove(vm, -2);
  }
}

void new_native_slot(HSQUIRRELVM vm, SQFUNCTION fn, const char* name)
{
  // container, free variable
  sq_newclosure(vm, fn, 1);
  sq_setnativeclosurename(vm, -1, name);
  sq_pushstring(vm, name, -1);
  sq_push(vm, -2);
  sq_remove(vm, -3);
  // container, name, closure
  SQRESULT res = sq_newslot(vm, -3, SQFalse);
  ASSERT(SQ_SUCCEEDED(res));
}

// ---- SqFunc's non-template half ----

void bind_func_handle(HSQUIRRELVM vm, const HSQOBJECT& environment, const char* name, SqObject& env,
                      SqObject& func)
{
  StackRestore restore(vm);
  env.setWeakRef(vm, environment);
  sq_pushobject(vm, environment);
  if (sq_isweakref(environment)) {
    sq_getweakrefval(vm, -1);
    sq_remove(vm, -2);
  }
  sq_pushstring(vm, name, -1);
  if (SQ_SUCCEEDED(sq_get(vm, -2))) func = SqObject::fromStack(vm, -1);
}

bool func_handle_null(const SqObject& env, const SqObject& func)
{
  if (func.isNull() || !sq_isweakref(env.o)) return true;
  return sq_isnull(weakref_target(env.o));
}

HSQOBJECT func_handle_environment(HSQUIRRELVM vm, const SqObject& env)
{
  if (!vm) throw SquirrelError("SqFunc<> call failed");
  HSQOBJECT target = weakref_target(env.o);
  if (sq_isnull(target)) throw SquirrelError("SqFunc: can't deref weakptr to object");
  return target;
}

void push_func_handle(HSQUIRRELVM vm, const SqObject& env, const SqObject& func)
{
  HSQOBJECT target = func_handle_environment(vm, env);
  sq_pushobject(vm, func.o);
  sq_pushobject(vm, target);
}

void call_func_handle(HSQUIRRELVM vm, SQInteger nparams)
{
  // Some failures (calling a value that is no function) raise no error at all:
  // an old error text must not pass for this call's.
  sq_reseterror(vm);
  script_heap_enter(vm);
  reported_failure.clear();
  if (SQ_FAILED(sq_call(vm, nparams, SQTrue, SQTrue))) throw call_error(vm, "SqFunc<> call failed");
}

}  // namespace sqbind

using namespace sqbind;

// ---- VMs ----

void script_print_func(HSQUIRRELVM, const SQChar* fmt, ...)
{
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
  fflush(stdout);
}

// How a script's source name is shown: "bin/" and its path from the
// program's folder (the program lives in bin/), a path elsewhere as it is.
static std::string shown_source(const SQChar* source)
{
  if (!source) return "bin/unknown";
  size_t n = strlen(app_path);
  if (n && strncmp(source, app_path, n) == 0) return std::string("bin/") + (source + n);
  if (source[0] == '/') return source;
  return std::string("bin/") + source;
}

void print_compile_error(HSQUIRRELVM vm, const SQChar* desc, const SQChar* source, SQInteger line, SQInteger column)
{
  SQPRINTFUNCTION pf = sq_getprintfunc(vm);
  if (pf) pf(vm, "%s(%d,%d): error: %s\n", shown_source(source).c_str(), (int)line, (int)column, desc);
}

// Prints one local variable (on the stack top) of the failing call.
static void print_local(HSQUIRRELVM vm, SQPRINTFUNCTION pf, const SQChar* name)
{
  switch (sq_gettype(vm, -1)) {
    case OT_NULL: pf(vm, "[%s] NULL\n", name); break;
    case OT_INTEGER: {
      SQInteger i = 0;
      sq_getinteger(vm, -1, &i);
      pf(vm, "[%s] %lld\n", name, (long long)i);
      break;
    }
    case OT_FLOAT: {
      SQFloat f = 0;
      sq_getfloat(vm, -1, &f);
      pf(vm, "[%s] %.14g\n", name, (double)f);
      break;
    }
    case OT_BOOL: {
      SQBool b = SQFalse;
      sq_getbool(vm, -1, &b);
      pf(vm, "[%s] %s\n", name, b ? "true" : "false");
      break;
    }
    case OT_STRING: {
      const SQChar* s = nullptr;
      sq_getstring(vm, -1, &s);
      pf(vm, "[%s] \"%s\"\n", name, s);
      break;
    }
    case OT_USERPOINTER: pf(vm, "[%s] USERPOINTER\n", name); break;
    case OT_TABLE: pf(vm, "[%s] TABLE\n", name); break;
    case OT_ARRAY: pf(vm, "[%s] ARRAY\n", name); break;
    case OT_CLOSURE: pf(vm, "[%s] CLOSURE\n", name); break;
    case OT_NATIVECLOSURE: pf(vm, "[%s] NATIVECLOSURE\n", name); break;
    case OT_GENERATOR: pf(vm, "[%s] GENERATOR\n", name); break;
    case OT_USERDATA: pf(vm, "[%s] USERDATA\n", name); break;
    case OT_THREAD: pf(vm, "[%s] THREAD\n", name); break;
    case OT_CLASS: pf(vm, "[%s] CLASS\n", name); break;
    case OT_INSTANCE: pf(vm, "[%s] INSTANCE\n", name); break;
    case OT_WEAKREF: pf(vm, "[%s] WEAKREF\n", name); break;
    default: ASSERT(!"unexpected local type");
  }
}

SQInteger print_script_error(HSQUIRRELVM vm)
{
  SQPRINTFUNCTION pf = sq_getprintfunc(vm);
  if (!pf || sq_gettop(vm) < 1) return 0;
  const SQChar* error = "unknown";
  if (sq_gettop(vm) >= 2 && sq_gettype(vm, 2) == OT_STRING) sq_getstring(vm, 2, &error);
  // A failure a native passes on was reported where it arose.
  bool quiet = !passing_on.empty() && passing_on == error;
  passing_on.clear();
  if (quiet) return 0;

  pf(vm, "\nCALLSTACK\n");
  SQStackInfos si;
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(vm, level, &si)); level++) {
    std::string source = shown_source(si.source ? si.source : "unknown");
    const SQChar* func = si.funcname ? si.funcname : "unknown";
    if (level == 1)
      pf(vm, "%s(%d): ERROR: %s (in %s())\n", source.c_str(), (int)si.line, error, func);
    else
      pf(vm, "%s(%d): function %s() (CALLSTACK)\n", source.c_str(), (int)si.line, func);
  }

  pf(vm, "\nLOCALS\n");
  for (SQUnsignedInteger level = 0; level < 20; level++) {
    for (SQUnsignedInteger seq = 0;; seq++) {
      const SQChar* name = sq_getlocal(vm, level, seq);
      if (!name) break;
      print_local(vm, pf, name);
      sq_poptop(vm);
    }
  }
  return 0;
}

void set_script_error_handlers(HSQUIRRELVM vm)
{
  sq_setcompilererrorhandler(vm, print_compile_error);
  sq_newclosure(vm, print_script_error, 0);
  sq_seterrorhandler(vm);
}

HSQUIRRELVM open_script_vm(SQInteger initial_stack_size)
{
  HSQUIRRELVM vm = sq_open(initial_stack_size);
  if (!vm) return nullptr;
  script_heap_attach(vm);
  guard_base_library(vm);
  sq_setprintfunc(vm, script_print_func, script_print_func);
  set_script_error_handlers(vm);
  return vm;
}

void close_script_vm(HSQUIRRELVM vm)
{
  if (!vm) return;
  sq_collectgarbage(vm);
  script_heap_detach(vm);
  sq_close(vm);
}

bool compile_script_buffer(HSQUIRRELVM vm, const char* buffer, SQInteger size, const char* source_name)
{
  script_heap_enter(vm);
  return SQ_SUCCEEDED(sq_compilebuffer(vm, buffer, size, source_name, SQTrue));
}

bool compile_script_file(HSQUIRRELVM vm, const char* path)
{
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  if (size < 0 || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return false;
  }
  char* buffer = (char*)malloc(size_t(size) + 1);
  if (!buffer) {
    fclose(f);
    return false;
  }
  size_t got = fread(buffer, 1, size_t(size), f);
  fclose(f);
  bool ok = false;
  if (got == size_t(size)) ok = compile_script_buffer(vm, buffer, (SQInteger)size, path);
  free(buffer);
  return ok;
}

bool run_script_file(HSQUIRRELVM vm, const char* path)
{
  StackRestore restore(vm);
  if (!compile_script_file(vm, path)) return false;
  sq_pushroottable(vm);
  script_heap_enter(vm);
  return SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
}
