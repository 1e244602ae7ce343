// Saved script values: the exact bytes of plain values and object graphs,
// identity of shared objects across a save and a load, and damaged input.
#include <gtest/gtest.h>

#include "scripting/scriptSave.h"

#include "script_test_support.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace sqbind;

namespace
{

typedef std::vector<uint8_t> Bytes;

std::string hex(const Bytes& b)
{
  std::string s;
  char buf[4];
  for (size_t i = 0; i < b.size(); i++) {
    snprintf(buf, sizeof(buf), i ? " %02X" : "%02X", b[i]);
    s += buf;
  }
  return s;
}

Bytes unhex(const std::string& s)
{
  Bytes b;
  for (size_t i = 0; i < s.size(); i += 3) b.push_back((uint8_t)strtoul(s.substr(i, 2).c_str(), nullptr, 16));
  return b;
}

Bytes bytes_of(const MemoryOutputBuffer& out) { return Bytes(out.bytes.data, out.bytes.data + out.bytes.num); }

// A VM with a few classes and functions that graphs refer to by name.
struct SaveVM : TestVM
{
  SaveVM()
  {
    bindTestClasses();
    EXPECT_TRUE(run("class Foo { </ persistent = false /> keep = 1; skip = 2; }\n"
                    "class A { function m() { return \"A.m\"; } function n() { return 1; } }\n"
                    "class B extends A { function n() { return 2; } }\n"
                    "function rf() { return this.k; }\n"
                    "log <- [];\n"
                    "class P { </ persistent = true /> name = \"\"; function onLoaded() { ::log.append(name); } }\n"));
  }
  ~SaveVM() { EXPECT_EQ(saved_object_list.num, 0); }

  std::string plain(const char* expr)
  {
    MemoryOutputBuffer out;
    save_data(eval(expr), out);
    return hex(bytes_of(out));
  }
  // The graph bytes of one value; the save is ended.
  std::string graph(const char* expr)
  {
    MemoryOutputBuffer out;
    save_script_data(eval(expr), out);
    capture_stdout([&] { save_script_refs(out); });
    return hex(bytes_of(out));
  }
  // Sets root[name] to a value read by the reader.
  void setGlobal(const char* name, const SqObject& v)
  {
    StackRestore restore(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, name, -1);
    sq_pushobject(vm, v.o);
    sq_newslot(vm, -3, SQFalse);
  }
};

template <typename Fn>
std::string output_error(Fn fn)
{
  try {
    fn();
  } catch (const OutputStream::Exception& e) {
    char pos[32];
    snprintf(pos, sizeof(pos), " @%d", e.position);
    return e.message + std::string(pos);
  }
  return "no error";
}

template <typename Fn>
std::string input_error(Fn fn)
{
  try {
    fn();
  } catch (const InputStream::Exception& e) {
    char pos[32];
    snprintf(pos, sizeof(pos), " @%d", e.position);
    return e.message + std::string(pos);
  }
  return "no error";
}

}  // namespace

// ---- plain values ----

TEST(PlainValues, BytesOfEveryKindAndRoundTrip)
{
  SaveVM t;
  struct Case
  {
    const char* expr;
    const char* bytes;
  } cases[] = {
    {"null", "00"},
    {"true", "01 01"},
    {"false", "01 00"},
    {"\"abc\"", "02 03 00 00 00 61 62 63"},
    {"\"\"", "02 00 00 00 00"},
    {"\"a\\x00b\"", "02 03 00 00 00 61 00 62"},
    {"-1", "03 FF FF FF FF"},
    {"2147483647", "03 FF FF FF 7F"},
    {"-2147483648", "03 00 00 00 80"},
    {"1.5", "04 00 00 C0 3F"},
    {"[]", "05 00 00 00 00"},
    {"{}", "06 00 00 00 00"},
    {"[1, \"a\", null, [true]]",
     "05 04 00 00 00 03 01 00 00 00 02 01 00 00 00 61 00 05 01 00 00 00 01 01"},
    {"{k = 2.0}", "06 01 00 00 00 02 01 00 00 00 6B 04 00 00 00 40"},
  };
  SQInteger top = sq_gettop(t.vm);
  for (const Case& c : cases) {
    EXPECT_EQ(t.plain(c.expr), c.bytes) << c.expr;
    Bytes b = unhex(c.bytes);
    MemoryInputStream in(b.data(), (int)b.size());
    SqObject v = load_data(in, t.vm);
    EXPECT_EQ(in.tell(), (int)b.size()) << c.expr;
    MemoryOutputBuffer again;
    save_data(v, again);
    EXPECT_EQ(hex(bytes_of(again)), c.bytes) << c.expr;
  }
  EXPECT_EQ(sq_gettop(t.vm), top);
}

TEST(PlainValues, TableCountIsPatchedAndBoolsReadAnyNonZero)
{
  SaveVM t;
  MemoryOutputBuffer out;
  save_data(t.eval("{a = 1, b = \"x\", c = [2]}"), out);
  Bytes b = bytes_of(out);
  ASSERT_GE(b.size(), 5u);
  EXPECT_EQ(hex(Bytes(b.begin(), b.begin() + 5)), "06 03 00 00 00");
  MemoryInputStream in(b.data(), (int)b.size());
  t.setGlobal("loaded", load_data(in, t.vm));
  EXPECT_TRUE(t.evalBool("loaded.a == 1 && loaded.b == \"x\" && loaded.c[0] == 2 && loaded.len() == 3"));

  Bytes two = unhex("01 02");
  MemoryInputStream bin(two.data(), 2);
  SqObject v = load_data(bin, t.vm);
  EXPECT_TRUE(sq_isbool(v.o) && sq_objtobool(&v.o));
}

TEST(PlainValues, WriterRefusals)
{
  SaveVM t;
  struct Case
  {
    const char* expr;
    const char* error;
  } cases[] = {
    {"{f = function() {}}", "unsupported Squirrel data type 8000100 @-1"},
    {"Foo()", "unsupported Squirrel data type A008000 @-1"},
    {"2147483648", "integer 2147483648 does not fit in 32 bits @-1"},
    {"-2147483649", "integer -2147483649 does not fit in 32 bits @-1"},
    {"[0x7FFFFFFFFFFFFFFF]", "integer 9223372036854775807 does not fit in 32 bits @-1"},
    {"(function() { local t = {}; t.self <- t; return t; })()",
     "script data nested too deeply (more than 512 levels, or cyclic) @-1"},
  };
  SQInteger top = sq_gettop(t.vm);
  for (const Case& c : cases) {
    MemoryOutputBuffer out;
    SqObject v = t.eval(c.expr);
    EXPECT_EQ(output_error([&] { save_data(v, out); }), c.error) << c.expr;
    EXPECT_EQ(sq_gettop(t.vm), top) << c.expr;
  }
}

// ---- object graphs ----

TEST(ObjectGraphs, SharedAndCyclicObjectsKeepIdentity)
{
  SaveVM t;
  ASSERT_TRUE(t.run("shared <- [1]; both <- [shared, shared]; selfish <- [null]; selfish[0] = selfish;"
                    "tab <- {a = shared, b = shared};"));
  EXPECT_EQ(t.graph("both"), "0A 05 02 00 00 00 0A 05 01 00 00 00 03 01 00 00 00 0B 01 00 00 00");
  EXPECT_EQ(t.graph("selfish"), "0A 05 01 00 00 00 0B 00 00 00 00");

  struct Case
  {
    const char* expr;
    const char* check;  // on the loaded value `v`
  } cases[] = {
    {"both", "v[0] == v[1] && v[0][0] == 1"},
    {"selfish", "v[0] == v"},
    {"tab", "v.a == v.b && v.a[0] == 1"},
  };
  for (const Case& c : cases) {
    MemoryOutputBuffer out;
    save_script_data(t.eval(c.expr), out);
    capture_stdout([&] { save_script_refs(out); });
    Bytes b = bytes_of(out);
    MemoryInputStream in(b.data(), (int)b.size());
    t.setGlobal("v", load_script_data(in, t.vm));
    capture_stdout([&] { finish_loading_script_data(t.vm); });
    EXPECT_TRUE(t.evalBool(c.check)) << c.expr;
  }
  ASSERT_TRUE(t.run("selfish[0] = null; v = null;"));
}

TEST(ObjectGraphs, GameObjectsBySerialId)
{
  SaveVM t;
  TestGameObj* g = t.newGameObj(77);
  t.setGlobal("g", g->scriptObj);
  ASSERT_TRUE(t.run("shared <- {}; objs <- [g, g, shared, shared];"));
  std::string bytes = t.graph("objs");
  EXPECT_EQ(bytes, "0A 05 04 00 00 00 0A 0C 4D 00 00 00 0B 01 00 00 00 0A 06 00 00 00 00 0B 02 00 00 00");

  Bytes b = unhex(bytes);
  for (bool known : {true, false}) {
    if (!known) test_gameobjs.erase(77u);
    MemoryInputStream in(b.data(), (int)b.size());
    t.setGlobal("v", load_script_data(in, t.vm));
    capture_stdout([&] { finish_loading_script_data(t.vm); });
    // An unknown id loads as null but still takes its place in the list.
    EXPECT_TRUE(t.evalBool(known ? "v[0] == g && v[1] == g && v[2] == v[3]"
                                 : "v[0] == null && v[1] == null && v[2] == v[3]"))
      << known;
  }
  test_gameobjs[77u] = g;

  std::string err;
  capture_stdout([&] {
    err = output_error([&] {
      // A game-object instance whose native pointer is gone cannot be saved.
      SqObject dead;
      push_instance(t.vm, g, class_tag<BaseObject>(), "GameObj", nullptr);
      dead = SqObject::fromStack(t.vm, -1);
      sq_setinstanceup(t.vm, -1, nullptr);
      sq_poptop(t.vm);
      MemoryOutputBuffer out;
      save_script_data(dead, out);
    });
  });
  EXPECT_EQ(err, "Native instance pointer is null @-1");
}

TEST(ObjectGraphs, BitMapsAndIndicesAcrossCalls)
{
  SaveVM t;
  ASSERT_TRUE(t.run("bm <- BitMap(0); bitmap_set(bm, 3, 2, true); bitmap_set(bm, 255, 255, true);"
                    "tab <- {}; pair <- [bm, tab];"));
  MemoryOutputBuffer out;
  save_script_data(t.eval("pair"), out);
  save_script_data(t.eval("tab"), out);  // a later call refers to the earlier list
  capture_stdout([&] { save_script_refs(out); });
  Bytes b = bytes_of(out);
  ASSERT_EQ(b.size(), 6u + 2 + 8192 + 6 + 5);
  EXPECT_EQ(hex(Bytes(b.begin(), b.begin() + 8)), "0A 05 02 00 00 00 0A 64");
  EXPECT_EQ(b[8 + 2 * 32 + 0], 0x08);  // cell (3, 2): word 16, bit 3
  EXPECT_EQ(hex(Bytes(b.end() - 11, b.end())), "0A 06 00 00 00 00 0B 02 00 00 00");

  MemoryInputStream in(b.data(), (int)b.size());
  t.setGlobal("v", load_script_data(in, t.vm));
  t.setGlobal("w", load_script_data(in, t.vm));
  EXPECT_EQ(saved_object_list.num, 3);
  capture_stdout([&] { finish_loading_script_data(t.vm); });
  EXPECT_TRUE(t.evalBool("v[1] == w && bitmap_get(v[0], 3, 2) && bitmap_get(v[0], 255, 255) && "
                         "!bitmap_get(v[0], 4, 2) && v[0] != bm"));
  SqObject loaded = t.eval("v[0]");
  StackRestore restore(t.vm);
  sq_pushobject(t.vm, loaded.o);
  SQUserPointer p = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(t.vm, -1, &p, class_tag<BitMap>())));
  EXPECT_EQ(((BitMap*)p)->cacheValid, 0);
}

TEST(ObjectGraphs, InstancesAndFunctionsByName)
{
  SaveVM t;
  ASSERT_TRUE(t.run("foo <- Foo(); foo.keep = 5; foo.skip = 6; envt <- {k = 9}; bound <- rf.bindenv(envt);"));
  struct Case
  {
    const char* expr;
    const char* bytes;  // null: only the error below
    const char* error;
  } cases[] = {
    // only members whose attributes name "persistent" (whatever the value)
    {"foo", "0A 09 02 03 00 00 00 46 6F 6F 01 00 00 00 02 04 00 00 00 6B 65 65 70 03 05 00 00 00", nullptr},
    {"rf", "07 02 02 00 00 00 72 66 00", nullptr},
    {"bound", "07 02 02 00 00 00 72 66 0A 06 01 00 00 00 02 01 00 00 00 6B 03 09 00 00 00", nullptr},
    // an inherited method is named after the class that defines it
    {"B().m", "08 02 01 00 00 00 41 02 01 00 00 00 6D 00", nullptr},
    {"B().n", "08 02 01 00 00 00 42 02 01 00 00 00 6E 00", nullptr},
    {"{f = function() {}}", nullptr, "Cannot find Squirrel function name @-1"},
    {"(class {})()", nullptr, "Cannot find instance class name @-1"},
  };
  for (const Case& c : cases) {
    if (c.bytes) {
      EXPECT_EQ(t.graph(c.expr), c.bytes) << c.expr;
    } else {
      MemoryOutputBuffer out;
      SqObject v = t.eval(c.expr);
      EXPECT_EQ(output_error([&] { save_script_data(v, out); }), c.error) << c.expr;
      EXPECT_EQ(saved_object_list.num, 0);
    }
  }

  struct Load
  {
    const char* bytes;
    const char* check;
  } loads[] = {
    {"0A 09 02 03 00 00 00 46 6F 6F 02 00 00 00 02 04 00 00 00 6B 65 65 70 03 05 00 00 00 "
     "02 04 00 00 00 67 6F 6E 65 03 01 00 00 00",
     "v instanceof Foo && v.keep == 5 && v.skip == 2"},
    {"07 02 02 00 00 00 72 66 0A 06 01 00 00 00 02 01 00 00 00 6B 03 09 00 00 00", "v() == 9"},
    {"08 02 01 00 00 00 41 02 01 00 00 00 6D 00", "v.call(B()) == \"A.m\""},
  };
  for (const Load& l : loads) {
    Bytes b = unhex(l.bytes);
    MemoryInputStream in(b.data(), (int)b.size());
    t.setGlobal("v", load_script_data(in, t.vm));
    // (checked while the list keeps a bound closure's environment alive)
    EXPECT_TRUE(t.evalBool(l.check)) << l.bytes;
    capture_stdout([&] { finish_loading_script_data(t.vm); });
  }
}

TEST(ObjectGraphs, ReferencesWrittenBySaveRef)
{
  SaveVM t;
  TestGameObj* g = t.newGameObj(5);
  t.setGlobal("g", g->scriptObj);
  ASSERT_TRUE(t.run("p <- P(); other <- P(); refs <- [p, g, rf, 3];"));
  MemoryOutputBuffer out;
  save_script_data(t.eval("p"), out);
  save_ref(t.eval("refs"), out);
  EXPECT_EQ(saved_object_list.num, 1);  // save_ref lists nothing
  EXPECT_EQ(output_error([&] { save_ref(t.eval("other"), out); }), "Reference to unsaved instance @-1");
  EXPECT_EQ(saved_object_list.num, 0);  // a failed save ends it

  MemoryOutputBuffer again;
  save_script_data(t.eval("p"), again);
  int ref_start = again.tell();
  save_ref(t.eval("refs"), again);
  capture_stdout([&] { save_script_refs(again); });
  Bytes b = bytes_of(again);
  EXPECT_EQ(hex(Bytes(b.begin() + ref_start, b.end())),
            "05 04 00 00 00 0B 00 00 00 00 0C 05 00 00 00 07 02 02 00 00 00 72 66 00 03 03 00 00 00");

  MemoryInputStream in(b.data(), (int)b.size());
  t.setGlobal("lp", load_script_data(in, t.vm));
  t.setGlobal("lr", load_ref(in, t.vm));
  capture_stdout([&] { finish_loading_script_data(t.vm); });
  EXPECT_TRUE(t.evalBool("lr[0] == lp && lr[1] == g && lr[2] == rf && lr[3] == 3"));
}

TEST(ObjectGraphs, FinishingRestoresGlobalsThenCallsOnLoadedInListOrder)
{
  SaveVM t;
  ASSERT_TRUE(t.run("answer <- 1;"
                    "function make(n) { local p = P(); p.name = n; return p; }"
                    "function table_loaded() { ::log.append(\"table\"); }"
                    "saved <- { answer = 42, first = make(\"one\") };"
                    "later <- [make(\"two\"), { onLoaded = table_loaded }, make(\"three\")];"));
  MemoryOutputBuffer out;
  save_script_data(t.eval("saved"), out);
  save_script_data(t.eval("later"), out);
  capture_stdout([&] { save_script_refs(out); });
  ASSERT_TRUE(t.run("answer = 1; log.clear();"));

  Bytes b = bytes_of(out);
  MemoryInputStream in(b.data(), (int)b.size());
  load_script_data(in, t.vm);
  load_script_data(in, t.vm);
  std::string log = capture_stdout([&] { finish_loading_script_data(t.vm); });
  EXPECT_NE(log.find("6 script objects loaded\n"), std::string::npos) << log;
  EXPECT_NE(log.find("setting script global answer\n"), std::string::npos) << log;
  EXPECT_EQ(t.evalInt("answer"), 42);
  EXPECT_TRUE(t.evalBool("log.len() == 4 && log[0] == \"one\" && log[1] == \"two\" && log[2] == \"table\" && "
                         "log[3] == \"three\""));

  // A failing onLoaded stops the walk and still ends the load.
  ASSERT_TRUE(t.run("class Bad { function onLoaded() { throw \"no\"; } } bad <- [Bad()];"));
  MemoryOutputBuffer out2;
  save_script_data(t.eval("bad"), out2);
  capture_stdout([&] { save_script_refs(out2); });
  Bytes b2 = bytes_of(out2);
  MemoryInputStream in2(b2.data(), (int)b2.size());
  load_script_data(in2, t.vm);
  capture_stdout([&] { EXPECT_THROW(finish_loading_script_data(t.vm), SquirrelError); });
  EXPECT_EQ(saved_object_list.num, 0);
}

// ---- damaged input ----

TEST(DamagedInput, TruncationAtEveryOffsetFails)
{
  SaveVM t;
  TestGameObj* g = t.newGameObj(3);
  t.setGlobal("g", g->scriptObj);
  ASSERT_TRUE(t.run("foo <- Foo(); foo.keep = \"kept\"; bm <- BitMap(1); envt <- {k = 1};"
                    "sample <- { list = [1, -2.5, true, null, \"text\", foo, foo], bits = bm, obj = g,"
                    "  fn = rf.bindenv(envt), method = A.m, nested = [[[{}]]] };"));
  MemoryOutputBuffer out;
  save_script_data(t.eval("sample"), out);
  capture_stdout([&] { save_script_refs(out); });
  Bytes graph = bytes_of(out);
  MemoryOutputBuffer pout;
  save_data(t.eval("{a = [1, \"two\", 3.0, {b = false}], c = null}"), pout);
  Bytes plain = bytes_of(pout);

  SQInteger top = sq_gettop(t.vm);
  for (int cut = 0; cut < (int)graph.size(); cut++) {
    MemoryInputStream in(graph.data(), cut);
    std::string err = input_error([&] { load_script_data(in, t.vm); });
    ASSERT_NE(err, "no error") << cut;
    ASSERT_EQ(sq_gettop(t.vm), top) << cut;
    ASSERT_EQ(saved_object_list.num, 0) << cut;
  }
  for (int cut = 0; cut < (int)plain.size(); cut++) {
    MemoryInputStream in(plain.data(), cut);
    ASSERT_NE(input_error([&] { load_data(in, t.vm); }), "no error") << cut;
    ASSERT_EQ(sq_gettop(t.vm), top) << cut;
  }

  // Every single damaged byte either loads or fails cleanly.
  for (size_t i = 0; i < graph.size(); i += (i < 256 || i > graph.size() - 512) ? 1 : 97) {
    for (uint8_t value : {(uint8_t)0x00, (uint8_t)0xFF, (uint8_t)(graph[i] ^ 0x01)}) {
      Bytes damaged = graph;
      damaged[i] = value;
      MemoryInputStream in(damaged.data(), (int)damaged.size());
      capture_stdout([&] {
        input_error([&] { load_script_data(in, t.vm); });
        save_script_refs(out);
      });
      ASSERT_EQ(sq_gettop(t.vm), top) << i;
    }
  }
  ASSERT_TRUE(t.run("sample = null; envt = null;"));
}

TEST(DamagedInput, HugeSizesBadTagsAndIndices)
{
  SaveVM t;
  struct Case
  {
    bool plain;  // load_data, else load_script_data
    const char* bytes;
    const char* error;
  } cases[] = {
    // lengths and counts larger than the data never reach an allocation
    {true, "02 FF FF FF FF", "string length 4294967295 exceeds the saved data @5"},
    {true, "05 FF FF FF FF 00", "array element count 4294967295 exceeds the saved data @5"},
    {true, "06 FF FF FF 7F", "table slot count 2147483647 exceeds the saved data @5"},
    {false, "0A 05 00 00 00 10 00", "array element count 268435456 exceeds the saved data @6"},
    {false, "0A 06 03 00 00 00 00 00", "table slot count 3 exceeds the saved data @6"},
    {false, "0A 09 02 03 00 00 00 46 6F 6F FF FF FF FF", "instance member count 4294967295 exceeds the saved data @14"},
    // tags the reader does not know, or finds in the wrong place
    {false, "0D", "unknown Squirrel data type @1"},
    {false, "05 00 00 00 00", "unknown Squirrel data type @1"},
    {false, "09", "unknown Squirrel data type @1"},
    {false, "0A 0B 00 00 00 00", "unknown Squirrel data type @2"},
    {false, "0A 63", "unknown Squirrel data type @2"},
    {false, "0A 0A 05 00 00 00 00", "unknown Squirrel data type @2"},
    // indices and names that do not resolve
    {false, "0B 00 00 00 00", "script object ref index out of range @5"},
    {false, "0A 05 01 00 00 00 0B 01 00 00 00", "script object ref index out of range @11"},
    {false, "07 02 03 00 00 00 6E 6F 70 00", "No 'nop' function in script @9"},
    {false, "07 02 03 00 00 00 46 6F 6F 00", "No 'Foo' function in script @9"},
    {false, "07 03 01 00 00 00 00", "function name is not a string @6"},
    {false, "08 02 03 00 00 00 4E 6F 70", "No 'Nop' class in script @9"},
    {false, "08 02 03 00 00 00 46 6F 6F 02 01 00 00 00 7A 00", "No 'z' method in script class Foo @15"},
    {false, "0A 09 02 03 00 00 00 4E 6F 70 00 00 00 00", "No 'Nop' class in script @10"},
    {false, "07 02 02 00 00 00 72 66 03 01 00 00 00", "Can't bind environment to closure @13"},
    {false, "0A 06 01 00 00 00 00 00", "invalid table key @8"},
    {false, "0A 64 00 01 02 03", "read() outside of input memory region @2"},
  };
  SQInteger top = sq_gettop(t.vm);
  for (const Case& c : cases) {
    Bytes b = unhex(c.bytes);
    MemoryInputStream in(b.data(), (int)b.size());
    EXPECT_EQ(input_error([&] {
                if (c.plain)
                  load_data(in, t.vm);
                else
                  load_script_data(in, t.vm);
              }),
              c.error)
      << c.bytes;
    EXPECT_EQ(sq_gettop(t.vm), top) << c.bytes;
    EXPECT_EQ(saved_object_list.num, 0) << c.bytes;
  }

  // The plain reader takes none of the graph tags.
  for (int tag = 7; tag <= 12; tag++) {
    uint8_t b = (uint8_t)tag;
    MemoryInputStream in(&b, 1);
    EXPECT_EQ(input_error([&] { load_data(in, t.vm); }), "unknown Squirrel data type @1") << tag;
  }

  // Nesting deeper than any save: refused before the native stack runs out.
  Bytes deep;
  for (int i = 0; i < 100000; i++) {
    const uint8_t level[] = {0x0A, 0x05, 0x01, 0x00, 0x00, 0x00};
    deep.insert(deep.end(), level, level + 6);
  }
  MemoryInputStream in(deep.data(), (int)deep.size());
  EXPECT_EQ(input_error([&] { load_script_data(in, t.vm); }),
            "script data nested too deeply (more than 512 levels) @3078");
  Bytes deep_plain(deep.size(), 0);
  for (size_t i = 0; i < deep.size(); i += 5) deep_plain[i] = 0x05, deep_plain[i + 1] = 0x01;
  MemoryInputStream pin(deep_plain.data(), (int)deep_plain.size());
  EXPECT_EQ(input_error([&] { load_data(pin, t.vm); }), "script data nested too deeply (more than 512 levels) @2565");
  EXPECT_EQ(sq_gettop(t.vm), top);
  EXPECT_EQ(saved_object_list.num, 0);
}

// A saved table may hold float keys that are NaN, infinite or beyond the
// 64-bit range; hashing them once cast them to integers, which is undefined
// (the sanitizer build stops on it). They load, and scripts convert such
// floats to the nearest integer of the range (NaN to 0).
TEST(DamagedInput, FloatKeysOutOfTheIntegerRangeLoad)
{
  SaveVM t;
  const char* keys[] = {"00 00 C0 7F", "00 00 80 7F", "00 00 80 FF", "CA F2 49 71", "CA F2 49 F1"};
  for (const char* key : keys) {
    SCOPED_TRACE(key);
    Bytes b = unhex(std::string("06 01 00 00 00 04 ") + key + " 03 07 00 00 00");
    MemoryInputStream in(b.data(), (int)b.size());
    t.setGlobal("loaded", load_data(in, t.vm));
    EXPECT_EQ(t.evalInt("loaded.len()"), 1);
    EXPECT_EQ(t.evalInt("(function() { foreach (k, v in loaded) return v; })()"), 7);
  }
  EXPECT_EQ(t.evalInt("(1e30).tointeger()"), INT64_MAX);
  EXPECT_EQ(t.evalInt("(-1e30).tointeger()"), INT64_MIN);
  EXPECT_EQ(t.evalInt("(1e30 * 1e30 - 1e30 * 1e30).tointeger()"), 0);
  EXPECT_EQ(t.evalInt("(-2.75).tointeger()"), -2);
  EXPECT_EQ(t.evalInt("format(\"%d\", 1e30).len()"), 19);
}
