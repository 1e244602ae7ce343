// baseLibGuards: our own natives in front of the Squirrel base library's
// allocating functions. `array(size, fill)` and `array.resize(size, fill)` take
// any number and allocate what they are told; these refuse a size that is
// negative, not finite or more than the VM's memory ceiling leaves room for,
// with a script error, before anything is allocated. Main thread only.
#pragma once

#include <squirrel.h>

// Replaces root "array" and the arrays' "resize" in a newly opened VM.
void guard_base_library(HSQUIRRELVM vm);
