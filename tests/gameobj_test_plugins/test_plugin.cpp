// A plug-in for the host's tests: a distinct function for every bound name
// and for link_gui, 85 class tables of its own, and switches by which a test
// makes it lack a name or report another count. link_gui also opens three
// screens (each empties its slot when released) and fills the three styles,
// so that unbinding has something to release.
#include "tests/gameobj_test_plugins/test_plugin.h"

#include "gameshell/gameobjFuncs.h"

#include <cstring>
#include <utility>

#ifndef TP_VERSION
#error "TP_VERSION names the build"
#endif

#define TP_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) int tp_link_gui_calls = 0;
__attribute__((visibility("default"))) int tp_screens_deleted = 0;
__attribute__((visibility("default"))) const char* tp_missing_name = nullptr;
__attribute__((visibility("default"))) int tp_vtable_count = NUM_GAMEOBJ_CLASSES;
}

namespace
{
template <int N>
class TestClass : public TestObject
{
public:
  void move(float, float, vec4f*, Matrix44*, int) override {}
  vec4f* getPos(vec4f* out) override { return out; }
  void onLeaveDevMode() override {}
  void onNewPlayer() override {}
  int whoAmI() override { return TP_VERSION * 1000 + N; }
};

template <int N>
TestObject* make_object()
{
  return new TestClass<N>();
}

template <int N>
void* class_table()
{
  TestClass<N> probe;
  return *reinterpret_cast<void**>(&probe);
}

template <int... N>
struct Classes
{
  static void** tables()
  {
    static void* t[] = {class_table<N>()...};
    return t;
  }
  static TestObject* make(int i)
  {
    static TestObject* (*const f[])() = {make_object<N>...};
    return i >= 0 && i < int(sizeof...(N)) ? f[i]() : nullptr;
  }
};

template <int... N>
Classes<N...> classes_of(std::integer_sequence<int, N...>);
typedef decltype(classes_of(std::make_integer_sequence<int, NUM_GAMEOBJ_CLASSES>())) AllClasses;

// One function per name, each with a body of its own so none is folded into another.
int calls[NUM_GAMEOBJ_FUNCS + 1];
template <int I>
void named_func()
{
  calls[I]++;
}

const char* const names[] = {
#define TP_NAME(R, name, params) #name,
    GAMEOBJ_BOUND_FUNCS(TP_NAME)
#undef TP_NAME
        "link_gui"};

class TestScreen : public GameScreen
{
public:
  ~TestScreen() override { tp_screens_deleted++; }
};

// A screen in one of the game's slots, which it empties when released.
template <class Base, Base** Slot>
class SlotScreen : public Base
{
public:
  ~SlotScreen() override { tp_screens_deleted++; }
  void release() override
  {
    if (*Slot == this) *Slot = nullptr;
    BaseGuiScreen::release();
  }
};

BaseGuiScreen* create_screen() { return new TestScreen(); }

void link_gui()
{
  tp_link_gui_calls++;
#define TP_SET_FACTORY(name) name##_screen_Class::createScreen = create_screen;
  GAMEOBJ_SCREENS(TP_SET_FACTORY)
#undef TP_SET_FACTORY
  tooltip_screen = new SlotScreen<tooltip_screen_Class, &tooltip_screen>();
  main_menu_screen = new SlotScreen<main_menu_screen_Class, &main_menu_screen>();
  universe_screen = new SlotScreen<universe_screen_Class, &universe_screen>();
  tooltip_style.addSheet(nullptr, nullptr);
  spells_style.addSheet(nullptr, nullptr);
  common_style.addSheet(nullptr, nullptr);
  common_style.addSheet(nullptr, nullptr);
}

template <int... I>
void* func_by_index(int i, std::integer_sequence<int, I...>)
{
  static void (*const f[])() = {named_func<I>...};
  return reinterpret_cast<void*>(f[i]);
}
}  // namespace

TP_EXPORT void* get_gameobj_func_by_name(const char* name)
{
  if (tp_missing_name && strcmp(name, tp_missing_name) == 0) return nullptr;
  if (strcmp(name, "link_gui") == 0) return reinterpret_cast<void*>(link_gui);
  for (int i = 0; i < NUM_GAMEOBJ_FUNCS; i++)
    if (strcmp(name, names[i]) == 0) return func_by_index(i, std::make_integer_sequence<int, NUM_GAMEOBJ_FUNCS>());
  return nullptr;
}

TP_EXPORT void** get_gameobj_vtables(int* count)
{
  *count = tp_vtable_count;
  return AllClasses::tables();
}

TP_EXPORT TestObject* tp_new_object(int class_index) { return AllClasses::make(class_index); }
