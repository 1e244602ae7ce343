// The plug-in host with test plug-ins: binding, the class-table swap of live
// objects, unbinding, and the fatal messages of a plug-in that does not match.
#include "gameshell/gameobjHost.h"

#include "tests/gameobj_test_plugins/test_plugin.h"

#include "engine/dynlib.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
const std::string plugin_dir = QM_TEST_PLUGIN_DIR;
const std::string plugin_a = plugin_dir + "/test_plugin_a.so";
const std::string plugin_b = plugin_dir + "/test_plugin_b.so";
const std::string plugin_invalid = plugin_dir + "/test_plugin_invalid.so";

template <class T>
T& plugin_var(void* lib, const char* name)
{
  void* p = get_proc_address(lib, name);
  EXPECT_NE(p, nullptr) << name;
  return *static_cast<T*>(p);
}

TestObject* new_test_object(void* lib, int class_index)
{
  TpNewObject make = reinterpret_cast<TpNewObject>(get_proc_address(lib, "tp_new_object"));
  return make(class_index);
}

template <class T>
void put(DynArray<T*>& list, TestObject* obj)
{
  list.push_back(static_cast<T*>(static_cast<void*>(static_cast<BaseObject*>(obj))));
}

TestObject* test_object(void* p) { return static_cast<TestObject*>(static_cast<GameObj*>(static_cast<BaseObject*>(p))); }

void clear_lists()
{
#define CLEAR_LIST(cls) cls##_list.clear();
  GAMEOBJ_LIST_CLASSES(CLEAR_LIST)
#undef CLEAR_LIST
}

class PluginHost : public ::testing::Test
{
protected:
  void* lib = nullptr;

  void* load(const std::string& path)
  {
    void* l = load_library(path.c_str());
    EXPECT_NE(l, nullptr) << library_error();
    return l;
  }
  void TearDown() override
  {
    clear_lists();
    if (lib) {
      unbind_gameobj_dll();
      free_library(lib);
    }
  }
};

TEST_F(PluginHost, BindingFillsEveryVariableAndLinksTheGuiOnce)
{
  lib = load(plugin_a);
  bind_gameobj_dll(lib);

  GetGameobjFuncByName get_func =
      reinterpret_cast<GetGameobjFuncByName>(get_proc_address(lib, "get_gameobj_func_by_name"));
#define EXPECT_BOUND(R, name, params)                        \
  EXPECT_NE(reinterpret_cast<void*>(name), nullptr) << #name; \
  EXPECT_EQ(reinterpret_cast<void*>(name), get_func(#name)) << #name;
  GAMEOBJ_BOUND_FUNCS(EXPECT_BOUND)
#undef EXPECT_BOUND
  EXPECT_EQ(plugin_var<int>(lib, "tp_link_gui_calls"), 1);

  // With no live objects the table is copied as the plug-in gives it.
  int count = 0;
  void** tables = reinterpret_cast<GetGameobjVtables>(get_proc_address(lib, "get_gameobj_vtables"))(&count);
  for (int i = 0; i < NUM_GAMEOBJ_CLASSES; i++) EXPECT_EQ(gameobj_vtable_table[i], tables[i]) << i;
}

TEST_F(PluginHost, LiveObjectsAnswerTheNewLibraryAfterASwap)
{
  lib = load(plugin_a);
  bind_gameobj_dll(lib);

  // One object stands in two lists; the others in one each.
  TestObject* both = new_test_object(lib, 1);
  TestObject* castle = new_test_object(lib, 40);
  TestObject* portal = new_test_object(lib, 44);
  TestObject* last = new_test_object(lib, 84);
  put(Player_list, both);
  put(CastleObject_list, castle);
  put(CastleObject_list, both);
  put(WorldPortal_list, portal);
  put(LightPillarEffect_list, last);
  EXPECT_EQ(both->whoAmI(), 1001);
  EXPECT_EQ(castle->whoAmI(), 1040);

  unbind_gameobj_dll();
  free_library(lib);
  lib = load(plugin_b);
  bind_gameobj_dll(lib);

  struct
  {
    TestObject* obj;
    int expected;
  } cases[] = {{both, 2001}, {castle, 2040}, {portal, 2044}, {last, 2084}};
  for (auto& c : cases) {
    EXPECT_EQ(c.obj->whoAmI(), c.expected);
    EXPECT_EQ(c.obj->flags & 2u, 0u) << c.expected;  // the remap mark is cleared
  }
  EXPECT_EQ(test_object(Player_list[0]), both);
  for (auto& c : cases) delete c.obj;
}

TEST_F(PluginHost, UnbindingEmptiesTheVariablesScreensAndStyles)
{
  lib = load(plugin_a);
  bind_gameobj_dll(lib);
  void* tables_before[NUM_GAMEOBJ_CLASSES];
  memcpy(tables_before, gameobj_vtable_table, sizeof(tables_before));
  ASSERT_NE(main_menu_screen, nullptr);
  ASSERT_EQ(common_style.sheets.num, 2);

  unbind_gameobj_dll();

#define EXPECT_UNBOUND(R, name, params) EXPECT_EQ(reinterpret_cast<void*>(name), nullptr) << #name;
  GAMEOBJ_BOUND_FUNCS(EXPECT_UNBOUND)
#undef EXPECT_UNBOUND
#define EXPECT_NO_FACTORY(name) EXPECT_EQ(name##_screen_Class::createScreen, nullptr) << #name;
  GAMEOBJ_SCREENS(EXPECT_NO_FACTORY)
#undef EXPECT_NO_FACTORY
  EXPECT_EQ(plugin_var<int>(lib, "tp_screens_deleted"), 3);  // released and deleted
  EXPECT_EQ(main_menu_screen, nullptr);
  EXPECT_EQ(tooltip_style.sheets.num, 0);
  EXPECT_EQ(spells_style.sheets.num, 0);
  EXPECT_EQ(common_style.sheets.num, 0);
  EXPECT_EQ(memcmp(tables_before, gameobj_vtable_table, sizeof(tables_before)), 0);  // kept for the next binding
}

TEST_F(PluginHost, AFreedPluginIsGone)
{
  void* l = load(plugin_a);
  bind_gameobj_dll(l);
  unbind_gameobj_dll();
  ASSERT_TRUE(free_library(l));
  EXPECT_EQ(dlopen(plugin_a.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// ---- a plug-in that does not match is fatal ----

class PluginHostDeath : public PluginHost
{
};

TEST_F(PluginHostDeath, EachMissingNameIsReportedByName)
{
  std::vector<std::string> names = {
#define NAME_OF(R, name, params) #name,
      GAMEOBJ_BOUND_FUNCS(NAME_OF)
#undef NAME_OF
          "link_gui"};
  ASSERT_EQ(names.size(), size_t(NUM_GAMEOBJ_FUNCS + 1));
  lib = load(plugin_a);
  for (const std::string& name : names) {
    plugin_var<const char*>(lib, "tp_missing_name") = name.c_str();
    EXPECT_EXIT(bind_gameobj_dll(lib), ::testing::ExitedWithCode(100),
                "no \"" + name + "\" function in gameobj\\.dll");
  }
  plugin_var<const char*>(lib, "tp_missing_name") = nullptr;
}

TEST_F(PluginHostDeath, AClassCountOtherThan85)
{
  lib = load(plugin_a);
  for (int count : {0, 84, 86}) {
    plugin_var<int>(lib, "tp_vtable_count") = count;
    EXPECT_EXIT(bind_gameobj_dll(lib), ::testing::ExitedWithCode(100), "gameobj classes changed, need restart");
  }
  plugin_var<int>(lib, "tp_vtable_count") = NUM_GAMEOBJ_CLASSES;
}

TEST_F(PluginHostDeath, AnObjectOfAnUnknownOrIndexZeroClass)
{
  lib = load(plugin_a);
  bind_gameobj_dll(lib);
  // Index 0 is never an object's class; an object of a class outside the
  // table has no index at all.
  for (int index : {0, -1}) {
    TestObject* obj = index == 0 ? new_test_object(lib, 0) : nullptr;
    struct Stranger : TestObject
    {
      void move(float, float, vec4f*, Matrix44*, int) override {}
      vec4f* getPos(vec4f* out) override { return out; }
      void onLeaveDevMode() override {}
      void onNewPlayer() override {}
      int whoAmI() override { return -1; }
    };
    if (!obj) obj = new Stranger();
    clear_lists();
    put(TreeObject_list, obj);
    EXPECT_EXIT(bind_gameobj_dll(lib), ::testing::ExitedWithCode(100), "cannot find object vtable") << index;
    clear_lists();
    delete obj;
  }
}

TEST_F(PluginHostDeath, ALibraryWithoutTheExports)
{
  void* l = load(plugin_invalid);
  EXPECT_EXIT(bind_gameobj_dll(l), ::testing::ExitedWithCode(100), "invalid gameobj\\.dll");
  free_library(l);
}

TEST_F(PluginHostDeath, ALibraryThatDoesNotLoad)
{
  EXPECT_EXIT(load_gameobj_library((plugin_dir + "/no_such_plugin.so").c_str()), ::testing::ExitedWithCode(100),
              "can't load gameobj\\.dll");
}
}  // namespace
