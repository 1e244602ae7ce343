// Loading, binding and unbinding the gameobj plug-in.
#include "gameshell/gameobjHost.h"

#include "gameshell/gameobjExports.h"

#include "scripting/hmGenScriptServices.h"

#include "engine/debug.h"
#include "engine/dynlib.h"
#include "engine/gui/guiServices.h"
#include "engine/paths.h"

#include <cstring>

#define GAMEOBJ_DEFINE_FUNC_VAR(R, name, params) R(*name) params = nullptr;
GAMEOBJ_BOUND_FUNCS(GAMEOBJ_DEFINE_FUNC_VAR)
#undef GAMEOBJ_DEFINE_FUNC_VAR

void* gameobj_dll_handle = nullptr;
void* gameobj_vtable_table[NUM_GAMEOBJ_CLASSES];

namespace
{
struct FuncSlot
{
  const char* name;
  void** var;
};

#define GAMEOBJ_FUNC_SLOT(R, name, params) {#name, reinterpret_cast<void**>(&name)},
const FuncSlot func_slots[] = {GAMEOBJ_BOUND_FUNCS(GAMEOBJ_FUNC_SLOT)};
#undef GAMEOBJ_FUNC_SLOT
static_assert(sizeof(func_slots) / sizeof(func_slots[0]) == NUM_GAMEOBJ_FUNCS, "99 bound names");

// The objects' class-table word and flag word, reached through BaseObject.
inline BaseObject* object_at(void* p) { return static_cast<BaseObject*>(p); }
inline void*& class_table_of(BaseObject* obj) { return *reinterpret_cast<void**>(obj); }

const uint32_t REMAP_MARK = 2;

// Gives an object the new library's table of its class, once per binding:
// an object that stands in several lists carries the mark after its first.
void remap_object(BaseObject* obj, void* const* new_tables)
{
  if (obj->flags & REMAP_MARK) return;
  obj->flags |= REMAP_MARK;
  class_table_of(obj) = new_tables[find_gameobj_vtable_index(class_table_of(obj))];
}

template <typename T>
void remap_list(DynArray<T*>& list, void* const* new_tables)
{
  for (int i = 0; i < list.num; i++) remap_object(object_at(list[i]), new_tables);
}

template <typename T>
void clear_remap_marks(DynArray<T*>& list)
{
  for (int i = 0; i < list.num; i++) object_at(list[i])->flags &= ~REMAP_MARK;
}
}  // namespace

void* resolve_gameobj_func(GetGameobjFuncByName get_func, const char* name)
{
  void* f = get_func(name);
  if (!f) fatal("no \"%s\" function in gameobj.dll", name);
  return f;
}

int find_gameobj_vtable_index(const void* vtable)
{
  // Index 0 is never an object's class.
  for (int i = 1; i < NUM_GAMEOBJ_CLASSES; i++)
    if (gameobj_vtable_table[i] == vtable) return i;
  fatal("cannot find object vtable");
}

// The behaviour registry's length before the library was bound; -1 when none is.
static int behaviors_before_gameobj = -1;

void gui_show_tooltip(const char* text)
{
  if (show_tooltip) show_tooltip(text);
}

void gui_hide_tooltip()
{
  if (hide_tooltip) hide_tooltip();
}

void bind_gameobj_dll(void* library)
{
  GetGameobjFuncByName get_func =
      reinterpret_cast<GetGameobjFuncByName>(get_proc_address(library, "get_gameobj_func_by_name"));
  GetGameobjVtables get_vtables = reinterpret_cast<GetGameobjVtables>(get_proc_address(library, "get_gameobj_vtables"));
  if (!get_func || !get_vtables) fatal("invalid gameobj.dll");

  for (const FuncSlot& slot : func_slots) *slot.var = resolve_gameobj_func(get_func, slot.name);

  int count = 0;
  void** new_tables = get_vtables(&count);
  if (count != NUM_GAMEOBJ_CLASSES || !new_tables) fatal("gameobj classes changed, need restart");

#define GAMEOBJ_REMAP_LIST(cls) remap_list(cls##_list, new_tables);
  GAMEOBJ_LIST_CLASSES(GAMEOBJ_REMAP_LIST)
#undef GAMEOBJ_REMAP_LIST
#define GAMEOBJ_CLEAR_MARKS(cls) clear_remap_marks(cls##_list);
  GAMEOBJ_LIST_CLASSES(GAMEOBJ_CLEAR_MARKS)
#undef GAMEOBJ_CLEAR_MARKS

  memcpy(gameobj_vtable_table, new_tables, sizeof(gameobj_vtable_table));

  // What the library registers from here on is its own (see unbind).
  behaviors_before_gameobj = num_registered_behaviors();

  reinterpret_cast<void (*)()>(resolve_gameobj_func(get_func, "link_gui"))();
}

void unbind_gameobj_dll()
{
  for (const FuncSlot& slot : func_slots) *slot.var = nullptr;

  // The screens' code lives in the library: release them while it is loaded.
#define GAMEOBJ_RELEASE_SCREEN(name)            \
  name##_screen_Class::createScreen = nullptr; \
  if (name##_screen) name##_screen->release();
  GAMEOBJ_SCREENS(GAMEOBJ_RELEASE_SCREEN)
#undef GAMEOBJ_RELEASE_SCREEN
  destroy_queued_gui_elements();

  tooltip_style.removeAllSheets();
  spells_style.removeAllSheets();
  common_style.removeAllSheets();
  // The behaviours the library registered go with it, so that the next
  // library's registrations take effect.
  if (behaviors_before_gameobj >= 0) unregister_behaviors_after(behaviors_before_gameobj);
  behaviors_before_gameobj = -1;
}

void unload_gameobj()
{
  if (!gameobj_dll_handle) return;
  // Destroyed objects are deleted by their own library's code.
  if (delete_gameobj) delete_gameobj();
  unbind_gameobj_dll();
  if (!free_library(gameobj_dll_handle)) debug("gameobj: unloading failed: %s", library_error());
  gameobj_dll_handle = nullptr;
}

void load_gameobj_library(const char* path)
{
  unload_gameobj();
  TempString<260> full = make_full_path(path ? path : GAMEOBJ_LIBRARY_NAME);
  gameobj_dll_handle = load_library(full.c_str());
  if (!gameobj_dll_handle) {
    debug("loading %s: %s", full.c_str(), library_error());
    fatal("can't load gameobj.dll");
  }
  bind_gameobj_dll(gameobj_dll_handle);
}

void init_new_player(Player* player)
{
  if (player) as_gameobj(player)->onNewPlayer();
}

void refresh_universe_screen()
{
  if (universe_screen) universe_screen->universeChanged();
}
