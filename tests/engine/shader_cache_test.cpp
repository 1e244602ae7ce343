// The shader system's file side without a GPU: defines lists, cache file
// names, the cache file layout against damaged files, and the stage texts
// built from a file, the prelude and the includes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/paths.h"
#include "engine/shaderCache.h"
#include "support/test_dir.h"

namespace {

std::string list(std::initializer_list<const char*> strings)
{
  std::string s;
  for (const char* p : strings) s.append(p, strlen(p) + 1);
  s.push_back(0);
  return s;
}

}  // namespace

TEST(ShaderCacheTest, CacheNameManglesEveryDefineString)
{
  struct Case { const char* name; std::string defines; bool null_defines; const char* expected; };
  const Case cases[] = {
      {"mlaa_rows.sh", list({"FIRST", " 1"}), false, "cache/mlaa_rows.sh@FIRST@_1.cache"},
      {"postfx_main.sh", "", true, "cache/postfx_main.sh.cache"},
      {"postfx_main.sh", list({}), false, "cache/postfx_main.sh.cache"},
      {"calc_aper.sh", list({"QUALITY", " 2"}), false, "cache/calc_aper.sh@QUALITY@_2.cache"},
      {"a.sh", list({"SINGLE_RT", " 1", "X.Y", "-1.5"}), false, "cache/a.sh@SINGLE_RT@_1@X_Y@_1_5.cache"},
      // Bytes outside ASCII letters and digits each become one "_".
      {"b.sh", list({"N", "\xC3\xA4"}), false, "cache/b.sh@N@__.cache"},
  };
  for (const Case& c : cases) {
    TempString<1024> out;
    ASSERT_TRUE(make_shader_cache_name(c.name, c.null_defines ? nullptr : c.defines.data(), out)) << c.expected;
    EXPECT_STREQ(out.c_str(), c.expected);
  }
  std::string long_value(1100, 'x');
  std::string defines = list({"LONG", long_value.c_str()});
  TempString<1024> out;
  EXPECT_FALSE(make_shader_cache_name("c.sh", defines.data(), out));
}

TEST(ShaderCacheTest, DefinesListsCompareThroughTheirEnd)
{
  std::string one = list({"FIRST", " 1"}), two = list({"FIRST", " 2"}), both = list({"FIRST", " 1", "B", "x"});
  EXPECT_EQ(shader_defines_size(nullptr), 1);
  EXPECT_EQ(shader_defines_size(one.data()), int(one.size()));
  EXPECT_TRUE(shader_defines_equal(nullptr, list({}).data()));
  EXPECT_TRUE(shader_defines_equal(one.data(), list({"FIRST", " 1"}).data()));
  EXPECT_FALSE(shader_defines_equal(one.data(), two.data()));
  EXPECT_FALSE(shader_defines_equal(one.data(), both.data()));
  EXPECT_FALSE(shader_defines_equal(nullptr, one.data()));
}

namespace {

class ShaderFilesTest : public testing::Test {
 protected:
  char saved_app_path[260];
  std::string dir;

  void SetUp() override
  {
    dir = make_test_dir("shader_files");
    ASSERT_FALSE(dir.empty());
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());
    write("prelude.glsl", "// prelude\n");
  }
  void TearDown() override
  {
    memcpy(app_path, saved_app_path, sizeof(app_path));
    remove_test_dir(dir);
  }
  void write(const std::string& name, const std::string& bytes)
  {
    FILE* f = fopen((dir + "/" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::string path(const std::string& name) { return dir + "/" + name; }
};

std::string u32(uint32_t v) { return std::string((const char*)&v, 4); }

std::string cache_bytes(uint32_t magic, uint32_t d, uint32_t v, uint32_t p, const std::string& deps,
                        const std::string& code)
{
  return u32(magic) + u32(d) + u32(v) + u32(p) + deps + code;
}

}  // namespace

TEST_F(ShaderFilesTest, CacheFileRoundTrip)
{
  DynArray<TempString<260>> deps;
  deps.push_back("main.sh");
  deps.push_back("prelude.glsl");
  ASSERT_TRUE(write_shader_cache(path("x.cache").c_str(), deps, "VVV", 3, "PP", 2));
  ShaderCacheData data;
  ASSERT_TRUE(read_shader_cache(path("x.cache").c_str(), data, nullptr));
  ASSERT_EQ(data.dependencies.num, 2);
  EXPECT_STREQ(data.dependencies[1].c_str(), "prelude.glsl");
  EXPECT_EQ(std::string((char*)data.vs_code.data, data.vs_code.num), "VVV");
  EXPECT_EQ(std::string((char*)data.ps_code.data, data.ps_code.num), "PP");
  // The layout byte for byte: D = 8 + 13 + the closing NUL.
  FILE* f = fopen(path("x.cache").c_str(), "rb");
  char buf[64];
  size_t n = fread(buf, 1, sizeof(buf), f);
  fclose(f);
  EXPECT_EQ(std::string(buf, n),
            cache_bytes(0x20100715u, 22, 3, 2, std::string("main.sh\0prelude.glsl\0\0", 22), "VVVPP"));
  struct stat st;
  EXPECT_NE(stat(path("x.cache.tmp").c_str(), &st), 0) << "no temporary left behind";
  // A removed cache folder is made again; a deeper missing path is not.
  EXPECT_TRUE(write_shader_cache(path("cache_gone/x.cache").c_str(), deps, "V", 1, "P", 1));
  EXPECT_EQ(stat(path("cache_gone/x.cache").c_str(), &st), 0);
  EXPECT_FALSE(write_shader_cache(path("no/such_dir/x.cache").c_str(), deps, "V", 1, "P", 1));
}

TEST_F(ShaderFilesTest, DamagedCacheFilesAreRefusedWithoutReadingPastThem)
{
  const std::string deps("a.sh\0b.glsl\0\0", 13);
  const std::string good = cache_bytes(0x20100715u, 13, 4, 3, deps, "vvvvppp");
  {
    write("good.cache", good);
    ShaderCacheData data;
    ASSERT_TRUE(read_shader_cache(path("good.cache").c_str(), data, nullptr));
    EXPECT_EQ(data.dependencies.num, 2);
  }
  struct Case { const char* what; std::string bytes; };
  std::vector<Case> cases;
  // Truncated anywhere: inside the header, the dependencies and each code block.
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(15), size_t(16), size_t(16 + 12), size_t(16 + 13),
                     size_t(16 + 13 + 3), good.size() - 1})
    cases.push_back({"truncated", good.substr(0, cut)});
  cases.push_back({"wrong magic", cache_bytes(0x20100716u, 13, 4, 3, deps, "vvvvppp")});
  cases.push_back({"huge dependency block", cache_bytes(0x20100715u, 0xFFFFFFF0u, 4, 3, deps, "vvvvppp")});
  cases.push_back({"huge vertex code", cache_bytes(0x20100715u, 13, 0x7FFFFFFFu, 3, deps, "vvvvppp")});
  cases.push_back({"huge pixel code", cache_bytes(0x20100715u, 13, 4, 0xFFFFFFFFu, deps, "vvvvppp")});
  cases.push_back({"sizes wrapping 32 bits", cache_bytes(0x20100715u, 0x80000000u, 0x80000000u, 7, deps, "vvvvppp")});
  cases.push_back({"empty dependency block", cache_bytes(0x20100715u, 0, 4, 3, "", "vvvvppp")});
  cases.push_back({"unterminated dependencies", cache_bytes(0x20100715u, 4, 0, 0, "a.sh", "")});
  cases.push_back({"path without its end", cache_bytes(0x20100715u, 5, 0, 0, std::string("a.sh\0", 5), "")});
  cases.push_back({"path of 260 characters",
                   cache_bytes(0x20100715u, 262, 0, 0, std::string(260, 'p') + std::string(2, '\0'), "")});
  for (const Case& c : cases) {
    write("bad.cache", c.bytes);
    ShaderCacheData data;
    TempString<128> reason;
    EXPECT_FALSE(read_shader_cache(path("bad.cache").c_str(), data, &reason)) << c.what;
    EXPECT_FALSE(reason.empty()) << c.what;
    EXPECT_EQ(data.dependencies.num + data.vs_code.num + data.ps_code.num, 0) << c.what;
  }
  ShaderCacheData data;
  EXPECT_FALSE(read_shader_cache(path("missing.cache").c_str(), data, nullptr));
  // Bytes after the code are not part of the cache.
  write("longer.cache", good + "trailing");
  EXPECT_TRUE(read_shader_cache(path("longer.cache").c_str(), data, nullptr));
  EXPECT_EQ(data.ps_code.num, 3);
}

TEST_F(ShaderFilesTest, StageTextHasDefinesPreludeAndIncludesInReadingOrder)
{
  write("main.sh", "// main\n#include \"a.glsl\"\nvoid vsh() {}\n  #  include \"b.glsl\"\n");
  write("a.glsl", "// a\n#include \"b.glsl\"\n");
  write("b.glsl", "// b\n");
  std::string defines = list({"FIRST", " 1", "SECOND", ""});
  DynArray<TempString<260>> deps;
  DynArray<char> text, error;
  ASSERT_TRUE(build_stage_source("main.sh", defines.data(), true, text, deps, error));
  std::string t(text.data, text.num);
  ASSERT_EQ(deps.num, 4);
  EXPECT_STREQ(deps[0].c_str(), "main.sh");
  EXPECT_STREQ(deps[1].c_str(), "prelude.glsl");
  EXPECT_STREQ(deps[2].c_str(), "a.glsl");
  EXPECT_STREQ(deps[3].c_str(), "b.glsl");  // read twice, recorded once
  EXPECT_EQ(t.rfind("#version 330 core\n#define FIRST  1\n#define VSH  1\n#line 1 1\n// prelude\n", 0), 0u) << t;
  EXPECT_EQ(t.find("SECOND"), std::string::npos) << "the list ends at an empty value";
  EXPECT_NE(t.find("#line 1 2\n// a\n#line 1 3\n// b\n"), std::string::npos) << t;
  EXPECT_NE(t.find("#line 3 0\nvoid vsh() {}\n#line 1 3\n// b\n"), std::string::npos) << t;

  ASSERT_TRUE(build_stage_source("main.sh", nullptr, false, text, deps, error));
  EXPECT_NE(std::string(text.data, text.num).find("#define PSH  1\n"), std::string::npos);
  EXPECT_EQ(deps.num, 4);
}

TEST_F(ShaderFilesTest, UnreadableOrEndlessIncludesFailWithTheirReason)
{
  struct Case { const char* main; const char* error; };
  const Case cases[] = {
      {"#include \"missing.glsl\"\n", "main.sh(1): can't open include file 'missing.glsl'"},
      {"\n#include \"main.sh\"\n", "includes nested too deeply"},
      {"#include missing_quotes\n", "main.sh(1): bad #include line"},
      {"#include \"\"\n", "bad #include line"},
  };
  for (const Case& c : cases) {
    write("main.sh", c.main);
    DynArray<TempString<260>> deps;
    DynArray<char> text, error;
    EXPECT_FALSE(build_stage_source("main.sh", nullptr, true, text, deps, error)) << c.main;
    ASSERT_GT(error.num, 0);
    EXPECT_NE(std::string(error.data).find(c.error), std::string::npos) << error.data;
    EXPECT_STREQ(deps[0].c_str(), "main.sh") << "the file stays a dependency, so fixing it reloads";
  }
  DynArray<TempString<260>> deps;
  DynArray<char> text, error;
  EXPECT_FALSE(build_stage_source("nothing.sh", nullptr, true, text, deps, error));
  EXPECT_STREQ(deps[0].c_str(), "nothing.sh");
}

TEST(ShaderCacheTest, CompilerMessagesNameTheirFiles)
{
  DynArray<TempString<260>> deps;
  deps.push_back("main.sh");
  deps.push_back("prelude.glsl");
  struct Case { const char* log; const char* expected; };
  const Case cases[] = {
      {"1:5(3): error: x\n0:2(1): warning: y\n", "prelude.glsl:5(3): error: x\nmain.sh:2(1): warning: y\n"},
      {"0(12) : error C0000: z", "main.sh(12) : error C0000: z"},
      {"7:1(1): error: out of range\n", "7:1(1): error: out of range\n"},
      {"error: no number\n", "error: no number\n"},
  };
  for (const Case& c : cases) {
    DynArray<char> out;
    name_source_numbers(c.log, deps, out);
    EXPECT_STREQ(out.data, c.expected);
  }
}
