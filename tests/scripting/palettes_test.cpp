// The palettes table "gen/palettes.csv": how a good file reads into
// world_palettes, how hand-edited cells are read leniently, and that a file
// that cannot be read at all is refused while the previous table stays.
#include <gtest/gtest.h>

#include "scripting/palettes.h"
#include "scripting/sqbindCall.h"

#include "engine/paths.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include "support/test_dir.h"

using namespace sqbind;

namespace
{

class PalettesTest : public testing::Test
{
protected:
  std::string dir;
  char savedAppPath[260] = {0};
  HSQUIRRELVM vm = nullptr;
  time_t clock = 1600000000;

  void SetUp() override
  {
    dir = make_test_dir("palettes");
    ASSERT_FALSE(dir.empty());
    std::filesystem::create_directories(dir + "/gen");
    memcpy(savedAppPath, app_path, sizeof(savedAppPath));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    vm = open_script_vm(1024);
  }
  void TearDown() override
  {
    close_script_vm(vm);
    memcpy(app_path, savedAppPath, sizeof(savedAppPath));
    std::filesystem::remove_all(dir);
  }

  void write(const std::string& bytes)
  {
    std::string p = dir + "/gen/palettes.csv";
    FILE* f = fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    timespec times[2] = {{clock, 0}, {clock, 0}};
    clock += 10;
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }

  // The error text of a load, "" when it succeeded.
  std::string load()
  {
    try {
      load_world_palettes(vm);
    } catch (const SquirrelError& e) {
      return e.desc;
    }
    return "";
  }

  // The value of a script expression as text ("int:N", "str:S", "none").
  std::string eval(const char* expr)
  {
    StackRestore restore(vm);
    std::string code = std::string("return (") + expr + ");";
    if (!compile_script_buffer(vm, code.c_str(), (SQInteger)code.size(), "eval")) return "compile error";
    sq_pushroottable(vm);
    if (SQ_FAILED(sq_call(vm, 1, SQTrue, SQFalse))) return "none";
    SQInteger i;
    const SQChar* s;
    if (SQ_SUCCEEDED(sq_getinteger(vm, -1, &i)) && sq_gettype(vm, -1) == OT_INTEGER) return "int:" + std::to_string(i);
    if (SQ_SUCCEEDED(sq_getstring(vm, -1, &s))) return std::string("str:") + s;
    return "other";
  }
};

TEST_F(PalettesTest, GoodFileReadsIntoNamedRows)
{
  write(
    "name,ground,water\r\n"
    "# comment line\r\n"
    "sea,0xFF204060,0x80102030\r\n"
    ",;,\r\n"
    "  lake ; 255 ; 017 ;\n"
    "sea,1,2\n"  // a later row replaces an earlier one of the same name
    "desert,0xFFFFFFFF,0");  // no newline at the end
  ASSERT_EQ(load(), "");
  EXPECT_EQ(eval("world_palettes.len()"), "int:3");
  EXPECT_EQ(eval("world_palettes.sea.name"), "str:sea");
  EXPECT_EQ(eval("world_palettes.sea.ground"), "int:1");
  EXPECT_EQ(eval("world_palettes.lake.name"), "str:lake");  // blanks round cells are dropped
  EXPECT_EQ(eval("world_palettes.lake.ground"), "int:255");
  EXPECT_EQ(eval("world_palettes.lake.water"), "int:15");  // a leading 0 is octal
  // 32-bit values: the top bit set reads negative.
  EXPECT_EQ(eval("world_palettes.desert.ground"), "int:-1");
  EXPECT_EQ(eval("world_palettes.desert.water"), "int:0");
}

// The file's own examples and the other hand-editing slips: each row reads
// as strtoul and the separator rules read it, nothing refuses the file.
TEST_F(PalettesTest, HandEditedCellsAreReadLeniently)
{
  struct Case
  {
    const char* what;
    std::string bytes;
    std::string expr;
    const char* value;
  } cases[] = {
    {"two colours with alpha 0xFF", "name,ground,water\nsea,0xFF204060,0xFF102030\n", "world_palettes.sea.water", "int:-15720400"},
    {"an empty cell moves the rest left", "name,ground,water\nsea,,0xFF204060\n", "world_palettes.sea.ground", "int:-14663584"},
    {"... and leaves the last column out", "name,ground,water\nsea,,0xFF204060\n", "(\"water\" in world_palettes.sea) ? 1 : 0", "int:0"},
    {"number with trailing text", "name,ground\nsea,12abc\n", "world_palettes.sea.ground", "int:12"},
    {"no number", "name,ground\nsea,abc\n", "(\"ground\" in world_palettes.sea) ? 1 : 0", "int:0"},
    {"no number keeps the name", "name,ground\nsea,abc\n", "world_palettes.sea.name", "str:sea"},
    {"extra cells are ignored", "name,ground\nsea,1,2,3\n", "world_palettes.sea.len()", "int:2"},
    {"only separators", "name,ground\n,;,\nsea,1\n", "world_palettes.len()", "int:1"},
    {"8 is no octal digit", "name,ground\nsea,08\n", "world_palettes.sea.ground", "int:0"},
    {"a sign wraps as strtoul", "name,ground\nsea,-1\n", "world_palettes.sea.ground", "int:-1"},
    {"33 bits keep the low 32", "name,ground\nsea,0x100000005\n", "world_palettes.sea.ground", "int:5"},
    {"overflow saturates", "name,ground\nsea,99999999999999999999999\n", "world_palettes.sea.ground", "int:-1"},
    {"a long line is read whole", "name,ground,water\nsea,1" + std::string(1100, ' ') + ",2\n", "world_palettes.sea.water", "int:2"},
    {"a NUL byte ends the line", std::string("name,ground,water\nsea,1\0,2\n", 27), "(\"water\" in world_palettes.sea) ? 1 : 0", "int:0"},
    {"a repeated column: the later cell", "name,ground,ground\nsea,1,2\n", "world_palettes.sea.ground", "int:2"},
    {"a long column name is cut", "name," + std::string(300, 'c') + "\nsea,4\n", "world_palettes.sea." + std::string(259, 'c'), "int:4"},
    {"no columns: rows store nothing", ",;,\nsea,1\n", "world_palettes.len()", "int:0"},
  };
  for (const Case& c : cases) {
    write(c.bytes);
    EXPECT_EQ(load(), "") << c.what;
    EXPECT_EQ(eval(c.expr.c_str()), c.value) << c.what;
  }
}

TEST_F(PalettesTest, UnreadableFilesAreRefusedAndTheOldTableStays)
{
  write("name,ground\nkeep,7\n");
  ASSERT_EQ(load(), "");
  struct Case
  {
    const char* what;
    std::string bytes;
    const char* message;  // a part of the error text
  } cases[] = {
    {"empty file", "", "error reading "},
    {"runaway file", std::string((1 << 20) + 1, 'x'), "is too large"},
  };
  for (const Case& c : cases) {
    write(c.bytes);
    std::string err = load();
    EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    EXPECT_EQ(eval("world_palettes.keep.ground"), "int:7") << c.what;
    EXPECT_FALSE(world_palettes_changed()) << c.what;  // not retried until the file changes
  }
  std::filesystem::remove(dir + "/gen/palettes.csv");
  EXPECT_NE(load().find("can't open "), std::string::npos);
  EXPECT_EQ(eval("world_palettes.keep.ground"), "int:7");
}

TEST_F(PalettesTest, TouchingTheFileIsSeenUntilTheNextLoad)
{
  write("name,ground\nsea,1\n");
  EXPECT_TRUE(world_palettes_changed());
  ASSERT_EQ(load(), "");
  EXPECT_FALSE(world_palettes_changed());
  write("name,ground\nsea,1\n");
  EXPECT_TRUE(world_palettes_changed());
  EXPECT_TRUE(world_palettes_changed());
  ASSERT_EQ(load(), "");
  EXPECT_FALSE(world_palettes_changed());
}

}  // namespace
