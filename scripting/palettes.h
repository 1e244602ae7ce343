// World palettes: the colour table "gen/palettes.csv" beside the world
// scripts, read into the world VM's root table as "world_palettes".
//
// The first line names the columns (the first column is the palette name);
// each further line is one palette, a table from column name to value: the
// name as a string, every other cell read as the C library's strtoul reads it
// with base 0 (decimal, 0x... hexadecimal or 0... octal) and held as a script
// integer of 32 bits, so colours of alpha 0x80 and above read as negative
// numbers. Cells are separated by ',', ';', CR or LF, and a run of separators
// counts as one: an empty cell does not exist, so the cells after a gap move
// one column to the left. Blanks round a cell are ignored, lines starting with
// '#' and lines without cells are skipped, and a later palette of the same
// name replaces an earlier one.
//
// The file is edited by hand and read leniently: a cell "12abc" stores 12, a
// cell that is no number is left out of its row, cells beyond the header's
// columns are ignored, a column name of 260 characters or more is cut, and the
// rest of a line after a NUL byte is not read; each repaired or skipped cell
// is logged once. Only what cannot be read at all is refused (no file, an
// empty file, a file over 1 MiB); the previous table then stays. Main thread
// only.
#pragma once

#include <squirrel.h>

#include <cstdint>

// Relative name of the table, beside the program.
extern const char* const world_palettes_file;
// Modification time of the file when it was last loaded (or tried).
extern uint64_t world_palettes_file_time;

// Reads the file into root["world_palettes"] of vm. The file time is stored
// first, so a refused file is not read again until it changes. Throws
// sqbind::SquirrelError: "can't open %s", "error reading %s" (empty file) or
// "%s is too large (over %d bytes)".
void load_world_palettes(HSQUIRRELVM vm);

// True when the file's modification time differs from the stored one.
bool world_palettes_changed();
