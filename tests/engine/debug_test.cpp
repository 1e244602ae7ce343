// The fatal path: message on standard error, exit code 100, and no second
// closing when a fatal error is raised while closing.
#include <gtest/gtest.h>

#include "engine/debug.h"

static void closing_that_fails() { fatal("second failure"); }

TEST(Fatal, ExitsWithCode100AndMessageOnStandardError)
{
  EXPECT_EXIT(fatal("broken set-up: %s", "data"), testing::ExitedWithCode(100), "broken set-up: data");
}

TEST(Fatal, AssertionMessageNamesFileLineAndExpression)
{
  EXPECT_EXIT(ASSERT_AT("dynArray.h", 52, 1 == 2), testing::ExitedWithCode(100),
              "dynArray.h\\(52\\): failed ASSERT\\(1 == 2\\)");
}

TEST(Fatal, ReentryWhileClosingExitsWithoutClosingAgain)
{
  EXPECT_EXIT(
      {
        set_fatal_close_hook(closing_that_fails);
        fatal("first failure");
      },
      testing::ExitedWithCode(100), "first failure(.|\n)*second failure");
}
