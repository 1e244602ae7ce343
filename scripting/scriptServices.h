// What the scripting core needs from outside it: the game objects of the
// plug-in (saved graphs refer to them by serial id), the world script VM and
// the world script's bit maps (saved graphs carry them whole).
//
// Scripting only declares these; their owners define them (the game shell
// binds get_gameobj_by_ser_id from the plug-in; the world script VM defines the
// rest), and test programs supply their own doubles. Main thread only.
#pragma once

#include <squirrel.h>

#include <cstdint>

class BaseObject;
class BitMap;

// ---- bound from the gameobj plug-in by the game shell (null until bound) ----

// The live game object with that serial id, or null.
extern BaseObject* (*get_gameobj_by_ser_id)(unsigned serial_id);

// ---- world script VM ----

// The world-generation VM; null before start-up and after shut-down.
HSQUIRRELVM get_world_script_vm();

// A BitMap's bits: 2,048 32-bit words (8,192 bytes), row z in words z * 8 to
// z * 8 + 7, cell (x, z) in bit x & 31 of word z * 8 + (x >> 5).
uint32_t* get_bitmap_bits(BitMap* map);
// A new BitMap on the program's heap (malloc: a "BitMap" instance that owns it
// frees it with free()) whose cached bounds are marked stale; its bits are
// about to be overwritten. Null when out of memory.
BitMap* alloc_bitmap_for_load();
