#include "scripting/scriptSave.h"

#include "scripting/scriptServices.h"
#include "scripting/sqbindCall.h"

#include "gameshell/baseObject.h"

#include "engine/debug.h"
#include "engine/utils.h"

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

using namespace sqbind;

namespace
{

enum : uint8_t
{
  TAG_NULL = 0,
  TAG_BOOL = 1,
  TAG_STRING = 2,
  TAG_INTEGER = 3,
  TAG_FLOAT = 4,
  TAG_ARRAY = 5,
  TAG_TABLE = 6,
  TAG_FUNCTION = 7,
  TAG_METHOD = 8,
  TAG_INSTANCE = 9,
  TAG_FIRST = 10,
  TAG_REF = 11,
  TAG_GAMEOBJ = 12,
  TAG_BITMAP = 'd',
};

// Deeper data is refused on both sides: it would exhaust the native stack of
// these recursive walks long before any real save needs it (and a table that
// holds itself would never end in the plain writer).
const int k_max_nesting = 512;
// Values each level of the walks keeps on the VM stack at most.
const SQInteger k_stack_per_level = 8;
const int k_bitmap_bytes = 8192;

// Identity of a listed object -> its index in saved_object_list (saving only).
std::unordered_map<const void*, int> saved_object_index;

void clear_saved_objects()
{
  saved_object_list.clear();
  saved_object_index.clear();
}

bool is_listed_kind(const HSQOBJECT& o)
{
  return sq_istable(o) || sq_isarray(o) || sq_isinstance(o);
}

// Leaves only the top value above base.
void keep_top_only(HSQUIRRELVM vm, SQInteger base)
{
  while (sq_gettop(vm) > base + 1) sq_remove(vm, base + 1);
}

// ---- writing ----

[[noreturn]] QM_PRINTF(1, 2) void write_fail(const char* fmt, ...)
{
  TempString<512> text;
  va_list args;
  va_start(args, fmt);
  text.vprintf(fmt, args);
  va_end(args);
  throw OutputStream::Exception(text.buffer, -1);
}

void write_u8(OutputStream& out, uint8_t v) { out.write(&v, 1); }
void write_u32(OutputStream& out, uint32_t v) { out.write(&v, 4); }  // the machine is little-endian

void reserve_for_level(HSQUIRRELVM vm, int depth, bool writing)
{
  if (depth > k_max_nesting) {
    if (writing) write_fail("script data nested too deeply (more than %d levels, or cyclic)", k_max_nesting);
    throw InputStream::Exception("script data nested too deeply", -1);  // readers check before this
  }
  if (SQ_FAILED(sq_reservestack(vm, k_stack_per_level))) {
    if (writing) write_fail("script stack exhausted");
    throw InputStream::Exception("script stack exhausted", -1);
  }
}

// null, bool, string, integer and float; false for other kinds.
bool write_scalar(const HSQOBJECT& o, OutputStream& out)
{
  switch (sq_type(o)) {
    case OT_NULL: write_u8(out, TAG_NULL); return true;
    case OT_BOOL:
      write_u8(out, TAG_BOOL);
      write_u8(out, sq_objtobool(&o) ? 1 : 0);
      return true;
    case OT_STRING: {
      SQInteger len = string_length(o);
      if (len > INT_MAX) write_fail("string of %lld bytes is too long to save", (long long)len);
      write_u8(out, TAG_STRING);
      write_u32(out, (uint32_t)len);
      out.write(sq_objtostring(&o), (int)len);
      return true;
    }
    case OT_INTEGER: {
      SQInteger i = sq_objtointeger(&o);
      if (i < INT32_MIN || i > INT32_MAX) write_fail("integer %lld does not fit in 32 bits", (long long)i);
      int32_t v = (int32_t)i;
      write_u8(out, TAG_INTEGER);
      out.write(&v, 4);
      return true;
    }
    case OT_FLOAT: {
      float f = sq_objtofloat(&o);
      write_u8(out, TAG_FLOAT);
      out.write(&f, 4);
      return true;
    }
    default: return false;
  }
}

// Writes `each` for every element of the array on the stack top; the element
// is on the stack top meanwhile.
template <typename Each>
void for_each_element(HSQUIRRELVM vm, OutputStream& out, Each each)
{
  SQInteger arr = sq_gettop(vm);
  SQInteger n = sq_getsize(vm, arr);
  if (n > (SQInteger)UINT32_MAX) write_fail("array of %lld elements is too long to save", (long long)n);
  write_u32(out, (uint32_t)n);
  for (SQInteger i = 0; i < n; i++) {
    sq_pushinteger(vm, i);
    if (SQ_FAILED(sq_rawget(vm, arr))) write_fail("array changed while saving");
    HSQOBJECT e;
    sq_getstackobj(vm, -1, &e);
    each(e);
    sq_settop(vm, arr);
  }
}

// Writes the pairs of the table on the stack top behind a u32 count that is
// patched once the pairs are written.
template <typename Each>
void for_each_pair(HSQUIRRELVM vm, OutputStream& out, Each each)
{
  SQInteger table = sq_gettop(vm);
  int count_pos = out.tell();
  write_u32(out, 0);
  uint32_t count = 0;
  sq_pushnull(vm);
  while (SQ_SUCCEEDED(sq_next(vm, table))) {
    HSQOBJECT key, val;
    sq_getstackobj(vm, -2, &key);
    sq_getstackobj(vm, -1, &val);
    each(key, val);
    count++;
    sq_pop(vm, 2);
  }
  sq_settop(vm, table);
  int end_pos = out.tell();
  out.seekTo(count_pos);
  write_u32(out, count);
  out.seekTo(end_pos);
}

void write_plain(HSQUIRRELVM vm, const HSQOBJECT& o, OutputStream& out, int depth)
{
  if (write_scalar(o, out)) return;
  switch (sq_type(o)) {
    case OT_ARRAY:
      reserve_for_level(vm, depth, true);
      write_u8(out, TAG_ARRAY);
      sq_pushobject(vm, o);
      for_each_element(vm, out, [&](const HSQOBJECT& e) { write_plain(vm, e, out, depth + 1); });
      sq_poptop(vm);
      break;
    case OT_TABLE:
      reserve_for_level(vm, depth, true);
      write_u8(out, TAG_TABLE);
      sq_pushobject(vm, o);
      for_each_pair(vm, out, [&](const HSQOBJECT& k, const HSQOBJECT& v) {
        write_plain(vm, k, out, depth + 1);
        write_plain(vm, v, out, depth + 1);
      });
      sq_poptop(vm);
      break;
    default: write_fail("unsupported Squirrel data type %X", (unsigned)sq_type(o));
  }
}

// The native pointer of an instance when its class (or a base) carries tag.
bool instance_native(HSQUIRRELVM vm, const HSQOBJECT& inst, SQUserPointer tag, void** ptr)
{
  StackRestore restore(vm);
  sq_pushobject(vm, inst);
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(vm, -1, &p, tag))) return false;
  *ptr = p;
  return true;
}

// Writes graph values: save_script_data (refs == false) or save_ref.
struct GraphWriter
{
  HSQUIRRELVM vm;
  OutputStream& out;
  bool refs;

  void value(const HSQOBJECT& o, int depth);
  void container(const HSQOBJECT& o, int depth);
  void closure(const HSQOBJECT& o, int depth);
  void scriptInstance(const HSQOBJECT& o, int depth);
  bool gameObject(const HSQOBJECT& o);
};

// Tag 12 for an instance of a game-object class; false for other instances.
bool GraphWriter::gameObject(const HSQOBJECT& o)
{
  void* p = nullptr;
  if (!instance_native(vm, o, class_tag<BaseObject>(), &p)) return false;
  if (!p) write_fail("Native instance pointer is null");
  write_u8(out, TAG_GAMEOBJ);
  write_u32(out, ((BaseObject*)p)->serialId);
  return true;
}

// Tags 5 and 6: an array's elements, or a table's keys and values, each a
// value of its own.
void GraphWriter::container(const HSQOBJECT& o, int depth)
{
  sq_pushobject(vm, o);
  if (sq_type(o) == OT_ARRAY) {
    write_u8(out, TAG_ARRAY);
    for_each_element(vm, out, [&](const HSQOBJECT& e) { value(e, depth + 1); });
  } else {
    write_u8(out, TAG_TABLE);
    for_each_pair(vm, out, [&](const HSQOBJECT& k, const HSQOBJECT& v) {
      value(k, depth + 1);
      value(v, depth + 1);
    });
  }
  sq_poptop(vm);
}

void GraphWriter::value(const HSQOBJECT& o, int depth)
{
  if (write_scalar(o, out)) return;
  reserve_for_level(vm, depth, true);

  if (refs) {
    switch (sq_type(o)) {
      case OT_ARRAY:
      case OT_TABLE: container(o, depth); return;
      case OT_CLOSURE: closure(o, depth); return;
      case OT_INSTANCE: {
        auto found = saved_object_index.find(o._unVal.pRefCounted);
        if (found != saved_object_index.end()) {
          write_u8(out, TAG_REF);
          write_u32(out, (uint32_t)found->second);
          return;
        }
        if (gameObject(o)) return;
        write_fail("Reference to unsaved instance");
      }
      default: write_fail("unsupported Squirrel ref/data type %X", (unsigned)sq_type(o));
    }
  }

  if (is_listed_kind(o)) {
    auto found = saved_object_index.find(o._unVal.pRefCounted);
    if (found != saved_object_index.end()) {
      write_u8(out, TAG_REF);
      write_u32(out, (uint32_t)found->second);
      return;
    }
    saved_object_index[o._unVal.pRefCounted] = saved_object_list.push_back(SqObject(vm, o));
    write_u8(out, TAG_FIRST);
  }
  switch (sq_type(o)) {
    case OT_ARRAY:
    case OT_TABLE: container(o, depth); break;
    case OT_CLOSURE: closure(o, depth); break;
    case OT_INSTANCE: {
      if (gameObject(o)) break;
      SqObject handle(vm, o);
      if (save_custom_script_instance(handle, out)) break;
      void* p = nullptr;
      if (instance_native(vm, o, nullptr, &p) && p) write_fail("Unsupported native instance");
      scriptInstance(o, depth);
      break;
    }
    default: write_fail("unsupported Squirrel data type %X", (unsigned)sq_type(o));
  }
}

// Tag 9: the class's root name, then the persistent members (those with an
// attribute table holding the key "persistent", whatever its value).
void GraphWriter::scriptInstance(const HSQOBJECT& o, int depth)
{
  SQInteger base = sq_gettop(vm);
  write_u8(out, TAG_INSTANCE);
  sq_pushobject(vm, o);
  SQInteger inst = sq_gettop(vm);
  sq_getclass(vm, inst);
  SQInteger cls = sq_gettop(vm);
  HSQOBJECT cls_obj;
  sq_getstackobj(vm, cls, &cls_obj);

  sq_pushroottable(vm);
  SQInteger root = sq_gettop(vm);
  sq_pushnull(vm);
  bool named = false;
  while (SQ_SUCCEEDED(sq_next(vm, root))) {
    HSQOBJECT k, v;
    sq_getstackobj(vm, -2, &k);
    sq_getstackobj(vm, -1, &v);
    if (sq_isclass(v) && v._unVal.pClass == cls_obj._unVal.pClass) {
      value(k, depth + 1);
      named = true;
      break;
    }
    sq_pop(vm, 2);
  }
  if (!named) write_fail("Cannot find instance class name");
  sq_settop(vm, cls);

  int count_pos = out.tell();
  write_u32(out, 0);
  uint32_t count = 0;
  sq_pushnull(vm);
  while (SQ_SUCCEEDED(sq_next(vm, cls))) {
    SQInteger key = sq_gettop(vm) - 1;
    sq_push(vm, key);
    bool persistent = false;
    if (SQ_SUCCEEDED(sq_getattributes(vm, cls)) && sq_gettype(vm, -1) == OT_TABLE) {
      sq_pushstring(vm, "persistent", -1);
      persistent = SQ_SUCCEEDED(sq_rawget(vm, -2));
    }
    sq_settop(vm, key + 1);
    if (persistent) {
      HSQOBJECT k, v;
      sq_getstackobj(vm, key, &k);
      sq_push(vm, key);
      if (SQ_FAILED(sq_get(vm, inst))) sq_pushnull(vm);
      sq_getstackobj(vm, -1, &v);
      value(k, depth + 1);
      value(v, depth + 1);
      count++;
    }
    sq_settop(vm, key - 1);
  }
  int end_pos = out.tell();
  out.seekTo(count_pos);
  write_u32(out, count);
  out.seekTo(end_pos);
  sq_settop(vm, base);
}

// Tags 7 and 8: a closure by the root name of its function, or by the root
// class that defines it (a method inherited unchanged is named after the base).
void GraphWriter::closure(const HSQOBJECT& o, int depth)
{
  SQInteger base = sq_gettop(vm);
  const void* proto = closure_prototype(o);
  sq_pushroottable(vm);
  SQInteger root = sq_gettop(vm);
  sq_pushnull(vm);
  bool found = false;
  while (!found && SQ_SUCCEEDED(sq_next(vm, root))) {
    SQInteger rkey = sq_gettop(vm) - 1, rval = sq_gettop(vm);
    HSQOBJECT k, v;
    sq_getstackobj(vm, rkey, &k);
    sq_getstackobj(vm, rval, &v);
    if (sq_isclosure(v) && closure_prototype(v) == proto) {
      write_u8(out, TAG_FUNCTION);
      write_plain(vm, k, out, depth + 1);
      found = true;
      break;
    }
    if (sq_isclass(v)) {
      sq_pushnull(vm);
      while (SQ_SUCCEEDED(sq_next(vm, rval))) {
        SQInteger mkey = sq_gettop(vm) - 1;
        HSQOBJECT mk, mv;
        sq_getstackobj(vm, mkey, &mk);
        sq_getstackobj(vm, -1, &mv);
        if (sq_isclosure(mv) && closure_prototype(mv) == proto) {
          bool inherited = false;
          if (SQ_SUCCEEDED(sq_getbase(vm, rval)) && sq_gettype(vm, -1) == OT_CLASS) {
            sq_push(vm, mkey);
            if (SQ_SUCCEEDED(sq_rawget(vm, -2))) {
              HSQOBJECT bv;
              sq_getstackobj(vm, -1, &bv);
              inherited = sq_isclosure(bv) && closure_prototype(bv) == proto;
            }
          }
          if (!inherited) {
            write_u8(out, TAG_METHOD);
            write_plain(vm, k, out, depth + 1);
            write_plain(vm, mk, out, depth + 1);
            found = true;
            break;
          }
        }
        sq_settop(vm, mkey - 1);
      }
    }
    if (!found) sq_settop(vm, rkey - 1);
  }
  if (!found) write_fail("Cannot find Squirrel function name");
  sq_settop(vm, base);

  HSQOBJECT env = closure_environment(o);
  if (sq_isnull(env)) {
    write_u8(out, TAG_NULL);
    return;
  }
  // The closure holds its environment weakly: keep it alive while it is written.
  sq_pushobject(vm, env);
  value(env, depth + 1);
  sq_settop(vm, base);
}

// ---- reading ----

// One read of a stream: the stream, the VM and where the data ends (-1 when
// the stream cannot tell).
struct Reader
{
  InputStream& in;
  HSQUIRRELVM vm;
  int64_t end;

  Reader(InputStream& stream, HSQUIRRELVM v) : in(stream), vm(v), end(-1)
  {
    int pos;
    try {
      pos = in.tell();
      in.seekFromEnd(0);
      end = in.tell();
    } catch (const InputStream::Exception&) {
      end = -1;
      return;
    }
    in.seekTo(pos);
  }

  [[noreturn]] QM_PRINTF(2, 3) void fail(const char* fmt, ...)
  {
    TempString<512> text;
    va_list args;
    va_start(args, fmt);
    text.vprintf(fmt, args);
    va_end(args);
    throw InputStream::Exception(text.buffer, in.tell());
  }

  uint8_t u8()
  {
    uint8_t v;
    in.read(&v, 1);
    return v;
  }
  uint32_t u32()
  {
    uint32_t v;
    in.read(&v, 4);
    return v;
  }

  // Each item of a count takes at least bytes_per_item bytes of the data.
  void checkCount(uint32_t count, int bytes_per_item, const char* what)
  {
    if (end >= 0 && int64_t(count) * bytes_per_item > end - in.tell())
      fail("%s %u exceeds the saved data", what, (unsigned)count);
  }

  void enter(int depth)
  {
    if (depth > k_max_nesting) fail("script data nested too deeply (more than %d levels)", k_max_nesting);
    if (SQ_FAILED(sq_reservestack(vm, k_stack_per_level))) fail("script stack exhausted");
  }

  // Tags 0 to 4; false for other tags.
  bool scalar(uint8_t tag)
  {
    switch (tag) {
      case TAG_NULL: sq_pushnull(vm); return true;
      case TAG_BOOL: sq_pushbool(vm, u8() != 0 ? SQTrue : SQFalse); return true;
      case TAG_STRING: string(); return true;
      case TAG_INTEGER: {
        int32_t v;
        in.read(&v, 4);
        sq_pushinteger(vm, v);
        return true;
      }
      case TAG_FLOAT: {
        float f;
        in.read(&f, 4);
        sq_pushfloat(vm, f);
        return true;
      }
      default: return false;
    }
  }

  void string()
  {
    uint32_t len = u32();
    checkCount(len, 1, "string length");
    // Read in pieces, so memory follows the bytes really read even when the
    // stream cannot tell its size.
    const uint32_t piece = 1 << 20;
    SQChar* buf = nullptr;
    uint32_t got = 0;
    while (got < len) {
      uint32_t n = len - got < piece ? len - got : piece;
      buf = sq_getscratchpad(vm, SQInteger(got) + n);
      in.read(buf + got, (int)n);
      got += n;
    }
    sq_pushstring(vm, buf ? buf : "", (SQInteger)len);
  }

  // The string on the stack top, or null.
  const SQChar* topString()
  {
    const SQChar* s = nullptr;
    if (sq_gettype(vm, -1) != OT_STRING || SQ_FAILED(sq_getstring(vm, -1, &s))) return nullptr;
    return s;
  }

  // Reads count pairs into the table on the stack top; `item` reads one value.
  template <typename Item>
  void pairs(uint32_t count, Item item)
  {
    SQInteger table = sq_gettop(vm);
    for (uint32_t i = 0; i < count; i++) {
      item();
      item();
      if (SQ_FAILED(sq_newslot(vm, table, SQFalse))) fail("invalid table key");
      sq_settop(vm, table);
    }
  }

  template <typename Item>
  void elements(uint32_t count, Item item)
  {
    SQInteger arr = sq_gettop(vm);
    for (uint32_t i = 0; i < count; i++) {
      item();
      sq_arrayappend(vm, arr);
    }
  }

  // Arrays grow as their elements are read and tables get a bounded size
  // hint: counts in the data never size an allocation.
  static SQInteger tableHint(uint32_t count) { return count < 64 ? (SQInteger)count : 64; }

  void plain(int depth);
  void graph(int depth, bool refs);
  void listedBody(int depth, bool refs);
  void function(int depth, bool refs);
  void method(int depth, bool refs);
  void gameObject();
  void listTop() { saved_object_list.push_back(SqObject::fromStack(vm, -1)); }
  // Looks name (on the stack top) up in the root table; pushes the value.
  bool rootLookup()
  {
    sq_pushroottable(vm);
    sq_push(vm, -2);
    if (SQ_FAILED(sq_get(vm, -2))) return false;
    sq_remove(vm, -2);
    return true;
  }
};

void Reader::plain(int depth)
{
  enter(depth);
  uint8_t tag = u8();
  if (scalar(tag)) return;
  switch (tag) {
    case TAG_ARRAY: {
      uint32_t n = u32();
      checkCount(n, 1, "array element count");
      sq_newarray(vm, 0);
      elements(n, [&] { plain(depth + 1); });
      return;
    }
    case TAG_TABLE: {
      uint32_t n = u32();
      checkCount(n, 2, "table slot count");
      sq_newtableex(vm, tableHint(n));
      pairs(n, [&] { plain(depth + 1); });
      return;
    }
    default: fail("unknown Squirrel data type");
  }
}

void Reader::gameObject()
{
  uint32_t id = u32();
  BaseObject* obj = get_gameobj_by_ser_id ? get_gameobj_by_ser_id(id) : nullptr;
  if (!obj) {
    sq_pushnull(vm);
    return;
  }
  SQInteger before = sq_gettop(vm);
  try {
    obj->push(vm);
  } catch (const SquirrelError& e) {
    sq_settop(vm, before);
    fail("%s", e.desc);
  }
  if (sq_gettop(vm) != before + 1) {
    sq_settop(vm, before);
    fail("game object %u pushed no script value", (unsigned)id);
  }
}

// Tag 7: a root function by name, then its environment.
void Reader::function(int depth, bool refs)
{
  SQInteger base = sq_gettop(vm);
  plain(depth + 1);
  const SQChar* name = topString();
  if (!name) fail("function name is not a string");
  if (!rootLookup() || (!sq_isclosure(SqObject::fromStack(vm, -1).o) && sq_gettype(vm, -1) != OT_NATIVECLOSURE))
    fail("No '%.200s' %s in script", name, "function");
  graph(depth + 1, refs);
  if (sq_gettype(vm, -1) != OT_NULL) {
    if (SQ_FAILED(sq_bindenv(vm, -2))) fail("Can't bind environment to closure");
  } else {
    sq_poptop(vm);
  }
  keep_top_only(vm, base);
}

// Tag 8: a method by class and method name, then its environment.
void Reader::method(int depth, bool refs)
{
  SQInteger base = sq_gettop(vm);
  plain(depth + 1);
  const SQChar* class_name = topString();
  if (!class_name) fail("class name is not a string");
  if (!rootLookup() || sq_gettype(vm, -1) != OT_CLASS) fail("No '%.200s' %s in script", class_name, "class");
  SQInteger cls = sq_gettop(vm);
  plain(depth + 1);
  const SQChar* method_name = topString();
  if (!method_name) fail("method name is not a string");
  sq_push(vm, -1);
  if (SQ_FAILED(sq_rawget(vm, cls)) ||
      (sq_gettype(vm, -1) != OT_CLOSURE && sq_gettype(vm, -1) != OT_NATIVECLOSURE))
    fail("No '%.200s' method in script class %.200s", method_name, class_name);
  graph(depth + 1, refs);
  if (sq_gettype(vm, -1) != OT_NULL) {
    if (SQ_FAILED(sq_bindenv(vm, -2))) fail("Can't bind environment to closure");
  } else {
    sq_poptop(vm);
  }
  keep_top_only(vm, base);
}

// The body behind tag 10; the object goes into the list before its contents
// are read, so they can refer to it.
void Reader::listedBody(int depth, bool refs)
{
  SQInteger base = sq_gettop(vm);
  uint8_t tag = u8();
  switch (tag) {
    case TAG_ARRAY: {
      uint32_t n = u32();
      checkCount(n, 1, "array element count");
      sq_newarray(vm, 0);
      listTop();
      elements(n, [&] { graph(depth + 1, refs); });
      return;
    }
    case TAG_TABLE: {
      uint32_t n = u32();
      checkCount(n, 2, "table slot count");
      sq_newtableex(vm, tableHint(n));
      listTop();
      pairs(n, [&] { graph(depth + 1, refs); });
      return;
    }
    case TAG_INSTANCE: {
      plain(depth + 1);
      const SQChar* class_name = topString();
      if (!class_name) fail("class name is not a string");
      if (!rootLookup() || sq_gettype(vm, -1) != OT_CLASS) fail("No '%.200s' class in script", class_name);
      if (SQ_FAILED(sq_createinstance(vm, -1))) fail("Can't create instance of %.200s", class_name);
      keep_top_only(vm, base);
      listTop();
      SQInteger inst = sq_gettop(vm);
      uint32_t n = u32();
      checkCount(n, 2, "instance member count");
      for (uint32_t i = 0; i < n; i++) {
        graph(depth + 1, refs);
        graph(depth + 1, refs);
        // A member the class no longer has is dropped.
        sq_set(vm, inst);
        sq_settop(vm, inst);
      }
      return;
    }
    case TAG_GAMEOBJ:
      gameObject();
      listTop();
      return;
    default:
      if (!load_custom_script_instance(tag, in, vm)) fail("unknown Squirrel data type");
      if (sq_gettop(vm) != base + 1) fail("custom script instance pushed no value");
      listTop();
  }
}

// One graph value; refs also takes the arrays and tables save_ref writes inline.
void Reader::graph(int depth, bool refs)
{
  enter(depth);
  uint8_t tag = u8();
  if (scalar(tag)) return;
  switch (tag) {
    case TAG_FUNCTION: function(depth, refs); return;
    case TAG_METHOD: method(depth, refs); return;
    case TAG_FIRST: listedBody(depth, refs); return;
    case TAG_REF: {
      uint32_t index = u32();
      if (index >= (uint32_t)saved_object_list.num) fail("script object ref index out of range");
      sq_pushobject(vm, saved_object_list[(int)index].o);
      return;
    }
    case TAG_GAMEOBJ: gameObject(); return;
    case TAG_ARRAY:
      if (refs) {
        uint32_t n = u32();
        checkCount(n, 1, "array element count");
        sq_newarray(vm, 0);
        elements(n, [&] { graph(depth + 1, refs); });
        return;
      }
      break;
    case TAG_TABLE:
      if (refs) {
        uint32_t n = u32();
        checkCount(n, 2, "table slot count");
        sq_newtableex(vm, tableHint(n));
        pairs(n, [&] { graph(depth + 1, refs); });
        return;
      }
      break;
    default: break;
  }
  fail("unknown Squirrel data type");
}

// Writes one graph value; any failure empties the list.
void save_graph(const SqObject& value, OutputStream& out, bool refs)
{
  try {
    if (write_scalar(value.o, out)) return;
    if (!value.vm) write_fail("script value has no VM");
    StackRestore restore(value.vm);
    GraphWriter w{value.vm, out, refs};
    w.value(value.o, 0);
  } catch (...) {
    clear_saved_objects();
    throw;
  }
}

SqObject load_graph(InputStream& in, HSQUIRRELVM vm, bool refs)
{
  try {
    StackRestore restore(vm);
    Reader r(in, vm);
    r.graph(0, refs);
    return SqObject::fromStack(vm, -1);
  } catch (...) {
    clear_saved_objects();
    throw;
  }
}

}  // namespace

DynArray<SqObject> saved_object_list;

// ---- plain values ----

void save_data(const SqObject& value, OutputStream& out)
{
  if (write_scalar(value.o, out)) return;
  if (!value.vm) write_fail("script value has no VM");
  StackRestore restore(value.vm);
  write_plain(value.vm, value.o, out, 0);
}

SqObject load_data(InputStream& in, HSQUIRRELVM vm)
{
  StackRestore restore(vm);
  Reader r(in, vm);
  r.plain(0);
  return SqObject::fromStack(vm, -1);
}

// ---- object graphs ----

void save_script_data(const SqObject& value, OutputStream& out) { save_graph(value, out, false); }
void save_ref(const SqObject& value, OutputStream& out) { save_graph(value, out, true); }

void save_script_refs(OutputStream&)
{
  debug("%d script objects saved", saved_object_list.num);
  clear_saved_objects();
}

SqObject load_script_data(InputStream& in, HSQUIRRELVM vm) { return load_graph(in, vm, false); }
SqObject load_ref(InputStream& in, HSQUIRRELVM vm) { return load_graph(in, vm, true); }

void finish_loading_script_data(HSQUIRRELVM vm)
{
  debug("%d script objects loaded", saved_object_list.num);
  if (saved_object_list.num == 0) return;
  struct ClearList
  {
    ~ClearList() { clear_saved_objects(); }
  } clear_list;
  StackRestore restore(vm);
  SQInteger base = sq_gettop(vm);

  // Object 0 holds the saved globals.
  const SqObject& globals = saved_object_list[0];
  if (sq_istable(globals.o)) {
    sq_pushroottable(vm);
    SQInteger root = sq_gettop(vm);
    sq_pushobject(vm, globals.o);
    SQInteger table = sq_gettop(vm);
    sq_pushnull(vm);
    while (SQ_SUCCEEDED(sq_next(vm, table))) {
      const SQChar* key = nullptr;
      if (sq_gettype(vm, -2) != OT_STRING || SQ_FAILED(sq_getstring(vm, -2, &key))) key = "(non-string key)";
      debug("setting script global %s", key);
      sq_push(vm, -2);
      sq_push(vm, -2);
      sq_newslot(vm, root, SQFalse);
      sq_pop(vm, 2);
    }
    sq_settop(vm, base);
  }

  // A script's own objects may grow the list while onLoaded runs: walk it by index.
  for (int i = 0; i < saved_object_list.num; i++) {
    HSQOBJECT obj = saved_object_list[i].o;
    sq_pushobject(vm, obj);
    sq_pushstring(vm, "onLoaded", -1);
    if (SQ_SUCCEEDED(sq_get(vm, -2)) &&
        (sq_gettype(vm, -1) == OT_CLOSURE || sq_gettype(vm, -1) == OT_NATIVECLOSURE)) {
      sq_pushobject(vm, obj);
      sq_reseterror(vm);
      if (SQ_FAILED(sq_call(vm, 1, SQFalse, SQTrue))) throw call_error(vm, "SqFunc<> call failed");
    }
    sq_settop(vm, base);
  }
}

// ---- BitMap instances ----

bool save_custom_script_instance(const SqObject& value, OutputStream& out)
{
  if (!sq_isinstance(value.o)) return false;
  HSQUIRRELVM vm = value.vm ? value.vm : get_world_script_vm();
  void* p = nullptr;
  if (!vm || !instance_native(vm, value.o, class_tag<BitMap>(), &p) || !p) return false;
  write_u8(out, TAG_BITMAP);
  out.write(get_bitmap_bits((BitMap*)p), k_bitmap_bytes);
  return true;
}

bool load_custom_script_instance(unsigned char tag, InputStream& in, HSQUIRRELVM vm)
{
  if (tag != TAG_BITMAP) return false;
  BitMap* map = alloc_bitmap_for_load();
  if (!map) throw InputStream::Exception("out of memory for a BitMap", in.tell());
  try {
    in.read(get_bitmap_bits(map), k_bitmap_bytes);
    push_instance(vm, map, class_tag<BitMap>(), "BitMap", release_native<BitMap>);
  } catch (const SquirrelError& e) {
    free(map);
    throw InputStream::Exception(e.desc, in.tell());
  } catch (...) {
    free(map);
    throw;
  }
  return true;
}
