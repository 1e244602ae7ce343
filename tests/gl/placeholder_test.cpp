#include <gtest/gtest.h>
TEST(GlPlaceholder, Builds) {}
