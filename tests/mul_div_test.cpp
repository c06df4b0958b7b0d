// MulDiv: proportional heights and 16.16 steps, rounding halves away from zero.
#include "mul_div.h"

#include <gtest/gtest.h>
#include <climits>

namespace {

struct MulDivCase {
    int a, b, c, expected;
};

class MulDivTable : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTable, GivesTheRoundedQuotient) {
    const MulDivCase& t = GetParam();
    EXPECT_EQ(MulDiv(t.a, t.b, t.c), t.expected) << t.a << " x " << t.b << " / " << t.c;
}

INSTANTIATE_TEST_SUITE_P(ThumbnailHeights, MulDivTable,
                         ::testing::Values(MulDivCase{320, 768, 1024, 240}, MulDivCase{320, 600, 800, 240},
                                           MulDivCase{320, 990, 1280, 248},  // 247.5 goes up
                                           MulDivCase{200, 768, 1024, 150},
                                           MulDivCase{10, 600, 800, 8},  // 7.5 goes up
                                           MulDivCase{1, 1, 3, 0}, MulDivCase{2, 1, 3, 1}));

INSTANTIATE_TEST_SUITE_P(FixedPointSteps, MulDivTable,
                         ::testing::Values(MulDivCase{3, 65536, 2, 98304},        // 1.5
                                           MulDivCase{1, 65536, 2, 32768},        // 0.5
                                           MulDivCase{1023, 65536, 200, 335217},  // 335216.64
                                           MulDivCase{32768, 16384, 65536, 8192},
                                           MulDivCase{0, 65536, 7, 0}));

// The product needs 64 bits; halves go away from zero on both sides.
INSTANTIATE_TEST_SUITE_P(SignsAndRange, MulDivTable,
                         ::testing::Values(MulDivCase{-3, 1, 2, -2}, MulDivCase{3, -1, 2, -2},
                                           MulDivCase{-3, -1, 2, 2}, MulDivCase{5, 1, -2, -3},
                                           MulDivCase{-5, 1, 2, -3}, MulDivCase{-4, 1, 3, -1},
                                           MulDivCase{INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                                           MulDivCase{INT_MIN, INT_MIN, INT_MIN, INT_MIN},
                                           MulDivCase{65536, 65536, 131072, 32768}));

TEST(MulDiv, FailsLikeTheSystemRoutineWithMinusOne) {
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
}

}  // namespace
