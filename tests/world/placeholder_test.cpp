#include <gtest/gtest.h>
TEST(WorldPlaceholder, Builds) {}
