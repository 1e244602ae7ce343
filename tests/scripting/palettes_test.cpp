// The palettes table "gen/palettes.csv": how a good file reads into
// world_palettes, and that every kind of bad file is refused with a message
// naming the line, while the previous table stays.
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

TEST_F(PalettesTest, BadFilesAreRefusedWithTheirLineAndTheOldTableStays)
{
  write("name,ground\nkeep,7\n");
  ASSERT_EQ(load(), "");
  struct Case
  {
    const char* what;
    std::string bytes;
    const char* message;  // a part of the error text
  } cases[] = {
    // field counts (an empty cell does not exist, so a gap moves the cells left)
    {"missing cell", "name,ground,water\nsea,0xFF204060\n", "palettes.csv(2): palette 'sea' has 2 cells, the first line names 3 columns"},
    {"empty cell", "name,ground,water\nsea,,0xFF204060\n", "(2): palette 'sea' has 2 cells"},
    {"extra cell", "name,ground\nsea,1,2\n", "(2): palette 'sea' has 3 cells, the first line names 2 columns"},
    {"truncated", "name,ground,water\nsea,1,2\nlake,3", "(3): palette 'lake' has 2 cells"},
    // values
    {"not a number", "name,ground\nsea,abc\n", "(2): palette 'sea', column 'ground': 'abc' is not a number"},
    {"trailing text", "name,ground\nsea,12abc\n", "'12abc' is not a number"},
    {"bad octal", "name,ground\nsea,08\n", "'08' is not a number"},
    {"negative", "name,ground\nsea,-1\n", "'-1' is not a number"},
    {"bare 0x", "name,ground\nsea,0x\n", "'0x' is not a number"},
    {"33 bits", "name,ground\nsea,0x100000000\n", "0x100000000 is above 0xFFFFFFFF"},
    {"huge", "name,ground\nsea,99999999999999999999999\n", "is above 0xFFFFFFFF"},
    // lines and header
    {"long line", "name,ground\nsea," + std::string(1100, '1') + "\n", "(2): line too long"},
    {"NUL byte", std::string("name,ground\nsea,1\0,2\n", 21), "(2): NUL byte"},
    {"long column name", "name," + std::string(300, 'c') + "\n", "(1): column name"},
    {"repeated column", "name,ground,ground\n", "(1): column 'ground' named twice"},
    {"no columns", ",;,\nsea,1\n", "(1): no column names"},
    {"empty file", "", "error reading "},
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
