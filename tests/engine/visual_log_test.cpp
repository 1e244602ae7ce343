// The visual log keeps the newest 100 lines of at most 127 characters; the
// error message is set, replaced, cleared and extended line by line.
#include <gtest/gtest.h>

#include <string>

#include "engine/visualLog.h"

TEST(VisualLog, KeepsTheLast100LinesInOrder)
{
  clear_visual_log();
  for (int i = 0; i < 250; ++i) visual_log("line %d", i);
  ASSERT_EQ(visual_log_lines.num, 100);
  EXPECT_STREQ(visual_log_lines[0], "line 150");
  EXPECT_STREQ(visual_log_lines[99], "line 249");
  visual_log("one more");
  EXPECT_STREQ(visual_log_lines[0], "line 151");
  clear_visual_log();
  EXPECT_EQ(visual_log_lines.num, 0);
}

TEST(VisualLog, LongLinesAreCutAt127)
{
  clear_visual_log();
  std::string long_line(200, 'x');
  long_line[126] = 'E';
  visual_log("%s", long_line.c_str());
  ASSERT_EQ(visual_log_lines.num, 1);
  EXPECT_EQ(std::string(visual_log_lines[0]), long_line.substr(0, 127));
  clear_visual_log();
}

TEST(ErrorMessage, SetReplaceClearAndAppend)
{
  struct Step
  {
    const char* op;  // "set" or "append"
    const char* text;
    int length;
    bool has;
    const char* expect;
  };
  const Step steps[] = {
      {"set", nullptr, 0, false, ""},
      {"append", "first", -1, true, "first"},            // no newline before the first line
      {"append", "second line", 6, true, "first\nsecond"},
      {"append", nullptr, -1, true, "first\nsecond"},     // null: nothing
      {"append", "ignored", 0, true, "first\nsecond"},    // zero length: nothing
      {"append", "", -1, true, "first\nsecond"},          // empty up to the terminator: nothing
      {"set", "replaced", 0, true, "replaced"},
      {"set", "", 0, false, ""},                          // empty clears
      {"append", "again", -1, true, "again"},
      {"set", nullptr, 0, false, ""},
  };
  for (const Step& s : steps) {
    if (std::string(s.op) == "set") set_error_message(s.text);
    else append_error_message(s.text, s.length);
    EXPECT_EQ(has_error_message(), s.has) << s.op << " " << (s.text ? s.text : "(null)");
    std::string now = has_error_message() ? error_message_text.data : "";
    EXPECT_EQ(now, s.expect) << s.op << " " << (s.text ? s.text : "(null)");
  }
}
