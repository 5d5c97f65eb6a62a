#include <gtest/gtest.h>
#include <morven/vec2.h>

TEST(Vec2, HoldsXThenY) {
    MVVec2 v = mvVec2f(1.5f, -2.25f);
    EXPECT_EQ(v.x, 1.5f);
    EXPECT_EQ(v.y, -2.25f);
}
