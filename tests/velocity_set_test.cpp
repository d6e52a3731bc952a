#include <gtest/gtest.h>

#include <cmath>

#include "cell.h"

namespace {

// Offsets recomputed from the direction-numbering pattern rather than read
// from the table, so a mistyped table entry shows up.
struct TestOffset {
    int dx, dy, dz;
};

TestOffset expectedOffset(int i) {
    const int inPlane[4][2] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};
    const int diagonal[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    if (i == 0) return {0, 0, 0};
    if (i == 1) return {0, 0, -1};
    if (i == 6) return {0, 0, 1};
    if (i >= 2 && i <= 5) return {inPlane[i - 2][0], inPlane[i - 2][1], 0};
    if (i >= 7 && i <= 10) return {inPlane[i - 7][0], inPlane[i - 7][1], -1};
    if (i >= 11 && i <= 14) return {diagonal[i - 11][0], diagonal[i - 11][1], 0};
    return {inPlane[i - 15][0], inPlane[i - 15][1], 1};
}

TEST(VelocitySet, DirectionIndexFollowsTheNumbering) {
    EXPECT_EQ(Cell::directionIndex(0, 0, 0), 0);
    EXPECT_EQ(Cell::directionIndex(0, 0, -1), 1);
    EXPECT_EQ(Cell::directionIndex(0, 1, 0), 3);
    EXPECT_EQ(Cell::directionIndex(1, -1, 0), 14);
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const TestOffset o = expectedOffset(i);
        EXPECT_EQ(Cell::directionIndex(o.dx, o.dy, o.dz), i) << "direction " << i;
    }
}

TEST(VelocitySet, OffsetsOutsideTheSetHaveNoIndex) {
    int corners = 0;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz)
                if (dx != 0 && dy != 0 && dz != 0) {
                    EXPECT_EQ(Cell::directionIndex(dx, dy, dz), -1);
                    ++corners;
                }
    EXPECT_EQ(corners, 8);
    EXPECT_EQ(Cell::directionIndex(2, 0, 0), -1);
    EXPECT_EQ(Cell::directionIndex(0, -2, 0), -1);
    EXPECT_EQ(Cell::directionIndex(0, 0, 7), -1);
}

TEST(VelocitySet, ReflectionReversesTheInPlaneStepAndKeepsTheLayerStep) {
    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const int r = Cell::reflectedDirection(i);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, NUM_DIRECTIONS);
        EXPECT_EQ(Cell::reflectedDirection(r), i);
        const TestOffset a = expectedOffset(i);
        const TestOffset b = expectedOffset(r);
        EXPECT_EQ(b.dx, -a.dx) << i;
        EXPECT_EQ(b.dy, -a.dy) << i;
        EXPECT_EQ(b.dz, a.dz) << i;
    }
    EXPECT_EQ(Cell::reflectedDirection(0), 0);
    EXPECT_EQ(Cell::reflectedDirection(1), 1);
    EXPECT_EQ(Cell::reflectedDirection(6), 6);
    EXPECT_EQ(Cell::reflectedDirection(7), 9);
    EXPECT_EQ(Cell::reflectedDirection(11), 13);
}

TEST(VelocitySet, ClassConstants) {
    const float root2 = static_cast<float>(std::sqrt(2.0));
    EXPECT_EQ(Cell::linkLengthFactor(0), 0.0f);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(Cell::linkLengthFactor(i), 1.0f);
    for (int i = 7; i <= 18; ++i) EXPECT_EQ(Cell::linkLengthFactor(i), root2);
    EXPECT_EQ(root2, 1.41421354f);

    EXPECT_EQ(Cell::weight(0), static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(Cell::weight(3), static_cast<float>(1.0 / 18.0));
    EXPECT_EQ(Cell::weight(12), static_cast<float>(1.0 / 36.0));
    EXPECT_EQ(Cell::coefSpeedSquared(0), -0.5f);
    EXPECT_EQ(Cell::coefSpeedSquared(4), static_cast<float>(-1.0 / 12.0));
    EXPECT_EQ(Cell::coefSpeedSquared(17), static_cast<float>(-1.0 / 24.0));
    EXPECT_EQ(Cell::coefLinear(0), 0.0f);
    EXPECT_EQ(Cell::coefQuadratic(0), 0.0f);

    for (int i = 0; i < NUM_DIRECTIONS; ++i) {
        const double w = Cell::weight(i);
        EXPECT_EQ(Cell::coefSpeedSquared(i), static_cast<float>(-1.5 * w)) << i;
        if (i == 0) continue;
        EXPECT_EQ(Cell::coefLinear(i), static_cast<float>(3.0 * w)) << i;
        EXPECT_EQ(Cell::coefQuadratic(i), static_cast<float>(4.5 * w)) << i;
    }
}

TEST(VelocitySet, WeightsSumToOneWithinFloatRounding) {
    float sum = 0.0f;
    for (int i = 0; i < NUM_DIRECTIONS; ++i) sum = sum + Cell::weight(i);
    EXPECT_EQ(sum, 1.00000024f);
}

TEST(VelocitySet, IndicesOutsideTheSetGiveHarmlessValues) {
    for (int i : {-1, 19, 100, -2147483647 - 1, 2147483647}) {
        const int r = Cell::reflectedDirection(i);
        EXPECT_GE(r, 0) << i;
        EXPECT_LT(r, NUM_DIRECTIONS) << i;
        EXPECT_EQ(Cell::linkLengthFactor(i), 0.0f) << i;
        EXPECT_EQ(Cell::weight(i), 0.0f) << i;
        EXPECT_EQ(Cell::coefLinear(i), 0.0f) << i;
        EXPECT_EQ(Cell::coefQuadratic(i), 0.0f) << i;
        EXPECT_EQ(Cell::coefSpeedSquared(i), 0.0f) << i;
    }
}

}  // namespace
