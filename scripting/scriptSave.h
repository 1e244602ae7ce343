// Saved script values: a compact tagged binary form of Squirrel values for the
// save games (the slot files "info" and "uni", and the plug-in's object data).
//
// A value is one tag byte and its payload, little-endian, no header:
//   0 null | 1 bool u8 | 2 string u32 length + bytes | 3 integer i32
//   4 float f32 | 5 array u32 count + values | 6 table u32 count + key/value
// Script integers outside 32 bits cannot be saved (the writer refuses them).
//
// Object graphs extend the form: every table, array and instance is written
// once (10 + body, appended to saved_object_list) and referred to by its index
// afterwards (11 u32); closures by the root name of the function or class
// (7 name env, 8 class method env); script instances by class name and their
// "persistent" members (9); game objects by serial id (12 u32); BitMaps as
// 10 'd' + 8,192 bytes of bits. A save or a load is a sequence of calls that
// shares one list and ends with save_script_refs / finish_loading_script_data;
// the list is also emptied when a call fails, so the next save or load starts
// empty.
//
// Writers throw OutputStream::Exception (position -1), readers
// InputStream::Exception with the stream position; nothing is caught here.
// Saved data is untrusted: lengths, counts, indices and nesting are checked
// against the bytes really there, and nothing is allocated by a size read from
// the data. Readers leave the VM stack as they found it, also when they fail.
// Main thread only; one save or load at a time.
#pragma once

#include "scripting/sqbind.h"

#include "engine/dynArray.h"
#include "engine/streams.h"

// ---- plain values ----

void save_data(const sqbind::SqObject& value, OutputStream& out);
// One value created in vm.
sqbind::SqObject load_data(InputStream& in, HSQUIRRELVM vm);

// ---- object graphs ----

// Tables, arrays and instances met in the current save or load, in order of
// first appearance; an object's index is its position here.
extern DynArray<sqbind::SqObject> saved_object_list;

void save_script_data(const sqbind::SqObject& value, OutputStream& out);
// A value that only refers to objects already written: listed instances as
// 11, game objects as 12; never lists anything and never writes 10.
void save_ref(const sqbind::SqObject& value, OutputStream& out);
// Ends a save: logs the count and empties the list. Writes nothing.
void save_script_refs(OutputStream& out);

sqbind::SqObject load_script_data(InputStream& in, HSQUIRRELVM vm);
// Reads what save_ref wrote (the graph reader; it also takes the arrays and
// tables that save_ref writes inline).
sqbind::SqObject load_ref(InputStream& in, HSQUIRRELVM vm);
// Ends a load: object 0 (the saved globals) is copied into the root table,
// then every listed object with an onLoaded member has it called, in list
// order; the list is emptied. A failing onLoaded throws SquirrelError.
void finish_loading_script_data(HSQUIRRELVM vm);

// Native instances of the program's own script classes (BitMap): true when
// the hook wrote the body / pushed the instance.
bool save_custom_script_instance(const sqbind::SqObject& value, OutputStream& out);
bool load_custom_script_instance(unsigned char tag, InputStream& in, HSQUIRRELVM vm);
