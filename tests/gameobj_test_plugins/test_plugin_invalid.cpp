// A library that is no gameobj plug-in: it has the function look-up but not
// the class tables.
extern "C" __attribute__((visibility("default"))) void* get_gameobj_func_by_name(const char*) { return nullptr; }
