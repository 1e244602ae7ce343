#include "scripting/palettes.h"

#include "scripting/sqbind.h"

#include "engine/paths.h"
#include "engine/utils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
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
  MAX_LINE = 1024,         // a line must fit this buffer with its terminator
  MAX_COLUMN_NAME = 260,   // a column name must fit this buffer likewise
  MAX_CELLS = MAX_LINE / 2 + 1,
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
int split_cells(const char* line, int len, Cell* cells)
{
  int n = 0;
  int i = 0;
  while (i < len) {
    while (i < len && is_separator(line[i])) i++;
    int start = i;
    while (i < len && !is_separator(line[i])) i++;
    int end = i;
    while (start < end && is_blank(line[start])) start++;
    while (end > start && is_blank(line[end - 1])) end--;
    if (end > start && n < MAX_CELLS) cells[n++] = Cell{line + start, end - start};
  }
  return n;
}

struct PaletteFile
{
  const char* path;
  int lineNo = 0;

  [[noreturn]] QM_PRINTF(2, 3) void fail(const char* fmt, ...) const
  {
    TempString<512> msg;
    int n = snprintf(msg.buffer, sizeof(msg.buffer), "%s(%d): ", path, lineNo);
    va_list args;
    va_start(args, fmt);
    if (n >= 0 && n < (int)sizeof(msg.buffer)) vsnprintf(msg.buffer + n, sizeof(msg.buffer) - n, fmt, args);
    va_end(args);
    throw SquirrelError(msg.buffer);
  }
};

// The whole cell as an unsigned 32-bit number, automatic base; false when
// any character is left over or the value does not fit.
enum class NumberResult { OK, NOT_A_NUMBER, TOO_BIG };

NumberResult parse_number(const Cell& cell, uint32_t& out)
{
  char buf[MAX_LINE];
  memcpy(buf, cell.text, cell.len);
  buf[cell.len] = 0;
  // strtoull would also take a sign (and wrap "-1" round to a huge value).
  if (buf[0] < '0' || buf[0] > '9') return NumberResult::NOT_A_NUMBER;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = strtoull(buf, &end, 0);
  if (end != buf + cell.len) return NumberResult::NOT_A_NUMBER;
  if (errno == ERANGE || v > 0xFFFFFFFFull) return NumberResult::TOO_BIG;
  out = (uint32_t)v;
  return NumberResult::OK;
}

}  // namespace

void load_world_palettes(HSQUIRRELVM vm)
{
  TempString<260> path = make_full_path(world_palettes_file);
  world_palettes_file_time = (uint64_t)get_file_time(path);

  FILE* f = fopen(path, "rb");
  if (!f) throw SquirrelError(TempString<256>::format("can't open %s", path.c_str()));
  std::vector<char> data(MAX_FILE_SIZE + 1);
  size_t size = fread(data.data(), 1, data.size(), f);
  bool read_failed = ferror(f) != 0;
  fclose(f);
  if (read_failed || size == 0) throw SquirrelError(TempString<256>::format("error reading %s", path.c_str()));
  if (size > MAX_FILE_SIZE)
    throw SquirrelError(TempString<512>::format("%s is too large (over %d bytes)", path.c_str(), (int)MAX_FILE_SIZE));

  PaletteFile file{path};
  StackRestore restore(vm);
  Cell cells[MAX_CELLS];
  std::vector<std::string> columns;
  HSQOBJECT palettes;
  sq_resetobject(&palettes);

  size_t pos = 0;
  while (pos < size) {
    size_t eol = pos;
    while (eol < size && data[eol] != '\n') eol++;
    const char* line = data.data() + pos;
    int len = int(eol - pos);
    pos = eol + 1;
    file.lineNo++;

    if (len >= MAX_LINE - 1) file.fail("line too long (%d bytes or more)", MAX_LINE - 1);
    if (memchr(line, 0, len)) file.fail("NUL byte in the line");

    if (file.lineNo == 1) {
      int n = split_cells(line, len, cells);
      if (n == 0) file.fail("no column names in the first line");
      for (int k = 0; k < n; k++) {
        if (cells[k].len >= MAX_COLUMN_NAME)
          file.fail("column name '%.40s...' longer than %d characters", cells[k].text, MAX_COLUMN_NAME - 1);
        std::string name(cells[k].text, cells[k].len);
        for (const std::string& c : columns)
          if (c == name) file.fail("column '%s' named twice", name.c_str());
        columns.push_back(name);
      }
      sq_newtableex(vm, 50);
      sq_getstackobj(vm, -1, &palettes);
      continue;
    }

    if (len > 0 && line[0] == '#') continue;
    int n = split_cells(line, len, cells);
    if (n == 0) continue;
    std::string name(cells[0].text, cells[0].len);
    if (n != (int)columns.size())
      file.fail("palette '%.60s' has %d cells, the first line names %d columns", name.c_str(), n,
                (int)columns.size());

    // palettes[name] = row, pushed as key and value below the palettes table.
    sq_pushstring(vm, name.c_str(), -1);
    sq_newtableex(vm, (SQInteger)columns.size());
    sq_pushstring(vm, columns[0].c_str(), -1);
    sq_pushstring(vm, name.c_str(), -1);
    sq_newslot(vm, -3, SQFalse);
    for (int k = 1; k < n; k++) {
      uint32_t v = 0;
      NumberResult r = parse_number(cells[k], v);
      if (r == NumberResult::NOT_A_NUMBER)
        file.fail("palette '%.60s', column '%s': '%.*s' is not a number", name.c_str(), columns[k].c_str(),
                  cells[k].len > 40 ? 40 : cells[k].len, cells[k].text);
      if (r == NumberResult::TOO_BIG)
        file.fail("palette '%.60s', column '%s': %.*s is above 0xFFFFFFFF", name.c_str(), columns[k].c_str(),
                  cells[k].len > 40 ? 40 : cells[k].len, cells[k].text);
      sq_pushstring(vm, columns[k].c_str(), -1);
      sq_pushinteger(vm, (SQInteger)(int32_t)v);
      sq_newslot(vm, -3, SQFalse);
    }
    sq_newslot(vm, -3, SQFalse);
  }

  // Only a wholly good file replaces the table the scripts have.
  sq_pushroottable(vm);
  sq_pushstring(vm, "world_palettes", -1);
  sq_pushobject(vm, palettes);
  sq_newslot(vm, -3, SQFalse);
}

bool world_palettes_changed()
{
  TempString<260> path = make_full_path(world_palettes_file);
  return (uint64_t)get_file_time(path) != world_palettes_file_time;
}
