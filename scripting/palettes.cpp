#include "scripting/palettes.h"

#include "scripting/sqbind.h"

#include "engine/debug.h"
#include "engine/paths.h"
#include "engine/utils.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace sqbind;

const char* const world_palettes_file = "gen/palettes.csv";
uint64_t world_palettes_file_time = 0;

namespace
{

enum
{
  MAX_COLUMN_NAME = 260,   // a column name must fit this buffer with its terminator
  MAX_FILE_SIZE = 1 << 20  // far beyond any real table; refuses runaway files
};

struct Cell
{
  const char* text;
  int len;
};

bool is_separator(char c) { return c == ',' || c == ';' || c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Splits one line into cells; a run of separators counts as one, so no cell
// is empty. Blanks round a cell are dropped.
void split_cells(const char* line, int len, std::vector<Cell>& cells)
{
  cells.clear();
  int i = 0;
  while (i < len) {
    while (i < len && is_separator(line[i])) i++;
    int start = i;
    while (i < len && !is_separator(line[i])) i++;
    int end = i;
    while (start < end && is_blank(line[start])) start++;
    while (end > start && is_blank(line[end - 1])) end--;
    if (end > start) cells.push_back(Cell{line + start, end - start});
  }
}

// A cell read as the C library's strtoul with base 0 reads it: as many
// characters as form a number; a sign is taken and the value wraps as strtoul
// wraps it. The script holds the low 32 bits.
enum class NumberResult { OK, REPAIRED, NOT_A_NUMBER };

NumberResult parse_number(const Cell& cell, uint32_t& out)
{
  std::string buf(cell.text, cell.len);
  errno = 0;
  char* end = nullptr;
  unsigned long v = strtoul(buf.c_str(), &end, 0);
  if (end == buf.c_str()) return NumberResult::NOT_A_NUMBER;
  out = (uint32_t)v;
  bool whole = end == buf.c_str() + buf.size();
  bool exact = errno != ERANGE && v <= 0xFFFFFFFFul && buf[0] != '-' && buf[0] != '+';
  return whole && exact ? NumberResult::OK : NumberResult::REPAIRED;
}

}  // namespace

void load_world_palettes(HSQUIRRELVM vm)
{
  TempString<260> path = make_full_path(world_palettes_file);
  world_palettes_file_time = (uint64_t)get_file_time(path);

  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw SquirrelError(TempString<256>::format("can't open %s", path.c_str()));
  // Read as it comes, so a small table costs no more than its size; one byte
  // past the limit is enough to refuse a runaway file. Plain system calls: a
  // stdio stream would allocate a buffer only to copy through it.
  std::vector<char> data;
  char chunk[16384];
  bool read_failed = false;
  while (data.size() <= MAX_FILE_SIZE) {
    ssize_t got = read(fd, chunk, sizeof(chunk));
    if (got < 0 && errno == EINTR) continue;
    read_failed = got < 0;
    if (got <= 0) break;
    data.insert(data.end(), chunk, chunk + got);
  }
  size_t size = data.size();
  close(fd);
  if (read_failed || size == 0) throw SquirrelError(TempString<256>::format("error reading %s", path.c_str()));
  if (size > MAX_FILE_SIZE)
    throw SquirrelError(TempString<512>::format("%s is too large (over %d bytes)", path.c_str(), (int)MAX_FILE_SIZE));

  StackRestore restore(vm);
  std::vector<Cell> cells;
  std::vector<std::string> columns;
  HSQOBJECT palettes;
  sq_resetobject(&palettes);

  int line_no = 0;
  size_t pos = 0;
  while (pos < size) {
    size_t eol = pos;
    while (eol < size && data[eol] != '\n') eol++;
    const char* line = data.data() + pos;
    int len = int(eol - pos);
    pos = eol + 1;
    line_no++;
    // A C string ends at a NUL byte: the rest of such a line is not read.
    if (const void* nul = memchr(line, 0, len)) len = int((const char*)nul - line);

    if (line_no == 1) {
      split_cells(line, len, cells);
      for (const Cell& c : cells) {
        int n = c.len;
        if (n >= MAX_COLUMN_NAME) {
          n = MAX_COLUMN_NAME - 1;
          debug("%s(1): column name '%.40s...' cut to %d characters", path.c_str(), c.text, n);
        }
        columns.emplace_back(c.text, n);
      }
      sq_newtableex(vm, 50);
      sq_getstackobj(vm, -1, &palettes);
      sq_pushroottable(vm);
      sq_pushstring(vm, "world_palettes", -1);
      sq_pushobject(vm, palettes);
      sq_newslot(vm, -3, SQFalse);
      sq_poptop(vm);
      continue;
    }

    if (len > 0 && line[0] == '#') continue;
    split_cells(line, len, cells);
    if (cells.empty()) continue;
    std::string name(cells[0].text, cells[0].len);
    int n = (int)std::min(cells.size(), columns.size());
    if (n == 0) continue;

    // palettes[name] = row, pushed as key and value below the palettes table.
    sq_pushstring(vm, name.c_str(), -1);
    sq_newtableex(vm, (SQInteger)columns.size());
    sq_pushstring(vm, columns[0].c_str(), -1);
    sq_pushstring(vm, name.c_str(), -1);
    sq_newslot(vm, -3, SQFalse);
    for (int k = 1; k < n; k++) {
      const Cell& c = cells[k];
      uint32_t v = 0;
      NumberResult r = parse_number(c, v);
      if (r == NumberResult::NOT_A_NUMBER) {
        debug("%s(%d): palette '%.60s', column '%s': '%.*s' is not a number, left out", path.c_str(), line_no,
              name.c_str(), columns[k].c_str(), c.len > 40 ? 40 : c.len, c.text);
        continue;
      }
      if (r == NumberResult::REPAIRED)
        debug("%s(%d): palette '%.60s', column '%s': '%.*s' read as 0x%08X", path.c_str(), line_no, name.c_str(),
              columns[k].c_str(), c.len > 40 ? 40 : c.len, c.text, (unsigned)v);
      sq_pushstring(vm, columns[k].c_str(), -1);
      sq_pushinteger(vm, (SQInteger)(int32_t)v);
      sq_newslot(vm, -3, SQFalse);
    }
    sq_newslot(vm, -3, SQFalse);
  }
}

bool world_palettes_changed()
{
  TempString<260> path = make_full_path(world_palettes_file);
  return (uint64_t)get_file_time(path) != world_palettes_file_time;
}
