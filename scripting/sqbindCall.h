// sqbind glue: binds native functions, methods, static functions and
// constructors as Squirrel native closures, and calls script functions from
// native code (SqFunc).
//
// Each bound native gets a dispatcher instantiated for its signature. Script
// arguments are the stack slots 2, 3, ... (slot 1 is `this`), fetched from the
// last to the first and converted by the native parameter's type:
//   integers          a number (a float is truncated toward zero); types of 32
//                     bits or less take the low 32 bits of the script integer
//   float, double     a number
//   bool              any value by its truth
//   const char*       a string, valid during the call only
//   SqObject          any value, held for the call
//   T*  (T a class)   null, or an instance of the class bound for T (or of a
//                     subclass); T& and const T& refuse null
//   vec4f, const vec4f&  a vec4f instance (not null)
//   HSQUIRRELVM       the calling VM; takes no script argument
// Wrong values raise "sq_get*() failed (type error)" or "getInst: invalid
// argument type". Results: integers (32-bit ones sign-extended), floats, bools,
// strings, SqObject, vec4f (a new instance) and T* of a bound class (a new
// instance that owns the object: the script frees it; null pushes null).
//
// Script-owned native objects live on the program's heap (malloc) and are
// plain data: the release hook frees their memory and runs no destructor.
// Errors follow the rule of sqbind.h: dispatchers never let an exception into
// the VM, SqFunc rethrows the pending native error. Main thread only.
#pragma once

#include "scripting/sqbind.h"

#include "engine/debug.h"
#include "engine/vec4f.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>

// The native side of script "vec4f" instances (sqVec4f.h).
struct SqVec4f;

namespace sqbind
{

// ---- shared pieces (sqbind.cpp) ----

[[noreturn]] void throw_type_error();
[[noreturn]] void throw_instance_error();
// The native pointer of the instance at idx for type_tag; null for a null
// value when nullable, else throws "getInst: invalid argument type".
void* get_instance_arg(HSQUIRRELVM vm, SQInteger idx, SQUserPointer type_tag, bool nullable);
// Pushes a new "vec4f" instance owning a copy of v (sqVec4f.cpp).
void push_vec4f(HSQUIRRELVM vm, const vec4f& v);
// SqFunc's non-template half.
void bind_func_handle(HSQUIRRELVM vm, const HSQOBJECT& environment, const char* name, SqObject& env,
                      SqObject& func);
bool func_handle_null(const SqObject& env, const SqObject& func);
void push_func_handle(HSQUIRRELVM vm, const SqObject& env, const SqObject& func);
// The live target of a handle's environment; throws as push_func_handle does.
HSQOBJECT func_handle_environment(HSQUIRRELVM vm, const SqObject& env);
void call_func_handle(HSQUIRRELVM vm, SQInteger nparams);
// Pushes the root table and name[...]; on a missing global logs
// "getGlobal '%s' failed" and throws the VM's last error.
void push_global(HSQUIRRELVM vm, const char* name);

// The release hook of script-owned objects.
template <typename T>
SQInteger release_native(SQUserPointer p, SQInteger)
{
  if (p) free(p);
  return 0;
}

// The script class name of bound type T, for messages; set by ClassDef.
template <typename T>
inline const char* bound_class_name = "?";

template <typename T>
struct AlwaysFalse : std::false_type
{
};

// ---- pushing values ----

template <typename T>
inline std::enable_if_t<std::is_integral<T>::value && !std::is_same<T, bool>::value> push_value(HSQUIRRELVM vm,
                                                                                                  T value)
{
  if (sizeof(T) <= 4)
    sq_pushinteger(vm, (SQInteger)(int32_t)value);
  else
    sq_pushinteger(vm, (SQInteger)value);
}
template <typename T>
inline std::enable_if_t<std::is_floating_point<T>::value> push_value(HSQUIRRELVM vm, T value)
{
  sq_pushfloat(vm, (SQFloat)value);
}
inline void push_value(HSQUIRRELVM vm, bool value) { sq_pushbool(vm, value ? SQTrue : SQFalse); }
inline void push_value(HSQUIRRELVM vm, const char* s)
{
  if (s)
    sq_pushstring(vm, s, -1);
  else
    sq_pushnull(vm);
}
inline void push_value(HSQUIRRELVM vm, const SqObject& obj) { sq_pushobject(vm, obj.o); }
inline void push_value(HSQUIRRELVM vm, const vec4f& v) { push_vec4f(vm, v); }
// A new instance of T's class that owns the object.
template <typename T>
inline std::enable_if_t<std::is_class<T>::value> push_value(HSQUIRRELVM vm, T* obj)
{
  push_instance(vm, (void*)obj, class_tag<T>(), bound_class_name<T>, release_native<T>);
}

// ---- reading arguments ----

template <typename A, typename Enable = void>
struct ArgReader
{
  static_assert(AlwaysFalse<A>::value, "no script conversion for this native parameter type");
};

inline bool arg_missing(HSQUIRRELVM vm, SQInteger idx) { return idx > sq_gettop(vm); }

template <typename A>
struct ArgReader<A, std::enable_if_t<std::is_integral<A>::value && !std::is_same<A, bool>::value>>
{
  static constexpr bool consumes = true;
  typedef A Held;
  static A read(HSQUIRRELVM vm, SQInteger idx)
  {
    SQInteger i;
    if (arg_missing(vm, idx) || SQ_FAILED(sq_getinteger(vm, idx, &i))) throw_type_error();
    return (A)i;
  }
  static A get(A h) { return h; }
};

template <typename A>
struct ArgReader<A, std::enable_if_t<std::is_floating_point<A>::value>>
{
  static constexpr bool consumes = true;
  typedef A Held;
  static A read(HSQUIRRELVM vm, SQInteger idx)
  {
    SQFloat f;
    if (arg_missing(vm, idx) || SQ_FAILED(sq_getfloat(vm, idx, &f))) throw_type_error();
    return (A)f;
  }
  static A get(A h) { return h; }
};

template <>
struct ArgReader<bool>
{
  static constexpr bool consumes = true;
  typedef bool Held;
  static bool read(HSQUIRRELVM vm, SQInteger idx)
  {
    if (arg_missing(vm, idx)) return false;
    SQBool b;
    sq_tobool(vm, idx, &b);
    return b != 0;
  }
  static bool get(bool h) { return h; }
};

template <>
struct ArgReader<const char*>
{
  static constexpr bool consumes = true;
  typedef const char* Held;
  static const char* read(HSQUIRRELVM vm, SQInteger idx)
  {
    const SQChar* s = nullptr;
    if (arg_missing(vm, idx) || SQ_FAILED(sq_getstring(vm, idx, &s))) throw_type_error();
    return s;
  }
  static const char* get(const char* h) { return h; }
};

template <typename A>
struct ArgReader<A, std::enable_if_t<std::is_same<std::remove_cv_t<std::remove_reference_t<A>>, SqObject>::value>>
{
  static constexpr bool consumes = true;
  typedef SqObject Held;
  static SqObject read(HSQUIRRELVM vm, SQInteger idx)
  {
    if (arg_missing(vm, idx)) throw_type_error();
    return SqObject::fromStack(vm, idx);
  }
  static SqObject& get(SqObject& h) { return h; }
};

template <>
struct ArgReader<HSQUIRRELVM>
{
  static constexpr bool consumes = false;
  typedef HSQUIRRELVM Held;
  static HSQUIRRELVM read(HSQUIRRELVM vm, SQInteger) { return vm; }
  static HSQUIRRELVM get(HSQUIRRELVM h) { return h; }
};

template <typename T>
struct IsBoundClass
  : std::integral_constant<bool, std::is_class<T>::value && !std::is_same<std::remove_cv_t<T>, SqObject>::value>
{
};

// Pointer to a bound class: null allowed.
template <typename T>
struct ArgReader<T*, std::enable_if_t<IsBoundClass<T>::value>>
{
  static constexpr bool consumes = true;
  typedef T* Held;
  static T* read(HSQUIRRELVM vm, SQInteger idx)
  {
    if (arg_missing(vm, idx)) return nullptr;
    return (T*)get_instance_arg(vm, idx, class_tag<std::remove_cv_t<T>>(), true);
  }
  static T* get(T* h) { return h; }
};

// Reference to a bound class: an instance is required.
template <typename T>
struct ArgReader<T&, std::enable_if_t<IsBoundClass<T>::value>>
{
  static constexpr bool consumes = true;
  typedef T* Held;
  static T* read(HSQUIRRELVM vm, SQInteger idx)
  {
    if (arg_missing(vm, idx)) throw_instance_error();
    return (T*)get_instance_arg(vm, idx, class_tag<std::remove_cv_t<T>>(), false);
  }
  static T& get(T* h) { return *h; }
};

// vec4f is __m128, whose vector attributes g++ reports as dropped whenever it
// is named as a template argument; nothing here depends on them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
template <typename A>
struct IsVec4f : std::is_same<std::remove_cv_t<std::remove_reference_t<A>>, vec4f>
{
};
#pragma GCC diagnostic pop

// vec4f by value or by reference: read in place from a vec4f instance.
template <typename A>
struct ArgReader<A, std::enable_if_t<IsVec4f<A>::value>>
{
  static constexpr bool consumes = true;
  typedef std::remove_reference_t<A>* Held;
  static Held read(HSQUIRRELVM vm, SQInteger idx)
  {
    if (arg_missing(vm, idx)) throw_instance_error();
    return (Held)get_instance_arg(vm, idx, class_tag<SqVec4f>(), false);
  }
  static A get(Held h) { return *h; }
};

// Script slot of each native parameter (parameters like HSQUIRRELVM take none).
template <typename... A>
constexpr std::array<SQInteger, sizeof...(A) + 1> arg_slots()
{
  constexpr bool consumes[] = {ArgReader<A>::consumes..., false};
  std::array<SQInteger, sizeof...(A) + 1> slots{};
  SQInteger slot = 2;
  for (size_t i = 0; i < sizeof...(A); i++) {
    slots[i] = slot;
    if (consumes[i]) slot++;
  }
  return slots;
}

// Reads the arguments of a native with parameters A..., calls fn with them and
// pushes its result; returns the count of values pushed (0 or 1).
template <typename R, typename... A>
struct Invoke
{
  typedef std::tuple<typename ArgReader<A>::Held...> HeldTuple;

  template <size_t K>
  static int fetch(HSQUIRRELVM vm, HeldTuple& held, SQInteger slot)
  {
    typedef std::tuple_element_t<K, std::tuple<A...>> Ak;
    std::get<K>(held) = ArgReader<Ak>::read(vm, slot);
    return 0;
  }

  template <typename Fn, size_t... I>
  static SQInteger run(HSQUIRRELVM vm, Fn&& fn, std::index_sequence<I...>)
  {
    constexpr size_t N = sizeof...(A);
    [[maybe_unused]] constexpr std::array<SQInteger, N + 1> slots = arg_slots<A...>();
    HeldTuple held;
    (void)std::initializer_list<int>{0, fetch<N - 1 - I>(vm, held, slots[N - 1 - I])...};
    if constexpr (std::is_void<R>::value) {
      fn(ArgReader<A>::get(std::get<I>(held))...);
      return 0;
    } else {
      push_value(vm, fn(ArgReader<A>::get(std::get<I>(held))...));
      return 1;
    }
  }

  template <typename Fn>
  static SQInteger call(HSQUIRRELVM vm, Fn&& fn)
  {
    return run(vm, std::forward<Fn>(fn), std::index_sequence_for<A...>());
  }
};

template <typename F>
struct FunctionCall;

template <typename R, typename... A>
struct FunctionCall<R (*)(A...)>
{
  static SQInteger call(HSQUIRRELVM vm, R (*f)(A...))
  {
    return Invoke<R, A...>::call(vm, [f](A... a) -> R { return f(std::forward<A>(a)...); });
  }
};

template <typename T, typename M>
struct MethodCall;

template <typename T, typename C, typename R, typename... A>
struct MethodCall<T, R (C::*)(A...)>
{
  static SQInteger call(HSQUIRRELVM vm, T* self, R (C::*m)(A...))
  {
    return Invoke<R, A...>::call(vm, [self, m](A... a) -> R { return (self->*m)(std::forward<A>(a)...); });
  }
};

template <typename T, typename C, typename R, typename... A>
struct MethodCall<T, R (C::*)(A...) const>
{
  static SQInteger call(HSQUIRRELVM vm, T* self, R (C::*m)(A...) const)
  {
    return Invoke<R, A...>::call(vm, [self, m](A... a) -> R { return (self->*m)(std::forward<A>(a)...); });
  }
};

// ---- dispatchers (the functions of the native closures) ----

// Free and static functions; the function is the closure's free variable.
template <typename F>
SQInteger dispatch_function(HSQUIRRELVM vm)
{
  SQUserPointer up = nullptr;
  sq_getuserpointer(vm, -1, &up);
  if (!up) return sq_throwerror(vm, "no function stored for C++ call");
  sq_poptop(vm);
  SQInteger top = sq_gettop(vm);
  try {
    return FunctionCall<F>::call(vm, reinterpret_cast<F>(up));
  } catch (...) {
    sq_settop(vm, top);
    return raise_current_exception(vm);
  }
}

// Methods of the class bound for T; the member pointer is in a userdata.
template <typename T, typename M>
SQInteger dispatch_method(HSQUIRRELVM vm)
{
  SQUserPointer self = nullptr;
  if (SQ_FAILED(sq_getinstanceup(vm, 1, &self, class_tag<T>())) || !self)
    return sq_throwerror(vm, "invalid 'this' in C++ method call");
  SQUserPointer ud = nullptr, tag = nullptr;
  if (SQ_FAILED(sq_getuserdata(vm, -1, &ud, &tag)) || !ud) return sq_throwerror(vm, "no method stored for C++ call");
  M m;
  memcpy((void*)&m, ud, sizeof(M));
  sq_poptop(vm);
  SQInteger top = sq_gettop(vm);
  try {
    return MethodCall<T, M>::call(vm, (T*)self, m);
  } catch (...) {
    sq_settop(vm, top);
    return raise_current_exception(vm);
  }
}

// Constructors: the function makes the native object and attaches it with
// init_native_instance; the new instance is the result.
template <typename T, typename F>
SQInteger dispatch_constructor(HSQUIRRELVM vm)
{
  SQUserPointer up = nullptr;
  sq_getuserpointer(vm, -1, &up);
  if (!up) return sq_throwerror(vm, "no function stored for C++ ctor call");
  sq_poptop(vm);
  SQInteger top = sq_gettop(vm);
  try {
    FunctionCall<F>::call(vm, reinterpret_cast<F>(up));
  } catch (...) {
    sq_settop(vm, top);
    return raise_current_exception(vm);
  }
  SQUserPointer ptr = nullptr;
  sq_getinstanceup(vm, 1, &ptr, class_tag<T>());
  ASSERT(ptr);
  return 0;
}

// ---- registration ----

void push_class_object(HSQUIRRELVM vm, const SqObject& class_obj);
// Makes the slot name = native closure(fn, one free variable on the stack top)
// in the object below them; pops what it pushed except the container.
void new_native_slot(HSQUIRRELVM vm, SQFUNCTION fn, const char* name);

// Root function under name.
template <typename F>
void bind_function(HSQUIRRELVM vm, F f, const char* name)
{
  sq_pushroottable(vm);
  sq_pushuserpointer(vm, reinterpret_cast<SQUserPointer>(f));
  new_native_slot(vm, dispatch_function<F>, name);
  sq_poptop(vm);
}

// Function into the table on the stack top (which stays there).
template <typename F>
void bind_table_function(HSQUIRRELVM vm, F f, const char* name)
{
  sq_pushuserpointer(vm, reinterpret_cast<SQUserPointer>(f));
  new_native_slot(vm, dispatch_function<F>, name);
}

template <typename F>
void bind_static_function(HSQUIRRELVM vm, const SqObject& class_obj, F f, const char* name)
{
  push_class_object(vm, class_obj);
  sq_pushuserpointer(vm, reinterpret_cast<SQUserPointer>(f));
  new_native_slot(vm, dispatch_function<F>, name);
  sq_poptop(vm);
}

template <typename T, typename F>
void bind_constructor(HSQUIRRELVM vm, const SqObject& class_obj, F f)
{
  push_class_object(vm, class_obj);
  sq_pushuserpointer(vm, reinterpret_cast<SQUserPointer>(f));
  new_native_slot(vm, dispatch_constructor<T, F>, "constructor");
  sq_poptop(vm);
}

template <typename T, typename M>
void bind_method(HSQUIRRELVM vm, const SqObject& class_obj, M m, const char* name)
{
  push_class_object(vm, class_obj);
  void* ud = sq_newuserdata(vm, sizeof(M));
  ASSERT(ud);
  memcpy(ud, (const void*)&m, sizeof(M));
  new_native_slot(vm, dispatch_method<T, M>, name);
  sq_poptop(vm);
}

// Attaches a new native object to the instance under construction; the
// instance owns it from now on.
template <typename T>
bool init_native_instance(T* p, HSQUIRRELVM vm)
{
  static_assert(std::is_trivially_destructible<T>::value, "script-owned objects are plain data");
  ASSERT(p);
  return init_instance(p, vm, release_native<T>);
}

// The script class bound to native type T, defined in one chained expression:
//   ClassDef<HmapMask>(vm, "HmapMask").ctor(mask_ctor).method(&HmapMask::get, "get");
template <typename T>
struct ClassDef
{
  HSQUIRRELVM vm;
  const char* name;
  const char* baseName;
  SqObject classObj;

  ClassDef(HSQUIRRELVM v, const char* class_name, const char* base_name = nullptr)
    : vm(v), name(class_name), baseName(base_name), classObj(create_class(v, class_name, base_name, class_tag<T>()))
  {
    bound_class_name<T> = class_name;
  }

  template <typename F>
  ClassDef& ctor(F f)
  {
    bind_constructor<T>(vm, classObj, f);
    return *this;
  }
  template <typename M>
  ClassDef& method(M m, const char* member_name)
  {
    bind_method<T>(vm, classObj, m, member_name);
    return *this;
  }
  template <typename F>
  ClassDef& staticMethod(F f, const char* member_name)
  {
    bind_static_function(vm, classObj, f, member_name);
    return *this;
  }
  // A static integer member of the class.
  ClassDef& constant(const char* member_name, SQInteger value)
  {
    push_class_object(vm, classObj);
    sq_pushstring(vm, member_name, -1);
    sq_pushinteger(vm, value);
    sq_newslot(vm, -3, SQTrue);
    sq_poptop(vm);
    return *this;
  }
};

// ---- results of calls into scripts ----

template <typename R>
R read_value(HSQUIRRELVM vm, SQInteger idx)
{
  if constexpr (std::is_void<R>::value) {
    (void)vm;
    (void)idx;
  } else if constexpr (std::is_same<R, bool>::value) {
    SQBool b;
    sq_tobool(vm, idx, &b);
    return b != 0;
  } else if constexpr (std::is_integral<R>::value) {
    SQInteger i;
    if (SQ_FAILED(sq_getinteger(vm, idx, &i))) throw_type_error();
    return (R)i;
  } else if constexpr (std::is_floating_point<R>::value) {
    SQFloat f;
    if (SQ_FAILED(sq_getfloat(vm, idx, &f))) throw_type_error();
    return (R)f;
  } else {
    static_assert(std::is_same<R, SqObject>::value, "unsupported script result type");
    return SqObject::fromStack(vm, idx);
  }
}

// A root global read by type (bool by truth).
template <typename R>
R getGlobal(HSQUIRRELVM vm, const char* name)
{
  StackRestore restore(vm);
  push_global(vm, name);
  return read_value<R>(vm, -1);
}

// A script function bound by name, called from native code. The environment
// (`this` of the calls) is held weakly, the function strongly; release both
// before the VM closes.
template <typename R>
class SqFunc
{
public:
  HSQUIRRELVM vm;
  SqObject env;
  SqObject func;

  SqFunc() : vm(nullptr) {}

  // environment[name]; a missing name leaves the handle null, silently.
  void bind(HSQUIRRELVM v, const SqObject& environment, const char* name)
  {
    release();
    vm = v;
    bind_func_handle(v, environment.o, name, env, func);
  }
  void bindRoot(HSQUIRRELVM v, const char* name)
  {
    HSQOBJECT root;
    sq_pushroottable(v);
    sq_getstackobj(v, -1, &root);
    bind(v, SqObject(v, root), name);
    sq_poptop(v);
  }
  // Calls function with the root table as environment.
  void set(HSQUIRRELVM v, const SqObject& function)
  {
    release();
    vm = v;
    HSQOBJECT root;
    sq_pushroottable(v);
    sq_getstackobj(v, -1, &root);
    env.setWeakRef(v, root);
    sq_poptop(v);
    func = function;
  }
  void release()
  {
    env.reset();
    func.reset();
    vm = nullptr;
  }

  // True when there is no function or its environment has died.
  bool isNull() const { return func_handle_null(env, func); }
  // Pushes the function and its environment; throws
  // "SqFunc: can't deref weakptr to object" for a dead environment.
  void push() const { push_func_handle(vm, env, func); }

  // Fails with "SqFunc<> call failed" (or the pending native error); callers
  // test isNull() first. The stack is left as it was.
  template <typename... A>
  R operator()(const A&... args) const
  {
    StackRestore restore(vm);
    if (SQ_FAILED(sq_reservestack(vm, SQInteger(sizeof...(A)) + 3))) throw SquirrelError(vm);
    push();
    (void)std::initializer_list<int>{0, (push_value(vm, args), 0)...};
    call_func_handle(vm, SQInteger(sizeof...(A)) + 1);
    return read_value<R>(vm, -1);
  }
};

// One SqFunc called over and over by a native loop (once per cell of a grid):
// the function is pushed once and stays below the calls. Each call checks,
// pushes, calls and fails as SqFunc's own call does. What a call leaves above
// the function (its result, and anything the loop pushed after it) is dropped
// by the next call; the stack is restored when the object goes. The SqFunc
// must outlive it.
template <typename R>
class RepeatedCall
{
public:
  explicit RepeatedCall(const SqFunc<R>& f) : fn(f) {}
  ~RepeatedCall()
  {
    if (pushed) sq_settop(fn.vm, base);
  }
  RepeatedCall(const RepeatedCall&) = delete;
  RepeatedCall& operator=(const RepeatedCall&) = delete;

  template <typename... A>
  R operator()(const A&... args)
  {
    callLeavingResult(args...);
    return read_value<R>(fn.vm, -1);
  }

  // The call, with its result left on the stack top for the loop to read in
  // place.
  template <typename... A>
  void callLeavingResult(const A&... args)
  {
    HSQUIRRELVM vm = fn.vm;
    HSQOBJECT environment = func_handle_environment(vm, fn.env);
    if (pushed) {
      // Usually just the last result.
      SQInteger above = sq_gettop(vm) - (base + 1);
      if (above == 1) sq_poptop(vm);
      else sq_settop(vm, base + 1);
    } else {
      base = sq_gettop(vm);
      if (SQ_FAILED(sq_reservestack(vm, 1))) throw SquirrelError(vm);
      sq_pushobject(vm, fn.func.o);
      pushed = true;
    }
    if (SQ_FAILED(sq_reservestack(vm, SQInteger(sizeof...(A)) + 2))) throw SquirrelError(vm);
    sq_pushobject(vm, environment);
    (void)std::initializer_list<int>{0, (push_value(vm, args), 0)...};
    call_func_handle(vm, SQInteger(sizeof...(A)) + 1);
  }

private:
  const SqFunc<R>& fn;
  SQInteger base = 0;
  bool pushed = false;
};

}  // namespace sqbind
