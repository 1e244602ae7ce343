// sqbind: the program's binding layer between native code and Squirrel VMs.
//
// This header is the core: opening and closing VMs with the program's print
// function and error reporters, compiling and running script files, the
// exception SquirrelError, script classes bound to native types (one type tag
// per native type, ClassTag<T>), instances carrying a native pointer, the
// owning value handle SqObject and the slot readers. The templates that bind
// native functions (ClassDef, SqFunc, the dispatchers) are in sqbindCall.h.
//
// Error rule: a C++ exception never unwinds through Squirrel's frames (the
// library is built without exceptions and would leak its call counters). Every
// native dispatcher catches, remembers the text as the VM's pending native
// error and raises it as a script error; a native caller that sees a call fail
// rethrows SquirrelError with the pending text when the failure is that error,
// else with its own text. Every native entry point into a VM leaves the stack
// top as it found it, also when it throws. Script integers are 64-bit; natives
// that take 32-bit integers read the low 32 bits.
//
// The plug-in binds its own classes through create_class, init_instance and
// push_instance and shares the ClassTag statics with the game, so none of
// these may get hidden visibility. Main thread only.
#pragma once

#include <squirrel.h>

#include <cstdint>

namespace sqbind
{

// The exception of all script glue. Owns a copy of its text.
struct SquirrelError
{
  const char* desc;

  // The VM's last error when it is a string, else "unknown error".
  explicit SquirrelError(HSQUIRRELVM vm);
  explicit SquirrelError(const char* text);
  SquirrelError(const SquirrelError& other);
  SquirrelError& operator=(const SquirrelError& other);
  ~SquirrelError();

private:
  char* owned;
  void setText(const char* text);
};

// The address of ClassTag<T>::uniqueTag is the type tag of the script class
// bound for native type T; subclasses (script or native) carry their base's tag
// through Squirrel's base-class walk.
template <typename T>
struct ClassTag
{
  static int uniqueTag;
};
template <typename T>
int ClassTag<T>::uniqueTag = 0;

template <typename T>
inline SQUserPointer class_tag()
{
  return (SQUserPointer)&ClassTag<T>::uniqueTag;
}

// Owning handle of one script value. With a VM it holds one strong reference,
// given back on reset, assignment and destruction; it must be released before
// its VM closes. Relocatable by byte copy (lives in DynArrays).
struct SqObject
{
  HSQOBJECT o;
  HSQUIRRELVM vm;

  SqObject() : vm(nullptr) { sq_resetobject(&o); }
  // A strong reference to obj through vm.
  SqObject(HSQUIRRELVM vm, const HSQOBJECT& obj);
  SqObject(const SqObject& other);
  SqObject(SqObject&& other) noexcept : o(other.o), vm(other.vm)
  {
    sq_resetobject(&other.o);
    other.vm = nullptr;
  }
  SqObject& operator=(const SqObject& other);
  SqObject& operator=(SqObject&& other) noexcept;
  ~SqObject() { reset(); }

  void reset();
  // A strong reference to the value at a stack index; throws
  // "sq_get*() failed (type error)" when there is no such slot.
  static SqObject fromStack(HSQUIRRELVM vm, SQInteger idx);
  // fromStack(vm, -1), then pops the value and the container below it.
  static SqObject popResult(HSQUIRRELVM vm);
  // Holds value weakly: a weak reference is kept as it is, a value that cannot
  // be referenced weakly (numbers, null, bools) is held plain.
  void setWeakRef(HSQUIRRELVM vm, const HSQOBJECT& value);

  SQObjectType getType() const { return sq_type(o); }
  bool isNull() const { return sq_isnull(o); }
  // Identity of tables, arrays, instances and the other reference types.
  bool sameObject(const SqObject& other) const
  {
    return sq_type(o) == sq_type(other.o) && o._unVal.raw == other.o._unVal.raw;
  }
};

// Restores a VM's stack top when it goes out of scope, on every path.
struct StackRestore
{
  HSQUIRRELVM vm;
  SQInteger top;
  explicit StackRestore(HSQUIRRELVM v) : vm(v), top(sq_gettop(v)) {}
  ~StackRestore() { sq_settop(vm, top); }
  StackRestore(const StackRestore&) = delete;
  StackRestore& operator=(const StackRestore&) = delete;
};

// Creates the script class bound to type_tag under root[name] and in the
// registry (tag -> class), or reuses root[name] when it exists (rebinding after
// a plug-in reload keeps the class, so old instances stay instances of it).
// A named base must already be bound. Failures are fatal.
SqObject create_class(HSQUIRRELVM vm, const char* name, const char* base_name, SQUserPointer type_tag);
// Attaches a native object to the instance under construction (stack slot 1).
bool init_instance(void* native_ptr, HSQUIRRELVM vm, SQRELEASEHOOK hook);
// Pushes a new instance of the class registered for type_tag, holding
// native_ptr (null pushes null). class_name only names the class in messages.
bool push_instance(HSQUIRRELVM vm, void* native_ptr, SQUserPointer type_tag, const char* class_name,
                   SQRELEASEHOOK hook);

// Slot readers; a missing slot raises the VM's last error as SquirrelError, a
// value of the wrong kind "sq_get*() failed (type error)".
float get_float_slot(HSQUIRRELVM vm, const HSQOBJECT& container, SQInteger index);
int get_int_slot(HSQUIRRELVM vm, const HSQOBJECT& container, SQInteger index);
// By key; a missing key also logs "getSlot '%s' failed".
int get_int_slot(HSQUIRRELVM vm, const HSQOBJECT& container, const char* key);
SqObject get_slot(HSQUIRRELVM vm, const HSQOBJECT& container, const char* key);

// The constant table: scripts compiled afterwards see name as a constant.
void register_int_constant(HSQUIRRELVM vm, const char* name, SQInteger value);

// ---- pending native errors (see the error rule above) ----

// Remembers text as the VM's pending native error and raises it as the script
// error of the running native; returns the native's result.
SQInteger raise_native_error(HSQUIRRELVM vm, const char* text);
// Inside a catch block of a dispatcher: raises the caught exception's text.
SQInteger raise_current_exception(HSQUIRRELVM vm);
// The error to throw after a failed call into the VM: the pending native
// error when the call failed with it (then forgotten), else fallback.
SquirrelError call_error(HSQUIRRELVM vm, const char* fallback);

// ---- what the Squirrel C API does not expose ----

// Identity of a closure's function prototype (null for other values).
const void* closure_prototype(const HSQOBJECT& closure);
// The object a closure is bound to (bindenv), or null.
HSQOBJECT closure_environment(const HSQOBJECT& closure);
// The object a weak reference refers to (null once it has died, or for a
// value that is no weak reference).
HSQOBJECT weakref_target(const HSQOBJECT& weakref);
// Element k of an array value, not referenced (the caller keeps the array
// alive); null out of range or for a value that is no array.
HSQOBJECT array_element(const HSQOBJECT& array, SQInteger k);
// Length in bytes of a string value (0 for other values).
SQInteger string_length(const HSQOBJECT& str);

}  // namespace sqbind

// ---- VMs, files and reports ----

// A new VM with the print function and both error reporters installed.
HSQUIRRELVM open_script_vm(SQInteger initial_stack_size);
// Installs the compile-error and runtime-error reporters on a VM opened elsewhere.
void set_script_error_handlers(HSQUIRRELVM vm);
// Full garbage collection, then close; null is ignored.
void close_script_vm(HSQUIRRELVM vm);

// print() and error output of every VM: printf-style through the log, flushed.
void script_print_func(HSQUIRRELVM vm, const SQChar* fmt, ...);
// "bin/<source>(<line>,<column>): error: <message>"
void print_compile_error(HSQUIRRELVM vm, const SQChar* desc, const SQChar* source, SQInteger line,
                         SQInteger column);
// Runtime error reporter: CALLSTACK and LOCALS of the failing call.
SQInteger print_script_error(HSQUIRRELVM vm);

// Compile with errors raised; on success the closure is on the stack.
bool compile_script_buffer(HSQUIRRELVM vm, const char* buffer, SQInteger size, const char* source_name);
bool compile_script_file(HSQUIRRELVM vm, const char* path);
// Compiles and runs a file with the root table as `this`. Script errors have
// been reported by the VM's handlers; only the result tells. Stack unchanged.
bool run_script_file(HSQUIRRELVM vm, const char* path);

// One debug line describing a script value.
void sq_debug_object(const HSQOBJECT* obj);
