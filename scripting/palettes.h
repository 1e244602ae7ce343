// World palettes: the colour table "gen/palettes.csv" beside the world
// scripts, read into the world VM's root table as "world_palettes".
//
// The first line names the columns (the first column is the palette name);
// each further line is one palette, a table from column name to value: the
// name as a string, every other cell an unsigned 32-bit number (decimal,
// 0x... hexadecimal or 0... octal), held as a script integer of 32 bits, so
// colours of alpha 0x80 and above read as negative numbers. Cells are
// separated by ',' or ';', and a run of separators counts as one; blanks round
// a cell are ignored, lines starting with '#' and empty lines are skipped, and
// a later palette of the same name replaces an earlier one.
//
// The file is edited by hand and read as untrusted: a line of 1,024 bytes or
// more, a NUL byte, a column name of 260 characters or more, a repeated column
// name, a line whose cell count differs from the header's, a cell that is not
// wholly a number, or a number above 0xFFFFFFFF refuses the whole file with an
// error naming the line and the cell. The table is built apart and replaces
// "world_palettes" only when the whole file is good; otherwise the previous
// table stays. Main thread only.
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
// the text of the first problem found.
void load_world_palettes(HSQUIRRELVM vm);

// True when the file's modification time differs from the stored one.
bool world_palettes_changed();
