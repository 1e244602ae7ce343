// The world VM handle as the rest of the program and the plug-in reach it.
// Kept apart so that a program with its own world VM (a test) links without it.
#include "scripting/hmGenScript.h"
#include "scripting/scriptServices.h"

HSQUIRRELVM get_world_script_vm() { return world_script_vm.vm; }
