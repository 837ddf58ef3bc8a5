#include "crawlers/ChartScale.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(ChartScale, roundStepsReachTheLargestCountInAtMostFour)
{
    const struct {
        std::int64_t largest, top, step;
    } cases[] = {
        {0, 1, 1}, // nothing but zeros: one step of 1, so no bar stands on a zero-height plot
        {1, 1, 1},
        {4, 4, 1},
        {5, 6, 2},
        {8, 8, 2},
        {9, 10, 5},
        {21, 30, 10},
        {1234, 1500, 500},
        {2000, 2000, 500},
        {2001, 3000, 1000},
    };
    for (const auto& c : cases) {
        const ChartScale scale = chartScale(c.largest);
        EXPECT_EQ(scale.top, c.top) << c.largest;
        EXPECT_EQ(scale.step, c.step) << c.largest;
    }
}
