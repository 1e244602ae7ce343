#include <gtest/gtest.h>
TEST(WorldRenderPlaceholder, Builds) {}
